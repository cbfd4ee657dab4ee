// The clock that `after` deadlines and timer sources are measured on. Tests
// install a ManualClock and move time by hand; due work is then submitted to
// its queue before advance() returns.
#pragma once

#include <memory>
#include <mutex>

#include "platform/dispatch/Task.h"

namespace dispatch {

class ManualClock {
public:
  // Starts at the real clock's present, so that work scheduled just before
  // the switch keeps sensible deadlines.
  ManualClock();

  Clock::time_point now() const;
  // Moves time forward (negative durations are ignored) and submits every
  // `after` task and timer fire that became due, in deadline order.
  void advance(Clock::duration by);

private:
  mutable std::mutex mutex_;
  Clock::time_point now_;
};

// Installs a manual clock for every dispatch runtime of the process; nullptr
// restores the real clock.
void setClockForTesting(std::shared_ptr<ManualClock> clock);

// The present on the dispatch clock: the manual clock while one is installed.
Clock::time_point now();

}  // namespace dispatch
