// solver::Strength: how hard the solver tries to hold a constraint.
//
// A strength is a priority and a weight. Priority 1000 (or more) is required:
// the constraint holds or is refused. Below that, priorities are strictly
// ordered: the solver never gives up any amount of error in a constraint of
// a higher priority to reduce the errors of any number of constraints of
// lower priorities. Constraints of the same priority trade their errors
// against each other in proportion to their weights.
#pragma once

#include <string>

namespace solver {

class Strength {
public:
  static constexpr double kRequiredPriority = 1000.0;

  // Required by default.
  constexpr Strength() = default;
  static constexpr Strength required() { return Strength(); }
  // Priorities of 1000 and more are required; the weight is then ignored.
  static constexpr Strength withPriority(double priority, double weight = 1.0) {
    return priority >= kRequiredPriority ? Strength() : Strength(priority, weight);
  }

  constexpr double priority() const { return priority_; }
  constexpr double weight() const { return weight_; }
  constexpr bool isRequired() const { return priority_ >= kRequiredPriority; }
  // Finite, positive priority and weight.
  bool isValid() const;
  std::string description() const;

  friend constexpr bool operator==(const Strength&, const Strength&) = default;

private:
  constexpr Strength(double priority, double weight) : priority_(priority), weight_(weight) {}
  double priority_ = kRequiredPriority;
  double weight_ = 1.0;
};

}  // namespace solver
