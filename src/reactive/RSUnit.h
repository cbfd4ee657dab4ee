// RSUnit: the one value sent where only the fact of an event matters.
// Recognised by identity.
#pragma once

#include <memory>

#include "platform/foundation/Object.h"

class RSUnit : public fnd::Object {
public:
  static std::shared_ptr<RSUnit> defaultUnit();

  RSUnit() = default;
};
