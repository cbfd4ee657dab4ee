#include "platform/foundation/NotificationCenter.h"

#include <atomic>

namespace fnd {

struct NotificationCenter::Entry {
  uint64_t id;
  std::string name;
  Value sender;
  Callback callback;
  std::atomic<bool> active{true};
  std::weak_ptr<LifetimeState> observerLifetime;
  Lifetime::HookId observerHook = 0;
};

struct NotificationCenter::State {
  mutable std::mutex mutex;
  std::vector<std::shared_ptr<Entry>> entries;
  uint64_t nextId = 1;

  std::shared_ptr<Entry> remove(uint64_t id) {
    std::lock_guard guard(mutex);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if ((*it)->id == id) {
        auto e = *it;
        e->active = false;
        entries.erase(it);
        return e;
      }
    }
    return nullptr;
  }
};

NotificationCenter::NotificationCenter() : state_(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() {
  std::vector<std::shared_ptr<Entry>> entries;
  {
    std::lock_guard guard(state_->mutex);
    entries.swap(state_->entries);
  }
  for (auto& e : entries) {
    e->active = false;
    Lifetime::removeHook(e->observerLifetime, e->observerHook);
  }
}

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter* center = new NotificationCenter();  // lives for the whole process
  return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Value sender, Callback cb) {
  auto e = std::make_shared<Entry>();
  e->name = std::move(name);
  e->sender = std::move(sender);
  e->callback = std::move(cb);
  std::lock_guard guard(state_->mutex);
  e->id = state_->nextId++;
  state_->entries.push_back(e);
  return Token{e->id};
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Value sender, Lifetime& observer, Callback cb) {
  Token token = addObserver(std::move(name), std::move(sender), std::move(cb));
  std::weak_ptr<State> weakState = state_;
  auto hook = observer.addHook([weakState, id = token.id] {
    if (auto state = weakState.lock()) state->remove(id);
  });
  std::lock_guard guard(state_->mutex);
  for (auto& e : state_->entries) {
    if (e->id == token.id) {
      e->observerLifetime = observer.weak();
      e->observerHook = hook;
    }
  }
  return token;
}

void NotificationCenter::removeObserver(Token token) {
  if (!token) return;
  if (auto e = state_->remove(token.id)) Lifetime::removeHook(e->observerLifetime, e->observerHook);
}

void NotificationCenter::post(const std::string& name, const Value& sender, const Dictionary& userInfo) {
  std::vector<std::shared_ptr<Entry>> matching;
  {
    std::lock_guard guard(state_->mutex);
    for (auto& e : state_->entries)
      if ((e->name.empty() || e->name == name) && (e->sender.isNil() || e->sender == sender)) matching.push_back(e);
  }
  Notification n{name, sender, userInfo};
  for (auto& e : matching)
    if (e->active) e->callback(n);
}

size_t NotificationCenter::observerCount() const {
  std::lock_guard guard(state_->mutex);
  return state_->entries.size();
}

}  // namespace fnd
