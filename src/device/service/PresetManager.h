// Preset files written from and read into the unit: a unit preset saved as a
// preset file in the computer preset folder, and a preset file written back
// into any of the unit's 200 preset slots. The format itself is PresetFile's.
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

#include "device/files/PresetFile.h"
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
  // called with 1 when the unit confirms the write (which then shows in the
  // records, the current ones included), with another value when it does not.
  virtual void sendPresetDataToDevice(const HIDServiceModuleModePtr& preset, long index,
                                      std::function<void(long)> result) = 0;
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
  static constexpr const char* kWrongData = PresetFile::kWrongData;
  static constexpr const char* kWrongVersion = PresetFile::kWrongVersion;
  static constexpr const char* kWriteFailed = "Preset file could not be written! Please check the preset folder.";
  static constexpr const char* kReadFailed = "Preset file could not be read! Please check the file.";

  static constexpr const char* kExtension = PresetFile::kExtension;
  static constexpr const char* kFolderDefault = "computerPresetPath";
  static constexpr uintmax_t kMaxFileSize = PresetFile::kMaxFileSize;

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
  // preset name, no file (or a folder, a pipe), a file that cannot be read,
  // not a preset file's data (or values the unit cannot hold), another
  // schema. Nothing is sent for a refused file.
  static bool ImportPreset(const std::string& path, long index, std::function<void(long)> result);
  static bool ImportPreset(const Environment& env, const std::string& path, long index,
                           std::function<void(long)> result);
};
