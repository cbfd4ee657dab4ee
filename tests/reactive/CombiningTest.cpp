#include <gtest/gtest.h>

#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSSubject.h"

using rstest::Recorder;
using rstest::sequenceSignal;
using rstest::testError;
using rstest::tupleValues;
using rstest::Values;

namespace {

std::vector<Values> tuples(const Recorder& recorder) {
  std::vector<Values> out;
  for (const auto& v : recorder.values()) out.push_back(tupleValues(v));
  return out;
}

TEST(CombiningTest, CombineLatestWaitsForBothAndForBothToComplete) {
  auto left = RSSubject::subject();
  auto right = RSSubject::subject();
  Recorder recorder;
  recorder.subscribe(left->combineLatestWith(right));
  left->sendNext(1);
  left->sendNext(fnd::Value());
  EXPECT_TRUE(recorder.values().empty());
  right->sendNext("a");
  left->sendNext(2);
  EXPECT_EQ(tuples(recorder), (std::vector<Values>{{fnd::Value(), "a"}, {2, "a"}}));
  left->sendCompleted();
  EXPECT_FALSE(recorder.completed());
  right->sendCompleted();
  EXPECT_TRUE(recorder.completed());

  // A side that completes without a value still holds the result open until
  // the other completes; nothing is sent.
  auto silent = RSSubject::subject();
  Recorder never;
  never.subscribe(sequenceSignal({1})->combineLatestWith(silent));
  EXPECT_FALSE(never.completed());
  silent->sendCompleted();
  EXPECT_EQ(never.events(), (std::vector<std::string>{"completed"}));
}

TEST(CombiningTest, CombineLatestOfACollectionAndReduce) {
  auto a = RSSubject::subject();
  auto b = RSSubject::subject();
  auto c = RSSubject::subject();
  Recorder all, reduced;
  all.subscribe(RSSignal::combineLatest({a, b, c}));
  reduced.subscribe(RSSignal::combineLatest({a, b, c}, [](const fnd::Value& x, const fnd::Value& y, const fnd::Value& z) {
    return x.intValue() + y.intValue() + z.intValue();
  }));
  a->sendNext(1);
  b->sendNext(2);
  c->sendNext(3);
  b->sendNext(20);
  EXPECT_EQ(tuples(all), (std::vector<Values>{{1, 2, 3}, {1, 20, 3}}));
  EXPECT_EQ(reduced.values(), (Values{6, 24}));
}

TEST(CombiningTest, MergeAndFlattenWithALimit) {
  auto a = RSSubject::subject();
  auto b = RSSubject::subject();
  Recorder merged;
  merged.subscribe(a->merge(b));
  a->sendNext(1);
  b->sendNext(2);
  a->sendCompleted();
  EXPECT_FALSE(merged.completed());
  b->sendCompleted();
  EXPECT_EQ(merged.events(), (std::vector<std::string>{"next:1", "next:2", "completed"}));

  // With a limit of 1 the inner signals queue in order of arrival; a nil is
  // dropped.
  auto outer = RSSubject::subject();
  auto first = RSSubject::subject();
  auto second = RSSubject::subject();
  auto third = RSSubject::subject();
  Recorder serial;
  serial.subscribe(outer->flatten(1));
  outer->sendNext(fnd::Value(first));
  outer->sendNext(fnd::Value());
  outer->sendNext(fnd::Value(second));
  outer->sendNext(fnd::Value(third));
  second->sendNext("lost");  // not started yet
  first->sendNext("f");
  first->sendCompleted();
  second->sendNext("s");
  outer->sendCompleted();
  second->sendCompleted();
  third->sendNext("t");
  EXPECT_FALSE(serial.completed());
  third->sendCompleted();
  EXPECT_EQ(serial.events(), (std::vector<std::string>{"next:f", "next:s", "next:t", "completed"}));

  // Without a limit every inner signal runs at once.
  auto x = RSSubject::subject();
  auto y = RSSubject::subject();
  Recorder unlimited;
  unlimited.subscribe(sequenceSignal({fnd::Value(x), fnd::Value(y)})->flatten(0));
  y->sendNext(2);
  x->sendNext(1);
  EXPECT_EQ(unlimited.values(), (Values{2, 1}));
}

TEST(CombiningTest, ThenRunsItsBlockOnlyAfterCompletion) {
  int calls = 0;
  auto after = [&calls] {
    ++calls;
    return sequenceSignal({"after"});
  };
  Recorder recorder, failed;
  recorder.subscribe(sequenceSignal({1, 2})->then(after));
  failed.subscribe(sequenceSignal({1}, testError(), true)->then(after));
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:after", "completed"}));
  EXPECT_TRUE(failed.failed());
  EXPECT_EQ(calls, 1);
}

TEST(CombiningTest, SwitchToLatest) {
  auto outer = RSSubject::subject();
  auto first = RSSubject::subject();
  auto second = RSSubject::subject();
  Recorder recorder;
  recorder.subscribe(outer->switchToLatest());
  outer->sendNext(fnd::Value(first));
  first->sendNext(1);
  outer->sendNext(fnd::Value(second));
  first->sendNext("cut");
  second->sendNext(2);
  outer->sendNext(fnd::Value());  // cuts the second off, starts nothing
  second->sendNext("cut");
  outer->sendNext(fnd::Value(first));
  outer->sendCompleted();
  EXPECT_FALSE(recorder.completed());
  first->sendNext(3);
  first->sendCompleted();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "next:2", "next:3", "completed"}));

  Recorder wrongKind;
  wrongKind.subscribe(sequenceSignal({42})->switchToLatest());
  ASSERT_TRUE(wrongKind.failed());
  EXPECT_EQ(wrongKind.error()->code(), RSSignalErrorUnexpectedValue);
}

