#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReactiveTestSupport.h"
#include "platform/foundation/Log.h"
#include "reactive/RSEvent.h"
#include "reactive/RSSubject.h"
#include "reactive/RSTestScheduler.h"

using rstest::pumpUntil;
using rstest::Recorder;
using rstest::sequenceSignal;
using rstest::testError;
using rstest::Values;

namespace {

// Fails with error code `attempt` for its first `failures` subscriptions, then
// sends "ok" and completes.
RSSignalPtr failingSignal(int failures, std::shared_ptr<int> attempts) {
  return RSSignal::createSignal([failures, attempts](const RSSubscriberPtr& s) -> RSDisposablePtr {
    int attempt = ++*attempts;
    if (attempt <= failures) {
      s->sendNext(attempt);
      s->sendError(testError(attempt));
    } else {
      s->sendNext("ok");
      s->sendCompleted();
    }
    return nullptr;
  });
}

TEST(ControlTest, SideEffectsRunBeforeTheEventAndNotOnDisposal) {
  std::vector<std::string> log;
  auto source = RSSubject::subject();
  auto signal = source->doNext([&log](const fnd::Value& v) { log.push_back("do " + v.description()); })
                    ->initially([&log] { log.push_back("initially"); })
                    ->finally([&log] { log.push_back("finally"); });
  auto d = signal->subscribeNext([&log](const fnd::Value& v) { log.push_back("next " + v.description()); },
                                 [&log] { log.push_back("completed"); });
  source->sendNext(1);
  source->sendCompleted();
  EXPECT_EQ(log, (std::vector<std::string>{"initially", "do 1", "next 1", "finally", "completed"}));

  log.clear();
  auto again = RSSubject::subject();
  again->finally([&log] { log.push_back("finally"); })->subscribeNext([](const fnd::Value&) {})->dispose();
  again->sendCompleted();
  EXPECT_TRUE(log.empty());

  bool errorSeen = false;
  Recorder failed;
  failed.subscribe(sequenceSignal({}, testError(), true)->doError([&errorSeen](const RSErrorPtr&) { errorSeen = true; }));
  EXPECT_TRUE(errorSeen);
  EXPECT_TRUE(failed.failed());
}

TEST(ControlTest, DeferCallsTheBlockAtEachSubscription) {
  int calls = 0;
  auto deferred = RSSignal::defer([&calls] { return RSSignal::return_(++calls); });
  EXPECT_EQ(calls, 0);
  Recorder a, b;
  a.subscribe(deferred);
  b.subscribe(deferred);
  EXPECT_EQ(a.values(), (Values{1}));
  EXPECT_EQ(b.values(), (Values{2}));

  Recorder missing;
  missing.subscribe(RSSignal::defer([] { return RSSignalPtr(); }));
  ASSERT_TRUE(missing.failed());
  EXPECT_EQ(missing.error()->code(), RSSignalErrorUnexpectedValue);
}

TEST(ControlTest, CatchReplacesTheErrorAndNeverLeavesTheSubscriberHanging) {
  Recorder caught;
  caught.subscribe(sequenceSignal({1}, testError(), true)->catch_([](const RSErrorPtr& e) {
    return RSSignal::return_(e->code());
  }));
  EXPECT_EQ(caught.events(), (std::vector<std::string>{"next:1", "next:7", "completed"}));

  Recorder to;
  to.subscribe(sequenceSignal({}, testError(), true)->catchTo(sequenceSignal({"x"})));
  EXPECT_EQ(to.values(), (Values{"x"}));

  // A block without a replacement: the original error goes on, with a log line.
  std::vector<std::string> logged;
  auto previousSink = fnd::setLogSink([&logged](const std::string& line) { logged.push_back(line); });
  Recorder nothing;
  nothing.subscribe(sequenceSignal({}, testError(4), true)->catch_([](const RSErrorPtr&) { return RSSignalPtr(); }));
  fnd::setLogSink(previousSink);
  EXPECT_EQ(nothing.events(), (std::vector<std::string>{"error:4"}));
  EXPECT_EQ(logged.size(), 1u);
}

TEST(ControlTest, TryFailsWithWhatTheBlockWrote) {
  Recorder made;
  made.subscribe(RSSignal::try_([](RSErrorPtr& error) {
    error = testError(3);
    return fnd::Value();
  }));
  EXPECT_EQ(made.events(), (std::vector<std::string>{"error:3"}));
  // A refusal without an error fails with a null error.
  Recorder tried;
  tried.subscribe(sequenceSignal({1, 2, 3})->try_([](const fnd::Value& v, RSErrorPtr&) { return v.intValue() < 2; }));
  EXPECT_EQ(tried.events(), (std::vector<std::string>{"next:1", "error:null"}));
}

TEST(ControlTest, RetryAndRepeat) {
  auto attempts = std::make_shared<int>(0);
  Recorder once;
  once.subscribe(failingSignal(5, attempts)->retry(1));
  ASSERT_TRUE(pumpUntil([&] { return once.ended(); }));
  EXPECT_EQ(*attempts, 2);
  EXPECT_EQ(once.events(), (std::vector<std::string>{"next:1", "next:2", "error:2"}));

  *attempts = 0;
  Recorder succeeds;
  succeeds.subscribe(failingSignal(2, attempts)->retry());
  ASSERT_TRUE(pumpUntil([&] { return succeeds.ended(); }));
  EXPECT_EQ(succeeds.events(), (std::vector<std::string>{"next:1", "next:2", "next:ok", "completed"}));

  // repeat passes an error on and stops.
  *attempts = 0;
  Recorder repeated;
  repeated.subscribe(failingSignal(1, attempts)->repeat());
  EXPECT_EQ(repeated.events(), (std::vector<std::string>{"next:1", "error:1"}));
  dispatch::drainMainQueue();
  EXPECT_EQ(*attempts, 1);

  // repeat resubscribes after each completion until disposed (stepped on a
  // test scheduler: on the main queue it would never let a pump return).
  auto scheduler = std::make_shared<RSTestScheduler>();
  auto count = std::make_shared<int>(0);
  auto counting = RSSignal::defer([count] { return RSSignal::return_(++*count); });
  Recorder endless;
  RSDisposablePtr disposable;
  scheduler->schedule([&] { disposable = endless.subscribe(counting->repeat()); });
  scheduler->step(5);
  EXPECT_EQ(*count, 5);
  disposable->dispose();
  scheduler->stepAll();
  EXPECT_EQ(*count, 5);
  EXPECT_EQ(endless.values(), (Values{1, 2, 3, 4, 5}));
}

TEST(ControlTest, RetryWithoutLimitSurvivesManyFailuresWithoutGrowing) {
  // Run inside a test scheduler so that every resubscription is one stepped
  // action.
  auto scheduler = std::make_shared<RSTestScheduler>();
  auto attempts = std::make_shared<int>(0);
  Recorder recorder;
  scheduler->schedule([&] { recorder.subscribe(failingSignal(1000, attempts)->retry()); });
  for (int i = 0; i < 1100 && !recorder.ended(); ++i) {
    scheduler->step();
    EXPECT_LE(scheduler->scheduledActions().size(), 1u);
  }
  EXPECT_EQ(*attempts, 1001);
  EXPECT_TRUE(recorder.completed());
}

TEST(ControlTest, MaterializeAndDematerialize) {
  Recorder events;
  events.subscribe(sequenceSignal({1}, testError(2), true)->materialize());
  auto values = events.values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].asObject<RSEvent>()->value(), fnd::Value(1));
  EXPECT_EQ(values[1].asObject<RSEvent>()->error()->code(), 2);
  EXPECT_TRUE(events.completed());

  Recorder back;
  back.subscribe(sequenceSignal({1, 2}, testError(3), true)->materialize()->dematerialize());
  EXPECT_EQ(back.events(), (std::vector<std::string>{"next:1", "next:2", "error:3"}));

  Recorder ignoring;
  ignoring.subscribe(sequenceSignal({1, 2})->ignoreValues());
  EXPECT_EQ(ignoring.events(), (std::vector<std::string>{"completed"}));

  Recorder wrongKind;
  wrongKind.subscribe(sequenceSignal({1})->dematerialize());
  EXPECT_TRUE(wrongKind.failed());
}

