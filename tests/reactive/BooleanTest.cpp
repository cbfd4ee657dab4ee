#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "platform/foundation/Log.h"
#include "reactive/RSSubject.h"
#include "reactive/RSSubscriptingAssignmentTrampoline.h"

using rstest::Node;
using rstest::Recorder;
using rstest::Values;

namespace {

RSTuplePtr tuple(std::initializer_list<fnd::Value> values) { return RSTuple::tupleWithObjects(values); }

}  // namespace

TEST(BooleanTest, NotAndOr) {
  Recorder negated;
  negated.subscribe(rstest::sequenceSignal({fnd::Value(0), fnd::Value(7), fnd::Value(true), fnd::Value()})->not_());
  EXPECT_EQ(negated.values(), (Values{fnd::Value(1), fnd::Value(0), fnd::Value(0), fnd::Value(1)}));

  Values tuples{fnd::Value(tuple({})), fnd::Value(tuple({fnd::Value(true), fnd::Value(1)})),
                fnd::Value(tuple({fnd::Value(true), fnd::Value()})), fnd::Value(tuple({fnd::Value(), fnd::Value::null()})),
                fnd::Value(tuple({fnd::Value(), fnd::Value(2)}))};
  Recorder all, any;
  all.subscribe(rstest::sequenceSignal(tuples)->and_());
  any.subscribe(rstest::sequenceSignal(tuples)->or_());
  // A nil member counts as false.
  EXPECT_EQ(all.values(), (Values{fnd::Value(true), fnd::Value(true), fnd::Value(false), fnd::Value(false),
                                  fnd::Value(false)}));
  EXPECT_EQ(any.values(), (Values{fnd::Value(false), fnd::Value(true), fnd::Value(true), fnd::Value(false),
                                  fnd::Value(true)}));

  Recorder wrong;
  wrong.subscribe(rstest::sequenceSignal({fnd::Value(1)})->and_());
  EXPECT_EQ(wrong.events(), (std::vector<std::string>{"error:" + std::to_string(RSSignalErrorUnexpectedValue)}));
}

// Bound through setKeyPath or by assigning to a trampoline's key, every
// value is written, and the nil value for nil.
TEST(SetKeyPathTest, WritesEveryValueAndTheNilValueForNil) {
  EXPECT_EQ(RSSubscriptingAssignmentTrampoline::initWithTarget(nullptr, fnd::Value()), nullptr);
  const struct {
    const char* what;
    std::function<void(const RSSignalPtr&, const std::shared_ptr<Node>&)> bind;
  } cases[] = {
      {"setKeyPath",
       [](const RSSignalPtr& signal, const std::shared_ptr<Node>& node) {
         signal->setKeyPath("value", node, fnd::Value("nothing"));
       }},
      {"a trampoline's key assigned",
       [](const RSSignalPtr& signal, const std::shared_ptr<Node>& node) {
         auto trampoline = RSSubscriptingAssignmentTrampoline::initWithTarget(node, fnd::Value("nothing"));
         ASSERT_NE(trampoline, nullptr);
         (*trampoline)["value"] = signal;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto node = fnd::make<Node>();
    auto subject = RSSubject::subject();
    c.bind(subject, node);
    subject->sendNext(fnd::Value(1));
    EXPECT_EQ(node->value.get(), fnd::Value(1));
    subject->sendNext(fnd::Value());
    EXPECT_EQ(node->value.get(), fnd::Value("nothing"));
  }
}

TEST(SetKeyPathTest, WritesAKeyPathAndEndsWithDisposal) {
  auto root = fnd::make<Node>();
  auto child = fnd::make<Node>();
  root->child.set(child);
  auto subject = RSSubject::subject();
  auto binding = subject->setKeyPath("child.value", root);
  subject->sendNext(fnd::Value(4));
  EXPECT_EQ(child->value.get(), fnd::Value(4));
  binding->dispose();
  subject->sendNext(fnd::Value(5));
  EXPECT_EQ(child->value.get(), fnd::Value(4));
}

TEST(SetKeyPathTest, StopsWhenTheTargetGoesAndEndsOnErrorWithOneLogLine) {
  auto subject = RSSubject::subject();
  auto node = fnd::make<Node>();
  subject->setKeyPath("value", node);
  std::weak_ptr<Node> weak = node;
  node.reset();
  EXPECT_TRUE(weak.expired());  // the binding does not keep the target
  subject->sendNext(fnd::Value(1));

  std::vector<std::string> lines;
  auto previous = fnd::setLogSink([&](const std::string& line) { lines.push_back(line); });
  auto target = fnd::make<Node>();
  auto failing = RSSubject::subject();
  failing->setKeyPath("value", target);
  failing->sendError(rstest::testError());
  failing->sendNext(fnd::Value(2));
  fnd::setLogSink(previous);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("in binding for key path \"value\""), std::string::npos);
  EXPECT_TRUE(target->value.get().isNil());
}

TEST(SetKeyPathTest, AMainThreadTargetIsWrittenOnTheMainThread) {
  auto view = fnd::make<rstest::MainThreadNode>();
  auto subject = RSSubject::subject();
  subject->setKeyPath("value", view);
  rstest::onPlainThread([&] { subject->sendNext(fnd::Value("late")); });
  EXPECT_TRUE(view->value.get().isNil());
  dispatch::drainMainQueue();
  EXPECT_EQ(view->value.get(), fnd::Value("late"));
  EXPECT_EQ(view->offMainWrites, 0);
}
