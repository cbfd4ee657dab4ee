// Time operators in virtual time: values are sent from blocks of a test
// scheduler (so it is the current scheduler), and every delay lands on it.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSSubject.h"
#include "reactive/RSTestScheduler.h"

using rstest::Recorder;
using rstest::Values;

namespace {

struct VirtualTime {
  std::shared_ptr<RSTestScheduler> scheduler = std::make_shared<RSTestScheduler>();
  RSSubjectPtr subject = RSSubject::subject();
  // Queues a send on the scheduler (runs at the next step).
  void send(const fnd::Value& value) {
    auto s = subject;
    scheduler->schedule([s, value] { s->sendNext(value); });
  }
  void complete() {
    auto s = subject;
    scheduler->schedule([s] { s->sendCompleted(); });
  }
};

}  // namespace

TEST(ThrottleTest, OnlyTheLastValueOfABurstAfterTheInterval) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->throttle(1.0));
  time.send(fnd::Value("a"));
  time.send(fnd::Value("b"));
  time.scheduler->step(2);
  EXPECT_TRUE(recorder.values().empty());
  ASSERT_EQ(time.scheduler->scheduledActions().size(), 2u);  // a's flush (cancelled) and b's
  time.scheduler->stepAll();
  EXPECT_EQ(recorder.values(), (Values{fnd::Value("b")}));
}

TEST(ThrottleTest, CompletionSendsTheHeldValueAndAFailingValuePassesAtOnce) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->throttle(1.0, [](const fnd::Value& v) { return v.intValue() > 0; }));
  time.send(fnd::Value(1));
  time.send(fnd::Value(0));  // fails: the held 1 is dropped, 0 goes at once
  time.send(fnd::Value(2));
  time.complete();
  time.scheduler->step(4);
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:0", "next:2", "completed"}));
}

TEST(DelayTest, ValuesAndCompletionLaterErrorsAtOnce) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->delay(1.0));
  time.send(fnd::Value(1));
  time.complete();
  time.scheduler->step(2);
  EXPECT_TRUE(recorder.events().empty());
  time.scheduler->stepAll();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "completed"}));

  VirtualTime failing;
  Recorder failed;
  failed.subscribe(failing.subject->delay(1.0));
  failing.send(fnd::Value(1));
  auto s = failing.subject;
  failing.scheduler->schedule([s] { s->sendError(rstest::testError()); });
  failing.scheduler->step(2);
  EXPECT_EQ(failed.events(), (std::vector<std::string>{"error:7"}));  // the delayed value never comes
  failing.scheduler->stepAll();
  EXPECT_EQ(failed.events().size(), 1u);
}

TEST(BufferWithTimeTest, WindowsAsTuplesAndTheRestAtCompletion) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->bufferWithTime(1.0, time.scheduler));
  time.subject->sendNext(fnd::Value(1));
  time.subject->sendNext(fnd::Value());
  EXPECT_EQ(time.scheduler->scheduledActions().size(), 1u);  // one flush per window
  time.scheduler->stepAll();
  time.subject->sendNext(fnd::Value(3));
  time.subject->sendCompleted();
  ASSERT_EQ(recorder.values().size(), 2u);
  EXPECT_EQ(rstest::tupleValues(recorder.values()[0]), (Values{fnd::Value(1), fnd::Value()}));
  EXPECT_EQ(rstest::tupleValues(recorder.values()[1]), (Values{fnd::Value(3)}));
  EXPECT_TRUE(recorder.completed());
  time.scheduler->stepAll();
  EXPECT_EQ(recorder.values().size(), 2u);
}

