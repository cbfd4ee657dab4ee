// Randomised systems checked against an independent dense simplex, and
// incremental changes checked against a fresh solve of the same system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/solver/Solver.h"
#include "solver/LexChecker.h"

namespace {

using solver::Constraint;
using solver::Expression;
using solver::Relation;
using solver::Result;
using solver::Solver;
using solver::Strength;
using solver::Variable;
using solvertest::lexOptimum;
using solvertest::levelErrors;
using solvertest::requiredFeasible;

struct Generator {
  explicit Generator(unsigned seed, double scale = 1) : rng(seed), scale(scale) {}
  std::mt19937 rng;
  double scale;  // of the constants: pixel-sized or far larger

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  Constraint constraint(const std::vector<Variable>& vars, bool allowRequired = true) {
    static const double kCoefficients[] = {-2, -1, -0.5, 1, 1, 2, 3};
    static const double kPriorities[] = {999, 750, 500, 250, 1};
    static const double kWeights[] = {1, 2, 5};
    Expression e(scale * (pick(41) - 20));
    const int terms = 1 + pick(3);
    for (int t = 0; t < terms; ++t) e += kCoefficients[pick(7)] * vars[pick(static_cast<int>(vars.size()))];
    const Relation relation = static_cast<Relation>(pick(3));
    const Strength strength = allowRequired && pick(5) < 2 ? Strength::required()
                                                           : Strength::withPriority(kPriorities[pick(5)], kWeights[pick(3)]);
    return Constraint(e, relation, 0.0, strength);
  }

  std::vector<Variable> variables(int n) {
    std::vector<Variable> v;
    for (int i = 0; i < n; ++i) v.emplace_back("v" + std::to_string(i));
    return v;
  }
};

// The same constraint with another constant.
Constraint withConstant(const Constraint& c, double constant) {
  Expression e = c.expression();
  e.setConstant(constant);
  return Constraint(e, c.relation(), 0.0, c.strength());
}

// Required constraints hold and every priority's error is the least possible.
void expectOptimal(Solver& s, const std::vector<Constraint>& held, const std::string& where) {
  s.updateVariables();
  for (const Constraint& c : held) {
    if (c.strength().isRequired()) {
      EXPECT_LE(c.violation(), 1e-6) << where << ": " << c.description() << "\n" << s.dump();
    }
  }
  std::vector<double> priorities;
  const auto optimum = lexOptimum(held, &priorities);
  ASSERT_TRUE(optimum.has_value()) << where << ": the held required constraints conflict";
  const auto errors = levelErrors(held, priorities);
  // Rounding grows with the size of the numbers in the system.
  double magnitude = 0;
  for (const Constraint& c : held) magnitude = std::max(magnitude, std::fabs(c.expression().constant()) * c.strength().weight());
  for (size_t l = 0; l < priorities.size(); ++l) {
    ASSERT_NEAR(errors[l], (*optimum)[l], 1e-5 * (1 + (*optimum)[l]) + 1e-9 * magnitude)
        << where << ": priority " << priorities[l] << "\n" << s.dump();
  }
}

TEST(SolverRandom, AnswersAreOptimalAndRefusalsAreRealConflicts) {
  int refused = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    Generator g(seed, seed % 3 == 0 ? 1e4 : 1);
    const auto vars = g.variables(2 + g.pick(4));
    Solver s;
    std::vector<Constraint> held;
    const int n = 3 + g.pick(10);
    for (int i = 0; i < n; ++i) {
      const Constraint c = g.constraint(vars);
      const Result r = s.addConstraint(c);
      if (r == Result::Ok) {
        held.push_back(c);
        continue;
      }
      ++refused;
      ASSERT_EQ(r, Result::Unsatisfiable) << "seed " << seed;
      ASSERT_TRUE(c.strength().isRequired()) << "seed " << seed;
      std::vector<Constraint> with = held;
      with.push_back(c);
      ASSERT_FALSE(requiredFeasible(with)) << "seed " << seed << ": refused " << c.description();
    }
    expectOptimal(s, held, "seed " + std::to_string(seed));
  }
  EXPECT_GT(refused, 10);  // the generator does make conflicts
}

