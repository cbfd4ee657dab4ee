#include "device/files/PresetManager.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <mutex>
#include <optional>
#include <system_error>

#include "device/catalogue/EffectCatalogue.h"
#include "device/records/ModuleTable.h"
#include "device/service/NameChecks.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PopUpService.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The "Exp" member: three EXP-assignment words, then three EXP-volume words.
constexpr const char* kFunctionKeys[3] = {"MODULE_CTRL", "PARA_CTRL", "FUN_SWITCH"};
constexpr const char* kVolumeKeys[3] = {"VOL_SWITCH", "VOL_MIN", "VOL_MAX"};

// Words of a module before its parameters: on/off, effect type.
constexpr int kFirstParameterWord = 2;
// In a parameter group, member j lies this many words after member j - 1.
constexpr int kGroupStride = 6;
// A parameter whose minimum is this value is stored in files as its word
// less this value.
constexpr long kOffsetMinimum = 40;
// Equaliser type whose parameters are placed by their slot numbers only.
constexpr int kSlotPlacedEqType = 3;
// A name that is taken is stamped this many times at most.
constexpr int kMaxStamps = 8;

const char* const kEqualiser = "EQ";

std::mutex& environmentMutex() {
  static std::mutex m;
  return m;
}
PresetManager::Environment& sharedEnvironment() {
  static PresetManager::Environment env;
  return env;
}

int clampToInt(long v) { return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX)); }

std::optional<long> optionalInteger(const json& object, const char* key) {
  if (!object.is_object()) return std::nullopt;
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  return clampToInt(EffectCatalogue::integerValue(*it));
}

// A member of an object, or null.
const json& memberOf(const json& object, const char* key) {
  static const json none;
  if (!object.is_object()) return none;
  auto it = object.find(key);
  return it == object.end() ? none : *it;
}

const std::string* typeNameOf(const json& parameter) {
  if (!parameter.is_object()) return nullptr;
  auto it = parameter.find("typeName");
  if (it == parameter.end() || !it->is_string()) return nullptr;
  return it->get_ptr<const std::string*>();
}

// The number a typed catalogue key begins with: its first two characters as
// an integer, the effect type plus one ("01 ..." is type 0).
long keyNumber(const std::string& key) { return EffectCatalogue::integerValue(json(key.substr(0, 2))); }

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The first `count` characters of UTF-8 text (continuation bytes belong to
// the character before them).
std::string firstCharacters(const std::string& text, size_t count) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == count) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

// ---- Export ----

// Word `at` of a module, when the module has it.
std::optional<int> wordAt(const std::vector<int>& words, long at) {
  if (at < 0 || at >= static_cast<long>(words.size())) return std::nullopt;
  return words[static_cast<size_t>(at)];
}

json exportData(const std::string& moduleName, const json& entry, const std::vector<int>& words, int type) {
  json data = json::object();
  auto put = [&](const std::string& name, long at, long less) {
    auto w = wordAt(words, at);
    if (!w) {
      fnd::log("preset export: %s has no word %ld for %s", moduleName.c_str(), at, name.c_str());
      return;
    }
    data[name] = static_cast<long>(*w) - less;
  };
  if (entry.is_object()) {
    for (const auto& [key, params] : entry.items()) {
      if (keyNumber(key) != static_cast<long>(type) + 1) continue;
      if (!params.is_array()) return data;
      for (size_t i = 0; i < params.size(); ++i) {
        const json& element = params[i];
        if (element.is_array()) {
          for (size_t j = 0; j < element.size(); ++j)
            if (const std::string* name = typeNameOf(element[j]))
              put(*name, static_cast<long>(i + kFirstParameterWord + kGroupStride * j), 0);
        } else if (const std::string* name = typeNameOf(element)) {
          if (moduleName == kEqualiser && type == kSlotPlacedEqType) {
            put(*name, optionalInteger(element, "parmaIndex").value_or(0) + kFirstParameterWord, 0);
          } else {
            const long p = optionalInteger(element, "parmaIndex").value_or(static_cast<long>(i));
            const long less = optionalInteger(element, "minValue") == kOffsetMinimum ? kOffsetMinimum : 0;
            put(*name, p + kFirstParameterWord, less);
          }
        }
      }
      return data;  // the first matching type only
    }
    return json();  // no type: no "Data"
  }
  if (entry.is_array()) {
    for (size_t k = 1; k < entry.size(); ++k)
      if (const std::string* name = typeNameOf(entry[k])) put(*name, static_cast<long>(k + 1), 0);
    return data;
  }
  return json();
}

