// fnd::Lifetime: end-of-life hooks, associated objects and the per-object lock.
//
// Every fnd::Object owns one; a non-Object (a Qt screen, say) that wants to
// observe or be observed owns one as a member and calls end() first thing in
// its destructor. end() runs the hooks once, in the order they were added,
// outside the lock, on the thread that calls it; later hooks added after the
// end run at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace fnd {

struct LifetimeState {
  std::recursive_mutex mutex;
  std::vector<std::pair<uint64_t, std::function<void()>>> hooks;
  std::map<const void*, Value> associated;
  uint64_t nextHookId = 1;
  // Set under the mutex, once; read without it where a stale false only
  // means taking the mutex to find out.
  std::atomic<bool> ended{false};
};

class Lifetime {
public:
  using HookId = uint64_t;

  Lifetime();
  ~Lifetime();
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  // Adds a hook; returns 0 (and runs the hook at once) when the lifetime has
  // already ended.
  HookId addHook(std::function<void()> hook);
  // Removes a hook that has not run; harmless for unknown ids.
  void removeHook(HookId id);
  // Runs the hooks once, then releases the associated objects.
  void end();
  bool ended() const;

  // A stable identity for maps keyed by lifetime.
  const void* identity() const { return state_.get(); }
  std::weak_ptr<LifetimeState> weak() const { return state_; }
  std::recursive_mutex& mutex() const { return state_->mutex; }

  // Associated objects: strong references kept until the end of life.
  void setAssociatedObject(const void* key, const Value& v);
  Value associatedObject(const void* key) const;

  // Helpers for holders of a weak reference.
  static HookId addHook(const std::weak_ptr<LifetimeState>& state, std::function<void()> hook);
  static void removeHook(const std::weak_ptr<LifetimeState>& state, HookId id);

private:
  std::shared_ptr<LifetimeState> state_;
};

}  // namespace fnd
