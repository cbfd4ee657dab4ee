// RSDelegateProxy<Interface>: stands in as the delegate of an object and
// turns chosen delegate messages into signals while passing the others on to
// a real delegate.
//
// One proxy class per delegate interface, each message written once as a
// forwarding line:
//
//     class PickerDelegateProxy : public RSDelegateProxy<PickerDelegate> {
//       bool shouldSelect(int row) override {
//         return rs_forward("shouldSelect", &PickerDelegate::shouldSelect, row);
//       }
//     };
//
// A message for which signalForSelector() was asked goes only to its signal
// (a tuple of its arguments, on the calling thread) and returns the return
// type's default value; every other message goes to the real delegate, held
// weakly, or returns that default when there is none. The proxy's signals
// complete when the proxy ends its life.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/foundation/Object.h"
#include "reactive/RSSelectorSignal.h"

template <class Interface>
class RSDelegateProxy : public fnd::Object, public Interface {
public:
  // The real delegate; null when none was set or it has ended its life.
  std::shared_ptr<Interface> rs_proxiedDelegate() const {
    std::lock_guard lock(objectLock());
    return proxiedDelegate_.lock();
  }
  void setRs_proxiedDelegate(const std::shared_ptr<Interface>& delegate) {
    std::lock_guard lock(objectLock());
    proxiedDelegate_ = delegate;
  }

  // The signal of the message; from now on the real delegate no longer gets
  // it.
  RSSignalPtr signalForSelector(std::string_view selector) { return rs_signalForSelector(this, selector); }

  bool isProxy() const { return true; }
  // True when the message has a signal or there is a real delegate to take it
  // (a C++ delegate implements every message of its interface).
  bool respondsToSelector(std::string_view selector) const {
    return rs_detail::selectorSubject(lifetime(), selector) != nullptr || rs_proxiedDelegate() != nullptr;
  }

protected:
  RSDelegateProxy() = default;

  // Sends the message to its signal, or else to the real delegate.
  template <class R, class... P, class... A>
  R rs_forward(std::string_view selector, R (Interface::*method)(P...), A&&... arguments) const {
    if (RSSubjectPtr subject = rs_detail::selectorSubject(lifetime(), selector)) {
      subject->sendNext(fnd::Value(RSTuple::tupleWithObjects({rs_box(arguments)...})));
      return defaultResult<R>();
    }
    if (std::shared_ptr<Interface> delegate = rs_proxiedDelegate()) {
      return ((*delegate).*method)(std::forward<A>(arguments)...);
    }
    return defaultResult<R>();
  }
  template <class R, class... P, class... A>
  R rs_forward(std::string_view selector, R (Interface::*method)(P...) const, A&&... arguments) const {
    if (RSSubjectPtr subject = rs_detail::selectorSubject(lifetime(), selector)) {
      subject->sendNext(fnd::Value(RSTuple::tupleWithObjects({rs_box(arguments)...})));
      return defaultResult<R>();
    }
    if (std::shared_ptr<Interface> delegate = rs_proxiedDelegate()) {
      return ((*delegate).*method)(std::forward<A>(arguments)...);
    }
    return defaultResult<R>();
  }

private:
  template <class R>
  static R defaultResult() {
    if constexpr (!std::is_void_v<R>) return R{};
  }

  std::weak_ptr<Interface> proxiedDelegate_;
};