// ---- Import ----

struct Bounds {
  std::optional<long> lo, hi;
};

// The limits of a parameter as files store it. A choice list runs from 0 to
// its last index.
Bounds parameterBounds(const json& parameter) {
  Bounds b{optionalInteger(parameter, "minValue"), optionalInteger(parameter, "maxValue")};
  auto item = parameter.find("item");
  if (item != parameter.end() && item->is_array()) {
    b.lo = 0;
    b.hi = std::max<long>(static_cast<long>(item->size()) - 1, 0);
  }
  return b;
}

// A file value within its parameter's limits, as the word to store. Files
// store a parameter with a negative minimum or a minimum of 40 as its offset
// from that minimum.
long boundParameter(long v, const json& parameter, bool offsetFromForty) {
  const Bounds b = parameterBounds(parameter);
  const bool forty = offsetFromForty && b.lo == kOffsetMinimum;
  if (b.lo && b.hi) {
    if (v < 0) v = 0;
    if (*b.lo < 0) v = std::min(v, *b.hi - *b.lo);
    else if (forty) v = std::min(v, *b.hi - kOffsetMinimum);
    else v = std::min(v, *b.hi);
  }
  if (forty) v += kOffsetMinimum;
  return v;
}

// A member of a parameter group: kept between 0 and its range, as an offset
// from its minimum.
long boundGroupMember(long v, const json& member) {
  const long lo = optionalInteger(member, "minValue").value_or(0);
  const long hi = optionalInteger(member, "maxValue").value_or(0);
  const long s = v + lo;
  if (s > hi) v = hi - lo;
  if (s < lo) v = 0;
  return v;
}

class ModuleImport {
public:
  ModuleImport(const std::string& moduleName, const json& entry, std::vector<int>& words)
      : moduleName_(moduleName), entry_(entry), words_(words) {}

  void apply(const std::string& name, long v) {
    if (entry_.is_object()) return applyTyped(name, v);
    if (entry_.is_array() && entry_.size() >= 2) {
      for (size_t k = 1; k < entry_.size(); ++k) {
        const std::string* n = typeNameOf(entry_[k]);
        if (!n || *n != name) continue;
        write(static_cast<long>(k + 1), boundParameter(v, entry_[k], false), name);
        return;
      }
    }
  }

private:
  void applyTyped(const std::string& name, long v) {
    const long type = words_.size() > 1 ? words_[1] : 0;
    for (const auto& [key, params] : entry_.items()) {
      if (keyNumber(key) != type + 1 || !params.is_array()) continue;
      for (size_t i = 0; i < params.size(); ++i) {
        const json& element = params[i];
        if (element.is_array()) {
          for (const json& member : element) {
            const std::string* n = typeNameOf(member);
            if (!n || *n != name) continue;
            v = boundGroupMember(v, member);
            // Band members are placed by the number in their name.
            if (startsWith(name, "FRQE")) {
              write(bandNumber(name) + 7, v, name);
            } else if (startsWith(name, "GAIN")) {
              write(2 * bandNumber(name), v, name);
            } else {
              write(static_cast<long>(i) + kFirstParameterWord, v, name);
              break;
            }
          }
          continue;
        }
        const std::string* n = typeNameOf(element);
        if (!n || *n != name) continue;
        long p;
        if (moduleName_ == kEqualiser && type == kSlotPlacedEqType)
          p = optionalInteger(element, "parmaIndex").value_or(0);
        else
          p = optionalInteger(element, "parmaIndex").value_or(static_cast<long>(i));
        write(p + kFirstParameterWord, boundParameter(v, element, true), name);
        break;
      }
    }
  }

  static long bandNumber(const std::string& name) { return clampToInt(EffectCatalogue::integerValue(json(name.substr(4)))); }

  // Words the module does not have are never written.
  void write(long at, long v, const std::string& name) {
    if (at < kFirstParameterWord || at >= static_cast<long>(words_.size())) {
      fnd::log("preset import: %s has no word %ld for %s", moduleName_.c_str(), at, name.c_str());
      return;
    }
    words_[static_cast<size_t>(at)] = clampToInt(v);
  }

