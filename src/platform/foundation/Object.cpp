#include "platform/foundation/Object.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <typeinfo>

#include "platform/foundation/Log.h"
#include "platform/foundation/Property.h"

namespace fnd {

struct Object::Registration {
  uint64_t id = 0;
  unsigned options = 0;
  KVOCallback callback;
  std::atomic<bool> active{true};
  std::weak_ptr<LifetimeState> observerLifetime;
  Lifetime::HookId observerHook = 0;
};

struct Object::Observers {
  using List = std::vector<std::shared_ptr<Registration>>;
  std::mutex mutex;
  // Each key's observers. A list is never changed once made: adding or
  // removing an observer makes a new one, so a change takes the list it
  // tells with one reference, without copying it.
  std::map<std::string, std::shared_ptr<const List>, std::less<>> byKey;

  // Under the mutex.
  void add(std::string_view key, std::shared_ptr<Registration> reg) {
    auto& slot = byKey[std::string(key)];
    auto list = std::make_shared<List>();
    if (slot) {
      list->reserve(slot->size() + 1);
      *list = *slot;
    }
    list->push_back(std::move(reg));
    slot = std::move(list);
  }

  // Unregisters one observer; it is never called again once this returns on
  // the notifying thread. The registration is released by the caller, outside
  // the lock.
  std::shared_ptr<Registration> take(const KVOToken& token) {
    std::shared_ptr<const List> previous;  // released after unlocking
    std::lock_guard guard(mutex);
    auto it = byKey.find(token.key);
    if (it == byKey.end()) return nullptr;
    const List& regs = *it->second;
    for (size_t i = 0; i < regs.size(); ++i) {
      if (regs[i]->id != token.id) continue;
      std::shared_ptr<Registration> removed = regs[i];
      removed->active = false;
      if (regs.size() == 1) {
        previous = std::move(it->second);
        byKey.erase(it);
      } else {
        auto shorter = std::make_shared<List>(regs);
        shorter->erase(shorter->begin() + static_cast<std::ptrdiff_t>(i));
        previous = std::exchange(it->second, std::move(shorter));
      }
      return removed;
    }
    return nullptr;
  }
};

namespace {

std::atomic<uint64_t> nextRegistrationId{1};

// Notifications of this thread waiting for the outermost DeferNotifications.
thread_local int deferDepth = 0;
thread_local std::deque<std::function<void()>> deferQueue;

// A will-change waiting for its did-change on this thread.
struct PendingChange {
  const Object* object;
  std::string key;
  Value oldValue;
  std::shared_ptr<const void> registrations;  // the key's Object::Observers::List then, type-erased; null for none
};
thread_local std::vector<PendingChange> pendingChanges;

std::vector<PendingChange>& pending() { return pendingChanges; }

std::vector<std::string_view> splitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t dot = path.find('.', start);
    if (dot == std::string_view::npos) dot = path.size();
    parts.push_back(path.substr(start, dot - start));
    start = dot + 1;
  }
  return parts;
}

}  // namespace

// ---- DeferNotifications ----

DeferNotifications::DeferNotifications() { ++deferDepth; }

DeferNotifications::~DeferNotifications() {
  if (--deferDepth > 0) return;
  // Outermost scope: deliver in order. Anything these deliveries raise runs at
  // once (depth is zero now) or, inside a new scope, joins the queue's tail.
  while (!deferQueue.empty()) {
    auto fn = std::move(deferQueue.front());
    deferQueue.pop_front();
    fn();
  }
}

void DeferNotifications::deliver(std::function<void()> fn) {
  if (deferDepth > 0) {
    deferQueue.push_back(std::move(fn));
    return;
  }
  fn();
}

bool DeferNotifications::active() { return deferDepth > 0; }

// ---- Object ----

Object::Object() : observers_(std::make_shared<Observers>()) {}

Object::~Object() {
  // Normally the deleter of make() has ended the lifetime already, while the
  // derived parts were whole; this is the fallback for stack or plain-new
  // objects.
  lifetime_.end();
  dropAllObservers();
}

size_t Object::hash() const { return std::hash<const void*>()(this); }

std::string Object::className() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  return name;
}

std::string Object::description() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + buf + ">";
}

void Object::registerProperty(PropertyBase* p) {
  if (properties_.empty()) properties_.reserve(8);
  properties_.push_back(p);
}

