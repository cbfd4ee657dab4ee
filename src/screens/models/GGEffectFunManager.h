// The editor's shared state: one object that the screens and two controls
// share.
//
//  - vocabulary: the nine module names, the 61 parameters the EXP pedal can be
//    assigned to (in the unit's numbering, and grouped by module), and the
//    characters a preset name may not begin or end with;
//  - colours: the accent colour, and the hover colour from the user defaults;
//  - the computer preset folder from the user defaults;
//  - the module editor's state: the effect type being edited and the word list
//    the editor sent last for the current module (`tempDataArray`), by which
//    the unit's echo of that send is recognised, plus values read from the
//    device service's current-module record;
//  - a small diary that appends time-stamped lines to a file.
//
// Echo suppression: whoever sends a module's words stores them here first and
// then in the record; a change of the record's words that equals them is the
// send coming back and is not applied again. Word lists compare by value.
//
// Threads: shareManager() from any thread. The properties are locked per
// object; the editor state is written on the main thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Color.h"
#include "screens/models/ColorValue.h"
#include "screens/models/GGFuncEffectModel.h"

class GGEffectFunManager : public fnd::Object {
public:
  // User defaults read here.
  static constexpr const char* kEnterColorKey = "theme_enterColor";
  static constexpr const char* kComputerPresetPathKey = "computerPresetPath";
  // The hover colour when the default is missing or is not a 24-bit colour.
  static constexpr uint32_t kDefaultEnterColor = 0x888888;
  // The computer preset folder's name: the product name, then "Preset".
  static constexpr const char* kPresetFolderName = "VLTfx RigPreset";
  static constexpr size_t kExpParameterCount = 61;

  // What a manager works with; each part left empty gets the program's own.
  struct Parts {
    HIDServiceViewModePtr service;                  // HIDServiceViewMode::shared()
    std::shared_ptr<fnd::UserDefaults> defaults;    // fnd::UserDefaults::standard()
    std::optional<std::filesystem::path> diaryFile;  // "diary" in the home folder
  };

  // The process-wide manager (made once, on first use, from any thread).
  static std::shared_ptr<GGEffectFunManager> shareManager();
  // A separate manager (tests).
  static std::shared_ptr<GGEffectFunManager> create(Parts parts);

  explicit GGEffectFunManager(Parts parts);
  ~GGEffectFunManager() override;

  // --- observable ---
  // Bound both ways to the current-module record's words by bindHidModel().
  fnd::Property<std::vector<int>> childEffectList{this, "childEffectList"};
  // The effect type being edited.
  fnd::Property<GGFuncEffectModelPtr> currentEffectDataModel{this, "currentEffectDataModel"};
  // The words sent last for the current module; unset when none is pending.
  fnd::Property<std::optional<std::vector<int>>> tempDataArray{this, "tempDataArray"};
  // Made on first read, never changed afterwards.
  fnd::LazyProperty<ui::Color> mainColor;
  fnd::LazyProperty<ui::Color> selectColor;
  fnd::LazyProperty<ui::Color> enterColor;
  fnd::LazyProperty<std::string> filePath;

  void setTempDataArray(std::optional<std::vector<int>> words) { tempDataArray.set(std::move(words)); }
  void setCurrentEffectDataModel(GGFuncEffectModelPtr model) { currentEffectDataModel.set(std::move(model)); }
  void setChildEffectList(std::vector<int> words) { childEffectList.set(std::move(words)); }

  // Joins childEffectList and the words of the current-module record: this
  // side takes the record's words at once, then each follows the other.
  void bindHidModel();

  // --- read from the current-module record ---
  // True when tempDataArray is set and equals the record's words.
  bool isDataArrayEqual() const;
  // True when tempDataArray is set and equals `words`.
  bool isDataArrayEqual(const std::vector<int>& words) const;
  // The selected module (0 to 8); 0 while the record has no words.
  int64_t currentEffectIndex() const;
  // Word 0; false while the record has no words.
  bool currentEffectIsOpen() const;
  // Word 1; 0 while the record has fewer than two words.
  int64_t currentEffectTypeIndex() const;
  // Kept for callers; the type number is always read from the record.
  void setCurrentEffectTypeIndex(int64_t) {}

  // --- vocabulary ---
  static const std::vector<std::string>& module_Names();
  // The EXP parameters in the unit's numbering.
  static const std::vector<std::string>& expParamList();
  // The modules in chain order, each with its EXP parameters as the EXP
  // screen names them ("F.BACK"); expParamList is their concatenation.
  using ExpGroups = std::vector<std::pair<std::string, std::vector<std::string>>>;
  static const ExpGroups& expParameterGroups();
  // Entry `index` of expParamList, "" outside it.
  static std::string expParamName(int64_t index);
  // Module name -> its EXP parameters in the same order (with "FEEDBACK" for
  // the list's "F.BACK").
  static const std::map<std::string, std::vector<std::string>>& function_Para();
  // Characters a preset name may not begin or end with: everything but the
  // ASCII letters, the digits and the blank.
  static bool isInNameSet(char32_t c);
  // The UTF-8 text without such characters at either end.
  static std::string trimName(const std::string& text);

  // The default computer preset folder: the users' folder (the parent of the
  // home folder), the login name, then kPresetFolderName.
  static std::filesystem::path defaultComputerPresetPath();

  // --- diary ---
  // Appends "<yyyy-MM-dd HH:mm:ss.SSS>:==<message>\n". Does nothing when the
  // file cannot be opened or written.
  void writeMessageToFile(const std::string& message);
  void readFile() {}

  HIDServiceViewModePtr service() const { return service_; }
  // The user defaults the folder and the hover colour come from.
  std::shared_ptr<fnd::UserDefaults> defaults() const { return defaults_; }

  std::string className() const override { return "GGEffectFunManager"; }

private:
  ui::Color makeEnterColor() const;
  std::string makeFilePath() const;
  std::vector<int> recordWords() const;

  const HIDServiceViewModePtr service_;
  const std::shared_ptr<fnd::UserDefaults> defaults_;
  const std::filesystem::path diaryFile_;
  std::mutex diaryMutex_;
  std::FILE* fileHandle_ = nullptr;
  bool diaryTried_ = false;
};

using GGEffectFunManagerPtr = std::shared_ptr<GGEffectFunManager>;
