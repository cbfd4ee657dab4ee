#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSLift.h"
#include "reactive/RSSubject.h"

using rstest::Recorder;

namespace {

class Formatter : public fnd::Object {
public:
  std::string format(const std::string& name, int count) {
    ++calls;
    return name + "=" + std::to_string(count);
  }
  void touch(int) { ++calls; }
  int twice(int n) const { return 2 * n; }
  std::atomic<int> calls{0};
};

}  // namespace

TEST(LiftTest, TwoArgumentMethodRunsOnceBothHaveSentThenOnEveryValueWithTheLatest) {
  Recorder first, second;
  auto formatter = fnd::make<Formatter>();
  auto names = RSSubject::subject();
  auto counts = RSSubject::subject();
  auto lifted = rs_liftSelector(formatter, "format", &Formatter::format, names, counts);
  first.subscribe(lifted);

  names->sendNext(fnd::Value("a"));
  names->sendNext(fnd::Value("b"));
  EXPECT_EQ(formatter->calls, 0);
  counts->sendNext(fnd::Value(1));
  counts->sendNext(fnd::Value(2));
  names->sendNext(fnd::Value("c"));
  second.subscribe(lifted);  // gets the last result, runs nothing again

  EXPECT_EQ(formatter->calls, 3);
  EXPECT_EQ(first.values(), (rstest::Values{"b=1", "b=2", "c=2"}));
  EXPECT_EQ(second.values(), (rstest::Values{"c=2"}));
  names->sendCompleted();
  counts->sendCompleted();
  EXPECT_TRUE(first.completed());
}

TEST(LiftTest, SignalOfTuplesAndVoidMethods) {
  Recorder results, lambda, constant;
  auto formatter = fnd::make<Formatter>();
  auto tuples = RSSubject::subject();
  results.subscribe(rs_liftSelector(formatter, "touch", &Formatter::touch, tuples));
  tuples->sendNext(fnd::Value(RSTuple::tupleWithObjects({fnd::Value(1)})));
  ASSERT_EQ(results.values().size(), 1u);
  EXPECT_EQ(results.values()[0].asObject<RSUnit>(), RSUnit::defaultUnit());

  // Const methods and callables taking the receiver first work as well; a
  // value that is not a tuple ends the result with an error.
  constant.subscribe(rs_liftSelector(formatter, "twice", &Formatter::twice, tuples));
  lambda.subscribe(rs_liftSelector(
      formatter, "double", [](Formatter&, int n) { return n * 2; }, tuples));
  tuples->sendNext(fnd::Value(RSTuple::tupleWithObjects({fnd::Value(21)})));
  EXPECT_EQ(lambda.values(), (rstest::Values{42}));
  EXPECT_EQ(constant.values(), (rstest::Values{42}));
  tuples->sendNext(fnd::Value(5));
  EXPECT_TRUE(lambda.failed());
  EXPECT_EQ(lambda.error()->code(), RSSignalErrorUnexpectedValue);
}

TEST(LiftTest, HoldsTheReceiverWeaklyAndEndsWithIt) {
  Recorder recorder;
  auto formatter = fnd::make<Formatter>();
  std::weak_ptr<Formatter> weak = formatter;
  auto names = RSSubject::subject();
  auto counts = RSSubject::subject();
  recorder.subscribe(rs_liftSelector(formatter, "format", &Formatter::format, names, counts));
  names->sendNext(fnd::Value("a"));
  counts->sendNext(fnd::Value(1));
  formatter.reset();
  EXPECT_TRUE(weak.expired());  // the lifted signal did not keep it
  EXPECT_TRUE(recorder.completed());
  names->sendNext(fnd::Value("b"));
  EXPECT_EQ(recorder.values(), (rstest::Values{"a=1"}));
}

// Values keep arriving on another thread while the receiver ends on this one:
// no call may reach an ended object (the sanitizers see one).
TEST(LiftTest, NeverCallsIntoAReceiverEndingOnAnotherThread) {
  for (int round = 0; round < 20; ++round) {
    Recorder recorder;
    auto formatter = fnd::make<Formatter>();
    auto tuples = RSSubject::subject();
    recorder.subscribe(rs_liftSelector(formatter, "touch", &Formatter::touch, tuples));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
      while (!stop) tuples->sendNext(fnd::Value(RSTuple::tupleWithObjects({fnd::Value(1)})));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    formatter.reset();
    EXPECT_TRUE(rstest::waitUntil([&] { return recorder.completed(); }));
    stop = true;
    sender.join();
  }
}
