// One preset: its name, number, page, selected module and its nine module
// records under the keys "0" to "8".
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "device/records/DeviceConstants.h"
#include "device/records/HIDServiceModel.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class HIDServiceModuleMode : public fnd::Object {
public:
  using ModuleDictionary = std::map<std::string, HIDServiceModelPtr>;

  HIDServiceModuleMode();

  // At most 14 characters from the unit; every trailing blank is removed
  // before the name is stored ("Lead   " -> "Lead", "   " -> "").
  fnd::Property<std::string> presetName;
  // 1 to 200.
  fnd::Property<std::optional<int>> selectedPreset;
  // The unit page last reported by the unit or sent by the host.
  fnd::Property<std::optional<int>> nowPageNumber;
  // Module index 0 to 8 being edited.
  fnd::Property<std::optional<int>> selectedModule;
  // Module index as decimal text -> that module's record. The records belong
  // to this preset: copies of the preset get copies of them.
  fnd::Property<ModuleDictionary> presetDataDic;
  // The nine on/off words: word 0 of each module's record in module order,
  // -1 where there is no record or it has no words; read from the records.
  // Observers are told when setModule or setPresetDataDic may change one (a
  // record put in with the on/off word of the one it replaces, as at each
  // knob edit, tells nothing); a record's words changed in place tell
  // nothing.
  fnd::ComputedProperty moduleSwitches;

  void setPresetName(std::string name) { presetName.set(std::move(name)); }
  void setSelectedPreset(std::optional<int> n) { selectedPreset.set(n); }
  void setNowPageNumber(std::optional<int> page) { nowPageNumber.set(page); }
  void setSelectedModule(std::optional<int> index) { selectedModule.set(index); }
  void setPresetDataDic(ModuleDictionary modules);

  // The record of module `index` (0 to 8), or null when there is none.
  HIDServiceModelPtr module(int index) const;
  // The nine records by module index (null where there is none), read at
  // once without copying the dictionary.
  std::array<HIDServiceModelPtr, dev::kModuleCount> modules() const;
  // The same, with the number of records in the dictionary, in one read.
  std::array<HIDServiceModelPtr, dev::kModuleCount> modules(size_t& count) const;
  // Puts `record` itself under the key of `index` (ignored outside 0 to 8).
  void setModule(int index, HIDServiceModelPtr record);
  // Stores a copy of an edited module record under `index` and gives every
  // other module record of this preset the same EXP words, so that whichever
  // module a reader takes them from, it finds the current ones.
  void storeModule(int index, const HIDServiceModel& edited);
  // The same with a new record that nothing else holds, stored as it is.
  void storeModule(int index, HIDServiceModelPtr fresh);
  // Gives every module record of this preset these EXP words (a record that
  // has them already is not set again).
  void setExpWords(const std::vector<int>& function, const std::vector<int>& volume);

  // A new, independent preset: the same values and copies of the nine module
  // records. Nothing done to the copy reaches this preset, and back.
  std::shared_ptr<HIDServiceModuleMode> copy() const;
  std::shared_ptr<HIDServiceModuleMode> mutableCopy() const { return copy(); }

  // The dictionary key of a module index ("%d").
  static std::string moduleKey(int index) { return std::to_string(index); }
  // Removes every trailing blank.
  static std::string stripTrailingBlanks(std::string name);

  std::string className() const override { return "HIDServiceModuleMode"; }

private:
  // setExpWords for every record but `holder` (one known to hold them).
  void giveExpWords(const std::vector<int>& function, const std::vector<int>& volume, const HIDServiceModel* holder);
};

using HIDServiceModuleModePtr = std::shared_ptr<HIDServiceModuleMode>;