PropertyBase* Object::propertyForKey(std::string_view key) const {
  for (PropertyBase* p : properties_)
    if (p->key() == key) return p;
  return nullptr;
}

std::vector<std::string> Object::keys() const {
  std::vector<std::string> out;
  for (PropertyBase* p : properties_) out.push_back(p->key());
  return out;
}

const PropertyAttributes* Object::attributesForKey(std::string_view key) const {
  PropertyBase* p = propertyForKey(key);
  return p ? &p->attributes() : nullptr;
}

Value Object::valueForKey(std::string_view key) const {
  if (PropertyBase* p = propertyForKey(key)) return p->getValue();
  return valueForUndefinedKey(key);
}

Value Object::valueForUndefinedKey(std::string_view key) const {
  log("%s: no value for key \"%.*s\"", className().c_str(), static_cast<int>(key.size()), key.data());
  return Value();
}

bool Object::setValueForKey(std::string_view key, const Value& v) {
  if (PropertyBase* p = propertyForKey(key)) {
    if (p->attributes().readonly || !p->setValue(v)) {
      log("%s: key \"%.*s\" is read-only", className().c_str(), static_cast<int>(key.size()), key.data());
      return false;
    }
    return true;
  }
  return setValueForUndefinedKey(key, v);
}

bool Object::setValueForUndefinedKey(std::string_view key, const Value&) {
  log("%s: cannot set undefined key \"%.*s\"", className().c_str(), static_cast<int>(key.size()), key.data());
  return false;
}

Value Object::valueForKeyPath(std::string_view path) const {
  auto parts = splitPath(path);
  Value current = valueForKey(parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) {
    if (current.isObject()) {
      current = current.asObject()->valueForKey(parts[i]);
    } else if (current.isDictionary()) {
      current = current.asDictionary()[parts[i]];
    } else {
      return Value();  // nil (or a plain value) in the middle ends the walk
    }
  }
  return current;
}

bool Object::setValueForKeyPath(std::string_view path, const Value& v) {
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return setValueForKey(path, v);
  Value holder = valueForKeyPath(path.substr(0, dot));
  if (auto obj = holder.asObject()) return obj->setValueForKey(path.substr(dot + 1), v);
  return false;
}

// ---- observing ----

KVOToken Object::addObserver(std::string_view key, unsigned options, KVOCallback cb) {
  auto reg = std::make_shared<Registration>();
  reg->id = nextRegistrationId++;
  reg->options = options;
  reg->callback = std::move(cb);
  {
    std::lock_guard guard(observers_->mutex);
    observers_->add(key, reg);
  }
  if (options & KVOInitial) {
    KVOChange change;
    change.key = std::string(key);
    if (options & KVONew) change.newValue = valueForKey(key);
    DeferNotifications::deliver([reg, change] {
      if (reg->active) reg->callback(change);
    });
  }
  return KVOToken{reg->id, std::string(key)};
}

KVOToken Object::addObserver(std::string_view key, unsigned options, Lifetime& observer, KVOCallback cb) {
  KVOToken token = addObserver(key, options, std::move(cb));
  std::weak_ptr<Observers> weakObservers = observers_;
  auto hook = Lifetime::addHook(observer.weak(), [weakObservers, token] {
    if (auto observers = weakObservers.lock()) observers->take(token);
  });
  // Record the hook so that removeObserver takes it off the observer again.
  std::lock_guard guard(observers_->mutex);
  auto it = observers_->byKey.find(token.key);
  if (it != observers_->byKey.end()) {
    for (const auto& r : *it->second) {
      if (r->id == token.id) {
        r->observerLifetime = observer.weak();
        r->observerHook = hook;
      }
    }
  }
  return token;
}

void Object::removeObserver(const KVOToken& token) {
  if (!token) return;
  std::shared_ptr<Registration> removed = observers_->take(token);
  if (removed && removed->observerHook) Lifetime::removeHook(removed->observerLifetime, removed->observerHook);
}

size_t Object::observerCount(std::string_view key) const {
  std::lock_guard guard(observers_->mutex);
  auto it = observers_->byKey.find(key);
  return it == observers_->byKey.end() ? 0 : it->second->size();
}

