#include "device/records/HIDServiceModuleMode.h"

#include "device/records/DeviceConstants.h"

HIDServiceModuleMode::HIDServiceModuleMode()
    : presetName(this, "presetName", "", stripTrailingBlanks),
      selectedPreset(this, "selectedPreset"),
      nowPageNumber(this, "nowPageNumber"),
      selectedModule(this, "selectedModule"),
      presetDataDic(this, "presetDataDic") {}

std::string HIDServiceModuleMode::stripTrailingBlanks(std::string name) {
  size_t end = name.find_last_not_of(' ');
  name.erase(end == std::string::npos ? 0 : end + 1);
  return name;
}

HIDServiceModelPtr HIDServiceModuleMode::module(int index) const {
  ModuleDictionary modules = presetDataDic.get();
  auto it = modules.find(moduleKey(index));
  return it == modules.end() ? nullptr : it->second;
}

void HIDServiceModuleMode::setModule(int index, HIDServiceModelPtr record) {
  if (index < 0 || index >= dev::kModuleCount) return;
  presetDataDic.update([&](ModuleDictionary& modules) { modules[moduleKey(index)] = std::move(record); });
}

void HIDServiceModuleMode::storeModule(int index, const HIDServiceModel& edited) {
  if (index < 0 || index >= dev::kModuleCount) return;
  setModule(index, edited.copy());
  setExpWords(edited.FuncDataArr.get(), edited.ExpDataArr.get());
}

void HIDServiceModuleMode::setExpWords(const std::vector<int>& function, const std::vector<int>& volume) {
  for (const auto& [key, record] : presetDataDic.get()) {
    if (!record) continue;
    record->setFuncDataArr(function);
    record->setExpDataArr(volume);
  }
}

std::shared_ptr<HIDServiceModuleMode> HIDServiceModuleMode::copy() const {
  auto out = fnd::make<HIDServiceModuleMode>();
  out->setPresetName(presetName.get());
  out->setSelectedPreset(selectedPreset.get());
  out->setNowPageNumber(nowPageNumber.get());
  out->setSelectedModule(selectedModule.get());
  ModuleDictionary modules;
  for (const auto& [key, record] : presetDataDic.get())
    if (record) modules.emplace(key, record->copy());
  out->setPresetDataDic(std::move(modules));
  return out;
}
