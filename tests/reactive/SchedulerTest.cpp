#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSScheduler.h"
#include "reactive/RSTestScheduler.h"

using namespace std::chrono_literals;
using rstest::pumpUntil;
using rstest::waitUntil;

namespace {

TEST(SchedulerTest, CurrentSchedulerPerThread) {
  // The main thread outside any block.
  EXPECT_EQ(RSScheduler::currentScheduler(), RSScheduler::mainThreadScheduler());

  // A plain thread outside any block.
  RSSchedulerPtr onThread = RSScheduler::mainThreadScheduler();
  std::thread([&onThread] { onThread = RSScheduler::currentScheduler(); }).join();
  EXPECT_EQ(onThread, nullptr);

  // Inside a queued block, and nested runs restore the outer one.
  auto background = RSScheduler::scheduler();
  auto other = RSScheduler::scheduler();
  std::atomic<bool> done{false};
  RSSchedulerPtr inBlock, nested, afterNested;
  background->schedule([&] {
    inBlock = RSScheduler::currentScheduler();
    other->performAsCurrentScheduler([&] { nested = RSScheduler::currentScheduler(); });
    afterNested = RSScheduler::currentScheduler();
    done = true;
  });
  ASSERT_TRUE(waitUntil([&] { return done.load(); }));
  EXPECT_EQ(inBlock, background);
  EXPECT_EQ(nested, other);
  EXPECT_EQ(afterNested, background);
}

TEST(SchedulerTest, BackgroundBlocksNeverOverlapAndKeepOrder) {
  auto scheduler = RSScheduler::scheduler();
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  std::mutex mutex;
  std::vector<int> order;
  constexpr int kBlocks = 200;
  for (int i = 0; i < kBlocks; ++i) {
    scheduler->schedule([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      {
        std::lock_guard lock(mutex);
        order.push_back(i);
      }
      running.fetch_sub(1);
    });
  }
  ASSERT_TRUE(waitUntil([&] {
    std::lock_guard lock(mutex);
    return order.size() == kBlocks;
  }));
  EXPECT_FALSE(overlapped);
  for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(SchedulerTest, DisposingBeforeTheQueueGetsThereCancels) {
  auto main = RSScheduler::mainThreadScheduler();
  bool ran = false;
  auto disposable = main->schedule([&ran] { ran = true; });
  disposable->dispose();
  bool later = false;
  main->schedule([&later] { later = true; });
  ASSERT_TRUE(pumpUntil([&] { return later; }));
  EXPECT_FALSE(ran);
}

TEST(SchedulerTest, MainThreadSchedulerRunsOnTheMainThreadAfterADate) {
  auto main = RSScheduler::mainThreadScheduler();
  bool ran = false;
  bool onMain = false;
  auto start = std::chrono::steady_clock::now();
  main->afterDelay(0.02, [&] {
    ran = true;
    onMain = dispatch::isMainThread() && RSScheduler::currentScheduler() == RSScheduler::mainThreadScheduler();
  });
  ASSERT_TRUE(pumpUntil([&] { return ran; }));
  EXPECT_TRUE(onMain);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 15ms);
}

TEST(SchedulerTest, RepeatingTimerUntilDisposed) {
  auto scheduler = RSScheduler::scheduler();
  constexpr double kInterval = 0.005;
  std::atomic<int> fires{0};
  auto disposable = scheduler->after(std::chrono::system_clock::now(), kInterval, 0.0, [&fires] { fires++; });
  ASSERT_TRUE(waitUntil([&] { return fires >= 3; }));
  disposable->dispose();
  int atDisposal = fires;
  // Fence twice through the timer's queue: a block due a few intervals on
  // queues another there, behind any fire due before it. A timer still going
  // fires at least once more in each round.
  for (int round = 0; round < 2; ++round) {
    auto fenced = std::make_shared<std::atomic<bool>>(false);
    scheduler->afterDelay(4 * kInterval, [scheduler, fenced] { scheduler->schedule([fenced] { *fenced = true; }); });
    ASSERT_TRUE(waitUntil([&] { return fenced->load(); }));
  }
  EXPECT_LE(fires - atDisposal, 1);  // a fire already under way may finish
}

TEST(SchedulerTest, SubscriptionSchedulerInlineOnlyWithACurrentScheduler) {
  auto subscription = RSScheduler::subscriptionScheduler();
  bool inlineRan = false;
  EXPECT_EQ(subscription->schedule([&inlineRan] { inlineRan = true; }), nullptr);
  EXPECT_TRUE(inlineRan);

  // Off the main thread, outside any scheduler: queued on another thread.
  std::atomic<bool> ran{false};
  std::atomic<bool> ranElsewhere{false};
  std::thread([&] {
    auto caller = std::this_thread::get_id();
    auto d = subscription->schedule([&ran, &ranElsewhere, caller] {
      ranElsewhere = std::this_thread::get_id() != caller;
      ran = true;
    });
    EXPECT_NE(d, nullptr);
  }).join();
  ASSERT_TRUE(waitUntil([&] { return ran.load(); }));
  EXPECT_TRUE(ranElsewhere);
}

TEST(SchedulerTest, ImmediateSchedulerRunsInlineAndSleepsForDates) {
  auto immediate = RSScheduler::immediateScheduler();
  int runs = 0;
  EXPECT_EQ(immediate->schedule([&runs] { runs++; }), nullptr);
  EXPECT_EQ(runs, 1);
  auto start = std::chrono::steady_clock::now();
  immediate->afterDelay(0.02, [&runs] { runs++; });
  EXPECT_EQ(runs, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 15ms);
  EXPECT_EQ(immediate->after(std::chrono::system_clock::now(), 1.0, 0.0, [] {}), nullptr);

  // Each reschedule made during a pass causes one more pass.
  int passes = 0;
  immediate->scheduleRecursiveBlock([&passes](const std::function<void()>& reschedule) {
    ++passes;
    if (passes == 1) {
      reschedule();
      reschedule();
    }
  });
  EXPECT_EQ(passes, 3);
}

// Stands where the immediate scheduler's frame stood, then calls a reschedule
// kept from a pass; true when nothing in this frame was written meanwhile.
__attribute__((noinline)) bool lateRescheduleLeavesTheStackAlone(const std::function<void()>& late) {
  volatile unsigned long frame[256];
  for (auto& word : frame) word = 0x5a5a5a5aUL;
  late();
  bool intact = true;
  for (auto& word : frame) intact = intact && word == 0x5a5a5a5aUL;
  return intact;
}

TEST(SchedulerTest, ImmediateSchedulerIgnoresARescheduleKeptPastItsReturn) {
  auto immediate = RSScheduler::immediateScheduler();
  std::function<void()> keep;
  int passes = 0;
  immediate->scheduleRecursiveBlock([&](const std::function<void()>& reschedule) {
    ++passes;
    keep = reschedule;
  });
  EXPECT_EQ(passes, 1);
  EXPECT_TRUE(lateRescheduleLeavesTheStackAlone(keep));
  EXPECT_EQ(passes, 1);
}

TEST(SchedulerTest, RecursiveBlockTwoReschedulesGiveTwoSeparatePasses) {
  auto scheduler = std::make_shared<RSTestScheduler>();
  int passes = 0;
  scheduler->scheduleRecursiveBlock([&passes](const std::function<void()>& reschedule) {
    ++passes;
    if (passes == 1) {
      reschedule();
      reschedule();
    }
  });
  scheduler->step();
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(scheduler->scheduledActions().size(), 2u);  // each in its own block
  scheduler->stepAll();
  EXPECT_EQ(passes, 3);
}

TEST(SchedulerTest, RecursiveBlockStopsWhenDisposedAndAcceptsLateReschedules) {
  auto scheduler = RSScheduler::mainThreadScheduler();
  int passes = 0;
  std::function<void()> keep;
  auto disposable = scheduler->scheduleRecursiveBlock([&](const std::function<void()>& reschedule) {
    ++passes;
    keep = reschedule;
  });
  ASSERT_TRUE(pumpUntil([&] { return passes == 1; }));
  keep();  // after the pass: acts at once
  ASSERT_TRUE(pumpUntil([&] { return passes == 2; }));
  disposable->dispose();
  keep();
  bool fenced = false;  // queued behind any pass the late reschedule queued
  scheduler->schedule([&fenced] { fenced = true; });
  ASSERT_TRUE(pumpUntil([&] { return fenced; }));
  EXPECT_EQ(passes, 2);
  keep = nullptr;
}

TEST(SchedulerTest, ManyRecursivePassesDoNotDeepenTheStackOrGrowTheDisposable) {
  auto scheduler = RSScheduler::scheduler();
  std::atomic<int> passes{0};
  constexpr int kPasses = 2000;
  auto disposable = scheduler->scheduleRecursiveBlock([&passes](const std::function<void()>& reschedule) {
    if (++passes < kPasses) reschedule();
  });
  ASSERT_TRUE(waitUntil([&] { return passes == kPasses; }));
  disposable->dispose();
}

TEST(TestSchedulerTest, OrderingStepsAndDeallocation) {
  std::vector<int> order;
  auto scheduler = std::make_shared<RSTestScheduler>();
  auto now = std::chrono::system_clock::now();
  scheduler->after(now + std::chrono::seconds(2), [&order] { order.push_back(20); });
  scheduler->after(now + std::chrono::seconds(1), [&order] { order.push_back(10); });
  scheduler->after(now + std::chrono::seconds(1), [&order] { order.push_back(11); });
  scheduler->schedule([&order] { order.push_back(1); });
  auto cancelled = scheduler->schedule([&order] { order.push_back(-1); });
  RSTestScheduler* raw = scheduler.get();
  scheduler->schedule([&order, raw] {
    order.push_back(2);
    EXPECT_EQ(RSScheduler::currentScheduler().get(), raw);
  });
  cancelled->dispose();
  EXPECT_EQ(scheduler->numberOfDirectlyScheduledBlocks(), 3u);

  scheduler->step();
  EXPECT_EQ(order, (std::vector<int>{1}));
  scheduler->step(2);  // the cancelled block still counts as a step
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  scheduler->step();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 10}));

  // Deallocation runs what is left.
  scheduler.reset();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 10, 11, 20}));
}

