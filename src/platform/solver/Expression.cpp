#include "platform/solver/Expression.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace solver {

Expression Expression::reduced() const {
  std::vector<Term> out;
  std::unordered_map<const void*, size_t> index;
  for (const Term& t : terms_) {
    auto [it, inserted] = index.emplace(t.variable.identity(), out.size());
    if (inserted) {
      out.push_back(t);
    } else {
      out[it->second].coefficient += t.coefficient;
    }
  }
  std::vector<Term> kept;
  kept.reserve(out.size());
  for (Term& t : out) {
    if (t.coefficient != 0.0) kept.push_back(std::move(t));
  }
  return Expression(std::move(kept), constant_);
}

bool Expression::isFinite() const {
  if (!std::isfinite(constant_)) return false;
  for (const Term& t : terms_) {
    if (!std::isfinite(t.coefficient)) return false;
  }
  return true;
}

double Expression::value() const {
  double v = constant_;
  for (const Term& t : terms_) v += t.coefficient * t.variable.value();
  return v;
}

std::string Expression::description() const {
  std::string s;
  char buf[64];
  for (const Term& t : terms_) {
    if (!s.empty()) s += t.coefficient < 0 ? " - " : " + ";
    else if (t.coefficient < 0) s += "-";
    const double c = std::fabs(t.coefficient);
    if (c != 1.0) {
      std::snprintf(buf, sizeof buf, "%g*", c);
      s += buf;
    }
    s += t.variable.name().empty() ? std::string("?") : t.variable.name();
  }
  if (constant_ != 0.0 || s.empty()) {
    if (s.empty()) std::snprintf(buf, sizeof buf, "%g", constant_);
    else std::snprintf(buf, sizeof buf, " %s %g", constant_ < 0 ? "-" : "+", std::fabs(constant_));
    s += buf;
  }
  return s;
}

Expression& Expression::operator+=(const Expression& e) {
  terms_.insert(terms_.end(), e.terms_.begin(), e.terms_.end());
  constant_ += e.constant_;
  return *this;
}

Expression& Expression::operator-=(const Expression& e) {
  for (const Term& t : e.terms_) terms_.emplace_back(t.variable, -t.coefficient);
  constant_ -= e.constant_;
  return *this;
}

Expression& Expression::operator*=(double k) {
  for (Term& t : terms_) t.coefficient *= k;
  constant_ *= k;
  return *this;
}

Expression operator+(Expression a, const Expression& b) { return a += b; }
Expression operator-(Expression a, const Expression& b) { return a -= b; }
Expression operator-(Expression a) { return a *= -1.0; }
Expression operator*(Expression a, double k) { return a *= k; }
Expression operator*(double k, Expression a) { return a *= k; }
Expression operator/(Expression a, double k) { return a *= 1.0 / k; }

}  // namespace solver
