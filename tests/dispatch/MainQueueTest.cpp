// The main queue and its driver, sync, and Queue::current().
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "DispatchTestSupport.h"
#include "platform/dispatch/Queue.h"

namespace dispatch {
namespace {

using namespace std::chrono_literals;
using testing::Gate;
using testing::waitUntil;

TEST(MainQueue, PostsFromManyThreadsRunOnTheMainThreadInEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kEach = 300;
  std::vector<std::vector<int>> seen(kThreads);  // main thread only
  bool offMain = false;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        Queue::main()->async([&, t, i] {
          offMain = offMain || !isMainThread();
          seen[t].push_back(i);
        });
      }
    });
  }
  size_t total = 0;
  EXPECT_TRUE(runMainLoopUntil(
      [&] {
        total = 0;
        for (auto& s : seen) total += s.size();
        return total == size_t(kThreads * kEach);
      },
      5s));
  for (auto& t : threads) t.join();
  EXPECT_FALSE(offMain);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < int(seen[t].size()); ++i) ASSERT_EQ(seen[t][i], i);
  }
}

TEST(MainQueue, WorkPostedWithoutADriverIsHeldAndHandedOverInOrder) {
  auto original = mainQueueDriver();
  setMainQueueDriver(nullptr);
  std::vector<int> order;
  Queue::main()->async([&] { order.push_back(1); });
  Queue::main()->async([&] { order.push_back(2); });
  EXPECT_EQ(drainMainQueue(), 0u);
  auto fresh = std::make_shared<ManualMainQueueDriver>();
  setMainQueueDriver(fresh);
  EXPECT_EQ(fresh->pendingCount(), 2u);
  Queue::main()->async([&] { order.push_back(3); });
  drainMainQueue();
  setMainQueueDriver(original);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(MainQueue, RunMainLoopUntilGivesUpAtTheBound) {
  const auto start = Clock::now();
  EXPECT_FALSE(runMainLoopUntil([] { return false; }, 30ms));
  // It returned, having waited the bound at least (a loaded machine may add
  // any amount to that).
  EXPECT_GE(Clock::now() - start, 30ms);
}

TEST(Sync, FromAnotherThreadRunsOnTheMainThreadWhileItPumps) {
  std::atomic<bool> returned{false};
  bool ranOnMain = false;
  std::thread caller([&] {
    EXPECT_TRUE(Queue::main()->sync([&] { ranOnMain = isMainThread(); }));
    returned = true;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return returned.load(); }, 5s));
  caller.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(Sync, WaitsBehindPendingTasksOfASerialQueue) {
  auto queue = Queue::createSerial("test.sync.order");
  Gate release;
  std::vector<int> order;  // inside the queue, then read after sync
  queue->async([&, release] {
    EXPECT_TRUE(release.wait());
    order.push_back(1);
  });
  queue->async([&] { order.push_back(2); });
  std::thread opener([release] {
    std::this_thread::sleep_for(5ms);
    release.open();
  });
  EXPECT_TRUE(queue->sync([&] { order.push_back(3); }));
  opener.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Sync, OntoTheRunningQueueOrOneTargetingItRunsInlineInsteadOfDeadlocking) {
  auto outer = Queue::createSerial("test.sync.outer");
  auto inner = Queue::createSerial("test.sync.inner", outer);
  std::vector<std::string> order;
  EXPECT_TRUE(outer->sync([&] {
    order.push_back("outer");
    EXPECT_TRUE(outer->sync([&] { order.push_back("outer again"); }));
    EXPECT_TRUE(inner->sync([&] {
      EXPECT_EQ(Queue::current(), inner);
      order.push_back("inner");
    }));
  }));
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "outer again", "inner"}));
}

TEST(Sync, OnTheMainQueueOrAQueueChainedToItFromTheMainThreadRunsInline) {
  auto queue = Queue::createSerial("test.sync.mainchain", Queue::main());
  int ran = 0;
  EXPECT_TRUE(Queue::main()->sync([&] { ++ran; }));
  EXPECT_TRUE(queue->sync([&] {
    EXPECT_EQ(Queue::current(), queue);
    ++ran;
  }));
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(drainMainQueue(), 0u);
}

TEST(Current, IsTheRunningSerialQueueTheMainQueueOnMainAndNullOnPlainThreads) {
  EXPECT_EQ(Queue::current(), Queue::main());

  std::shared_ptr<Queue> onPlainThread = Queue::main();
  std::thread([&] { onPlainThread = Queue::current(); }).join();
  EXPECT_EQ(onPlainThread, nullptr);

  auto serial = Queue::createSerial("test.current");
  std::shared_ptr<Queue> inSerial;
  serial->sync([&] { inSerial = Queue::current(); });
  EXPECT_EQ(inSerial, serial);

  std::atomic<bool> globalSawNull{false};
  std::atomic<bool> done{false};
  Queue::global()->async([&] {
    globalSawNull = Queue::current() == nullptr;
    done = true;
  });
  ASSERT_TRUE(waitUntil([&] { return done.load(); }));
  EXPECT_TRUE(globalSawNull.load());
}

}  // namespace
}  // namespace dispatch
