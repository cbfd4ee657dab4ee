// Helpers shared by the signal framework tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Error.h"
#include "reactive/RSScheduler.h"
#include "reactive/RSSignal.h"
#include "reactive/RSTuple.h"

namespace fnd {
inline void PrintTo(const Value& value, std::ostream* os) { *os << value.description(); }
}  // namespace fnd

namespace rstest {

using Values = std::vector<fnd::Value>;

// Everything one subscription received, safe to read from the test thread
// while other threads deliver. Events read "next:<value>", "error:<code>" or
// "completed".
class Recorder {
public:
  RSDisposablePtr subscribe(const RSSignalPtr& signal) {
    return signal->subscribeNext(
        [this](const fnd::Value& value) { record("next:" + value.description(), &value, nullptr); },
        [this](const RSErrorPtr& error) {
          record("error:" + (error ? std::to_string(error->code()) : std::string("null")), nullptr, &error);
        },
        [this] { record("completed", nullptr, nullptr); });
  }

  Values values() const {
    std::lock_guard lock(mutex_);
    return values_;
  }
  std::vector<std::string> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  RSErrorPtr error() const {
    std::lock_guard lock(mutex_);
    return error_;
  }
  bool completed() const { return last() == "completed"; }
  bool failed() const { return last().rfind("error:", 0) == 0; }
  bool ended() const { return completed() || failed(); }

private:
  void record(std::string event, const fnd::Value* value, const RSErrorPtr* error) {
    std::lock_guard lock(mutex_);
    if (value) values_.push_back(*value);
    if (error) error_ = *error;
    events_.push_back(std::move(event));
  }
  std::string last() const {
    std::lock_guard lock(mutex_);
    return events_.empty() ? std::string() : events_.back();
  }

  mutable std::mutex mutex_;
  Values values_;
  std::vector<std::string> events_;
  RSErrorPtr error_;
};

// Sends the values in order, then completes (or fails with `error`).
inline RSSignalPtr sequenceSignal(Values values, RSErrorPtr error = nullptr, bool fail = false) {
  return RSSignal::createSignal([values, error, fail](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    for (const auto& v : values) subscriber->sendNext(v);
    if (fail) {
      subscriber->sendError(error);
    } else {
      subscriber->sendCompleted();
    }
    return nullptr;
  });
}

inline RSErrorPtr testError(int64_t code = 7) { return fnd::Error::make("TestDomain", code); }

inline Values tupleValues(const fnd::Value& value) {
  auto tuple = value.asObject<RSTuple>();
  return tuple ? tuple->backingArray() : Values{};
}

// Pumps the main queue until the condition holds, at most `bound`.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::milliseconds(5000)) {
  return dispatch::runMainLoopUntil(done, bound);
}

// Waits (without pumping the main queue) until the condition holds, at most
// `bound`.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::milliseconds(5000)) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Holds the subscription scheduler's background queue until released, so that
// work queued there waits.
class BackgroundGate {
public:
  BackgroundGate() : state_(std::make_shared<State>()) {
    auto background =
        std::static_pointer_cast<RSSubscriptionScheduler>(RSScheduler::subscriptionScheduler())->backgroundScheduler();
    background->schedule([state = state_] {
      std::unique_lock lock(state->mutex);
      state->entered = true;
      state->changed.notify_all();
      state->changed.wait_for(lock, std::chrono::seconds(5), [&state] { return state->open; });
    });
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::seconds(5), [this] { return state_->entered; });
  }
  ~BackgroundGate() {
    std::lock_guard lock(state_->mutex);
    state_->open = true;
    state_->changed.notify_all();
  }

private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
  };
  std::shared_ptr<State> state_;
};

// Waits until the subscription scheduler's background queue has run what was
// queued on it before the call.
inline bool flushBackgroundQueue(std::chrono::milliseconds bound = std::chrono::milliseconds(5000)) {
  auto background =
      std::static_pointer_cast<RSSubscriptionScheduler>(RSScheduler::subscriptionScheduler())->backgroundScheduler();
  auto done = std::make_shared<std::atomic<bool>>(false);
  background->schedule([done] { *done = true; });
  return waitUntil([done] { return done->load(); }, bound);
}

}  // namespace rstest