  const std::string& moduleName_;
  const json& entry_;
  std::vector<int>& words_;
};

// The file's shape: the members read must be objects where they are present.
bool wellFormed(const json& file, const json& catalogue) {
  auto modules = file.find("effectModule");
  if (modules != file.end()) {
    if (!modules->is_object()) return false;
    for (const auto& [key, module] : modules->items()) {
      if (!catalogue.contains(key) || ModuleTable::moduleIndex(key) < 0) continue;
      if (!module.is_object()) return false;
      auto data = module.find("Data");
      if (data != module.end() && !data->is_object()) return false;
    }
  }
  auto exp = file.find("Exp");
  return exp == file.end() || exp->is_object();
}

// Three words of "Exp"; a key the file lacks keeps the record's word.
std::vector<int> expWords(const json* exp, const char* const (&keys)[3], std::vector<int> words) {
  words.resize(std::max<size_t>(words.size(), 3), 0);
  if (exp)
    for (size_t i = 0; i < 3; ++i)
      if (auto v = optionalInteger(*exp, keys[i])) words[i] = clampToInt(*v);
  return words;
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
  void updateCurrentPreset() override { service_->updateCurrentPreset(); }

private:
  std::shared_ptr<HIDServiceViewMode> service_;
};

}  // namespace

// ---- Names and values ----

std::string PresetManager::baseNameOf(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return deletingPathExtension(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string PresetManager::safeFileName(std::string_view name) {
  std::string out;
  size_t i = 0;
  while (i < name.size()) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b < 0x80) {
      out.push_back(b < 0x20 || b == 0x7F || b == '/' ? '-' : static_cast<char>(b));
      ++i;
      continue;
    }
    // A whole, shortest-form UTF-8 sequence passes as it is.
    size_t len = 0;
    uint32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1Fu;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0Fu;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07u;
    bool valid = len > 0 && i + len <= name.size();
    for (size_t k = 1; valid && k < len; ++k) {
      const auto c = static_cast<unsigned char>(name[i + k]);
      if ((c & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if (valid && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      valid = false;
    if (valid) {
      out.append(name.substr(i, len));
      i += len;
      continue;
    }
    // Not UTF-8: the byte as a Latin-1 character, as the unit's names are read.
    out.push_back(static_cast<char>(0xC0 | (b >> 6)));
    out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    ++i;
  }
  return out;
}

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

json PresetManager::presetFileObject(const HIDServiceModuleMode& preset, const json& catalogue,
                                     const std::string& presetName) {
  json modules = json::object();
  for (int m = 0; m < dev::kModuleCount; ++m) {
    const std::string name = ModuleTable::moduleName(m);
    HIDServiceModelPtr record = preset.module(m);
    const std::vector<int> words = record ? record->dataArr.get() : std::vector<int>{};
    const int type = wordAt(words, 1).value_or(0);
    json member = json::object();
    const json entry = catalogue.is_object() && catalogue.contains(name) ? catalogue.at(name) : json();
    json data = exportData(name, entry, words, type);
    if (!data.is_null()) member["Data"] = std::move(data);
    member["TYPE"] = type;
    member["SWITCH"] = wordAt(words, 0).value_or(0);
    modules[name] = std::move(member);
  }

  // Every module record of a preset carries the preset's EXP words.
  HIDServiceModelPtr first = preset.module(0);
  const std::vector<int> function = first ? first->FuncDataArr.get() : std::vector<int>{};
  const std::vector<int> volume = first ? first->ExpDataArr.get() : std::vector<int>{};
  json exp = json::object();
  for (size_t i = 0; i < 3; ++i) {
    exp[kFunctionKeys[i]] = wordAt(function, static_cast<long>(i)).value_or(0);
    exp[kVolumeKeys[i]] = wordAt(volume, static_cast<long>(i)).value_or(0);
  }

  return json{{"fileInfo",
               {{"device", "QV450"},
                {"device_version", "V1.0.5"},
                {"app", "QV450 Edit"},
                {"app_version", "V1.0.5"},
                {"schema", kSchema},
                {"preset_name", presetName}}},
              {"effectModule", std::move(modules)},
              {"Exp", std::move(exp)}};
}

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
  std::string name = safeFileName(HIDServiceModuleMode::stripTrailingBlanks(preset->presetName.get()));

  auto defaults = env.defaults ? env.defaults : fnd::UserDefaults::standard();
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
    text = presetFileObject(*preset, catalogue, name).dump(4);
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

PresetManager::Imported PresetManager::presetFromFile(std::string_view text, const std::string& baseName,
                                                      const HIDServiceModuleMode& target,
                                                      const HIDServiceModuleMode& current, const json& catalogue) {
  json file = json::parse(text, nullptr, false);
  if (file.is_discarded() || !file.is_object()) return {nullptr, kWrongData};
  if (memberOf(memberOf(file, "fileInfo"), "schema") != kSchema) return {nullptr, kWrongVersion};
  if (!wellFormed(file, catalogue)) return {nullptr, kWrongData};

  HIDServiceModuleModePtr preset = target.copy();
  const json* exp = file.contains("Exp") ? &file.at("Exp") : nullptr;
  auto modules = file.find("effectModule");
  if (modules != file.end()) {
    for (const auto& [key, member] : modules->items()) {
      const int n = ModuleTable::moduleIndex(key);
      if (n < 0 || !catalogue.is_object() || !catalogue.contains(key)) continue;
      HIDServiceModelPtr base = current.module(n);
      HIDServiceModelPtr record = base ? base->copy() : fnd::make<HIDServiceModel>();
      std::vector<int> words = record->dataArr.get();
      // A module the current preset lacks still gets all its words.
      if (words.size() < static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(n)].words()))
        words.resize(static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(n)].words()), 0);
      words[0] = clampToInt(EffectCatalogue::integerValue(memberOf(member, "SWITCH")));
      words[1] = clampToInt(EffectCatalogue::integerValue(memberOf(member, "TYPE")));

      const json& data = memberOf(member, "Data");
      if (data.is_object() && !data.empty()) {
        ModuleImport import(key, catalogue.at(key), words);
        for (const auto& [name, value] : data.items()) import.apply(name, clampToInt(EffectCatalogue::integerValue(value)));
        record->setFuncDataArr(expWords(exp, kFunctionKeys, record->FuncDataArr.get()));
        record->setExpDataArr(expWords(exp, kVolumeKeys, record->ExpDataArr.get()));
      }
      record->setDataArr(std::move(words));
      preset->setModule(n, std::move(record));
    }
  }
  preset->setPresetName(firstCharacters(baseName, kNameLength));
  return {preset, {}};
}

