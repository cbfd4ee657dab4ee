// Arguments and results of C++ calls as values, for selector signals and
// lifting: rs_box turns an argument into the value a tuple carries,
// rs_unbox<T> turns a tuple element back into a parameter of type T.
//
//  - fnd::Value itself, and every type with fnd::ValueTraits (numbers, bool,
//    strings, arrays, dictionaries, data): by value.
//  - const char*: a string, nil for a null pointer.
//  - std::shared_ptr to an fnd::Object (or a class derived from it): the
//    object; unboxing gives null for a value of another kind.
// Any other type does not compile: a class that wants its calls as signals
// gives its methods parameters of these kinds.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace rs_detail {

template <class T>
struct IsObjectPointer : std::false_type {};
template <class T>
struct IsObjectPointer<std::shared_ptr<T>> : std::is_base_of<fnd::Object, std::remove_const_t<T>> {};

template <class T, class = void>
struct HasValueTraits : std::false_type {};
template <class T>
struct HasValueTraits<T, std::void_t<decltype(fnd::ValueTraits<T>::fromValue(std::declval<const fnd::Value&>()))>>
    : std::true_type {};

template <class T>
inline constexpr bool isBoxable = std::is_same_v<T, fnd::Value> || std::is_same_v<T, const char*> ||
                                  std::is_same_v<T, char*> || IsObjectPointer<T>::value || HasValueTraits<T>::value;

}  // namespace rs_detail

template <class A>
fnd::Value rs_box(const A& argument) {
  using T = std::decay_t<A>;
  static_assert(rs_detail::isBoxable<T>, "this argument type cannot travel in a tuple");
  if constexpr (std::is_same_v<T, fnd::Value>) {
    return argument;
  } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
    return argument ? fnd::Value(argument) : fnd::Value();
  } else if constexpr (rs_detail::IsObjectPointer<T>::value) {
    return fnd::Value(argument);
  } else {
    return fnd::ValueTraits<T>::toValue(argument);
  }
}

template <class T>
std::decay_t<T> rs_unbox(const fnd::Value& value) {
  using P = std::decay_t<T>;
  static_assert(rs_detail::isBoxable<P> && !std::is_same_v<P, const char*> && !std::is_same_v<P, char*>,
                "this parameter type cannot be filled from a tuple");
  if constexpr (std::is_same_v<P, fnd::Value>) {
    return value;
  } else if constexpr (rs_detail::IsObjectPointer<P>::value) {
    return value.asObject<typename P::element_type>();
  } else {
    return fnd::ValueTraits<P>::fromValue(value);
  }
}
