// The main-queue driver of the Qt-free tests: a locked deque that the main
// thread runs by hand with drainMainQueue() or runMainLoopUntil().
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dispatch/MainQueueDriver.h"

namespace dispatch {

class ManualMainQueueDriver : public MainQueueDriver {
public:
  ManualMainQueueDriver() = default;
  ~ManualMainQueueDriver() override;

  void post(Task task) override;
  size_t drain() override;
  void runSlice(Clock::duration slice) override;

  size_t pendingCount() const;

private:
  bool runOne();

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Task> tasks_;
};

}  // namespace dispatch
