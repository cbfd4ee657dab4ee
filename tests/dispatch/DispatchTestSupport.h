// Helpers shared by the dispatch tests: bounded waits and a gate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace dispatch::testing {

using namespace std::chrono_literals;

// Polls `done` until it holds or `bound` has passed; returns done(). The
// bounds only keep a hang from lasting: a condition that holds takes what it
// takes, which on a machine loaded with other test binaries can be seconds.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 30000ms) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A one-way gate: wait() blocks until open() or the bound.
//
// Copies share one gate. A thread a test leaves behind (a worker abandoned by
// a shutdown, a waiter past its bound) may still wait on the gate or open it
// after the test has returned, so tasks must capture the gate by value, never
// by reference: then the gate lives as long as the last thread that uses it.
class Gate {
public:
  void open() const {
    std::lock_guard lock(state_->mutex);
    state_->open = true;
    state_->changed.notify_all();
  }
  bool wait(std::chrono::milliseconds bound = 30000ms) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, bound, [this] { return state_->open; });
  }

private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace dispatch::testing
