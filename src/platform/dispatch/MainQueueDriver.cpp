#include "platform/dispatch/MainQueueDriver.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/MainQueuePost.h"

namespace dispatch {

namespace {

// Slices of the pump loops: short, so that done() is looked at often.
constexpr auto kPumpSlice = std::chrono::milliseconds(10);

struct MainQueueState {
  std::mutex mutex;
  std::shared_ptr<MainQueueDriver> driver;
  std::deque<Task> held;  // posted while no driver was installed
};

MainQueueState& state() {
  static auto* s = new MainQueueState();  // outlives every thread that posts
  return *s;
}

}  // namespace

MainQueueDriver::~MainQueueDriver() = default;

void setMainQueueDriver(std::shared_ptr<MainQueueDriver> driver) {
  std::shared_ptr<MainQueueDriver> previous;
  auto& s = state();
  {
    std::lock_guard lock(s.mutex);
    previous = std::move(s.driver);
    s.driver = std::move(driver);
    // Hand held work over under the lock, so that it stays ahead of anything
    // posted after the switch.
    if (s.driver) {
      while (!s.held.empty()) {
        s.driver->post(std::move(s.held.front()));
        s.held.pop_front();
      }
    }
  }
  previous.reset();  // outside the lock: a driver's destructor may do much
}

std::shared_ptr<MainQueueDriver> mainQueueDriver() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.driver;
}

namespace detail {
void postToMainQueue(Task task) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  // Posting under the lock keeps one thread's posts in order across a switch
  // of drivers. Drivers only queue; they never run work inside post().
  if (s.driver)
    s.driver->post(std::move(task));
  else
    s.held.push_back(std::move(task));
}
}  // namespace detail

size_t drainMainQueue() {
  if (!isMainThread()) return 0;
  auto driver = mainQueueDriver();
  return driver ? driver->drain() : 0;
}

bool runMainLoopUntil(const std::function<bool()>& done, Clock::duration bound) {
  const Clock::time_point deadline = Clock::now() + bound;
  const bool pump = isMainThread();
  for (;;) {
    if (done()) return true;
    const Clock::time_point present = Clock::now();
    if (present >= deadline) return done();
    const Clock::duration slice = std::min<Clock::duration>(deadline - present, kPumpSlice);
    auto driver = pump ? mainQueueDriver() : nullptr;
    if (driver)
      driver->runSlice(slice);
    else
      std::this_thread::sleep_for(slice);
  }
}

void runMainLoop(Clock::duration duration) {
  runMainLoopUntil([] { return false; }, duration);
}

}  // namespace dispatch
