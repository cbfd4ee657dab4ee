#include "platform/dispatch/ManualMainQueueDriver.h"

#include "platform/dispatch/ThreadContext.h"

namespace dispatch {

ManualMainQueueDriver::~ManualMainQueueDriver() = default;

void ManualMainQueueDriver::post(Task task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_all();
}

bool ManualMainQueueDriver::runOne() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  detail::runTask(task, "main");
  return true;
}

size_t ManualMainQueueDriver::drain() {
  size_t count = 0;
  while (runOne()) ++count;
  return count;
}

void ManualMainQueueDriver::runSlice(Clock::duration slice) {
  if (drain() > 0) return;
  {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, slice, [this] { return !tasks_.empty(); });
  }
  drain();
}

size_t ManualMainQueueDriver::pendingCount() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

}  // namespace dispatch
