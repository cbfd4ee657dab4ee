#include "device/records/HIDServiceModuleMode.h"

#include <utility>

#include "device/records/DeviceConstants.h"

namespace {

// Word 0 of a record, read in place; nothing when it has no words.
std::optional<int> onOffWordOf(const HIDServiceModelPtr& record) {
  if (!record) return std::nullopt;
  return record->dataArr.read(
      [](const std::vector<int>& words) { return words.empty() ? std::nullopt : std::optional<int>(words[0]); });
}

}  // namespace

HIDServiceModuleMode::HIDServiceModuleMode()
    : presetName(this, "presetName", "", stripTrailingBlanks),
      selectedPreset(this, "selectedPreset"),
      nowPageNumber(this, "nowPageNumber"),
      selectedModule(this, "selectedModule"),
      presetDataDic(this, "presetDataDic"),
      moduleSwitches(this, "moduleSwitches", [this] {
        std::vector<int> words;
        for (const HIDServiceModelPtr& record : modules()) words.push_back(onOffWordOf(record).value_or(-1));
        return fnd::toValue(words);
      }) {}

void HIDServiceModuleMode::setPresetDataDic(ModuleDictionary modules) {
  presetDataDic.set(std::move(modules));
  didChangeValueForKey(moduleSwitches.key());
}

std::string HIDServiceModuleMode::stripTrailingBlanks(std::string name) {
  size_t end = name.find_last_not_of(' ');
  name.erase(end == std::string::npos ? 0 : end + 1);
  return name;
}

HIDServiceModelPtr HIDServiceModuleMode::module(int index) const {
  const std::string key = moduleKey(index);
  return presetDataDic.read([&key](const ModuleDictionary& modules) -> HIDServiceModelPtr {
    auto it = modules.find(key);
    return it == modules.end() ? nullptr : it->second;
  });
}

std::array<HIDServiceModelPtr, dev::kModuleCount> HIDServiceModuleMode::modules() const {
  size_t count = 0;
  return modules(count);
}

std::array<HIDServiceModelPtr, dev::kModuleCount> HIDServiceModuleMode::modules(size_t& count) const {
  return presetDataDic.read([&count](const ModuleDictionary& dictionary) {
    // One walk: the keys of the nine are the single digits "0" to "8".
    std::array<HIDServiceModelPtr, dev::kModuleCount> records;
    count = dictionary.size();
    for (const auto& [key, record] : dictionary) {
      if (key.size() != 1 || key[0] < '0' || key[0] >= '0' + dev::kModuleCount) continue;
      records[static_cast<size_t>(key[0] - '0')] = record;
    }
    return records;
  });
}

void HIDServiceModuleMode::setModule(int index, HIDServiceModelPtr record) {
  if (index < 0 || index >= dev::kModuleCount) return;
  const std::optional<int> on = onOffWordOf(record);
  HIDServiceModelPtr replaced;  // released after unlocking: its end may run observers that need the lock
  presetDataDic.modify([&](ModuleDictionary& modules) { replaced = std::exchange(modules[moduleKey(index)], std::move(record)); });
  if (!replaced || onOffWordOf(replaced) != on) didChangeValueForKey(moduleSwitches.key());
}

void HIDServiceModuleMode::storeModule(int index, const HIDServiceModel& edited) { storeModule(index, edited.copy()); }

void HIDServiceModuleMode::storeModule(int index, HIDServiceModelPtr fresh) {
  if (index < 0 || index >= dev::kModuleCount || !fresh) return;
  const std::vector<int> function = fresh->FuncDataArr.get();
  const std::vector<int> volume = fresh->ExpDataArr.get();
  const HIDServiceModel* stored = fresh.get();
  setModule(index, std::move(fresh));
  giveExpWords(function, volume, stored);
}

void HIDServiceModuleMode::setExpWords(const std::vector<int>& function, const std::vector<int>& volume) {
  giveExpWords(function, volume, nullptr);
}

void HIDServiceModuleMode::giveExpWords(const std::vector<int>& function, const std::vector<int>& volume,
                                        const HIDServiceModel* holder) {
  // Records other than the nine by index (none are made) get them too. The
  // nine are taken without a list of their own; only more would need one.
  std::array<HIDServiceModelPtr, dev::kModuleCount> nine;
  std::vector<HIDServiceModelPtr> more;
  presetDataDic.read([&](const ModuleDictionary& modules) {
    size_t n = 0;
    for (const auto& [key, record] : modules) {
      if (!record || record.get() == holder) continue;
      if (n < nine.size())
        nine[n++] = record;
      else
        more.push_back(record);
    }
    return 0;
  });
  // A record that has them already is left alone: an edit that does not
  // touch the EXP words sets none of them.
  auto give = [&](const HIDServiceModelPtr& record) {
    if (!record->FuncDataArr.read([&](const std::vector<int>& words) { return words == function; }))
      record->setFuncDataArr(function);
    if (!record->ExpDataArr.read([&](const std::vector<int>& words) { return words == volume; }))
      record->setExpDataArr(volume);
  };
  for (const HIDServiceModelPtr& record : nine)
    if (record) give(record);
  for (const HIDServiceModelPtr& record : more) give(record);
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