// A value held, delayed or buffered when the subscription is disposed is
// never sent, and nothing else comes after.
TEST(TimeOperatorsTest, DisposingWithAValueWaitingSendsNothing) {
  const struct {
    const char* what;
    std::function<RSSignalPtr(VirtualTime&)> apply;
  } cases[] = {
      {"throttle", [](VirtualTime& t) { return t.subject->throttle(1.0); }},
      {"delay", [](VirtualTime& t) { return t.subject->delay(1.0); }},
      {"bufferWithTime", [](VirtualTime& t) { return t.subject->bufferWithTime(1.0, t.scheduler); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VirtualTime time;
    Recorder recorder;
    auto subscription = recorder.subscribe(c.apply(time));
    time.send(fnd::Value(1));
    time.scheduler->step();
    subscription->dispose();
    time.scheduler->stepAll();
    EXPECT_TRUE(recorder.events().empty());
  }
}

TEST(TimeoutTest, FailsEvenWhileValuesKeepComing) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->timeout(1.0, time.scheduler));
  time.subject->sendNext(fnd::Value(1));
  time.subject->sendNext(fnd::Value(2));
  time.scheduler->stepAll();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "next:2", "error:1"}));
  EXPECT_EQ(recorder.error()->domain(), RSSignalErrorDomain);
  time.subject->sendNext(fnd::Value(3));
  EXPECT_EQ(recorder.values().size(), 2u);
}

TEST(TimeoutTest, EndingInTimeCancelsIt) {
  VirtualTime time;
  Recorder recorder;
  recorder.subscribe(time.subject->timeout(1.0, time.scheduler));
  time.subject->sendCompleted();
  time.scheduler->stepAll();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"completed"}));
}

TEST(IntervalTest, FirstTickOneIntervalAfterSubscriptionUntilDisposed) {
  auto scheduler = std::make_shared<RSTestScheduler>();
  Recorder recorder;
  auto before = std::chrono::system_clock::now();
  auto subscription = recorder.subscribe(RSSignal::interval(1.0, scheduler));
  EXPECT_TRUE(recorder.values().empty());
  auto actions = scheduler->scheduledActions();
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_GE(actions[0]->date(), before + std::chrono::seconds(1));
  scheduler->step(3);
  ASSERT_EQ(recorder.values().size(), 3u);
  EXPECT_GT(recorder.values()[0].doubleValue(), 1.6e9);  // a date, in seconds since 1970
  subscription->dispose();
  scheduler->stepAll();
  EXPECT_EQ(recorder.values().size(), 3u);
  EXPECT_FALSE(recorder.completed());
}

TEST(DeliverOnTest, EventsAndSubscriptionMoveToTheScheduler) {
  auto scheduler = std::make_shared<RSTestScheduler>();
  Recorder delivered;
  delivered.subscribe(rstest::sequenceSignal({fnd::Value(1)})->deliverOn(scheduler));
  EXPECT_TRUE(delivered.events().empty());
  scheduler->stepAll();
  EXPECT_EQ(delivered.events(), (std::vector<std::string>{"next:1", "completed"}));

  int subscriptions = 0;
  auto counted = RSSignal::createSignal([&](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    ++subscriptions;
    subscriber->sendCompleted();
    return nullptr;
  });
  Recorder subscribed;
  auto subscription = subscribed.subscribe(counted->subscribeOn(scheduler));
  EXPECT_EQ(subscriptions, 0);
  scheduler->stepAll();
  EXPECT_EQ(subscriptions, 1);

  auto cancelled = subscribed.subscribe(counted->subscribeOn(scheduler));
  cancelled->dispose();
  scheduler->stepAll();
  EXPECT_EQ(subscriptions, 1);
}

TEST(DeliverOnMainThreadTest, AtOnceOnTheMainThreadQueuedFromElsewhereInOrder) {
  auto subject = RSSubject::subject();
  Recorder recorder;
  std::atomic<int> offMain{0};
  auto signal = subject->deliverOnMainThread()->doNext([&](const fnd::Value&) {
    if (!dispatch::isMainThread()) offMain++;
  });
  recorder.subscribe(signal);
  subject->sendNext(fnd::Value(1));
  EXPECT_EQ(recorder.values(), (Values{fnd::Value(1)}));  // before sendNext returned

  rstest::onPlainThread([&] { subject->sendNext(fnd::Value(2)); });
  subject->sendNext(fnd::Value(3));  // queued behind 2
  EXPECT_EQ(recorder.values().size(), 1u);
  dispatch::drainMainQueue();
  EXPECT_EQ(recorder.values(), (Values{fnd::Value(1), fnd::Value(2), fnd::Value(3)}));
  EXPECT_EQ(offMain, 0);
}
