// Preset files ("pqv"): one unit preset saved on the computer as JSON, and
// such a file written back into any of the unit's 200 preset slots.
//
// Parameter values are stored by parameter name, not by slot: both
// directions translate between a module's words and named values through
// the effect catalogue ("preset.json"). A file looks like
//
//   { "fileInfo":     { "device": "QV450", ..., "schema": "QV450 Preset", "preset_name": "Lead" },
//     "effectModule": { "FX/COMP": { "SWITCH": 1, "TYPE": 0, "Data": { "THRES": 20, ... } }, ... },
//     "Exp":          { "MODULE_CTRL": 0, "PARA_CTRL": 0, "FUN_SWITCH": 0,
//                       "VOL_SWITCH": 0, "VOL_MIN": 0, "VOL_MAX": 100 } }
//
// The export reads the device service's preset cache and writes the file into
// the computer preset folder; the import builds a preset record from a file
// and hands it to the service, which sends it to the unit. Both run on the
// main thread.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "device/records/HIDServiceModuleMode.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/UserDefaults.h"

// What the preset files need of the device service.
class PresetFileService {
public:
  virtual ~PresetFileService() = default;
  // The cached copy of unit preset index + 1 (0 to 199); null when the cache
  // holds none.
  virtual HIDServiceModuleModePtr cachedPreset(long index) const = 0;
  // The preset shown on the unit.
  virtual HIDServiceModuleModePtr currentPreset() const = 0;
  // The effect catalogue as loaded from "preset.json".
  virtual nlohmann::json presetInfoDic() const = 0;
  // Sends a preset record into unit preset index + 1; `result` is kept and
  // called with 1 when the unit confirms the write.
  virtual void sendPresetDataToDevice(const HIDServiceModuleModePtr& preset, long index,
                                      std::function<void(long)> result) = 0;
  // Shows a preset just written into the current slot on the unit and in the
  // records.
  virtual void updateCurrentPreset() = 0;
};

// Where the preset files' messages go: a warning tip for a refused import
// and a failure tip for a failed export, in the main window. Left empty,
// they go to the pop-up service.
struct PresetFileTips {
  std::function<void(const std::string&)> showWarningWithTip;
  std::function<void(const std::string&)> showFailWithTip;
};

class PresetManager {
public:
  // Messages shown to the user.
  static constexpr const char* kWrongFileName = "Wrong file name format! Please check compatibility of file name.";
  static constexpr const char* kFileMissing = "preset file does not exist. Preset file does not exist.";
  static constexpr const char* kWrongData = "Wrong preset file data format!";
  static constexpr const char* kWrongVersion =
      "Preset file version does not match! Please check compatibility of the file.";
  static constexpr const char* kWriteFailed = "Preset file could not be written! Please check the preset folder.";

  static constexpr const char* kExtension = "pqv";
  static constexpr const char* kSchema = "QV450 Preset";
  static constexpr const char* kFolderDefault = "computerPresetPath";
  static constexpr size_t kNameLength = 14;
  // Larger files are no preset file; they are refused unread.
  static constexpr uintmax_t kMaxFileSize = 1u << 20;

  using FileWriter = std::function<bool(const std::filesystem::path&, std::string_view, std::string*)>;

  // Everything the two operations use besides their arguments.
  struct Environment {
    // Null: the process-wide device service.
    std::shared_ptr<PresetFileService> service;
    // Holds "computerPresetPath"; null: the standard defaults.
    std::shared_ptr<fnd::UserDefaults> defaults;
    PresetFileTips tips;
    // Local time of the name stamp; null: the clock.
    std::function<std::time_t()> now;
    // Writes a whole file in its place; null: written beside and renamed
    // over, so no half-written file is ever seen.
    FileWriter write;
  };

  // The environment of the two operations without one: the process-wide
  // device service, the standard defaults and the pop-up service unless
  // other parts are installed (once, at start-up, on the main thread).
  static void setEnvironment(Environment environment);
  static Environment environment();
  // The preset files' view of a device service.
  static std::shared_ptr<PresetFileService> serviceFor(std::shared_ptr<HIDServiceViewMode> service);

  // Writes cached preset `index` (0 to 199) as a file into the computer
  // preset folder, named after the preset (trailing blanks removed; "-" and a
  // time stamp appended while the name is taken). YES when the file was
  // written; `result` then gets the file's name without folder and
  // extension, before the call returns. On NO a failure tip says why and
  // `result` is not called.
  static bool ExportPreset(long index, const std::function<void(const std::string&)>& result);
  static bool ExportPreset(const Environment& env, long index, const std::function<void(const std::string&)>& result);

  // Reads the file at `path` into a copy of cached preset `index` and hands
  // it to the service for unit preset index + 1, passing `result` on. NO,
  // after a warning tip, when the file is refused: a name that is not a
  // preset name, no file, not a preset file's data, another schema.
  static bool ImportPreset(const std::string& path, long index, std::function<void(long)> result);
  static bool ImportPreset(const Environment& env, const std::string& path, long index,
                           std::function<void(long)> result);

  // ---- The translations, without files ----

  // The file's JSON object for a preset, named `presetName`.
  static nlohmann::json presetFileObject(const HIDServiceModuleMode& preset, const nlohmann::json& catalogue,
                                         const std::string& presetName);

  struct Imported {
    HIDServiceModuleModePtr preset;  // null when refused
    std::string refusal;             // the message when refused
  };
  // A new preset record from a file's text: a copy of `target` whose modules
  // named in the file are built on `current`'s module records. `baseName`
  // names it (cut to 14 characters).
  static Imported presetFromFile(std::string_view text, const std::string& baseName,
                                 const HIDServiceModuleMode& target, const HIDServiceModuleMode& current,
                                 const nlohmann::json& catalogue);

  // The file name without folder and extension.
  static std::string baseNameOf(std::string_view path);
  // A preset name as a file name and JSON text: "/" and control characters
  // become "-", bytes that are not UTF-8 are read as Latin-1.
  static std::string safeFileName(std::string_view name);
};