bool PresetManager::ImportPreset(const std::string& path, long index, std::function<void(long)> result) {
  return ImportPreset(environment(), path, index, std::move(result));
}

bool PresetManager::ImportPreset(const Environment& env, const std::string& path, long index,
                                 std::function<void(long)> result) {
  const std::string baseName = baseNameOf(path);
  if (!checkPresetName(baseName)) {
    showWarning(env, kWrongFileName);
    return false;
  }
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    showWarning(env, kFileMissing);
    return false;
  }

  HIDServiceModuleModePtr target =
      env.service && index >= 0 && index < dev::kPresetCount ? env.service->cachedPreset(index) : nullptr;
  HIDServiceModuleModePtr current = env.service ? env.service->currentPreset() : nullptr;
  if (!target || !current) {
    fnd::log("preset import: no cached preset %ld or no current preset", index);
    return false;
  }

  std::string why;
  const std::optional<std::string> text = fnd::files::readTextAtMost(path, kMaxFileSize, &why);
  if (!text) {
    fnd::log("preset import: %s", why.c_str());
    showWarning(env, kWrongData);
    return false;
  }

  Imported imported = presetFromFile(*text, baseName, *target, *current, env.service->presetInfoDic());
  if (!imported.preset) {
    showWarning(env, imported.refusal);
    return false;
  }

  env.service->sendPresetDataToDevice(imported.preset, index, std::move(result));
  const std::optional<int> selected = current->selectedPreset.get();
  if (selected && *selected == index + 1) {
    fnd::log("preset import into the current preset: %ld %d", index + 1, *selected);
    env.service->updateCurrentPreset();
  }
  return true;
}
