// The view model of the module editor's effect-type list: the effect types of
// the selected module, built from the effect catalogue, with the module's
// parameter slots filled from the unit's current words; and the sends of the
// module's on/off word and effect type.
//
// It follows the device service's records: a new selected module rebuilds the
// type list, new words of the current module refill the slots (unless they
// are the echo of the editor's own send, see GGEffectFunManager), and each
// completed refill calls the success block on the main queue with nil.
//
// Threads: the models are built and read on the main thread. Changes the unit
// makes arrive on the framework's background queue and are carried over to
// the main queue, in order, before anything is rebuilt.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/records/BaseViewModel.h"
#include "device/records/DeviceConstants.h"
#include "device/service/HIDServiceViewMode.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/models/GGFuncEffectModel.h"

class EffectViewModel : public BaseViewModel {
public:
  // Gives the parameter-slot table ("effects.json"): an object keyed by module
  // name, or anything else when it cannot be had (asked again at next use).
  using SlotTableLoader = std::function<nlohmann::json()>;

  struct Parts {
    HIDServiceViewModePtr service;   // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;   // GGEffectFunManager::shareManager()
    SlotTableLoader loadSlotTable;   // "effects.json" from the resources
  };

  // A view model that follows the records from now on (startReady has run:
  // the list is built and filled before this returns).
  static std::shared_ptr<EffectViewModel> create(Parts parts = {});

  explicit EffectViewModel(Parts parts);

  // The selected module's effect types in type-number order.
  const std::vector<GGFuncEffectModelPtr>& models() const { return models_; }
  // The module models() was built for: the record's selected module as the
  // view model last took it (-1 to kModuleCount, the ends meaning none). A
  // change of the selection made off the main thread reaches it only once
  // carried there, so for a while it may lag behind the record.
  int module() const { return module_; }
  static int moduleFor(int selected) { return std::clamp(selected, -1, dev::kModuleCount); }
  std::string titleStr;

  void startReady();
  // Rebuilds the type list of the selected module.
  void changeEffectIndex();
  // The same for module `module` (as the record gave it).
  void changeEffectIndex(int module);
  // Builds the types of one module's catalogue value; a value of neither
  // shape gives no types.
  void DealData(const nlohmann::json& value, const std::string& effectName);
  // Refills the slots from the unit's words, unless they are the echo of the
  // last send or there are no types.
  void refreshData();
  // The same with the words as the record gave them: each change is judged
  // by its own words, however late it is handled.
  void refreshData(const std::vector<int>& words);
  void refreshViewData();
  // A new slot list of the module the types were built for.
  std::shared_ptr<GGEffectParmaList> paramsForEffect();
  const nlohmann::json& allEffectParmas();
  static std::string moduleName(int64_t index);

  // Sends the module's on/off word.
  void sendToHidEffectOpenOrClose(bool open);
  // Sends effect type `number` (a position in models()); a number outside the
  // list sends nothing.
  void sendToHid(int64_t number);
  // The shown values of the type at the selected module's position.
  std::vector<std::string> getValuesFormModel();

  std::string className() const override { return "EffectViewModel"; }

private:
  int selectedModule() const;
  // The record's words, completed to the module's length from the preset, so
  // what is remembered is exactly what goes to the unit.
  std::vector<int> wordsToSend() const;
  void send(std::vector<int> words);

  const HIDServiceViewModePtr service_;
  const GGEffectFunManagerPtr manager_;
  const SlotTableLoader loadSlotTable_;
  std::vector<GGFuncEffectModelPtr> models_;
  // The module models_ was built for.
  int module_ = 0;
  nlohmann::json slotTable_;
  // The words the slots were last filled with (none since models_ was built).
  std::optional<std::vector<int>> filledWords_;
};

using EffectViewModelPtr = std::shared_ptr<EffectViewModel>;
