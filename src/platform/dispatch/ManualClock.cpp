#include "platform/dispatch/ManualClock.h"

#include <atomic>

#include "platform/dispatch/Core.h"

namespace dispatch {

namespace {
// Never destroyed: the timer threads read the clock until they stop.
std::mutex& clockMutex() {
  static auto* m = new std::mutex();
  return *m;
}
std::shared_ptr<ManualClock>& installedClock() {
  static auto* clock = new std::shared_ptr<ManualClock>();
  return *clock;
}
// Whether a clock is installed, read without the lock: the present is read
// on every edit a user makes (the module editor stamps its sends with it).
std::atomic<bool> clockInstalled{false};
std::shared_ptr<ManualClock> currentManualClock() {
  if (!clockInstalled.load(std::memory_order_acquire)) return nullptr;
  std::lock_guard lock(clockMutex());
  return installedClock();
}
}  // namespace

ManualClock::ManualClock() : now_(Clock::now()) {}

Clock::time_point ManualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::advance(Clock::duration by) {
  if (by > Clock::duration::zero()) {
    std::lock_guard lock(mutex_);
    now_ += by;
  }
  for (const auto& core : detail::Core::liveCores()) core->fireDue();
}

void setClockForTesting(std::shared_ptr<ManualClock> clock) {
  {
    std::lock_guard lock(clockMutex());
    clockInstalled.store(clock != nullptr, std::memory_order_release);
    installedClock() = std::move(clock);
  }
  for (const auto& core : detail::Core::liveCores()) core->fireDue();
}

Clock::time_point now() {
  auto clock = currentManualClock();
  return clock ? clock->now() : Clock::now();
}

namespace detail {
bool manualClockInstalled() { return currentManualClock() != nullptr; }
}  // namespace detail

}  // namespace dispatch
