// Serial queues: order, mutual exclusion on concurrent targets, target
// chains, lifetime and fairness.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "DispatchTestSupport.h"
#include "platform/dispatch/Queue.h"

namespace dispatch {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

// Counts how many tasks run at once and remembers the most seen.
struct OverlapProbe {
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  void enter() {
    int now = ++inside;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
  }
  void leave() { --inside; }
};

// Tasks on pool threads hold what they touch (see Gate): a test that fails
// its bound returns while they may still run.

TEST(SerialQueue, KeepsEachProducersOrderAndNeverOverlapsUnderManyProducers) {
  auto queue = Queue::createSerial("test.serial.producers");
  constexpr int kProducers = 8;
  constexpr int kPerProducer = 400;
  struct Seen {
    std::vector<std::vector<int>> byProducer = std::vector<std::vector<int>>(kProducers);  // only the queue writes
    OverlapProbe probe;
    std::atomic<int> done{0};
  };
  auto seen = std::make_shared<Seen>();

  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([queue, seen, p] {
      for (int i = 0; i < kPerProducer; ++i) {
        queue->async([seen, p, i] {
          seen->probe.enter();
          seen->byProducer[p].push_back(i);
          seen->probe.leave();
          ++seen->done;
        });
      }
    });
  }
  for (auto& t : producers) t.join();
  ASSERT_TRUE(waitUntil([&] { return seen->done.load() == kProducers * kPerProducer; }));
  EXPECT_EQ(seen->probe.most.load(), 1);
  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(seen->byProducer[p].size(), size_t(kPerProducer));
    for (int i = 0; i < kPerProducer; ++i) ASSERT_EQ(seen->byProducer[p][i], i) << "producer " << p;
  }
}

TEST(SerialQueue, NeverRunsTwoTasksAtOnceOnAConcurrentTargetWhileOtherQueuesDoRunInParallel) {
  auto runtime = Runtime::create("test.rt.overlap", 4);
  auto pool = runtime->createConcurrent("test.pool");
  auto a = runtime->createSerial("test.a", pool);
  auto b = runtime->createSerial("test.b", pool);

  // Task i of a stays inside until task i of b has seen it there, so b runs
  // beside a every time, and a second task of a that a free worker started
  // meanwhile would be inside with it. Each step waits for the one before,
  // never for a time, so a loaded machine makes the run longer but not its
  // verdict; a wait that gives up (a fault) ends the others. Over two of a's
  // batches.
  constexpr int kTasks = 40;
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0, current = -1, seen = -1, met = 0, done = 0;
    bool overlapped = false, stuck = false;
  };
  auto shared = std::make_shared<Shared>();
  for (int i = 0; i < kTasks; ++i) {
    a->async([shared, i] {
      std::unique_lock lock(shared->mutex);
      if (++shared->inside > 1) shared->overlapped = true;
      shared->current = i;
      shared->changed.notify_all();
      auto bSawIt = [&] { return shared->seen == i || shared->overlapped || shared->stuck; };
      if (!shared->changed.wait_for(lock, 30s, bSawIt)) shared->stuck = true;
      --shared->inside;
      ++shared->done;
      shared->changed.notify_all();
    });
  }
  for (int i = 0; i < kTasks; ++i) {
    b->async([shared, i] {
      std::unique_lock lock(shared->mutex);
      auto aIsInside = [&] { return shared->current == i || shared->overlapped || shared->stuck; };
      shared->changed.wait_for(lock, 30s, aIsInside);
      if (shared->current == i && shared->inside == 1) {
        shared->seen = i;
        ++shared->met;
      } else {
        shared->stuck = true;
      }
      shared->changed.notify_all();
    });
  }
  std::unique_lock lock(shared->mutex);
  for (int before = -1; shared->done < kTasks && shared->done > before;) {
    before = shared->done;
    shared->changed.wait_for(lock, 30s, [&] { return shared->done > before; });
  }
  EXPECT_EQ(shared->done, kTasks);
  EXPECT_FALSE(shared->overlapped);
  EXPECT_EQ(shared->met, kTasks);
}

TEST(SerialQueue, ChainToTheMainQueueRunsOnTheMainThreadInSubmissionOrder) {
  auto outer = Queue::createSerial("test.chain.outer", Queue::main());
  auto inner = Queue::createSerial("test.chain.inner", outer);
  std::vector<std::string> log;  // touched on the main thread only
  std::atomic<bool> offMain{false};

  auto record = [&](std::string what, Queue* expected) {
    return [&, what, expected] {
      if (!isMainThread()) offMain = true;
      EXPECT_EQ(Queue::current().get(), expected);
      log.push_back(what);
    };
  };
  std::thread producer([&] {
    outer->async(record("o1", outer.get()));
    inner->async(record("i1", inner.get()));
    outer->async(record("o2", outer.get()));
    inner->async(record("i2", inner.get()));
  });
  producer.join();
  drainMainQueue();
  EXPECT_FALSE(offMain.load());
  // The inner queue's drain is one item of the outer queue, queued when i1
  // arrived: it runs i1 and i2 together, after o1 and before o2.
  EXPECT_EQ(log, (std::vector<std::string>{"o1", "i1", "i2", "o2"}));
}

TEST(SerialQueue, LongQueueLetsOtherWorkOfItsTargetRunBetweenBatches) {
  auto serial = Queue::createSerial("test.fair", Queue::main());
  std::vector<int> order;
  constexpr int kTasks = 3 * 16;
  for (int i = 0; i < kTasks; ++i) serial->async([&, i] { order.push_back(i); });
  Queue::main()->async([&] { order.push_back(-1); });
  drainMainQueue();
  ASSERT_EQ(order.size(), size_t(kTasks + 1));
  auto pos = std::find(order.begin(), order.end(), -1) - order.begin();
  EXPECT_GT(pos, 0);
  EXPECT_LT(pos, kTasks) << "the main task waited for the whole serial backlog";
  order.erase(order.begin() + pos);
  for (int i = 0; i < kTasks; ++i) EXPECT_EQ(order[i], i);
}

TEST(SerialQueue, StaysAliveWhilePendingAfterTheLastHandleIsDropped) {
  auto queue = Queue::createSerial("test.orphan", Queue::main());
  std::weak_ptr<Queue> weak = queue;
  int ran = 0;
  for (int i = 0; i < 3; ++i) queue->async([&] { ++ran; });
  queue.reset();
  EXPECT_FALSE(weak.expired());
  drainMainQueue();
  EXPECT_EQ(ran, 3);
  EXPECT_TRUE(weak.expired());
}

TEST(SerialQueue, ATaskThatThrowsDoesNotStopTheQueue) {
  auto queue = Queue::createSerial("test.throw");
  auto after = std::make_shared<std::atomic<int>>(0);
  queue->async([] { throw std::runtime_error("boom"); });
  queue->async([after] { ++*after; });
  EXPECT_TRUE(waitUntil([&] { return after->load() == 1; }));
}

}  // namespace
}  // namespace dispatch
