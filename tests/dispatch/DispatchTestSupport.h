// Helpers shared by the dispatch tests: bounded waits and a gate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace dispatch::testing {

using namespace std::chrono_literals;

// Polls `done` until it holds or `bound` has passed; returns done().
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 5000ms) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A one-way gate: wait() blocks until open() or the bound.
class Gate {
public:
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  bool wait(std::chrono::milliseconds bound = 5000ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [this] { return open_; });
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

}  // namespace dispatch::testing
