// End-of-life hooks of the signal framework, for any fnd::Object and for
// anything that owns an fnd::Lifetime (a Qt screen, say).
//
//  - rs_deallocDisposable: a compound disposable disposed when the owner's life
//    ends (for an fnd::Object made by fnd::make, while it is still whole).
//    Every observation, channel and binding of or by the owner sits in it.
//  - rs_willDeallocSignal: sends no value and completes at that moment; a late
//    subscriber gets the completion at once. The same signal on every call.
//
// Both are made on first request under the owner's lock. Asked for after the
// end of life, they come already disposed / completed.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "platform/foundation/Lifetime.h"
#include "platform/foundation/Object.h"
#include "reactive/RSDisposable.h"

class RSSignal;

// What the rs_* functions take as an observer or an owner: an fnd::Object
// (pointer or shared pointer), an fnd::Lifetime, or nothing. It keeps the
// lifetime's bookkeeping alive while it lives, never the object itself.
class RSLifetimeRef {
public:
  RSLifetimeRef() = default;
  RSLifetimeRef(std::nullptr_t) {}
  RSLifetimeRef(const fnd::Object* object);
  template <class T, std::enable_if_t<std::is_base_of_v<fnd::Object, T>, int> = 0>
  RSLifetimeRef(const std::shared_ptr<T>& object) : RSLifetimeRef(static_cast<const fnd::Object*>(object.get())) {}
  RSLifetimeRef(const fnd::Lifetime& lifetime);
  explicit RSLifetimeRef(std::shared_ptr<fnd::LifetimeState> state) : state_(std::move(state)) {}

  explicit operator bool() const { return static_cast<bool>(state_); }
  const std::shared_ptr<fnd::LifetimeState>& state() const { return state_; }
  std::weak_ptr<fnd::LifetimeState> weak() const { return state_; }
  // Compares lifetimes; the same for an object and its own lifetime.
  const void* identity() const { return state_.get(); }
  // The object, when the reference was made from one that still lives.
  std::shared_ptr<const fnd::Object> object() const { return object_.lock(); }
  // The object's description, or "<Lifetime: address>", or "(null)".
  std::string description() const;

private:
  std::shared_ptr<fnd::LifetimeState> state_;
  std::weak_ptr<const fnd::Object> object_;
};

// Null for a null reference.
RSCompoundDisposablePtr rs_deallocDisposable(const RSLifetimeRef& owner);
// Null for a null reference.
std::shared_ptr<RSSignal> rs_willDeallocSignal(const RSLifetimeRef& owner);

namespace rs_detail {
// Removes the disposable from the owner's dealloc disposable, if the owner
// still has one; never creates it.
void removeFromDeallocDisposable(const std::weak_ptr<fnd::LifetimeState>& owner, const RSDisposablePtr& disposable);
}  // namespace rs_detail