void Object::dropAllObservers() {
  std::vector<std::shared_ptr<Registration>> all;
  {
    std::lock_guard guard(observers_->mutex);
    for (auto& [key, regs] : observers_->byKey)
      for (const auto& r : *regs) {
        r->active = false;
        all.push_back(r);
      }
    observers_->byKey.clear();
  }
  for (auto& r : all)
    if (r->observerHook) Lifetime::removeHook(r->observerLifetime, r->observerHook);
}

std::shared_ptr<const void> Object::snapshot(std::string_view key) const {
  std::lock_guard guard(observers_->mutex);
  auto it = observers_->byKey.find(key);
  if (it == observers_->byKey.end()) return nullptr;
  return it->second;
}

void Object::willChangeValueForKey(std::string_view key) {
  PendingChange change{this, std::string(key), Value(), snapshot(key)};
  if (!change.registrations) {
    pending().push_back(std::move(change));
    return;
  }
  const auto& regs = *static_cast<const Observers::List*>(change.registrations.get());
  bool wantsOld = false;
  bool wantsPrior = false;
  for (const auto& r : regs) {
    wantsOld = wantsOld || (r->options & KVOOld);
    wantsPrior = wantsPrior || (r->options & KVOPrior);
  }
  if (wantsOld) change.oldValue = valueForKey(key);
  if (wantsPrior) {
    for (const auto& r : regs) {
      if (!(r->options & KVOPrior)) continue;
      KVOChange prior;
      prior.key = change.key;
      prior.isPrior = true;
      if (r->options & KVOOld) prior.oldValue = change.oldValue;
      DeferNotifications::deliver([r, prior] {
        if (r->active) r->callback(prior);
      });
    }
  }
  pending().push_back(std::move(change));
}

void Object::didChangeValueForKey(std::string_view key) {
  std::shared_ptr<const void> erased;
  Value oldValue;
  auto& stack = pending();
  bool found = false;
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (it->object == this && it->key == key) {
      oldValue = std::move(it->oldValue);
      erased = std::move(it->registrations);
      stack.erase(std::next(it).base());
      found = true;
      break;
    }
  }
  // A did-change without its will-change tells the observers there are now.
  if (!found) erased = snapshot(key);
  if (!erased) return;
  std::shared_ptr<const Observers::List> regs(erased, static_cast<const Observers::List*>(erased.get()));
  bool wantsNew = false;
  for (const auto& r : *regs) wantsNew = wantsNew || (r->options & KVONew);
  Value newValue = wantsNew ? valueForKey(key) : Value();
  // Every observer of the change is called in registration order, at once or,
  // inside a deferring scope, from one queued task: the change is told to
  // each as its options ask.
  auto notify = [](const Observers::List& registrations, KVOChange& change, const Value& newValue,
                   const Value& oldValue) {
    for (const auto& r : registrations) {
      if (!r->active) continue;
      change.newValue = r->options & KVONew ? newValue : Value();
      change.oldValue = r->options & KVOOld ? oldValue : Value();
      r->callback(change);
    }
  };
  if (!DeferNotifications::active()) {
    KVOChange change;
    change.key = std::string(key);
    notify(*regs, change, newValue, oldValue);
    return;
  }
  DeferNotifications::deliver([notify, regs = std::move(regs), key = std::string(key), newValue = std::move(newValue),
                               oldValue = std::move(oldValue)] {
    KVOChange change;
    change.key = key;
    notify(*regs, change, newValue, oldValue);
  });
}

// ---- PropertyBase / ComputedProperty ----

PropertyBase::PropertyBase(Object* owner, std::string key, PropertyAttributes attributes)
    : owner_(owner), key_(std::move(key)), attributes_(attributes) {
  owner_->registerProperty(this);
}

ComputedProperty::ComputedProperty(Object* owner, std::string key, std::function<Value()> getter,
                                   std::function<void(const Value&)> setter, bool isObject)
    : PropertyBase(owner, std::move(key), [&] {
        PropertyAttributes a;
        a.isObject = isObject;
        a.readonly = !setter;
        return a;
      }()),
      getter_(std::move(getter)),
      setter_(std::move(setter)) {}

bool ComputedProperty::setValue(const Value& v) {
  if (!setter_) return false;
  setter_(v);
  return true;
}

}  // namespace fnd
