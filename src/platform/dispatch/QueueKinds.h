// The kinds of queue behind dispatch::Queue (internal).
#pragma once

#include <deque>
#include <mutex>

#include "platform/dispatch/Queue.h"

namespace dispatch::detail {

// Runs its tasks on the main thread through the main-queue driver.
class MainQueue final : public Queue {
public:
  explicit MainQueue(std::shared_ptr<Core> core);

private:
  void enqueue(Task task) override;
};

// A priority band of the runtime's worker pool.
class GlobalQueue final : public Queue {
public:
  GlobalQueue(std::string label, std::shared_ptr<Core> core, Priority priority);

private:
  void enqueue(Task task) override;
  const Priority priority_;
};

// Concurrent like a global queue, with its own label (thread name).
class ConcurrentQueue final : public Queue {
public:
  ConcurrentQueue(std::string label, std::shared_ptr<Core> core);

private:
  void enqueue(Task task) override;
};

// A FIFO that runs on its target one task at a time. While it has work, one
// drain item is queued on (or running on) the target; the drain runs a batch
// of tasks and queues itself again if more are left, so that other work on
// the target gets its turn.
class SerialQueue final : public Queue {
public:
  SerialQueue(std::string label, std::shared_ptr<Core> core, std::shared_ptr<Queue> target);

  static constexpr size_t kBatch = 16;

  // Drops every task not yet run (their drain will never come).
  void dropPending();

private:
  void enqueue(Task task) override;
  void scheduleDrain();
  void drain();

  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool scheduled_ = false;
};

}  // namespace dispatch::detail