TEST(ControlTest, AnyAndAll) {
  auto positive = [](const fnd::Value& v) { return v.intValue() > 0; };
  auto run = [](const RSSignalPtr& signal) {
    Recorder r;
    r.subscribe(signal);
    return r.events();
  };
  using Events = std::vector<std::string>;
  EXPECT_EQ(run(sequenceSignal({-1, 2, -3})->any(positive)), (Events{"next:1", "completed"}));
  EXPECT_EQ(run(sequenceSignal({-1}, testError(), true)->any(positive)), (Events{"next:0", "completed"}));
  EXPECT_EQ(run(sequenceSignal({})->any()), (Events{"next:0", "completed"}));
  EXPECT_EQ(run(sequenceSignal({})->all(positive)), (Events{"next:1", "completed"}));
  EXPECT_EQ(run(sequenceSignal({1, -2, 3})->all(positive)), (Events{"next:0", "completed"}));
  EXPECT_EQ(run(sequenceSignal({1}, testError(), true)->all(positive)), (Events{"next:0", "completed"}));

  // any() stops listening at the first match.
  auto source = RSSubject::subject();
  Recorder decided;
  decided.subscribe(source->any());
  source->sendNext(1);
  EXPECT_TRUE(source->subscribers().empty());
}

TEST(ControlTest, ReduceApply) {
  auto block = RSBlock::block([](const fnd::Value& a, const fnd::Value& b) { return a.intValue() * b.intValue(); });
  Recorder recorder;
  recorder.subscribe(sequenceSignal({fnd::Value(RSThreeTuple::pack(block, 6, 7))})->reduceApply());
  EXPECT_EQ(recorder.values(), (Values{42}));
  Recorder wrong;
  wrong.subscribe(sequenceSignal({fnd::Value(RSTwoTuple::pack(1, 2))})->reduceApply());
  EXPECT_TRUE(wrong.failed());
}

