// Calling a block with the elements of a tuple as its separate arguments.
//
// RSBlock is a block of 1 to 15 value arguments kept as a value (so that it can
// travel inside a tuple, as reduceApply() wants it); RSBlockTrampoline calls
// one with a tuple's elements. Element i becomes argument i; an argument
// without an element is nil and elements beyond the block's arity are not
// passed.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "reactive/RSTuple.h"

class RSBlock;
using RSBlockPtr = std::shared_ptr<const RSBlock>;

namespace rs_detail {

template <class F>
struct CallableTraits : CallableTraits<decltype(&std::decay_t<F>::operator())> {};
template <class R, class... A>
struct CallableTraits<R (*)(A...)> {
  static constexpr size_t arity = sizeof...(A);
  using Result = R;
};
template <class R, class... A>
struct CallableTraits<R(A...)> : CallableTraits<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableTraits<R (C::*)(A...)> : CallableTraits<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableTraits<R (C::*)(A...) const> : CallableTraits<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableTraits<R (C::*)(A...) noexcept> : CallableTraits<R (*)(A...)> {};
template <class C, class R, class... A>
struct CallableTraits<R (C::*)(A...) const noexcept> : CallableTraits<R (*)(A...)> {};

template <class F, size_t... I>
fnd::Value callWith(F& f, const std::vector<fnd::Value>& args, std::index_sequence<I...>) {
  auto at = [&args](size_t i) -> const fnd::Value& {
    static const fnd::Value nil;
    return i < args.size() ? args[i] : nil;
  };
  if constexpr (std::is_void_v<decltype(f(at(I)...))>) {
    f(at(I)...);
    return fnd::Value();
  } else {
    return fnd::Value(f(at(I)...));
  }
}

}  // namespace rs_detail

class RSBlock : public fnd::Object {
public:
  using Function = std::function<fnd::Value(const std::vector<fnd::Value>& arguments)>;

  RSBlock(size_t arity, Function function) : arity_(arity), function_(std::move(function)) {}

  // Wraps a callable of 1 to 15 value parameters (fnd::Value or const
  // fnd::Value&) returning something a value can be made of, or void (nil).
  template <class F>
  static RSBlockPtr block(F&& f) {
    constexpr size_t arity = rs_detail::CallableTraits<F>::arity;
    static_assert(arity >= 1 && arity <= 15, "a block takes 1 to 15 arguments");
    return fnd::make<RSBlock>(arity, [f = std::forward<F>(f)](const std::vector<fnd::Value>& args) mutable {
      return rs_detail::callWith(f, args, std::make_index_sequence<arity>());
    });
  }

  size_t arity() const { return arity_; }
  fnd::Value invoke(const std::vector<fnd::Value>& arguments) const { return function_(arguments); }

private:
  const size_t arity_;
  const Function function_;
};

class RSBlockTrampoline {
public:
  explicit RSBlockTrampoline(RSBlockPtr block) : block_(std::move(block)) {}

  const RSBlockPtr& block() const { return block_; }

  static fnd::Value invokeBlock(const RSBlock& block, const RSTuple& arguments) {
    return block.invoke(arguments.backingArray());
  }
  template <class F, std::enable_if_t<!std::is_base_of_v<RSBlock, std::decay_t<F>>, int> = 0>
  static fnd::Value invokeBlock(F&& f, const RSTuple& arguments) {
    return RSBlock::block(std::forward<F>(f))->invoke(arguments.backingArray());
  }

  fnd::Value invokeWithArguments(const RSTuple& arguments) const { return invokeBlock(*block_, arguments); }

  // Calls the block with the given arguments.
  template <class... A>
  fnd::Value performWith(A&&... arguments) const {
    static_assert(sizeof...(A) >= 1 && sizeof...(A) <= 15, "a block takes 1 to 15 arguments");
    return block_->invoke(std::vector<fnd::Value>{fnd::Value(std::forward<A>(arguments))...});
  }

private:
  RSBlockPtr block_;
};