TEST(TestSchedulerTest, RepetitionReschedulesUntilDisposed) {
  auto scheduler = std::make_shared<RSTestScheduler>();
  int fires = 0;
  auto start = std::chrono::system_clock::now();
  auto disposable = scheduler->after(start, 1.0, 0.0, [&fires] { ++fires; });
  scheduler->step(3);
  EXPECT_EQ(fires, 3);
  auto pending = scheduler->scheduledActions();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0]->date(), start + std::chrono::seconds(3));
  disposable->dispose();
  scheduler->stepAll();
  EXPECT_EQ(fires, 3);
}

}  // namespace

// Work scheduled for a subscription that throws ends that subscription with
// an error carrying what was thrown: on a background queue, on the main
// queue, inline on the main thread, from a timer.
TEST(SchedulerTest, ATaskThatThrowsEndsItsSubscriptionWithAnError) {
  auto throwing = [](const fnd::Value&) -> fnd::Value { throw std::runtime_error("no room for it"); };
  auto throwingSubscription = RSSignal::createSignal([](const RSSubscriberPtr&) -> RSDisposablePtr {
    throw std::runtime_error("no room for it");
  });
  const RSSignalPtr one = RSSignal::return_(fnd::Value(1));
  struct Case {
    const char* what;
    std::function<RSSignalPtr()> signal;
    bool subscribeOffTheMainThread;
  };
  const Case cases[] = {
      {"subscribed on the background queue", [&] { return throwingSubscription; }, true},
      {"subscribed inline on the main thread", [&] { return throwingSubscription; }, false},
      {"subscribeOn", [&] { return throwingSubscription->subscribeOn(RSScheduler::scheduler()); }, false},
      {"deliverOn a queue", [&] { return one->deliverOn(RSScheduler::scheduler())->map(throwing); }, false},
      {"deliverOn the main queue", [&] { return one->deliverOn(RSScheduler::mainThreadScheduler())->map(throwing); },
       true},
      {"delay", [&] { return one->delay(0.001)->map(throwing); }, true},
      {"interval", [&] { return RSSignal::interval(0.001, RSScheduler::scheduler())->map(throwing); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rstest::Recorder recorder;
    RSDisposablePtr subscription;
    if (c.subscribeOffTheMainThread) {
      std::thread([&] { subscription = recorder.subscribe(c.signal()); }).join();
    } else {
      subscription = recorder.subscribe(c.signal());
    }
    ASSERT_TRUE(pumpUntil([&] { return recorder.ended(); }));
    ASSERT_TRUE(recorder.failed());
    EXPECT_EQ(recorder.error()->domain(), RSSignalErrorDomain);
    EXPECT_EQ(recorder.error()->code(), RSSignalErrorTaskThrew);
    EXPECT_NE(recorder.error()->localizedDescription().find("no room for it"), std::string::npos);
    EXPECT_EQ(recorder.events().size(), 1u);  // nothing before, nothing after
    RSDispose(subscription);
  }
}
