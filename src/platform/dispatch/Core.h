// The inside of a dispatch runtime (internal): worker pool, timer heap and
// thread, shut-down switch and the accounting of dropped work.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Task.h"

namespace dispatch {
class Queue;
}

namespace dispatch::detail {

// Something the timer thread fires: a timer source's state.
class TimerTarget {
public:
  virtual ~TimerTarget() = default;
  // The entry scheduled for `deadline` with `generation` is due at `now`.
  virtual void fire(Clock::time_point deadline, uint64_t generation, Clock::time_point now) = 0;
};

// True while a ManualClock is installed (ManualClock.cpp).
bool manualClockInstalled();

class Core : public std::enable_shared_from_this<Core> {
public:
  static std::shared_ptr<Core> create(std::string name, unsigned workers);
  ~Core();

  const std::string& name() const { return name_; }
  unsigned workerCount() const { return workerCount_; }
  bool isShutDown() const { return shutDown_.load(std::memory_order_acquire); }

  // Hands a task to the worker pool (dropped once shut down).
  void submit(Priority priority, Task task);

  // Submits `task` to `queue` at `deadline` on the dispatch clock.
  void scheduleTask(Clock::time_point deadline, std::shared_ptr<Queue> queue, Task task);
  // Calls target->fire(deadline, generation, now) at `deadline`, unless the
  // target is gone by then.
  void scheduleTimer(Clock::time_point deadline, std::weak_ptr<TimerTarget> target, uint64_t generation);
  // Submits everything due now, in deadline order (ties: scheduling order).
  void fireDue();

  // Destroys work that will not run, counting it and logging the first time.
  void drop(Task&& task);
  size_t droppedCount() const { return dropped_.load(std::memory_order_relaxed); }

  bool shutdown(Clock::duration bound);

  // Every live core, for the manual clock.
  static std::vector<std::shared_ptr<Core>> liveCores();

private:
  struct TimerEntry {
    Clock::time_point deadline;
    uint64_t sequence = 0;
    std::shared_ptr<Queue> queue;  // a task entry: queue and task
    Task task;
    std::weak_ptr<TimerTarget> target;  // a timer entry: target and generation
    uint64_t generation = 0;
  };
  struct Later {
    bool operator()(const TimerEntry& a, const TimerEntry& b) const {
      return a.deadline != b.deadline ? a.deadline > b.deadline : a.sequence > b.sequence;
    }
  };
  struct ThreadSlot {
    std::thread thread;
    bool finished = false;
  };

  Core(std::string name, unsigned workers);

  void pushTimerEntry(TimerEntry entry);
  void startWorkersLocked();
  void startTimerThreadLocked();
  std::thread launch(void (Core::*loop)(size_t), size_t slot);
  void workerLoop(size_t slot);
  void timerLoop(size_t slot);
  void threadFinished(size_t slot);
  void noteDropped(size_t count);

  const std::string name_;
  const unsigned workerCount_;
  std::atomic<bool> shutDown_{false};
  std::atomic<size_t> dropped_{0};
  std::atomic<bool> dropLogged_{false};

  // Worker pool: one FIFO per priority.
  std::mutex poolMutex_;
  std::condition_variable poolWork_;
  std::array<std::deque<Task>, kPriorityCount> fifos_;
  bool workersStarted_ = false;

  // Timers: a min-heap of deadlines, and a mutex that keeps the submissions
  // of concurrent fireDue() calls in deadline order.
  std::mutex timerMutex_;
  std::condition_variable timerChanged_;
  std::vector<TimerEntry> heap_;
  uint64_t nextSequence_ = 0;
  bool timerStarted_ = false;
  std::mutex fireMutex_;

  // Threads, for the bounded join.
  std::mutex threadsMutex_;
  std::condition_variable threadExited_;
  std::vector<ThreadSlot> threads_;
  size_t running_ = 0;
};

}  // namespace dispatch::detail
