// Objects that can run with parts handed in (a test's service, defaults,
// pop-ups) take them in a Parts struct at construction, an empty member
// meaning the program's own. partOr resolves one such member, and each object
// resolves its parts with it once, in its constructor.
#pragma once

#include <memory>
#include <utility>

namespace fnd {

// `given` when set, else what `own` returns.
template <class T, class Own>
std::shared_ptr<T> partOr(std::shared_ptr<T> given, Own&& own) {
  if (given) return given;
  return std::forward<Own>(own)();
}

}  // namespace fnd
