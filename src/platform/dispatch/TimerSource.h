// A timer that delivers its events on a queue, one-shot or repeating.
//
// A source starts suspended: set the timer and the handler, then resume().
// - The handler never runs concurrently with itself, even on a concurrent
//   queue. Fires that come while a call is pending or running are coalesced
//   into the next call; data() tells how many fires that call stands for.
//   A repeating timer whose deadlines were missed (a lagging handler, a busy
//   queue, a manual clock moved far) fires once for all of them and keeps its
//   phase: the next deadline is the first one still in the future.
// - Cancel: after cancel() returns, no handler call starts. A call already in
//   progress on another thread may finish; the cancel handler runs on the
//   queue after it has returned, and is the point from which the handler's
//   captured state is no longer used. cancel() from the queue's own thread
//   (a serial or the main queue), the handler included, leaves no call in
//   progress elsewhere. cancel() never blocks.
// - The leeway is accepted and ignored. Destroying the source cancels it.
// - Timers of a runtime that is shut down no longer fire.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dispatch/Queue.h"

namespace dispatch {

namespace detail {
class TimerState;
}

class TimerSource {
public:
  // A null queue means the default global queue.
  explicit TimerSource(std::shared_ptr<Queue> queue);
  ~TimerSource();
  TimerSource(const TimerSource&) = delete;
  TimerSource& operator=(const TimerSource&) = delete;

  // First fire `start` from now on the dispatch clock, then every `interval`
  // (zero: one shot). Setting the timer again restarts it from now.
  void setTimer(Clock::duration start, Clock::duration interval, Clock::duration leeway = {});
  void setEventHandler(Task handler);
  void setCancelHandler(Task handler);
  void resume();
  void cancel();
  bool isCancelled() const;
  // Inside the handler: the number of fires the current call stands for.
  uint64_t data() const;

private:
  std::shared_ptr<detail::TimerState> state_;
};

}  // namespace dispatch
