// solver::Constraint: a linear relation between two expressions, with a
// strength. A handle: copies are the same constraint, and a solver holds and
// finds constraints by that identity. Kept as `expression relation 0`, with
// the expression being left side minus right side.
#pragma once

#include <memory>
#include <string>

#include "platform/solver/Expression.h"
#include "platform/solver/Strength.h"

namespace solver {

enum class Relation { LessOrEqual, Equal, GreaterOrEqual };

class Constraint {
public:
  Constraint(const Expression& lhs, Relation relation, const Expression& rhs,
             Strength strength = Strength::required());

  const Expression& expression() const { return data_->expression; }
  Relation relation() const { return data_->relation; }
  Strength strength() const { return data_->strength; }
  // The same relation at another strength: a new constraint.
  Constraint withStrength(Strength strength) const;

  // True when the variables' current values satisfy it within tolerance.
  bool isSatisfied(double tolerance = 1e-6) const;
  // Amount by which the current values violate it (0 when satisfied).
  double violation() const;
  std::string description() const;

  bool sameAs(const Constraint& other) const { return data_ == other.data_; }
  const void* identity() const { return data_.get(); }

private:
  friend class Solver;
  struct Data {
    Expression expression;
    Relation relation;
    Strength strength;
  };
  Constraint(Expression reduced, Relation relation, Strength strength, int);
  // Changed by Solver::setConstant and Solver::suggestValue only.
  void setConstant(double c) const { data_->expression.setConstant(c); }
  std::shared_ptr<Data> data_;
};

inline Constraint equal(const Expression& lhs, const Expression& rhs, Strength s = Strength::required()) {
  return Constraint(lhs, Relation::Equal, rhs, s);
}
inline Constraint lessOrEqual(const Expression& lhs, const Expression& rhs, Strength s = Strength::required()) {
  return Constraint(lhs, Relation::LessOrEqual, rhs, s);
}
inline Constraint greaterOrEqual(const Expression& lhs, const Expression& rhs, Strength s = Strength::required()) {
  return Constraint(lhs, Relation::GreaterOrEqual, rhs, s);
}

}  // namespace solver
