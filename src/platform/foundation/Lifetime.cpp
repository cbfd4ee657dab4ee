#include "platform/foundation/Lifetime.h"

namespace fnd {

Lifetime::Lifetime() : state_(std::make_shared<LifetimeState>()) {}

Lifetime::~Lifetime() { end(); }

Lifetime::HookId Lifetime::addHook(std::function<void()> hook) { return addHook(std::weak_ptr<LifetimeState>(state_), std::move(hook)); }

void Lifetime::removeHook(HookId id) { removeHook(std::weak_ptr<LifetimeState>(state_), id); }

Lifetime::HookId Lifetime::addHook(const std::weak_ptr<LifetimeState>& weakState, std::function<void()> hook) {
  if (!hook) return 0;
  if (auto state = weakState.lock()) {
    std::unique_lock lock(state->mutex);
    if (!state->ended) {
      HookId id = state->nextHookId++;
      state->hooks.emplace_back(id, std::move(hook));
      return id;
    }
  }
  // Already over: the hook's work is due now.
  hook();
  return 0;
}

void Lifetime::removeHook(const std::weak_ptr<LifetimeState>& weakState, HookId id) {
  if (id == 0) return;
  auto state = weakState.lock();
  if (!state) return;
  std::function<void()> removed;  // released after unlocking
  {
    std::unique_lock lock(state->mutex);
    for (auto it = state->hooks.begin(); it != state->hooks.end(); ++it) {
      if (it->first == id) {
        removed = std::move(it->second);
        state->hooks.erase(it);
        break;
      }
    }
  }
}

void Lifetime::end() {
  // An object's end runs twice (its deleter, then its destructor): the second
  // finds it over without locking.
  if (state_->ended.load(std::memory_order_acquire)) return;
  std::vector<std::pair<uint64_t, std::function<void()>>> hooks;
  bool associated;
  {
    std::unique_lock lock(state_->mutex);
    if (state_->ended) return;
    state_->ended = true;
    hooks.swap(state_->hooks);
    // Nothing is associated after the end, so none there now means none to
    // release below.
    associated = !state_->associated.empty();
  }
  for (auto& [id, hook] : hooks) hook();
  hooks.clear();
  if (!associated) return;
  std::map<const void*, Value> released;
  {
    std::unique_lock lock(state_->mutex);
    released.swap(state_->associated);
  }
  // Released here, outside the lock.
}

bool Lifetime::ended() const {
  std::unique_lock lock(state_->mutex);
  return state_->ended;
}

void Lifetime::setAssociatedObject(const void* key, const Value& v) {
  Value previous;  // released after unlocking
  std::unique_lock lock(state_->mutex);
  auto it = state_->associated.find(key);
  if (v.isNil()) {
    if (it != state_->associated.end()) {
      previous = std::move(it->second);
      state_->associated.erase(it);
    }
    lock.unlock();
    return;
  }
  if (state_->ended) return;  // nothing is kept past the end of life
  if (it != state_->associated.end()) {
    previous = std::move(it->second);
    it->second = v;
  } else {
    state_->associated.emplace(key, v);
  }
  lock.unlock();
}

Value Lifetime::associatedObject(const void* key) const {
  std::unique_lock lock(state_->mutex);
  auto it = state_->associated.find(key);
  return it == state_->associated.end() ? Value() : it->second;
}

}  // namespace fnd
