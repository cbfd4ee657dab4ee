// Calls of a method as a signal of their arguments.
//
// rs_signalForSelector(object, "name") gives the signal of the calls of the
// object's method "name": one RSTuple of the call's arguments per call (an
// empty tuple for a method without arguments), sent on the calling thread
// after the method body has run, and completion when the object ends its
// life. Asking again for the same name gives the same signal.
//
// C++ cannot intercept a call it was not told about, so a class opts in
// method by method: the method starts with
//
//     RS_SELECTOR_SOURCE("name", argument1, argument2);
//
// which records the arguments as they arrive and sends them when the body
// has returned (after the return value is made). Until somebody asks for the
// method's signal the line costs one look-up under the object's lock and
// boxes nothing. The arguments must be boxable (RSBoxing.h).
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "reactive/RSBoxing.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSSubject.h"
#include "reactive/RSTuple.h"

// The signal of the calls of the owner's method `selector`. Null for a null
// owner; already completed for an owner whose life has ended.
RSSignalPtr rs_signalForSelector(const RSLifetimeRef& owner, std::string_view selector);

namespace rs_detail {
// The subject of the method, when somebody asked for it; never makes one.
RSSubjectPtr selectorSubject(const fnd::Lifetime& owner, std::string_view selector);
}  // namespace rs_detail

// One call of an opted-in method: made first thing in the body, sends the
// arguments when it goes out of scope, unless the body left by an exception.
class RSSelectorInvocation {
public:
  template <class... A>
  RSSelectorInvocation(const fnd::Lifetime& owner, std::string_view selector, const A&... arguments)
      : subject_(rs_detail::selectorSubject(owner, selector)), exceptions_(std::uncaught_exceptions()) {
    if (subject_) arguments_ = RSTuple::tupleWithObjects({rs_box(arguments)...});
  }
  template <class... A>
  RSSelectorInvocation(const fnd::Object& owner, std::string_view selector, const A&... arguments)
      : RSSelectorInvocation(owner.lifetime(), selector, arguments...) {}
  ~RSSelectorInvocation() {
    if (subject_ && std::uncaught_exceptions() == exceptions_) subject_->sendNext(fnd::Value(arguments_));
  }
  RSSelectorInvocation(const RSSelectorInvocation&) = delete;
  RSSelectorInvocation& operator=(const RSSelectorInvocation&) = delete;

  // The arguments of this call, when the method is observed.
  const RSTuplePtr& rs_argumentsTuple() const { return arguments_; }

private:
  RSSubjectPtr subject_;
  RSTuplePtr arguments_;
  int exceptions_;
};

// For a method of an fnd::Object (or of a class with a `lifetime()` member).
#define RS_SELECTOR_SOURCE(selector, ...) \
  const RSSelectorInvocation rs_selectorInvocation_(lifetime(), selector __VA_OPT__(, ) __VA_ARGS__)
