// A small dense two-phase simplex (Bland's rule), independent of the solver
// under test, used to check its answers: minimise c.z subject to A z = b and
// z >= 0. Fine for the few dozen columns of the randomised systems.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

namespace solvertest {

class DenseLp {
public:
  using Vec = std::vector<double>;

  // The optimum, or nothing when A z = b, z >= 0 has no solution.
  static std::optional<double> minimise(const std::vector<Vec>& A, const Vec& b, const Vec& c) {
    const size_t m = A.size();
    const size_t n = c.size();
    // Columns: n originals, then m artificials; last column the right-hand side.
    std::vector<Vec> t(m, Vec(n + m + 1, 0.0));
    std::vector<size_t> basis(m);
    for (size_t i = 0; i < m; ++i) {
      const double s = b[i] < 0 ? -1.0 : 1.0;
      for (size_t j = 0; j < n; ++j) t[i][j] = s * A[i][j];
      t[i][n + i] = 1.0;
      t[i][n + m] = s * b[i];
      basis[i] = n + i;
    }
    Vec phase1(n + m, 0.0);
    for (size_t i = 0; i < m; ++i) phase1[n + i] = 1.0;
    if (!run(t, basis, phase1, n + m, n, m)) return std::nullopt;
    if (value(t, basis, phase1, n + m) > 1e-7) return std::nullopt;
    Vec cost(n + m, 0.0);
    for (size_t j = 0; j < n; ++j) cost[j] = c[j];
    if (!run(t, basis, cost, n, n, m)) return std::nullopt;  // unbounded: not expected
    return value(t, basis, cost, n + m);
  }

private:
  static double value(const std::vector<Vec>& t, const std::vector<size_t>& basis, const Vec& cost, size_t cols) {
    double v = 0;
    for (size_t i = 0; i < t.size(); ++i) {
      if (basis[i] < cols) v += cost[basis[i]] * t[i].back();
    }
    return v;
  }

  // Columns at or past `enterable` never enter (artificials in phase 2, which
  // then stay at zero: a row with an artificial basic blocks any move).
  static bool run(std::vector<Vec>& t, std::vector<size_t>& basis, const Vec& cost, size_t enterable, size_t n,
                  size_t m) {
    const size_t rhs = n + m;
    for (int iteration = 0; iteration < 10000; ++iteration) {
      size_t entering = rhs;
      for (size_t j = 0; j < enterable && entering == rhs; ++j) {
        double reduced = cost[j];
        for (size_t i = 0; i < t.size(); ++i) reduced -= cost[basis[i]] * t[i][j];
        bool isBasic = false;
        for (size_t i = 0; i < t.size(); ++i) isBasic = isBasic || basis[i] == j;
        if (!isBasic && reduced < -1e-9) entering = j;
      }
      if (entering == rhs) return true;
      size_t leaving = t.size();
      double best = INFINITY;
      for (size_t i = 0; i < t.size(); ++i) {
        const double a = t[i][entering];
        const bool artificial = basis[i] >= n && enterable == n;
        if (artificial && std::fabs(a) > 1e-9) {
          best = 0;
          leaving = i;
          break;
        }
        if (a > 1e-9) {
          const double r = t[i][rhs] / a;
          if (r < best - 1e-12 || (std::fabs(r - best) <= 1e-12 && leaving < t.size() && basis[i] < basis[leaving])) {
            best = r;
            leaving = i;
          }
        }
      }
      if (leaving == t.size()) return false;
      const double p = t[leaving][entering];
      for (double& v : t[leaving]) v /= p;
      for (size_t i = 0; i < t.size(); ++i) {
        if (i == leaving) continue;
        const double f = t[i][entering];
        if (f == 0) continue;
        for (size_t j = 0; j <= rhs; ++j) t[i][j] -= f * t[leaving][j];
      }
      basis[leaving] = entering;
    }
    return false;
  }
};

}  // namespace solvertest
