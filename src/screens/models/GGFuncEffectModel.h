// One effect type of a module: its name, its parameters in catalogue order,
// and the module's slot list (one list shared by every type of the module,
// given by the view model when the unit's words arrive).
//
// Threads: built anywhere; then the main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/foundation/Object.h"
#include "screens/models/GGEffectItemModel.h"
#include "screens/models/GGEffectParmaModel.h"

class GGFuncEffectModel : public fnd::Object {
public:
  // The type `nickName` of module `effectName` with its parameters built from
  // the catalogue entries: a dictionary is one parameter, an array of exactly
  // two dictionaries a parameter and its second part; anything else is
  // skipped. Each parameter with a `control` is linked to the first parameter
  // of the list with that name.
  static std::shared_ptr<GGFuncEffectModel> initWithEffectName(const std::string& effectName,
                                                               const std::vector<nlohmann::json>& effects,
                                                               const std::string& nickName);

  GGFuncEffectModel(std::string effectName, std::string nickName)
      : effectName(std::move(effectName)), nickName(std::move(nickName)) {}

  const std::string effectName;
  const std::string nickName;
  const std::vector<GGEffectItemModelPtr>& effects() const { return effects_; }

  // The knobs the editor shows: one for a user IR of the cabinet ("27:" to
  // "36:"), otherwise one per parameter.
  int64_t effectItemCount() const;

  std::shared_ptr<const GGEffectParmaList> params() const;
  void setParams(std::shared_ptr<const GGEffectParmaList> params);

  std::string className() const override { return "GGFuncEffectModel"; }

  static constexpr int kLastBuiltInCabinet = 26;

private:
  std::vector<GGEffectItemModelPtr> effects_;
  mutable std::mutex paramsMutex_;
  std::shared_ptr<const GGEffectParmaList> params_;
};

using GGFuncEffectModelPtr = std::shared_ptr<GGFuncEffectModel>;
