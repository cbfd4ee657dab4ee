// One parameter slot of an effect module: slot `index` holds module word
// index + 2. `names` are the parameters (of any type of the module) stored
// there; `current` is the unit's word for the slot as decimal text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class GGEffectParmaModel : public fnd::Object {
public:
  GGEffectParmaModel(int64_t slotIndex, std::vector<std::string> slotNames, std::string value)
      : index(slotIndex), names(std::move(slotNames)), current(this, "current", std::move(value)) {}

  const int64_t index;
  const std::vector<std::string> names;
  fnd::Property<std::string> current;

  std::string className() const override { return "GGEffectParmaModel"; }
};

using GGEffectParmaModelPtr = std::shared_ptr<GGEffectParmaModel>;
// A module's slot list, shared by every effect type of the module.
using GGEffectParmaList = std::vector<GGEffectParmaModelPtr>;
