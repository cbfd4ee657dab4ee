// Lifting: calling a method of an object once for each set of arguments that
// signals deliver.
//
// rs_liftSelector(receiver, "name", method, ...) calls method(*receiver,
// arguments...) and sends what it returns (RSUnit for a void method). The
// method is any callable whose first parameter is the receiver (a pointer to
// a member function will do) and whose other parameters are boxable
// (RSBoxing.h); tuple element i fills parameter i, a missing element is nil.
//
//  - With a signal of tuples: one call per tuple; a value that is not a tuple
//    ends the result with RSSignalErrorUnexpectedValue.
//  - With several signals: combineLatest of them, so the first call comes
//    when each has sent a value, then one on every later value of any of
//    them, with the latest of each.
//
// The result is subscribed at once and replays its last value, so the
// method runs once per set of arguments however many subscribe. It holds the
// receiver weakly: it never keeps the receiver alive and never calls into a
// receiver that has ended its life; it completes when the arguments complete
// or the receiver ends its life. The method runs on the thread that delivers
// the arguments.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "reactive/RSBoxing.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSSignal.h"
#include "reactive/RSTuple.h"
#include "reactive/RSUnit.h"

namespace rs_detail {

// Parameters of a member function, with the object first (Parameters) or
// without it (CallParameters, for a lambda's call operator).
template <class M>
struct MemberTraits;
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...)> {
  using Result = R;
  using Parameters = std::tuple<C&, A...>;
  using CallParameters = std::tuple<A...>;
};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) const> {
  using Result = R;
  using Parameters = std::tuple<const C&, A...>;
  using CallParameters = std::tuple<A...>;
};

template <class F, class = void>
struct LiftTraits {
  using Member = MemberTraits<decltype(&F::operator())>;
  using Result = typename Member::Result;
  using Parameters = typename Member::CallParameters;
};
template <class F>
struct LiftTraits<F, std::enable_if_t<std::is_member_function_pointer_v<F>>> {
  using Result = typename MemberTraits<F>::Result;
  using Parameters = typename MemberTraits<F>::Parameters;
};
template <class R, class... A>
struct LiftTraits<R (*)(A...), void> {
  using Result = R;
  using Parameters = std::tuple<A...>;
};

// Calls the method with the receiver and the tuple's elements as parameters
// 1, 2, ...
template <class F, class T, size_t... I>
fnd::Value liftCall(F& method, T& receiver, const RSTuple& arguments, std::index_sequence<I...>) {
  using Traits = LiftTraits<F>;
  using Parameters = typename Traits::Parameters;
  if constexpr (std::is_void_v<typename Traits::Result>) {
    std::invoke(method, receiver, rs_unbox<std::tuple_element_t<I + 1, Parameters>>(arguments.objectAtIndex(I))...);
    return fnd::Value(RSUnit::defaultUnit());
  } else {
    return rs_box(std::invoke(method, receiver,
                              rs_unbox<std::tuple_element_t<I + 1, Parameters>>(arguments.objectAtIndex(I))...));
  }
}

// The tuple-to-call step shared by the forms; `call` returns nil when the
// receiver is gone.
using LiftedCall = std::function<bool(const RSTuple& arguments, fnd::Value& result)>;
RSSignalPtr liftWithSignalOfArguments(const RSLifetimeRef& receiver, LiftedCall call, const RSSignalPtr& arguments);
void nameLifted(const RSSignalPtr& result, const RSLifetimeRef& receiver, std::string_view selector, const char* form,
                const std::string& arguments);

template <class T, class F>
LiftedCall makeLiftedCall(const std::shared_ptr<T>& receiver, F method) {
  using Parameters = typename LiftTraits<F>::Parameters;
  constexpr size_t arity = std::tuple_size_v<Parameters> - 1;
  std::weak_ptr<T> weak = receiver;
  return [weak, method](const RSTuple& arguments, fnd::Value& result) mutable {
    std::shared_ptr<T> strong = weak.lock();
    if (!strong || strong->lifetime().ended()) return false;
    result = liftCall(method, *strong, arguments, std::make_index_sequence<arity>());
    return true;
  };
}

}  // namespace rs_detail

template <class T, class F>
RSSignalPtr rs_liftSelector(const std::shared_ptr<T>& receiver, std::string_view selector, F method,
                            const RSSignalPtr& signalOfArguments) {
  static_assert(std::is_base_of_v<fnd::Object, T>, "the receiver of a lifted method is an fnd::Object");
  RSSignalPtr result = rs_detail::liftWithSignalOfArguments(
      receiver, rs_detail::makeLiftedCall(receiver, std::move(method)), RSSignal::orMissing(signalOfArguments));
  rs_detail::nameLifted(result, receiver, selector, "withSignalsOfArguments",
                        RSDebugNamesEnabled() && signalOfArguments ? signalOfArguments->description() : std::string());
  return result;
}

template <class T, class F>
RSSignalPtr rs_liftSelector(const std::shared_ptr<T>& receiver, std::string_view selector, F method,
                            const std::vector<RSSignalPtr>& signals) {
  static_assert(std::is_base_of_v<fnd::Object, T>, "the receiver of a lifted method is an fnd::Object");
  RSSignalPtr result = rs_detail::liftWithSignalOfArguments(
      receiver, rs_detail::makeLiftedCall(receiver, std::move(method)), RSSignal::combineLatest(signals));
  std::string described;
  if (RSDebugNamesEnabled()) {
    described = RSDescribeStreams(std::vector<std::shared_ptr<RSStream>>(signals.begin(), signals.end()));
  }
  rs_detail::nameLifted(result, receiver, selector, "withSignalsFromArray", described);
  return result;
}

template <class T, class F, class... S,
          std::enable_if_t<(sizeof...(S) >= 2 && (std::is_convertible_v<S, RSSignalPtr> && ...)), int> = 0>
RSSignalPtr rs_liftSelector(const std::shared_ptr<T>& receiver, std::string_view selector, F method,
                            const S&... signals) {
  std::vector<RSSignalPtr> list{RSSignalPtr(signals)...};
  RSSignalPtr result = rs_liftSelector(receiver, selector, std::move(method), list);
  std::string described;
  if (RSDebugNamesEnabled())
    described = RSDescribeStreams(std::vector<std::shared_ptr<RSStream>>(list.begin(), list.end()));
  rs_detail::nameLifted(result, receiver, selector, "withSignals", described);
  return result;
}
