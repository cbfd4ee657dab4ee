// Checks a solver's answer against the dense simplex: required constraints
// hold, and at every priority, highest first, the weighted error of the
// optional constraints is the least possible given the priorities above.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "platform/solver/Constraint.h"
#include "solver/DenseLp.h"

namespace solvertest {

struct Lp {
  std::vector<DenseLp::Vec> A;
  DenseLp::Vec b;
  size_t columns = 0;
  std::vector<double> priorities;      // highest first
  std::vector<DenseLp::Vec> objective;  // one per priority, filled to `columns`
};

inline Lp buildLp(const std::vector<solver::Constraint>& cs) {
  Lp lp;
  std::map<const void*, size_t> index;
  for (const auto& c : cs) {
    for (const auto& t : c.expression().terms()) {
      if (index.emplace(t.variable.identity(), index.size()).second) lp.columns += 2;
    }
    if (!c.strength().isRequired()) lp.priorities.push_back(c.strength().priority());
  }
  std::sort(lp.priorities.begin(), lp.priorities.end(), std::greater<>());
  lp.priorities.erase(std::unique(lp.priorities.begin(), lp.priorities.end()), lp.priorities.end());
  struct Extra {
    size_t row;
    double coefficient;
    int level;  // -1: a slack
    double weight;
  };
  std::vector<Extra> extras;
  for (const auto& c : cs) {
    DenseLp::Vec row(2 * index.size(), 0.0);
    for (const auto& t : c.expression().terms()) {
      const size_t j = index.at(t.variable.identity());
      row[2 * j] += t.coefficient;
      row[2 * j + 1] -= t.coefficient;
    }
    const size_t r = lp.A.size();
    lp.A.push_back(row);
    lp.b.push_back(-c.expression().constant());
    int level = -1;
    if (!c.strength().isRequired()) {
      level = static_cast<int>(std::find(lp.priorities.begin(), lp.priorities.end(), c.strength().priority()) -
                               lp.priorities.begin());
    }
    const double w = c.strength().weight();
    switch (c.relation()) {
      case solver::Relation::Equal:
        if (level >= 0) {
          extras.push_back({r, -1.0, level, w});
          extras.push_back({r, 1.0, level, w});
        }
        break;
      case solver::Relation::LessOrEqual:  // e - err + s = 0
        extras.push_back({r, 1.0, -1, 0});
        if (level >= 0) extras.push_back({r, -1.0, level, w});
        break;
      case solver::Relation::GreaterOrEqual:  // e + err - s = 0
        extras.push_back({r, -1.0, -1, 0});
        if (level >= 0) extras.push_back({r, 1.0, level, w});
        break;
    }
  }
  lp.columns = 2 * index.size() + extras.size();
  for (auto& row : lp.A) row.resize(lp.columns, 0.0);
  lp.objective.assign(lp.priorities.size(), DenseLp::Vec(lp.columns, 0.0));
  for (size_t k = 0; k < extras.size(); ++k) {
    const size_t col = 2 * index.size() + k;
    lp.A[extras[k].row][col] = extras[k].coefficient;
    if (extras[k].level >= 0) lp.objective[extras[k].level][col] = extras[k].weight;
  }
  return lp;
}

// Whether the required constraints among cs can all hold.
inline bool requiredFeasible(const std::vector<solver::Constraint>& cs) {
  std::vector<solver::Constraint> required;
  for (const auto& c : cs) {
    if (c.strength().isRequired()) required.push_back(c);
  }
  Lp lp = buildLp(required);
  return DenseLp::minimise(lp.A, lp.b, DenseLp::Vec(lp.columns, 0.0)).has_value();
}

// The least weighted error at each priority, highest first; nothing when the
// required constraints conflict.
inline std::optional<std::vector<double>> lexOptimum(const std::vector<solver::Constraint>& cs,
                                                     std::vector<double>* priorities = nullptr) {
  Lp lp = buildLp(cs);
  if (priorities) *priorities = lp.priorities;
  std::vector<double> optimum;
  for (size_t l = 0; l < lp.priorities.size(); ++l) {
    auto v = DenseLp::minimise(lp.A, lp.b, lp.objective[l]);
    if (!v) return std::nullopt;
    optimum.push_back(*v);
    // Hold this priority at its optimum (with a little room) for the next ones.
    for (auto& row : lp.A) row.push_back(0.0);
    for (auto& o : lp.objective) o.push_back(0.0);
    DenseLp::Vec cap = lp.objective[l];
    cap.back() = 1.0;  // + slack
    lp.A.push_back(cap);
    lp.b.push_back(*v + 1e-10 * (1.0 + std::fabs(*v)));
    ++lp.columns;
  }
  if (lp.priorities.empty() && !requiredFeasible(cs)) return std::nullopt;
  return optimum;
}

// The weighted error of the optional constraints at each priority, from the
// variables' current values.
inline std::vector<double> levelErrors(const std::vector<solver::Constraint>& cs, const std::vector<double>& priorities) {
  std::vector<double> errors(priorities.size(), 0.0);
  for (const auto& c : cs) {
    if (c.strength().isRequired()) continue;
    const size_t l = std::find(priorities.begin(), priorities.end(), c.strength().priority()) - priorities.begin();
    if (l < errors.size()) errors[l] += c.strength().weight() * c.violation();
  }
  return errors;
}

}  // namespace solvertest