TEST(ControlTest, Aggregation) {
  auto sum = [](const fnd::Value& running, const fnd::Value& next) {
    return fnd::Value(running.intValue() + next.intValue());
  };
  Recorder total, emptyTotal;
  total.subscribe(sequenceSignal({1, 2, 3})->aggregateWithStart(10, sum));
  emptyTotal.subscribe(sequenceSignal({})->aggregateWithStart(10, sum));
  EXPECT_EQ(total.events(), (std::vector<std::string>{"next:16", "completed"}));
  EXPECT_EQ(emptyTotal.values(), (Values{10}));

  Recorder collected;
  collected.subscribe(sequenceSignal({"a", fnd::Value()})->collect());
  EXPECT_EQ(collected.values(), (Values{fnd::Array{"a", fnd::Value::null()}}));

  Recorder lastTwo, none, failed;
  lastTwo.subscribe(sequenceSignal({"a", fnd::Value(), "b"})->takeLast(2));
  none.subscribe(sequenceSignal({1, 2})->takeLast(0));
  failed.subscribe(sequenceSignal({1, 2}, testError(), true)->takeLast(2));
  EXPECT_EQ(lastTwo.values(), (Values{fnd::Value(), "b"}));
  EXPECT_EQ(none.events(), (std::vector<std::string>{"completed"}));
  EXPECT_EQ(failed.events(), (std::vector<std::string>{"error:7"}));
}

}  // namespace
