// Shutdown: pending work is dropped (destroyed, never run), the bound holds
// even with a task stuck, and work posted afterwards is dropped. Private
// runtimes keep the shared one working for the other tests; the shared
// runtime and the main queue are shut down in a child process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "DispatchTestSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/TimerSource.h"

namespace dispatch {
namespace {

using namespace std::chrono_literals;
using testing::Gate;
using testing::waitUntil;

// A task whose captured state tells whether it ran and whether it is gone.
// The count is held by the task too: a task that ran late (the fault these
// tests look for) must not write into a finished test's stack.
struct Witness {
  std::shared_ptr<std::atomic<int>> runs = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<int> token = std::make_shared<int>(0);
  std::weak_ptr<int> alive = token;
  Task task() {
    return [runs = runs, token = token] { ++*runs; };
  }
  int ran() const { return runs->load(); }
  void release() { token.reset(); }
};

// Workers a shutdown gives up on outlive the test that made them: everything
// they touch is held by their tasks, never borrowed from the test's stack.
struct StuckWork {
  Gate stuck;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
};

TEST(Shutdown, DropsPendingWorkOfEveryKindAndReturnsWithinTheBoundDespiteStuckTasks) {
  auto runtime = Runtime::create("test.rt.stuck", 2);
  auto serial = runtime->createSerial("test.rt.serial");
  auto work = std::make_shared<StuckWork>();
  auto block = [work] {
    ++work->started;
    work->stuck.wait();
    ++work->finished;
  };
  serial->async(block);             // one worker, inside the serial queue
  runtime->global()->async(block);  // the other one
  ASSERT_TRUE(waitUntil([&] { return work->started.load() == 2; }));

  Witness behindStuck, onGlobal, later;
  serial->async(behindStuck.task());
  runtime->global()->async(onGlobal.task());
  runtime->global()->after(1h, later.task());
  behindStuck.release();
  onGlobal.release();
  later.release();

  // Returned at its bound: had it waited until the stuck tasks let go (at
  // their own bound), it would have joined their threads and said true.
  EXPECT_FALSE(runtime->shutdown(100ms)) << "stuck threads cannot have been joined";
  EXPECT_TRUE(onGlobal.alive.expired()) << "queued work is destroyed at shutdown";
  EXPECT_TRUE(later.alive.expired());

  work->stuck.open();
  // The drain behind the stuck task stops at the shutdown and drops the rest.
  EXPECT_TRUE(waitUntil([&] { return behindStuck.alive.expired() && work->finished.load() == 2; }));
  EXPECT_EQ(behindStuck.ran() + onGlobal.ran() + later.ran(), 0);
}

TEST(Shutdown, ASerialQueueWhoseDrainIsDroppedReleasesTasksThatHoldIt) {
  auto runtime = Runtime::create("test.rt.cycle", 1);
  auto work = std::make_shared<StuckWork>();
  runtime->global()->async([work] {
    ++work->started;
    work->stuck.wait();
    ++work->finished;
  });
  ASSERT_TRUE(waitUntil([&] { return work->started.load() == 1; }));
  // The only worker is busy, so the serial queue's drain waits in the pool.
  // Its task holds the queue itself, as a timer's fire does.
  std::weak_ptr<Queue> weakSerial;
  Witness w;
  {
    auto serial = runtime->createSerial("test.rt.cycle.serial");
    weakSerial = serial;
    serial->async([serial, task = w.task()] { task(); });
  }
  w.release();
  EXPECT_FALSE(runtime->shutdown(50ms));
  EXPECT_TRUE(w.alive.expired()) << "the dropped drain took the queue's tasks with it";
  EXPECT_TRUE(weakSerial.expired()) << "no cycle keeps the queue alive";
  EXPECT_EQ(w.ran(), 0);
  // The abandoned worker leaves after the test; it holds what it touches.
  work->stuck.open();
}

TEST(Shutdown, AfterwardsEveryKindOfSubmissionIsDroppedAndSyncReturns) {
  auto runtime = Runtime::create("test.rt.after", 2);
  auto serial = runtime->createSerial("test.rt.after.serial");
  auto toMain = runtime->createSerial("test.rt.after.main", Queue::main());
  auto pool = runtime->createConcurrent("test.rt.after.pool");
  std::atomic<int> ticks{0};
  TimerSource timer(serial);
  timer.setEventHandler([&] { ++ticks; });
  timer.setTimer(1ms, 1ms);
  timer.resume();
  ASSERT_TRUE(waitUntil([&] { return ticks.load() > 0; }));

  EXPECT_TRUE(runtime->shutdown(1s));
  const int ticksAtShutdown = ticks.load();
  const size_t droppedBefore = runtime->droppedCount();

  Witness w;
  serial->async(w.task());
  toMain->async(w.task());
  pool->async(w.task());
  runtime->global()->async(w.task());
  serial->after(1ms, w.task());
  EXPECT_FALSE(serial->sync(w.task()));
  EXPECT_FALSE(pool->sync(w.task()));
  w.release();
  EXPECT_TRUE(w.alive.expired());
  drainMainQueue();
  // Every thread of the runtime was joined: nothing of it runs any more.
  EXPECT_EQ(w.ran(), 0);
  EXPECT_EQ(ticks.load(), ticksAtShutdown);
  EXPECT_EQ(runtime->droppedCount(), droppedBefore + 7);
  // The shared runtime is untouched.
  EXPECT_TRUE(Queue::createSerial("test.still.alive")->sync([] {}));
}

TEST(Shutdown, SyncWaitingOnADroppedTaskReturnsFalse) {
  auto runtime = Runtime::create("test.rt.sync", 2);
  auto serial = runtime->createSerial("test.rt.sync.serial");
  Gate release;
  Gate started;
  serial->async([release, started] {
    started.open();
    release.wait();
  });
  ASSERT_TRUE(started.wait());
  auto result = std::make_shared<std::atomic<int>>(-1);
  std::thread waiter([serial, result] { *result = serial->sync([] {}) ? 1 : 0; });
  // Let the waiter queue its task (else sync sees the shutdown and returns
  // false at once: the same answer, by the shorter way).
  std::this_thread::sleep_for(5ms);
  std::thread stopper([runtime] { runtime->shutdown(2s); });
  // The stuck task may end only once the shutdown has begun: its drain then
  // drops the waiter's task.
  EXPECT_TRUE(waitUntil([&] { return runtime->isShutDown(); }));
  release.open();
  stopper.join();
  waiter.join();
  EXPECT_EQ(result->load(), 0);
}

TEST(Shutdown, FromOneOfTheRuntimesOwnTasksDoesNotDeadlock) {
  auto runtime = Runtime::create("test.rt.self", 2);
  auto returned = std::make_shared<std::atomic<bool>>(false);
  // The task holds the runtime only weakly: a runtime that holds its own
  // worker's task would never be destroyed.
  std::weak_ptr<Runtime> weakRuntime = runtime;
  runtime->global()->async([weakRuntime, returned] {
    if (auto r = weakRuntime.lock()) r->shutdown(1s);
    *returned = true;
  });
  EXPECT_TRUE(waitUntil([&] { return returned->load(); }));
}

// The process-wide shutdown, as the program quits: run in a child process.
constexpr const char* kChildVariable = "QV450_DISPATCH_SHUTDOWN_CHILD";

void shutdownTheSharedRuntime() {
  Witness onMain, onSerial, later, posted;
  struct Busy {
    Gate stuck;
    std::atomic<unsigned> busy{0};
    std::atomic<unsigned> left{0};
  };
  auto work = std::make_shared<Busy>();
  // Occupy every worker, so that the serial queue's drain stays queued.
  const unsigned workers = Runtime::shared()->workerCount();
  for (unsigned i = 0; i < workers; ++i) {
    Queue::global()->async([work] {
      ++work->busy;
      work->stuck.wait(2000ms);
      ++work->left;
    });
  }
  ASSERT_TRUE(waitUntil([&] { return work->busy.load() == workers; }));
  auto serial = Queue::createSerial("child.serial");
  Queue::main()->async(onMain.task());  // handed to the driver, not drained
  serial->async(onSerial.task());
  Queue::main()->after(1h, later.task());
  onMain.release();
  onSerial.release();
  later.release();

  EXPECT_FALSE(shutdown(50ms)) << "every worker is stuck";  // not waiting for them to let go
  work->stuck.open();
  ASSERT_TRUE(waitUntil([&] { return work->left.load() == workers; }));

  drainMainQueue();  // the wrapper runs, the task is dropped
  Queue::main()->async(posted.task());
  Queue::global()->async(posted.task());
  Queue::main()->after(1ms, posted.task());
  posted.release();
  drainMainQueue();
  serial.reset();  // its queued task goes with it
  EXPECT_TRUE(onSerial.alive.expired());
  EXPECT_TRUE(posted.alive.expired());
  EXPECT_TRUE(onMain.alive.expired());
  EXPECT_TRUE(later.alive.expired());
  EXPECT_EQ(onMain.ran() + onSerial.ran() + later.ran() + posted.ran(), 0);
}

TEST(ProcessShutdown, DropsMainQueueAndGlobalWorkWithinTheBound) {
  if (std::getenv(kChildVariable)) {
    shutdownTheSharedRuntime();
    return;
  }
  // Re-run this test alone in a child, outside any sharding of the parent.
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string command = std::string("timeout 60 env -u GTEST_TOTAL_SHARDS -u GTEST_SHARD_INDEX ") +
                              kChildVariable + "=1 '" + self + "' --gtest_filter=" +
                              ::testing::UnitTest::GetInstance()->current_test_suite()->name() + "." +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name() + " 2>&1";
  FILE* child = popen(command.c_str(), "r");
  ASSERT_NE(child, nullptr);
  std::string log;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, child)) > 0;) log.append(buffer, n);
  const int status = pclose(child);
  ASSERT_TRUE(WIFEXITED(status)) << log;
  EXPECT_EQ(WEXITSTATUS(status), 0) << log;
  EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << log;
}

}  // namespace
}  // namespace dispatch
