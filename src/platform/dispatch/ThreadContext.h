// Per-thread bookkeeping of the dispatch layer (internal): which queues the
// thread is running work of, the thread's name, and running one task.
#pragma once

#include <string>

#include "platform/dispatch/Task.h"

namespace dispatch {
class Queue;
}

namespace dispatch::detail {

// Marks the calling thread as running work of `queue` for the guard's life.
// Guards nest: a serial queue targeting another runs inside its target's task.
class HeldQueue {
public:
  explicit HeldQueue(Queue* queue);
  ~HeldQueue();
  HeldQueue(const HeldQueue&) = delete;
  HeldQueue& operator=(const HeldQueue&) = delete;
};

// The innermost queue the calling thread runs work of, or null.
Queue* innermostHeldQueue();
bool isHeldByThisThread(const Queue* queue);

// Names the calling thread after a queue label (the first 15 characters) for
// the guard's life, then restores the previous name. Leaves the main thread's
// name alone: it is the process name.
class ThreadNameScope {
public:
  explicit ThreadNameScope(const std::string& label);
  ~ThreadNameScope();
  ThreadNameScope(const ThreadNameScope&) = delete;
  ThreadNameScope& operator=(const ThreadNameScope&) = delete;

private:
  std::string previous_;
  bool changed_ = false;
};

void setThreadName(const std::string& label);

// Runs a task; an exception escaping it is logged with the queue label and
// does not take the worker down.
void runTask(const Task& task, const std::string& label);

}  // namespace dispatch::detail
