// A dispatch runtime: the worker pool behind the global and concurrent queues,
// the timer thread behind `after` and timer sources, and the shut-down switch.
//
// The process has one shared runtime, used by Queue::global(),
// Queue::createSerial() and the main queue; dispatch::shutdown() stops it
// when the program quits. Tests create private runtimes to exercise shutdown
// without stopping the shared one. Threads start on first use.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/dispatch/Task.h"

namespace dispatch {

class Queue;
namespace detail {
class Core;
}

class Runtime {
public:
  static std::shared_ptr<Runtime> shared();
  // workers == 0: the hardware concurrency, at least 2.
  static std::shared_ptr<Runtime> create(std::string name, unsigned workers = 0);
  // Shuts down (2 s bound) if that has not been done.
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  const std::string& name() const;
  unsigned workerCount() const;

  std::shared_ptr<Queue> global(Priority priority = Priority::Default) const;
  // Without a target, the serial queue runs on this runtime's default global
  // queue.
  std::shared_ptr<Queue> createSerial(std::string label, std::shared_ptr<Queue> target = nullptr) const;
  std::shared_ptr<Queue> createConcurrent(std::string label) const;

  // Stops the runtime: pending work of its global, concurrent and serial
  // queues and its pending `after` tasks and timer fires are dropped; running
  // tasks are let finish; worker and timer threads are joined within `bound`
  // (a thread still busy then is detached; it runs nothing further). From
  // then on work submitted to the runtime's queues is dropped. Returns true
  // when every thread was joined. Safe to call more than once and from any
  // thread, also from one of the runtime's own tasks.
  bool shutdown(Clock::duration bound);
  bool isShutDown() const;
  // Tasks dropped because of the shutdown so far.
  size_t droppedCount() const;

  const std::shared_ptr<detail::Core>& core() const { return core_; }

private:
  Runtime(std::string name, unsigned workers);

  std::shared_ptr<detail::Core> core_;
  std::array<std::shared_ptr<Queue>, kPriorityCount> globals_;
};

// Quitting: shuts the shared runtime down within `bound` (see
// Runtime::shutdown). The main queue belongs to it: afterwards work posted to
// the main queue is dropped too, including tasks already handed to the driver
// that have not started.
bool shutdown(Clock::duration bound);

}  // namespace dispatch
