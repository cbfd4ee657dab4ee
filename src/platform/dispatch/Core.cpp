#include "platform/dispatch/Core.h"

#include <algorithm>
#include <utility>

#include "platform/dispatch/ManualClock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/ThreadContext.h"
#include "platform/foundation/Log.h"

namespace dispatch::detail {

namespace {

// Idle threads wake this often even when nothing happens, so that no wait is
// unbounded.
constexpr auto kIdleWait = std::chrono::seconds(1);
// Under a manual clock deadlines do not follow real time; advance() fires due
// work itself, and the timer thread only looks now and then.
constexpr auto kManualClockPoll = std::chrono::milliseconds(50);

// Never destroyed: threads may still look at them while the process exits.
std::mutex& registryMutex() {
  static auto* m = new std::mutex();
  return *m;
}

std::vector<std::weak_ptr<Core>>& registry() {
  static auto* cores = new std::vector<std::weak_ptr<Core>>();
  return *cores;
}

// Set while this thread is inside fireDue(), so that scheduling from within
// a submission (a timer's next deadline, a destructor of dropped work) does
// not fire recursively.
thread_local bool tFiring = false;

}  // namespace

std::shared_ptr<Core> Core::create(std::string name, unsigned workers) {
  if (workers == 0) workers = std::max(2u, std::thread::hardware_concurrency());
  std::shared_ptr<Core> core(new Core(std::move(name), workers));
  std::lock_guard lock(registryMutex());
  auto& cores = registry();
  cores.erase(std::remove_if(cores.begin(), cores.end(), [](const auto& w) { return w.expired(); }),
              cores.end());
  cores.push_back(core);
  return core;
}

std::vector<std::shared_ptr<Core>> Core::liveCores() {
  std::vector<std::shared_ptr<Core>> live;
  std::lock_guard lock(registryMutex());
  for (const auto& weak : registry()) {
    if (auto core = weak.lock()) live.push_back(std::move(core));
  }
  return live;
}

Core::Core(std::string name, unsigned workers) : name_(std::move(name)), workerCount_(workers) {}

Core::~Core() {
  // Every thread holds the core while it runs, so the core ends after its
  // threads have left their loops; what may remain are joinable handles of
  // threads that finished without being joined.
  for (auto& slot : threads_) {
    if (slot.thread.joinable()) {
      if (slot.thread.get_id() == std::this_thread::get_id())
        slot.thread.detach();
      else
        slot.thread.join();
    }
  }
}

void Core::submit(Priority priority, Task task) {
  if (!task) return;
  bool accepted = false;
  {
    std::lock_guard lock(poolMutex_);
    if (!isShutDown()) {
      fifos_[static_cast<size_t>(priority)].push_back(std::move(task));
      accepted = true;
      if (!workersStarted_) startWorkersLocked();
    }
  }
  if (!accepted) {
    drop(std::move(task));
    return;
  }
  poolWork_.notify_one();
}

void Core::scheduleTask(Clock::time_point deadline, std::shared_ptr<Queue> queue, Task task) {
  TimerEntry entry;
  entry.deadline = deadline;
  entry.queue = std::move(queue);
  entry.task = std::move(task);
  pushTimerEntry(std::move(entry));
}

void Core::scheduleTimer(Clock::time_point deadline, std::weak_ptr<TimerTarget> target, uint64_t generation) {
  TimerEntry entry;
  entry.deadline = deadline;
  entry.target = std::move(target);
  entry.generation = generation;
  pushTimerEntry(std::move(entry));
}

void Core::pushTimerEntry(TimerEntry entry) {
  const Clock::time_point deadline = entry.deadline;
  bool accepted = false;
  {
    std::lock_guard lock(timerMutex_);
    if (!isShutDown()) {
      entry.sequence = nextSequence_++;
      heap_.push_back(std::move(entry));
      std::push_heap(heap_.begin(), heap_.end(), Later());
      accepted = true;
      if (!timerStarted_) startTimerThreadLocked();
      timerChanged_.notify_all();
    }
  }
  if (!accepted) {
    drop(std::move(entry.task));
    return;
  }
  if (deadline <= dispatch::now() && !tFiring) fireDue();
}

void Core::fireDue() {
  std::lock_guard fire(fireMutex_);
  const bool wasFiring = tFiring;
  tFiring = true;
  for (;;) {
    TimerEntry entry;
    {
      std::lock_guard lock(timerMutex_);
      if (isShutDown() || heap_.empty() || heap_.front().deadline > dispatch::now()) break;
      std::pop_heap(heap_.begin(), heap_.end(), Later());
      entry = std::move(heap_.back());
      heap_.pop_back();
    }
    if (entry.queue) {
      entry.queue->async(std::move(entry.task));
    } else if (auto target = entry.target.lock()) {
      target->fire(entry.deadline, entry.generation, dispatch::now());
    }
  }
  tFiring = wasFiring;
}

void Core::noteDropped(size_t count) {
  if (count == 0) return;
  dropped_.fetch_add(count, std::memory_order_relaxed);
  if (!dropLogged_.exchange(true))
    fnd::log("dispatch: '%s' is shut down; work submitted to it is dropped (logged once)", name_.c_str());
}

void Core::drop(Task&& task) {
  Task dropped = std::move(task);
  if (!dropped) return;
  noteDropped(1);
  dropped = nullptr;
}

std::thread Core::launch(void (Core::*loop)(size_t), size_t slot) {
  return std::thread([self = shared_from_this(), loop, slot] { ((*self).*loop)(slot); });
}

void Core::startWorkersLocked() {
  workersStarted_ = true;
  std::lock_guard lock(threadsMutex_);
  for (unsigned i = 0; i < workerCount_; ++i) {
    size_t slot = threads_.size();
    threads_.emplace_back();
    ++running_;
    threads_[slot].thread = launch(&Core::workerLoop, slot);
  }
}

void Core::startTimerThreadLocked() {
  timerStarted_ = true;
  std::lock_guard lock(threadsMutex_);
  size_t slot = threads_.size();
  threads_.emplace_back();
  ++running_;
  threads_[slot].thread = launch(&Core::timerLoop, slot);
}

void Core::workerLoop(size_t slot) {
  setThreadName(name_ + ".worker");
  for (;;) {
    Task task;
    {
      std::unique_lock lock(poolMutex_);
      while (!isShutDown()) {
        auto fifo = std::find_if(fifos_.begin(), fifos_.end(), [](const auto& f) { return !f.empty(); });
        if (fifo != fifos_.end()) {
          task = std::move(fifo->front());
          fifo->pop_front();
          break;
        }
        poolWork_.wait_for(lock, kIdleWait);
      }
    }
    if (!task) break;
    runTask(task, name_);
  }
  threadFinished(slot);
}

void Core::timerLoop(size_t slot) {
  setThreadName(name_ + ".timer");
  for (;;) {
    {
      std::unique_lock lock(timerMutex_);
      if (isShutDown()) break;
      if (heap_.empty()) {
        timerChanged_.wait_for(lock, kIdleWait);
        continue;
      }
      const Clock::time_point present = dispatch::now();
      const Clock::time_point deadline = heap_.front().deadline;
      if (deadline > present) {
        if (detail::manualClockInstalled())
          timerChanged_.wait_for(lock, kManualClockPoll);
        else
          timerChanged_.wait_until(lock, std::min(deadline, present + kIdleWait));
        continue;
      }
    }
    fireDue();
  }
  threadFinished(slot);
}

void Core::threadFinished(size_t slot) {
  {
    std::lock_guard lock(threadsMutex_);
    threads_[slot].finished = true;
    --running_;
  }
  threadExited_.notify_all();
}

bool Core::shutdown(Clock::duration bound) {
  const Clock::time_point deadline = Clock::now() + std::min(bound, Clock::duration(std::chrono::hours(24)));
  shutDown_.store(true, std::memory_order_release);

  std::array<std::deque<Task>, kPriorityCount> pending;
  std::vector<TimerEntry> timers;
  {
    std::lock_guard lock(poolMutex_);
    pending.swap(fifos_);
  }
  poolWork_.notify_all();
  {
    std::lock_guard lock(timerMutex_);
    timers.swap(heap_);
  }
  timerChanged_.notify_all();

  // Destroy what will not run, outside every lock: destructors of captured
  // state may submit more work, which is dropped in turn.
  size_t count = 0;
  for (auto& fifo : pending) count += fifo.size();
  for (auto& entry : timers) count += entry.task ? 1 : 0;
  noteDropped(count);
  pending = {};
  timers.clear();

  // Join within the bound. A thread that calls shutdown from its own task
  // cannot wait for itself; it leaves its loop when that task returns.
  const auto me = std::this_thread::get_id();
  std::vector<std::thread> joinable;
  size_t busy = 0;
  {
    std::unique_lock lock(threadsMutex_);
    auto othersBusy = [&] {
      size_t n = 0;
      for (const auto& slot : threads_) {
        if (!slot.finished && slot.thread.get_id() != me) ++n;
      }
      return n;
    };
    threadExited_.wait_until(lock, deadline, [&] { return othersBusy() == 0; });
    busy = othersBusy();
    for (auto& slot : threads_) {
      if (!slot.thread.joinable()) continue;
      if (slot.finished && slot.thread.get_id() != me)
        joinable.push_back(std::move(slot.thread));
      else
        slot.thread.detach();
    }
  }
  for (auto& thread : joinable) thread.join();
  if (busy > 0)
    fnd::log("dispatch: '%s' shut down with %zu thread(s) still busy; they run nothing further",
             name_.c_str(), busy);
  return busy == 0;
}

}  // namespace dispatch::detail
