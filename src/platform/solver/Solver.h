// solver::Solver: an incremental simplex solver for linear equalities and
// inequalities with required and prioritised optional constraints, after the
// Cassowary algorithm of Badros, Borning and Stuckey: a tableau in which every
// constraint gets marker symbols (slacks, error pairs, dummies), optional
// constraints minimise their weighted errors, and a change (a constraint
// added or removed, an edit variable's suggested value, a constant) is worked
// into the live tableau with a few pivots instead of a new solve.
//
// The objective is lexicographic: one row per priority in use, highest first,
// so no amount of improvement at a lower priority is ever bought with error
// at a higher one, whatever the weights.
//
// Failures are results, never exceptions: a required constraint that cannot
// hold together with the others is refused and the system stays as it was.
// Not thread-safe; one thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/solver/Constraint.h"
#include "platform/solver/Expression.h"
#include "platform/solver/Strength.h"
#include "platform/solver/Variable.h"

namespace solver {

enum class Result {
  Ok,
  // A required constraint that conflicts with the required ones already held.
  Unsatisfiable,
  // The constraint or edit variable is held already.
  Duplicate,
  // The constraint or edit variable is not held.
  Unknown,
  // A coefficient or constant that is not finite, or an invalid strength.
  BadConstraint,
  // Edit variables take an optional strength.
  RequiredEdit,
};

const char* describe(Result result);

class Solver {
public:
  Solver();
  ~Solver();
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  Result addConstraint(const Constraint& constraint);
  Result removeConstraint(const Constraint& constraint);
  bool hasConstraint(const Constraint& constraint) const;
  size_t constraintCount() const;

  // Gives a held constraint a new constant (the constant of its expression,
  // `expression relation 0`) without taking it out: the tableau is shifted and
  // repaired with dual simplex pivots. A required constraint that would
  // conflict keeps its old constant and Unsatisfiable is returned.
  Result setConstant(const Constraint& constraint, double constant);

  // An edit variable is held at a suggested value by an optional constraint
  // of the given strength; it starts at the variable's current value.
  Result addEditVariable(const Variable& variable, Strength strength);
  Result removeEditVariable(const Variable& variable);
  bool hasEditVariable(const Variable& variable) const;
  Result suggestValue(const Variable& variable, double value);

  // Writes the solution into the variables (Variable::value()).
  void updateVariables();
  // Forgets every constraint and edit variable.
  void reset();

  // The tableau's size and the work done so far, for measurements.
  struct Counts {
    size_t rows = 0;
    size_t cells = 0;  // non-zero coefficients in the rows
    size_t pivots = 0;
  };
  Counts counts() const;

  // The tableau, objective and constraints as text, for debugging.
  std::string dump() const;

private:
  struct Impl;
  static void write(const Variable& v, double value) { v.setValue(value); }
  static void writeConstant(const Constraint& c, double constant) { c.setConstant(constant); }
  std::unique_ptr<Impl> impl_;
};

}  // namespace solver
