// solver::Term and solver::Expression: linear expressions over variables,
// sum of coefficient * variable plus a constant, with the usual operators to
// build them (x + 2 * y - 10). Products of two variables do not compile.
#pragma once

#include <string>
#include <vector>

#include "platform/solver/Variable.h"

namespace solver {

struct Term {
  Term(Variable v, double c = 1.0) : variable(std::move(v)), coefficient(c) {}  // NOLINT: implicit by design
  Variable variable;
  double coefficient;
};

class Expression {
public:
  Expression() = default;
  Expression(double constant) : constant_(constant) {}                 // NOLINT: implicit by design
  Expression(const Variable& v) : terms_{Term(v)} {}                    // NOLINT
  Expression(const Term& t) : terms_{t} {}                              // NOLINT
  Expression(std::vector<Term> terms, double constant = 0) : terms_(std::move(terms)), constant_(constant) {}

  const std::vector<Term>& terms() const { return terms_; }
  double constant() const { return constant_; }
  void setConstant(double c) { constant_ = c; }

  // Terms of the same variable merged, zero coefficients dropped, in the order
  // each variable first appears.
  Expression reduced() const;
  // True when every coefficient and the constant are finite.
  bool isFinite() const;
  // Value with the variables' current values.
  double value() const;
  std::string description() const;

  Expression& operator+=(const Expression& e);
  Expression& operator-=(const Expression& e);
  Expression& operator*=(double k);

private:
  std::vector<Term> terms_;
  double constant_ = 0;
};

Expression operator+(Expression a, const Expression& b);
Expression operator-(Expression a, const Expression& b);
Expression operator-(Expression a);
Expression operator*(Expression a, double k);
Expression operator*(double k, Expression a);
Expression operator/(Expression a, double k);

}  // namespace solver
