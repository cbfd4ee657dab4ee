// One parameter of an effect type: its name, limits, unit, choice list and
// links to the parameter it controls or is controlled by. It reads and writes
// its value in the module's parameter slots, found by name (and by
// `parmaIndex` when the name sits in more than one slot).
//
// Values travel as text. A parameter with a negative minimum is stored in its
// slot as the offset from that minimum (slot "0" shows the minimum); choice
// parameters store the choice index; every other parameter its shown value.
//
// Threads: the main thread only, like the views that show it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/foundation/Object.h"
#include "screens/models/GGEffectParmaModel.h"

class GGFuncEffectModel;

class GGEffectItemModel : public fnd::Object {
public:
  GGEffectItemModel() = default;

  // A parameter from one catalogue entry: every key that names a property
  // below sets it (numbers are taken as their decimal text); other keys and
  // values of the wrong kind are passed over.
  static std::shared_ptr<GGEffectItemModel> fromDictionary(const nlohmann::json& entry);

  // --- as the catalogue gives them ---
  std::optional<std::string> parmaIndex;
  std::optional<std::string> sub_typeName;
  std::shared_ptr<GGEffectItemModel> subModel;
  std::string typeName;
  std::optional<std::string> minValue;
  std::optional<std::string> maxValue;
  std::optional<std::string> fromValue;
  std::optional<std::string> unit;
  std::optional<std::string> per_unit;
  std::optional<std::string> control;
  std::optional<std::vector<std::string>> item;
  std::optional<std::vector<std::string>> itemValue;
  std::optional<std::string> sliderSetValue;

  // --- links, set when the type is built or shown ---
  std::weak_ptr<GGEffectItemModel> controlModel;
  std::weak_ptr<GGEffectItemModel> beControledModel;
  bool isBeControl = false;
  std::weak_ptr<fnd::Object> modelCell;
  std::weak_ptr<GGFuncEffectModel> parent;

  // The shown value: from the slot when one matches (and remembered), else the
  // value last known (the catalogue's until a slot matched).
  std::string current();
  const std::optional<std::string>& storedCurrent() const { return current_; }
  void setCurrent(std::optional<std::string> value) { current_ = std::move(value); }
  // Writes a shown value into the slot; nothing without a slot.
  void configCurrent(const std::string& shown);

  // One step up or down, held to the limits (the choice list for a choice).
  void addOne();
  void minusOne();

  // 1 a choice (non-empty `item`), 2 a parameter in two parts, 0 a plain one.
  int64_t type();
  // The first non-zero value seen.
  int64_t baseValue();
  // current / (|max| + |min|); the last value while that sum is 0.
  double sliderValue();
  void setSliderValue(double value) { sliderValue_ = value; }

  // A controlled parameter: `shown` is its value as the knob shows it; the
  // slot takes it divided by the controller's ratio for its current choice.
  void setBeControlValue(const std::string& shown);
  const std::optional<std::string>& beControlValue() const { return beControlValue_; }

  // current x ratio, held to the limits, as text.
  std::string ValueSubNumber(const std::string& ratio);
  // value / ratio, at least the minimum, as text.
  std::string DivValueOne(const std::string& value, const std::string& ratio);
  // current / a, then / b, at least the minimum, as text.
  std::string ValueDivNumber(const std::string& ratio);
  void subNumber(const std::string& ratio);

  // The controller's ratio for its current choice ("1" when the choice has
  // none).
  std::string controllerRatio();
  // Whether the choice list has entries.
  bool hasChoices() const { return item && !item->empty(); }

  // The slot this parameter reads and writes, or null.
  GGEffectParmaModelPtr slot() const;

  std::string className() const override { return "GGEffectItemModel"; }

private:
  std::optional<std::string> current_;
  std::optional<std::string> beControlValue_;
  int64_t type_ = 0;
  int64_t baseValue_ = 0;
  double sliderValue_ = 0;
};

using GGEffectItemModelPtr = std::shared_ptr<GGEffectItemModel>;
