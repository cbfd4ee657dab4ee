#include "device/service/PresetManager.h"

#include <mutex>
#include <optional>
#include <system_error>

#include "device/files/NameChecks.h"
#include "platform/foundation/PopUpService.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// A name that is taken is stamped this many times at most.
constexpr int kMaxStamps = 8;

std::mutex& environmentMutex() {
  static std::mutex m;
  return m;
}
PresetManager::Environment& sharedEnvironment() {
  static PresetManager::Environment env;
  return env;
}

std::string timeStamp(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  // The calendar year (not the week-based one), then month to seconds.
  if (std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &local) == 0) return "00000000000000";
  return buf;
}

void showWarning(const PresetManager::Environment& env, const std::string& text) {
  fnd::log("preset import refused: %s", text.c_str());
  if (env.tips.showWarningWithTip) env.tips.showWarningWithTip(text);
  else PopUpService::shared()->showWarningWithTip(text, nullptr);
}

void showFail(const PresetManager::Environment& env, const std::string& text) {
  fnd::log("preset export failed: %s", text.c_str());
  if (env.tips.showFailWithTip) env.tips.showFailWithTip(text);
  else PopUpService::shared()->showFailWithTip(text, nullptr);
}

// The device service as the preset files use it.
class ServicePresetFiles : public PresetFileService {
public:
  explicit ServicePresetFiles(std::shared_ptr<HIDServiceViewMode> service) : service_(std::move(service)) {}
  HIDServiceModuleModePtr cachedPreset(long index) const override {
    return index >= 0 && index < dev::kPresetCount ? service_->cachedPreset(static_cast<int>(index) + 1) : nullptr;
  }
  HIDServiceModuleModePtr currentPreset() const override { return service_->presetAllData(); }
  json presetInfoDic() const override { return service_->presetInfoDic(); }
  void sendPresetDataToDevice(const HIDServiceModuleModePtr& preset, long index,
                              std::function<void(long)> result) override {
    service_->sendPresetDataToDevice(*preset, static_cast<int>(index), std::move(result));
  }

private:
  std::shared_ptr<HIDServiceViewMode> service_;
};

}  // namespace

// ---- Environment ----

void PresetManager::setEnvironment(Environment environment) {
  std::lock_guard guard(environmentMutex());
  sharedEnvironment() = std::move(environment);
}

PresetManager::Environment PresetManager::environment() {
  Environment env;
  {
    std::lock_guard guard(environmentMutex());
    env = sharedEnvironment();
  }
  if (!env.service) env.service = serviceFor(HIDServiceViewMode::shared());
  return env;
}

std::shared_ptr<PresetFileService> PresetManager::serviceFor(std::shared_ptr<HIDServiceViewMode> service) {
  return service ? std::make_shared<ServicePresetFiles>(std::move(service)) : nullptr;
}


// ---- Export ----

bool PresetManager::ExportPreset(long index, const std::function<void(const std::string&)>& result) {
  return ExportPreset(environment(), index, result);
}

bool PresetManager::ExportPreset(const Environment& env, long index,
                                 const std::function<void(const std::string&)>& result) {
  HIDServiceModuleModePtr preset = env.service && index >= 0 && index < dev::kPresetCount
                                       ? env.service->cachedPreset(index)
                                       : nullptr;
  if (!preset) {
    fnd::log("preset export: no cached preset %ld", index);
    return false;
  }
  std::string name = PresetFile::safeFileName(HIDServiceModuleMode::stripTrailingBlanks(preset->presetName.get()));

  auto defaults = fnd::partOr(env.defaults, fnd::UserDefaults::standard);
  const std::string folderText = defaults->stringForKey(kFolderDefault);
  if (folderText.empty()) {
    fnd::log("preset export: no computer preset folder is set");
    showFail(env, kWriteFailed);
    return false;
  }
  const fs::path folder(folderText);
  std::error_code ec;
  if (!fs::exists(folder, ec)) fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    fnd::log("preset export: %s is no folder and cannot be made one", folder.c_str());
    showFail(env, kWriteFailed);
    return false;
  }

  auto pathFor = [&](const std::string& n) { return folder / (n + "." + kExtension); };
  fs::path path = pathFor(name);
  for (int stamps = 0; fs::exists(fs::symlink_status(path, ec)); ++stamps) {
    if (stamps == kMaxStamps) {
      showFail(env, kWriteFailed);
      return false;
    }
    name += "-" + timeStamp(env.now ? env.now() : std::time(nullptr));
    path = pathFor(name);
  }

  const json catalogue = env.service->presetInfoDic();
  std::string text;
  try {
    // The name is UTF-8 by now; should any text not be, it is replaced
    // rather than failing the export.
    text = PresetFile::presetFileObject(*preset, catalogue, name).dump(4, ' ', false, json::error_handler_t::replace);
  } catch (const json::exception& e) {
    fnd::log("preset export: %s", e.what());
    showFail(env, kWrongData);
    return false;
  }
  text += '\n';

  std::string why;
  const bool written = env.write ? env.write(path, text, &why) : fnd::files::writeAtomically(path, text, &why);
  if (!written) {
    fnd::log("preset export: %s", why.c_str());
    showFail(env, kWriteFailed);
    return false;
  }
  fnd::log("write %ld bytes", static_cast<long>(text.size()));
  if (result) result(name);
  return true;
}

// ---- Import ----

bool PresetManager::ImportPreset(const std::string& path, long index, std::function<void(long)> result) {
  return ImportPreset(environment(), path, index, std::move(result));
}

bool PresetManager::ImportPreset(const Environment& env, const std::string& path, long index,
                                 std::function<void(long)> result) {
  const std::string baseName = PresetFile::baseNameOf(path);
  if (!checkPresetName(baseName)) {
    showWarning(env, kWrongFileName);
    return false;
  }
  // The file is read whole first (without waiting on a pipe): what cannot be
  // read is refused with the true reason before anything else is looked at.
  std::string why;
  fnd::files::ReadFailure failure = fnd::files::ReadFailure::none;
  const std::optional<std::string> text = fnd::files::readTextAtMost(path, kMaxFileSize, &why, &failure);
  if (!text) {
    fnd::log("preset import of %s: %s", path.c_str(), why.c_str());
    switch (failure) {
      // No preset file there: nothing, a folder, a pipe, a device.
      case fnd::files::ReadFailure::missing:
      case fnd::files::ReadFailure::notRegular: showWarning(env, kFileMissing); break;
      // Far larger than any preset file.
      case fnd::files::ReadFailure::tooLarge: showWarning(env, kWrongData); break;
      default: showWarning(env, kReadFailed); break;
    }
    return false;
  }

  HIDServiceModuleModePtr target =
      env.service && index >= 0 && index < dev::kPresetCount ? env.service->cachedPreset(index) : nullptr;
  HIDServiceModuleModePtr current = env.service ? env.service->currentPreset() : nullptr;
  if (!target || !current) {
    fnd::log("preset import: no cached preset %ld or no current preset", index);
    return false;
  }

  PresetFile::Imported imported =
      PresetFile::presetFromFile(*text, baseName, *target, *current, env.service->presetInfoDic());
  if (!imported.preset) {
    fnd::log("preset import of %s: %s", path.c_str(), imported.reason.c_str());
    showWarning(env, imported.refusal);
    return false;
  }

  // Into the current preset too, the records take the file when the unit
  // confirms the write, not before.
  env.service->sendPresetDataToDevice(imported.preset, index, std::move(result));
  return true;
}
