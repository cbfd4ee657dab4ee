#include "platform/solver/Strength.h"

#include <cmath>
#include <cstdio>

namespace solver {

bool Strength::isValid() const {
  return std::isfinite(priority_) && priority_ > 0 && std::isfinite(weight_) && weight_ > 0;
}

std::string Strength::description() const {
  if (isRequired()) return "required";
  char buf[64];
  if (weight_ == 1.0) std::snprintf(buf, sizeof buf, "priority %g", priority_);
  else std::snprintf(buf, sizeof buf, "priority %g weight %g", priority_, weight_);
  return buf;
}

}  // namespace solver
