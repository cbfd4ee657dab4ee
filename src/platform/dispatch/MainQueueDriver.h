// The main queue runs its work on the main thread through a driver: the Qt
// event loop in the application (platform/ui/QtMainQueueDriver.h), a manual
// deque pumped by the test thread in the Qt-free tests.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "platform/dispatch/Task.h"

namespace dispatch {

class MainQueueDriver {
public:
  virtual ~MainQueueDriver();

  // Called from any thread. Tasks posted by one thread run in that order, on
  // the main thread, also inside nested event loops.
  virtual void post(Task task) = 0;

  // Called on the main thread only.
  // Runs what is pending now, and what those tasks post, until nothing is
  // left; returns how many tasks ran.
  virtual size_t drain() = 0;
  // Runs pending work; when there is none, waits up to `slice` for work to
  // arrive and runs it. Returns early once something ran.
  virtual void runSlice(Clock::duration slice) = 0;
};

// Installs the driver of the main queue. Work posted while no driver is
// installed is held and handed to the next driver, in order. Replace or remove
// the driver on the main thread. nullptr removes it.
void setMainQueueDriver(std::shared_ptr<MainQueueDriver> driver);
std::shared_ptr<MainQueueDriver> mainQueueDriver();

// Pumping from the main thread (tests and blocking helpers). All three return
// at once, having run nothing, when called off the main thread or without a
// driver.
//
// Runs what is pending now (and what those tasks post); returns the count.
size_t drainMainQueue();
// Pumps the main queue until done() is true or `bound` has passed on the real
// clock; returns done().
bool runMainLoopUntil(const std::function<bool()>& done, Clock::duration bound);
// Pumps the main queue for `duration` on the real clock.
void runMainLoop(Clock::duration duration);

}  // namespace dispatch
