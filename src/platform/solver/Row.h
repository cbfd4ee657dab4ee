// solver::Row: one row of the simplex tableau, constant + sum of coefficient *
// symbol, over symbols named by 32-bit keys. Sums that cancel to within a
// relative tolerance of their operands become exact zeros, so rounding noise
// does not pile up as tiny coefficients or make zero constants negative.
//
// Every change of a coefficient between zero and non-zero is reported to an
// observer, which the tableau uses to keep its column index.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/solver/FlatMap.h"

namespace solver {

using Key = uint32_t;

// Relative tolerance under which a sum counts as cancelled.
inline constexpr double kCancellation = 1e-11;

inline double cleanSum(double a, double b) {
  const double s = a + b;
  const double fa = std::fabs(a), fb = std::fabs(b);
  return std::fabs(s) <= kCancellation * (fa > fb ? fa : fb) ? 0.0 : s;
}

struct NoObserver {
  void operator()(Key, bool) const {}
};

class Row {
public:
  Row() = default;
  explicit Row(double constant) : constant_(constant) {}

  double constant() const { return constant_; }
  void setConstant(double c) { constant_ = c; }
  void addConstant(double c) { constant_ = cleanSum(constant_, c); }

  const FlatMap<double>& cells() const { return cells_; }
  bool hasCells() const { return !cells_.empty(); }
  double coefficient(Key k) const {
    const double* c = cells_.find(k);
    return c ? *c : 0.0;
  }

  // Adds c * symbol. observer(symbol, true) when it appears, (symbol, false) when it cancels out.
  template <class Observer = NoObserver>
  void add(Key symbol, double c, Observer&& observer = Observer()) {
    if (c == 0.0) return;
    auto [slot, fresh] = cells_.insert(symbol, 0.0);
    if (fresh) {
      *slot = c;
      observer(symbol, true);
      return;
    }
    const double s = cleanSum(*slot, c);
    if (s == 0.0) {
      cells_.erase(symbol);
      observer(symbol, false);
    } else {
      *slot = s;
    }
  }

  // Adds k * other (constant included).
  template <class Observer = NoObserver>
  void add(const Row& other, double k, Observer&& observer = Observer()) {
    addConstant(k * other.constant_);
    other.cells_.forEach([&](Key s, double c) { add(s, k * c, observer); });
  }

  // Removes symbol and returns its coefficient (0 when absent). No observer call.
  double take(Key symbol) {
    const double* c = cells_.find(symbol);
    if (!c) return 0.0;
    const double v = *c;
    cells_.erase(symbol);
    return v;
  }

  void scale(double k) {
    constant_ *= k;
    cells_.forEachMutable([&](Key, double& c) { c *= k; });
  }

  // The row read as `0 = row`, rewritten as `subject = row` (subject must be in it).
  void solveFor(Key subject) {
    const double c = take(subject);
    scale(-1.0 / c);
  }

  // The row read as `lhs = row`, rewritten as `rhs = row` (rhs must be in it).
  void solveFor(Key lhs, Key rhs) {
    add(lhs, -1.0);
    solveFor(rhs);
  }

  // Replaces symbol by expr (a row for it). Returns whether the symbol was there.
  template <class Observer = NoObserver>
  bool substitute(Key symbol, const Row& expr, Observer&& observer = Observer()) {
    const double c = take(symbol);
    if (c == 0.0) return false;
    add(expr, c, observer);
    return true;
  }

private:
  double constant_ = 0.0;
  FlatMap<double> cells_;
};

}  // namespace solver
