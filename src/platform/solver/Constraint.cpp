#include "platform/solver/Constraint.h"

#include <cmath>

namespace solver {

Constraint::Constraint(const Expression& lhs, Relation relation, const Expression& rhs, Strength strength)
    : data_(std::make_shared<Data>(Data{(lhs - rhs).reduced(), relation, strength})) {}

Constraint::Constraint(Expression reduced, Relation relation, Strength strength, int)
    : data_(std::make_shared<Data>(Data{std::move(reduced), relation, strength})) {}

Constraint Constraint::withStrength(Strength strength) const {
  return Constraint(data_->expression, data_->relation, strength, 0);
}

double Constraint::violation() const {
  const double v = data_->expression.value();
  switch (data_->relation) {
    case Relation::LessOrEqual: return v > 0 ? v : 0;
    case Relation::GreaterOrEqual: return v < 0 ? -v : 0;
    case Relation::Equal: return std::fabs(v);
  }
  return 0;
}

bool Constraint::isSatisfied(double tolerance) const { return violation() <= tolerance; }

std::string Constraint::description() const {
  const char* op = data_->relation == Relation::Equal ? " == 0" : data_->relation == Relation::LessOrEqual ? " <= 0" : " >= 0";
  return data_->expression.description() + op + " (" + data_->strength.description() + ")";
}

}  // namespace solver