TEST(CombiningTest, SwitchAndIf) {
  auto keys = RSSubject::subject();
  RSSignalCases cases{{fnd::Value("a"), sequenceSignal({"A"})}, {fnd::Value(), sequenceSignal({"NIL"})}};
  Recorder switched;
  switched.subscribe(RSSignal::switch_(keys, cases, nullptr));
  keys->sendNext("a");
  keys->sendNext(fnd::Value());
  keys->sendNext("missing");
  EXPECT_EQ(switched.values(), (Values{"A", "NIL"}));
  ASSERT_TRUE(switched.failed());
  EXPECT_EQ(switched.error()->domain(), RSSignalErrorDomain);
  EXPECT_EQ(switched.error()->code(), RSSignalErrorNoMatchingCase);
  EXPECT_EQ(switched.error()->localizedDescription(), "No matching signal found for value missing");

  Recorder withDefault;
  withDefault.subscribe(RSSignal::switch_(sequenceSignal({"zzz"}), cases, sequenceSignal({"D"})));
  EXPECT_EQ(withDefault.values(), (Values{"D"}));

  Recorder chosen;
  chosen.subscribe(RSSignal::if_(sequenceSignal({true, 0, "YES"}), sequenceSignal({"T"}), sequenceSignal({"F"})));
  EXPECT_EQ(chosen.values(), (Values{"T", "F", "T"}));
}

TEST(CombiningTest, TakeUntil) {
  bool receiverSubscribed = false;
  auto receiver = RSSignal::createSignal([&](const RSSubscriberPtr&) -> RSDisposablePtr {
    receiverSubscribed = true;
    return nullptr;
  });
  Recorder immediate;
  immediate.subscribe(receiver->takeUntil(RSSignal::return_(1)));
  EXPECT_EQ(immediate.events(), (std::vector<std::string>{"completed"}));
  EXPECT_FALSE(receiverSubscribed);

  auto source = RSSubject::subject();
  auto trigger = RSSubject::subject();
  Recorder recorder;
  recorder.subscribe(source->takeUntil(trigger));
  source->sendNext(1);
  trigger->sendError(testError());  // ignored
  source->sendNext(2);
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "next:2"}));

  auto trigger2 = RSSubject::subject();
  Recorder completion;
  completion.subscribe(source->takeUntil(trigger2));
  trigger2->sendCompleted();
  source->sendNext(3);
  EXPECT_EQ(completion.events(), (std::vector<std::string>{"completed"}));
}

TEST(CombiningTest, TakeUntilReplacement) {
  auto source = RSSubject::subject();
  auto replacement = RSSubject::subject();
  Recorder recorder;
  recorder.subscribe(source->takeUntilReplacement(replacement));
  source->sendNext(1);
  source->sendCompleted();  // not passed on
  EXPECT_FALSE(recorder.completed());
  replacement->sendNext(2);
  replacement->sendCompleted();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "next:2", "completed"}));

  Recorder failing;
  failing.subscribe(sequenceSignal({1}, testError(9), true)->takeUntilReplacement(RSSignal::never()));
  EXPECT_EQ(failing.events(), (std::vector<std::string>{"next:1", "error:9"}));
}

TEST(CombiningTest, Sample) {
  auto source = RSSubject::subject();
  auto sampler = RSSubject::subject();
  Recorder recorder;
  recorder.subscribe(source->sample(sampler));
  sampler->sendNext(0);  // nothing yet
  source->sendNext("a");
  sampler->sendNext(0);
  sampler->sendNext(0);
  source->sendNext("b");
  source->sendNext("c");
  sampler->sendNext(0);
  sampler->sendCompleted();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:a", "next:a", "next:c", "completed"}));
}

TEST(CombiningTest, GroupBySendsEachGroupBeforeItsFirstValueAndEndsThemAll) {
  auto source = RSSubject::subject();
  std::vector<std::string> log;
  std::vector<std::shared_ptr<Recorder>> groups;
  source
      ->groupBy([](const fnd::Value& v) { return fnd::Value(v.intValue() % 2); },
                [](const fnd::Value& v) { return fnd::Value(v.intValue() * 10); })
      ->subscribeNext(
          [&](const fnd::Value& g) {
            auto group = g.asObject<RSGroupedSignal>();
            log.push_back("group " + group->key().description());
            auto recorder = std::make_shared<Recorder>();
            recorder->subscribe(group);
            groups.push_back(recorder);
          },
          [&] { log.push_back("completed"); });
  source->sendNext(1);
  source->sendNext(2);
  source->sendNext(3);
  source->sendCompleted();
  EXPECT_EQ(log, (std::vector<std::string>{"group 1", "group 0", "completed"}));
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0]->values(), (Values{10, 30}));
  EXPECT_EQ(groups[1]->values(), (Values{20}));
  EXPECT_TRUE(groups[0]->completed());
  EXPECT_TRUE(groups[1]->completed());
}

}  // namespace
