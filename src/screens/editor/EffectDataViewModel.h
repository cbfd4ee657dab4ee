// The knob grid's model: the effect type whose knobs are shown, and the send
// of the module's words after a knob change.
//
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/records/BaseViewModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/models/GGFuncEffectModel.h"

class EffectDataViewModel : public BaseViewModel {
public:
  struct Parts {
    HIDServiceViewModePtr service;  // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;  // GGEffectFunManager::shareManager()
  };
  explicit EffectDataViewModel(Parts parts = {});

  GGFuncEffectModelPtr curModel;

  // Stores the words of configHidData as the manager's tempDataArray and as
  // the current-module record's words, then sends them. Nothing is sent
  // when there are no sound words to send.
  void sendData();
  // The module's words with every parameter slot of curModel written in:
  // the record's words, completed to the module's length from the current
  // preset, so a short record never sends a short list. Empty when the
  // module or its words are not known.
  std::vector<int> configHidData() const;
  static bool compareStringOne(const std::string& one, const std::vector<std::string>& strings);

  std::string className() const override { return "EffectDataViewModel"; }

  // Bounds of a module word on the wire (two bytes).
  static constexpr int kWordMin = -32768, kWordMax = 65535;

private:
  const HIDServiceViewModePtr service_;
  const GGEffectFunManagerPtr manager_;
};

using EffectDataViewModelPtr = std::shared_ptr<EffectDataViewModel>;
