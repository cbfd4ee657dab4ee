// `after` and timer sources, on the manual clock unless stated.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "DispatchTestSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/TimerSource.h"

namespace dispatch {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

class ManualTime : public ::testing::Test {
protected:
  void SetUp() override {
    clock = std::make_shared<ManualClock>();
    setClockForTesting(clock);
  }
  void TearDown() override {
    drainMainQueue();
    setClockForTesting(nullptr);
  }
  void advance(Clock::duration by) {
    clock->advance(by);
    drainMainQueue();
  }
  std::shared_ptr<ManualClock> clock;
};

using After = ManualTime;

TEST_F(After, RunsInDeadlineOrderThenCallOrderAndNothingBeforeItIsDue) {
  std::vector<std::string> order;
  auto main = Queue::main();
  main->after(20ms, [&] { order.push_back("20a"); });
  main->after(10ms, [&] { order.push_back("10"); });
  main->after(20ms, [&] { order.push_back("20b"); });
  main->after(0ms, [&] { order.push_back("now"); });
  drainMainQueue();
  EXPECT_EQ(order, (std::vector<std::string>{"now"}));
  advance(9ms);
  EXPECT_EQ(order.size(), 1u);
  advance(1ms);
  EXPECT_EQ(order, (std::vector<std::string>{"now", "10"}));
  advance(50ms);
  EXPECT_EQ(order, (std::vector<std::string>{"now", "10", "20a", "20b"}));
}

TEST_F(After, SubmitsToItsQueueWhichKeepsItsOwnOrder) {
  auto serial = Queue::createSerial("test.after.serial", Queue::main());
  std::vector<int> order;
  serial->after(5ms, [&] {
    EXPECT_EQ(Queue::current(), serial);
    order.push_back(2);
  });
  serial->async([&] { order.push_back(1); });
  advance(5ms);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

using Timer = ManualTime;

TEST_F(Timer, RepeatsEveryIntervalOnlyAfterResume) {
  TimerSource timer(Queue::main());
  int calls = 0;
  timer.setEventHandler([&] {
    ++calls;
    EXPECT_EQ(timer.data(), 1u);
  });
  timer.setTimer(10ms, 10ms);
  advance(30ms);
  EXPECT_EQ(calls, 0) << "fired while suspended";
  timer.resume();
  for (int i = 1; i <= 5; ++i) {
    advance(9ms);
    EXPECT_EQ(calls, i - 1);
    advance(1ms);
    EXPECT_EQ(calls, i);
  }
}

TEST_F(Timer, CoalescesMissedFiresAndKeepsItsPhase) {
  TimerSource timer(Queue::main());
  std::vector<uint64_t> data;
  timer.setEventHandler([&] { data.push_back(timer.data()); });
  timer.setTimer(10ms, 10ms);
  timer.resume();
  advance(35ms);  // deadlines 10, 20 and 30 passed at once
  EXPECT_EQ(data, (std::vector<uint64_t>{3}));
  advance(5ms);  // 40: still on the original phase
  EXPECT_EQ(data, (std::vector<uint64_t>{3, 1}));

  // A handler that has not run yet (the main queue is not pumped) absorbs
  // further fires instead of queueing more calls.
  clock->advance(10ms);
  clock->advance(10ms);
  clock->advance(10ms);
  EXPECT_EQ(drainMainQueue(), 1u);
  EXPECT_EQ(data, (std::vector<uint64_t>{3, 1, 3}));
}

TEST_F(Timer, OneShotFiresOnceAndSettingItAgainRestartsFromNow) {
  TimerSource timer(Queue::main());
  int calls = 0;
  timer.setEventHandler([&] { ++calls; });
  timer.setTimer(10ms, 0ms);
  timer.resume();
  advance(8ms);
  timer.setTimer(10ms, 0ms);  // the first deadline (10) no longer counts
  advance(5ms);
  EXPECT_EQ(calls, 0);
  advance(5ms);
  EXPECT_EQ(calls, 1);
  advance(100ms);
  EXPECT_EQ(calls, 1);
}

TEST_F(Timer, CancelStopsEvenAFireAlreadyQueuedAndThenRunsTheCancelHandlerOnce) {
  TimerSource timer(Queue::main());
  int calls = 0;
  int cancels = 0;
  timer.setEventHandler([&] { ++calls; });
  timer.setCancelHandler([&] { ++cancels; });
  timer.setTimer(10ms, 10ms);
  timer.resume();
  advance(10ms);
  ASSERT_EQ(calls, 1);
  clock->advance(10ms);  // a delivery is now queued on the main queue
  timer.cancel();
  timer.cancel();
  EXPECT_TRUE(timer.isCancelled());
  advance(50ms);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(cancels, 1);
}

TEST_F(Timer, CancelFromItsOwnHandlerEndsIt) {
  TimerSource timer(Queue::main());
  int calls = 0;
  timer.setEventHandler([&] {
    if (++calls == 2) timer.cancel();
  });
  timer.setTimer(1ms, 1ms);
  timer.resume();
  for (int i = 0; i < 10; ++i) advance(1ms);
  EXPECT_EQ(calls, 2);
}

// A cancelled timer lets go of what its handlers hold, though the source
// itself lives on: a view model keeps its timer, and the timer must not keep
// what the view model's handler captured (often the view model itself).
TEST_F(Timer, CancelReleasesWhatItsHandlersHoldWhileTheSourceLives) {
  struct Case {
    const char* name;
    bool resume;
    bool fireQueued;  // a delivery waits on the queue when the cancel comes
  };
  for (const Case& c : {Case{"never resumed", false, false}, Case{"armed", true, false},
                        Case{"with a fire queued", true, true}}) {
    SCOPED_TRACE(c.name);
    TimerSource timer(Queue::main());
    auto held = std::make_shared<int>(0);
    auto heldByCancel = std::make_shared<int>(0);
    std::weak_ptr<int> handlerCapture = held, cancelCapture = heldByCancel;
    int calls = 0, cancels = 0;
    timer.setEventHandler([&calls, held] { ++calls; });
    timer.setCancelHandler([&cancels, heldByCancel] { ++cancels; });
    held.reset();
    heldByCancel.reset();
    timer.setTimer(10ms, 10ms);
    if (c.resume) timer.resume();
    if (c.fireQueued) clock->advance(10ms);
    timer.cancel();
    EXPECT_TRUE(handlerCapture.expired()) << "the event handler's captures outlive the cancel";
    advance(50ms);  // the cancel handler runs on the queue, then goes
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(cancelCapture.expired()) << "the cancel handler's captures outlive its call";
  }
}

TEST_F(Timer, CancelFromItsOwnHandlerReleasesItOnceItReturns) {
  TimerSource timer(Queue::main());
  auto held = std::make_shared<int>(0);
  std::weak_ptr<int> capture = held;
  bool aliveDuringCall = false;
  timer.setEventHandler([&, held] {
    timer.cancel();
    aliveDuringCall = !capture.expired();  // still running: still held
  });
  held.reset();
  timer.setTimer(1ms, 1ms);
  timer.resume();
  advance(1ms);
  EXPECT_TRUE(aliveDuringCall);
  EXPECT_TRUE(capture.expired());
}

// Real clock, concurrent queue: the handler never overlaps itself, and once
// the cancel handler has run no handler is running or starts again.
TEST(TimerRealClock, CancelFromAnotherThreadWhileTheHandlerRunsOnAConcurrentQueue) {
  auto queue = Queue::createConcurrent("test.timer.pool");
  TimerSource timer(queue);
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  std::atomic<int> calls{0};
  std::atomic<bool> cancelHandlerRan{false};
  std::atomic<int> insideAtCancelHandler{-1};
  std::atomic<int> callsAtCancelHandler{-1};
  timer.setEventHandler([&] {
    int now = ++inside;
    if (now > most) most = now;
    std::this_thread::sleep_for(2ms);
    --inside;
    ++calls;
  });
  timer.setCancelHandler([&] {
    insideAtCancelHandler = inside.load();
    callsAtCancelHandler = calls.load();
    cancelHandlerRan = true;
  });
  timer.setTimer(1ms, 1ms);
  timer.resume();
  ASSERT_TRUE(waitUntil([&] { return calls.load() >= 3; }));
  timer.cancel();
  const int callsAtCancel = calls.load();
  ASSERT_TRUE(waitUntil([&] { return cancelHandlerRan.load(); }));
  EXPECT_EQ(insideAtCancelHandler.load(), 0);
  EXPECT_LE(callsAtCancelHandler.load(), callsAtCancel + 1);
  // A task due several intervals from now is taken from the queue after any
  // fire due before it: once it has run, and no call is inside, none came.
  auto markerRan = std::make_shared<std::atomic<bool>>(false);
  queue->after(10ms, [markerRan] { markerRan->store(true); });
  ASSERT_TRUE(waitUntil([&] { return markerRan->load() && inside.load() == 0; }));
  EXPECT_EQ(calls.load(), callsAtCancelHandler.load());
  EXPECT_EQ(most.load(), 1);
}

// A cancel handler that is replaced goes after the timer's lock is released:
// what it holds may look at the timer as it is destroyed.
TEST(TimerRealClock, AReplacedCancelHandlerIsReleasedOutsideTheTimersLock) {
  struct Probe {
    std::shared_ptr<TimerSource> timer;
    ~Probe() {
      if (timer) timer->isCancelled();
    }
  };
  auto timer = std::make_shared<TimerSource>(Queue::global());
  auto done = std::make_shared<std::atomic<bool>>(false);
  // On a thread of its own, so that a self-deadlock fails the test instead of
  // hanging it.
  std::thread([timer, done] {
    auto probe = std::make_shared<Probe>();
    probe->timer = timer;
    timer->setCancelHandler([probe] {});
    probe.reset();
    timer->setCancelHandler([] {});
    done->store(true);
  }).detach();
  EXPECT_TRUE(waitUntil([&] { return done->load(); }, 2000ms));
}

}  // namespace
}  // namespace dispatch
