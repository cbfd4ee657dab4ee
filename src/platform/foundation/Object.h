// fnd::Object: the base of records, view models, signals and views.
//
//  - Owned by std::shared_ptr and made with fnd::make<T>(), whose deleter ends
//    the object's lifetime (runs its end-of-life hooks) while it is still whole.
//  - Key-value coding: valueForKey / valueForKeyPath / setValueForKey over the
//    registered properties (Property.h).
//  - Key-value observing: every setter call notifies its observers
//    synchronously on the setter's thread, equal values included. Options New,
//    Old, Initial and Prior. Observers may be added and removed on any thread,
//    also from inside a notification; a removed observer is never called again
//    once removeObserver has returned on the notifying thread.
//  - Inside a DeferNotifications scope the notifications of that thread are
//    queued and delivered, in order, when the outermost scope ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Lifetime.h"
#include "platform/foundation/Value.h"

namespace fnd {

class PropertyBase;

enum KVOOptions : unsigned {
  KVONew = 1,
  KVOOld = 2,
  KVOInitial = 4,
  KVOPrior = 8,
};

struct KVOChange {
  static constexpr int Setting = 1;
  int kind = Setting;
  std::string key;
  Value newValue;  // with KVONew, in the after-change call
  Value oldValue;  // with KVOOld
  bool isPrior = false;
};

using KVOCallback = std::function<void(const KVOChange&)>;

struct KVOToken {
  uint64_t id = 0;
  std::string key;
  explicit operator bool() const { return id != 0; }
};

struct PropertyAttributes {
  enum class Memory { Strong, Copy, Assign };
  bool isObject = false;  // holds an object reference
  bool weak = false;
  bool readonly = false;
  Memory memory = Memory::Strong;
};

class Object : public std::enable_shared_from_this<Object> {
public:
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Identity.
  virtual bool isEqual(const Object& other) const { return this == &other; }
  virtual size_t hash() const;
  virtual std::string description() const;
  virtual std::string className() const;
  // True for objects (views) that may only be written on the main thread.
  virtual bool requiresMainThread() const { return false; }

  // The per-object lock guarding property storage.
  std::recursive_mutex& objectLock() const { return lifetime_.mutex(); }
  Lifetime& lifetime() { return lifetime_; }
  const Lifetime& lifetime() const { return lifetime_; }

  // Key-value coding. Unknown keys log and give nil / false; nothing throws.
  Value valueForKey(std::string_view key) const;
  Value valueForKeyPath(std::string_view path) const;
  bool setValueForKey(std::string_view key, const Value& v);
  bool setValueForKeyPath(std::string_view path, const Value& v);
  const PropertyAttributes* attributesForKey(std::string_view key) const;
  std::vector<std::string> keys() const;

  // Key-value observing of one key.
  KVOToken addObserver(std::string_view key, unsigned options, KVOCallback cb);
  // The same, removed automatically when the observer's lifetime ends.
  KVOToken addObserver(std::string_view key, unsigned options, Lifetime& observer, KVOCallback cb);
  void removeObserver(const KVOToken& token);
  size_t observerCount(std::string_view key) const;

  // Manual notification, for computed or lazily made values. Nest per thread.
  void willChangeValueForKey(std::string_view key);
  void didChangeValueForKey(std::string_view key);

protected:
  Object();
  // Fallbacks for keys without a registered property.
  virtual Value valueForUndefinedKey(std::string_view key) const;
  virtual bool setValueForUndefinedKey(std::string_view key, const Value& v);

private:
  friend class PropertyBase;
  struct Registration;
  struct Observers;
  void registerProperty(PropertyBase* p);
  PropertyBase* propertyForKey(std::string_view key) const;
  // The observers of `key` as one shared list (Observers::List), or null.
  std::shared_ptr<const void> snapshot(std::string_view key) const;
  void dropAllObservers();

  Lifetime lifetime_;
  std::vector<PropertyBase*> properties_;  // filled during construction only
  std::shared_ptr<Observers> observers_;   // has its own lock
};

// Runs the end of life while the object is whole, then deletes it.
template <class T, class... A>
std::shared_ptr<T> make(A&&... args) {
  T* p = new T(std::forward<A>(args)...);
  return std::shared_ptr<T>(p, [](T* o) {
    o->lifetime().end();
    delete o;
  });
}

// While one of these lives on a thread, key-value notifications raised on that
// thread are queued; the outermost scope's end delivers them in order. Put the
// scope before the lock it pairs with, so the lock is released first.
class DeferNotifications {
public:
  DeferNotifications();
  ~DeferNotifications();
  DeferNotifications(const DeferNotifications&) = delete;
  DeferNotifications& operator=(const DeferNotifications&) = delete;
  // Runs fn now, or queues it when the thread is inside a scope.
  static void deliver(std::function<void()> fn);
  static bool active();
};

}  // namespace fnd
