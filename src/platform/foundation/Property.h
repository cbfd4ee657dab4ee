// Observable properties: members of an fnd::Object registered under a key.
//
//   class Record : public fnd::Object {
//   public:
//     fnd::Property<std::vector<int>> dataArr{this, "dataArr"};
//   };
//   rec->dataArr.set({1, 2});   rec->dataArr.get();   rec->valueForKey("dataArr");
//
// get() returns a copy taken under the owner's lock; set() stores under the
// lock and notifies outside it, on the calling thread, for every call.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/foundation/Object.h"

namespace fnd {

template <class T>
struct IsObjectPointer : std::false_type {};
template <class T>
struct IsObjectPointer<std::shared_ptr<T>> : std::is_base_of<Object, T> {};

class PropertyBase {
public:
  PropertyBase(Object* owner, std::string key, PropertyAttributes attributes);
  virtual ~PropertyBase() = default;
  PropertyBase(const PropertyBase&) = delete;
  PropertyBase& operator=(const PropertyBase&) = delete;

  const std::string& key() const { return key_; }
  const PropertyAttributes& attributes() const { return attributes_; }
  Object* owner() const { return owner_; }

  virtual Value getValue() const = 0;
  // Sets from a value (key-value coding); false when the property is read-only.
  virtual bool setValue(const Value& v) = 0;

protected:
  std::recursive_mutex& lock() const { return owner_->objectLock(); }
  void willChange() { owner_->willChangeValueForKey(key_); }
  void didChange() { owner_->didChangeValueForKey(key_); }

  Object* owner_;
  std::string key_;
  PropertyAttributes attributes_;
};

template <class T>
PropertyAttributes defaultAttributes() {
  PropertyAttributes a;
  a.isObject = IsObjectPointer<T>::value;
  a.memory = std::is_arithmetic_v<T> ? PropertyAttributes::Memory::Assign
             : (std::is_same_v<T, std::string> ? PropertyAttributes::Memory::Copy : PropertyAttributes::Memory::Strong);
  return a;
}

template <class T>
class Property : public PropertyBase {
public:
  // Applied to every value before it is stored (outside the lock).
  using Transform = std::function<T(T)>;

  Property(Object* owner, std::string key, T initial = T(), Transform transform = nullptr,
           PropertyAttributes attributes = defaultAttributes<T>())
      : PropertyBase(owner, std::move(key), attributes), value_(std::move(initial)), transform_(std::move(transform)) {}

  T get() const {
    std::lock_guard guard(lock());
    return value_;
  }
  T operator()() const { return get(); }

  // What f makes of the stored value, called under the owner's lock without
  // copying the value (the result is returned by value). f must keep no
  // reference to it and take no other object's lock.
  template <class F>
  auto read(F&& f) const {
    std::lock_guard guard(lock());
    return std::forward<F>(f)(std::as_const(value_));
  }

  void set(T v) {
    if (transform_) v = transform_(std::move(v));
    willChange();
    Value converted;  // released after unlocking, with the old value
    {
      std::lock_guard guard(lock());
      std::swap(value_, v);  // the old value goes with v, after unlocking
      std::swap(converted, converted_);
    }
    didChange();
  }

  // Changes the value in place under the lock, then notifies. What f drops
  // (a record replaced in a map, say) is released after unlocking: its end of
  // life may run observers that need this lock.
  template <class F>
  void update(F&& f) {
    willChange();
    T previous;
    Value converted;
    {
      std::lock_guard guard(lock());
      previous = value_;
      f(value_);
      std::swap(converted, converted_);
    }
    didChange();
  }

  // The same without keeping a copy of the whole value: f moves out whatever
  // it drops, to the caller, who releases it after this returns.
  template <class F>
  void modify(F&& f) {
    willChange();
    Value converted;
    {
      std::lock_guard guard(lock());
      std::forward<F>(f)(value_);
      std::swap(converted, converted_);
    }
    didChange();
  }

  // Converted once per stored value: every reader of one change (each
  // observer of it, say) shares the one conversion.
  Value getValue() const override {
    std::lock_guard guard(lock());
    if (converted_.isNil()) converted_ = ValueTraits<T>::toValue(value_);
    return converted_;
  }
  bool setValue(const Value& v) override {
    if (attributes_.readonly) return false;
    set(ValueTraits<T>::fromValue(v));
    return true;
  }

private:
  T value_;
  Transform transform_;
  // value_ as a Value, made on the first read after each change (nil: none
  // yet; a value that converts to nil is converted again, which is cheap).
  mutable Value converted_;
};

// A property that key-value coding may read but not write; the owner writes it
// with set().
template <class T>
class ReadonlyProperty : public Property<T> {
public:
  ReadonlyProperty(Object* owner, std::string key, T initial = T())
      : Property<T>(owner, std::move(key), std::move(initial), nullptr, readonlyAttributes()) {}

private:
  static PropertyAttributes readonlyAttributes() {
    PropertyAttributes a = defaultAttributes<T>();
    a.readonly = true;
    return a;
  }
};

// Made by its factory on first read.
template <class T>
class LazyProperty : public PropertyBase {
public:
  LazyProperty(Object* owner, std::string key, std::function<T()> factory,
               PropertyAttributes attributes = defaultAttributes<T>())
      : PropertyBase(owner, std::move(key), attributes), factory_(std::move(factory)) {}

  T get() const {
    std::lock_guard guard(lock());
    if (!value_) value_ = factory_ ? factory_() : T();
    return *value_;
  }
  void set(T v) {
    willChange();
    std::optional<T> next(std::move(v));
    {
      std::lock_guard guard(lock());
      std::swap(value_, next);  // the old value goes with next, after unlocking
    }
    didChange();
  }
  Value getValue() const override { return ValueTraits<T>::toValue(get()); }
  bool setValue(const Value& v) override {
    if (attributes_.readonly) return false;
    set(ValueTraits<T>::fromValue(v));
    return true;
  }

private:
  std::function<T()> factory_;
  mutable std::optional<T> value_;
};

// A weak reference to another object: reads nil once that object is gone.
template <class T>
class WeakProperty : public PropertyBase {
  static_assert(std::is_base_of_v<Object, T>, "WeakProperty holds fnd::Object subclasses");

public:
  WeakProperty(Object* owner, std::string key) : PropertyBase(owner, std::move(key), weakAttributes()) {}

  std::shared_ptr<T> get() const {
    std::weak_ptr<T> w;
    {
      std::lock_guard guard(lock());
      w = value_;
    }
    return w.lock();  // a last reference released here, outside the lock
  }
  void set(const std::shared_ptr<T>& v) {
    willChange();
    {
      std::lock_guard guard(lock());
      value_ = v;
    }
    didChange();
  }
  Value getValue() const override { return Value(get()); }
  bool setValue(const Value& v) override {
    set(v.asObject<T>());
    return true;
  }

private:
  static PropertyAttributes weakAttributes() {
    PropertyAttributes a;
    a.isObject = true;
    a.weak = true;
    return a;
  }
  std::weak_ptr<T> value_;
};

// A value computed by a getter, with an optional setter; the owner announces
// changes by hand with willChangeValueForKey / didChangeValueForKey.
class ComputedProperty : public PropertyBase {
public:
  ComputedProperty(Object* owner, std::string key, std::function<Value()> getter,
                   std::function<void(const Value&)> setter = nullptr, bool isObject = false);
  Value getValue() const override { return getter_ ? getter_() : Value(); }
  bool setValue(const Value& v) override;

private:
  std::function<Value()> getter_;
  std::function<void(const Value&)> setter_;
};

}  // namespace fnd