TEST(SolverRandom, IncrementalChangesMatchAFreshSolve) {
  int refusedReAdds = 0, refusedConstants = 0, changedConstants = 0;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    Generator g(seed * 7919);
    const auto vars = g.variables(3 + g.pick(3));
    Solver s;
    std::vector<Constraint> held, removed;
    for (int i = 0; i < 10; ++i) {
      const Constraint c = g.constraint(vars);
      if (s.addConstraint(c) == Result::Ok) held.push_back(c);
    }
    for (int step = 0; step < 25; ++step) {
      const std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
      const int op = g.pick(4);
      if (op == 0 && !held.empty()) {
        const size_t k = g.pick(static_cast<int>(held.size()));
        ASSERT_EQ(s.removeConstraint(held[k]), Result::Ok) << where;
        ASSERT_EQ(s.removeConstraint(held[k]), Result::Unknown) << where;
        removed.push_back(held[k]);
        held.erase(held.begin() + static_cast<long>(k));
      } else if (op == 1 && !removed.empty()) {
        const size_t k = g.pick(static_cast<int>(removed.size()));
        const Result r = s.addConstraint(removed[k]);
        std::vector<Constraint> with = held;
        with.push_back(removed[k]);
        if (r == Result::Ok) {
          held.push_back(removed[k]);
          removed.erase(removed.begin() + static_cast<long>(k));
        } else {
          ++refusedReAdds;
          ASSERT_EQ(r, Result::Unsatisfiable) << where;
          ASSERT_FALSE(requiredFeasible(with)) << where;
        }
      } else if (op == 2 && !held.empty()) {
        const size_t k = g.pick(static_cast<int>(held.size()));
        const double before = held[k].expression().constant();
        const double constant = g.pick(41) - 20;
        const Result r = s.setConstant(held[k], constant);
        if (r == Result::Ok) {
          ++changedConstants;
          ASSERT_EQ(held[k].expression().constant(), constant) << where;
        } else {
          ++refusedConstants;
          ASSERT_EQ(r, Result::Unsatisfiable) << where;
          ASSERT_EQ(held[k].expression().constant(), before) << where;
          std::vector<Constraint> with = held;
          with[k] = withConstant(held[k], constant);
          ASSERT_FALSE(requiredFeasible(with)) << where;
        }
      } else {
        const Constraint c = g.constraint(vars);
        if (s.addConstraint(c) == Result::Ok) held.push_back(c);
      }
      expectOptimal(s, held, where);
    }
    // A fresh solver takes the same constraints and reaches the same optimum.
    Solver fresh;
    for (const Constraint& c : held) ASSERT_EQ(fresh.addConstraint(c), Result::Ok) << "seed " << seed;
    expectOptimal(fresh, held, "fresh, seed " + std::to_string(seed));
  }
  // Every path was taken.
  EXPECT_GT(refusedReAdds, 5);
  EXPECT_GT(refusedConstants, 5);
  EXPECT_GT(changedConstants, 100);
}

TEST(SolverRandom, SuggestedValuesReachTheOptimumOfTheSystemWithTheEdits) {
  const Strength editStrength = Strength::withPriority(900);
  for (unsigned seed = 1; seed <= 100; ++seed) {
    Generator g(seed * 104729);
    const auto vars = g.variables(4);
    Solver s;
    std::vector<Constraint> held;
    for (int i = 0; i < 8; ++i) {
      const Constraint c = g.constraint(vars);
      if (s.addConstraint(c) == Result::Ok) held.push_back(c);
    }
    const Variable& a = vars[0];
    const Variable& b = vars[1];
    ASSERT_EQ(s.addEditVariable(a, editStrength), Result::Ok);
    ASSERT_EQ(s.addEditVariable(b, editStrength), Result::Ok);
    double va = a.value(), vb = b.value();
    for (int step = 0; step < 12; ++step) {
      const std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
      if (g.pick(2)) va = g.pick(61) - 30;
      else vb = g.pick(61) - 30;
      ASSERT_EQ(s.suggestValue(a, va), Result::Ok);
      ASSERT_EQ(s.suggestValue(b, vb), Result::Ok);
      std::vector<Constraint> model = held;
      model.push_back(solver::equal(a, va, editStrength));
      model.push_back(solver::equal(b, vb, editStrength));
      expectOptimal(s, model, where);
    }
  }
}

// A window of nested panes whose solution is unique: after a resize, a
// changed margin and a constraint taken out and put back, the incremental
// solver's frames equal those of a fresh solver given the final system.
struct Panes {
  Variable width{"width"}, height{"height"};
  std::vector<Variable> frames;  // x, y, w, h per pane
  std::vector<Constraint> constraints;
  Constraint* margin = nullptr;

