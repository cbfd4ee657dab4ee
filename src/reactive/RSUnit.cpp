#include "reactive/RSUnit.h"

std::shared_ptr<RSUnit> RSUnit::defaultUnit() {
  static const std::shared_ptr<RSUnit> unit = fnd::make<RSUnit>();
  return unit;
}
