// Dispatch queues: the main queue, the global concurrent queues, serial queues
// with a label and a target, and labelled concurrent queues.
//
// Guarantees:
// - A serial queue runs its tasks one at a time, in submission order, whatever
//   its target (the main queue, a global queue, a concurrent queue or another
//   serial queue). Tasks submitted by one thread keep their order; across
//   threads the order is that in which async() took the queue's lock.
// - The main queue runs its tasks on the main thread in the order posted by
//   each thread, through the installed MainQueueDriver.
// - A serial queue stays alive while it has pending work, even when every
//   handle to it has been dropped.
// - After the runtime a queue belongs to has been shut down, work submitted to
//   it is dropped (destroyed, counted, logged once), never run.
//
// Include this header for the whole dispatch layer.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/ManualClock.h"
#include "platform/dispatch/ManualMainQueueDriver.h"
#include "platform/dispatch/Task.h"

namespace dispatch {

namespace detail {
class Core;
}

class Queue : public std::enable_shared_from_this<Queue> {
public:
  virtual ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // The queue of the main thread.
  static std::shared_ptr<Queue> main();
  // The process-wide concurrent queues (one worker pool shared by all
  // priorities; higher priorities are taken first).
  static std::shared_ptr<Queue> global(Priority priority = Priority::Default);
  // A new serial queue; without a target it runs on the default global queue.
  static std::shared_ptr<Queue> createSerial(std::string label, std::shared_ptr<Queue> target = nullptr);
  // A new concurrent queue with a label, backed by the global worker pool.
  static std::shared_ptr<Queue> createConcurrent(std::string label);
  // The serial or main queue whose task the calling thread is running now
  // (the innermost one when queues target one another); on the main thread
  // outside any queue task, the main queue; elsewhere null.
  static std::shared_ptr<Queue> current();

  const std::string& label() const { return label_; }
  // True for serial queues and the main queue.
  bool isSerial() const;
  bool isMain() const { return kind_ == Kind::Main; }
  // The queue this one runs on (serial queues only).
  const std::shared_ptr<Queue>& target() const { return target_; }

  // Submits a task; returns at once.
  void async(Task task);

  // Runs a task on the queue and waits until it has run. Returns false when
  // the task was dropped because the queue's runtime is shut down.
  // - Main queue, called on the main thread: runs inline.
  // - Serial queue: when the calling thread already runs this queue or a queue
  //   of its target chain, or the chain ends at the main queue and this is
  //   the main thread, waiting would deadlock, and nothing else can run the
  //   queue meanwhile: the task runs inline (ahead of pending tasks).
  //   Otherwise it is queued behind the pending tasks and the caller waits.
  // - Global and concurrent queues: runs inline on the caller.
  // The wait ends when the task has run or was dropped (shutdown drops it).
  // Never sync onto the main queue from work the main thread waits for.
  bool sync(Task task);

  // Submits the task to this queue when `delay` has passed on the dispatch
  // clock (see ManualClock.h). Tasks due at the same time are submitted in
  // the order after() was called.
  void after(Clock::duration delay, Task task);

  // Internal: the runtime this queue belongs to.
  const std::shared_ptr<detail::Core>& core() const { return core_; }

protected:
  enum class Kind { Main, Global, Concurrent, Serial };

  Queue(Kind kind, std::string label, std::shared_ptr<detail::Core> core, std::shared_ptr<Queue> target);

  // Queues the task; called after the shut-down check of async().
  virtual void enqueue(Task task) = 0;

  Kind kind() const { return kind_; }

private:
  bool canRunInline() const;
  void runInline(const Task& task);

  const Kind kind_;
  const std::string label_;
  const std::shared_ptr<detail::Core> core_;
  const std::shared_ptr<Queue> target_;
};

// Shorthand for Queue::main().
inline std::shared_ptr<Queue> mainQueue() { return Queue::main(); }

// One-time initialisation: runs the task once per flag, however many threads
// call it; the others wait until it has run. (std::call_once.)
inline void once(std::once_flag& flag, const Task& task) { std::call_once(flag, task); }

}  // namespace dispatch

#include "platform/dispatch/Runtime.h"