  Panes() {
    auto frame = [&](int pane, int k) -> Variable& { return frames[4 * pane + k]; };
    for (int i = 0; i < 4 * 6; ++i) frames.emplace_back("f" + std::to_string(i));
    auto add = [&](Constraint c) { constraints.push_back(std::move(c)); };
    const Strength weak = Strength::withPriority(250), strong = Strength::withPriority(750);
    // Pane 0: sidebar; 1: content; 2..5: four equal buttons in a row in the content.
    add(solver::equal(frame(0, 0), 8));  // margin, changed by the test
    add(solver::equal(frame(0, 1), 0));
    add(solver::equal(frame(0, 3), height));
    add(solver::greaterOrEqual(frame(0, 2), 150));
    add(solver::lessOrEqual(frame(0, 2), 250));
    add(solver::equal(frame(0, 2), width * 0.3, strong));
    add(solver::equal(frame(1, 0), frame(0, 0) + frame(0, 2) + 8));
    add(solver::equal(frame(1, 0) + frame(1, 2), width));
    add(solver::equal(frame(1, 1), 0));
    add(solver::equal(frame(1, 3), height));
    for (int b = 2; b < 6; ++b) {
      add(solver::equal(frame(b, 1), frame(1, 3) - 40));
      add(solver::equal(frame(b, 3), 32));
      add(solver::equal(frame(b, 0), b == 2 ? Expression(10.0) : frame(b - 1, 0) + frame(b - 1, 2) + 6));
      if (b > 2) add(solver::equal(frame(b, 2), frame(2, 2)));
      add(solver::equal(frame(b, 2), 120, weak));
    }
    add(solver::lessOrEqual(frame(5, 0) + frame(5, 2), frame(1, 2) - 10));
  }
};

TEST(SolverIncremental, ResizedAndEditedWindowEqualsAFreshSolve) {
  Panes p;
  Solver s;
  for (const Constraint& c : p.constraints) ASSERT_EQ(s.addConstraint(c), Result::Ok);
  const Strength editStrength = Strength::withPriority(999);
  ASSERT_EQ(s.addEditVariable(p.width, editStrength), Result::Ok);
  ASSERT_EQ(s.addEditVariable(p.height, editStrength), Result::Ok);
  ASSERT_EQ(s.suggestValue(p.width, 1000), Result::Ok);
  ASSERT_EQ(s.suggestValue(p.height, 600), Result::Ok);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(p.frames[2].value(), 250);  // sidebar at its maximum
  const double buttonWidth = p.frames[4 * 2 + 2].value();
  EXPECT_DOUBLE_EQ(buttonWidth, 120);

  ASSERT_EQ(s.suggestValue(p.width, 640), Result::Ok);
  ASSERT_EQ(s.suggestValue(p.height, 480), Result::Ok);
  ASSERT_EQ(s.setConstant(p.constraints[0], -20), Result::Ok);  // sidebar x 20
  ASSERT_EQ(s.removeConstraint(p.constraints[4]), Result::Ok);
  ASSERT_EQ(s.addConstraint(p.constraints[4]), Result::Ok);
  s.updateVariables();
  std::vector<double> incremental;
  for (const Variable& v : p.frames) incremental.push_back(v.value());

  Solver fresh;
  for (const Constraint& c : p.constraints) ASSERT_EQ(fresh.addConstraint(c), Result::Ok);
  ASSERT_EQ(fresh.addEditVariable(p.width, editStrength), Result::Ok);
  ASSERT_EQ(fresh.addEditVariable(p.height, editStrength), Result::Ok);
  ASSERT_EQ(fresh.suggestValue(p.width, 640), Result::Ok);
  ASSERT_EQ(fresh.suggestValue(p.height, 480), Result::Ok);
  fresh.updateVariables();
  for (size_t i = 0; i < p.frames.size(); ++i) EXPECT_NEAR(p.frames[i].value(), incremental[i], 1e-9) << i;
  EXPECT_DOUBLE_EQ(p.frames[0].value(), 20);
  EXPECT_DOUBLE_EQ(p.frames[2].value(), 192);   // 0.3 * 640
  EXPECT_DOUBLE_EQ(p.frames[4 * 2 + 1].value(), 440);
  EXPECT_DOUBLE_EQ(p.frames[4 * 2 + 2].value(), 95.5);  // (420 - 10 - 10 - 3 * 6) / 4
}

}  // namespace
