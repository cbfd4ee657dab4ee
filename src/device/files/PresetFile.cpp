#include "device/files/PresetFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <optional>

#include "device/catalogue/EffectCatalogue.h"
#include "device/files/NameChecks.h"
#include "device/records/ModuleTable.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"

using json = nlohmann::json;

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

const char* const kEqualiser = "EQ";
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

  // Why the module cannot go to the unit; empty while it can.
  std::string problem;

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

  // Words the module does not have are never written, nor words the unit
  // cannot hold (a parameter the catalogue gives no limits).
  void write(long at, long v, const std::string& name) {
    if (at < kFirstParameterWord || at >= static_cast<long>(words_.size())) {
      fnd::log("preset import: %s has no word %ld for %s", moduleName_.c_str(), at, name.c_str());
      return;
    }
    if (v < 0 || v > dev::kWordMax) {
      if (problem.empty())
        problem = moduleName_ + " " + name + " would be " + std::to_string(v) + ", which no word of the unit holds";
      return;
    }
    words_[static_cast<size_t>(at)] = static_cast<int>(v);
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

// A value of the file as an integer: a number (a fraction is dropped), true
// or false, or a text that is a decimal number and nothing else (blanks
// around it aside). Nothing for anything else. Beyond a long it saturates,
// which no range below admits.
std::optional<long> integerOf(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float:
    case json::value_t::boolean: return EffectCatalogue::integerValue(value);
    case json::value_t::string: {
      const std::string& text = value.get_ref<const std::string&>();
      size_t i = text.find_first_not_of(' ');
      const size_t end = text.find_last_not_of(' ');
      if (i == std::string::npos) return std::nullopt;
      if (text[i] == '+' || text[i] == '-') ++i;
      if (i > end) return std::nullopt;
      for (size_t k = i; k <= end; ++k)
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
      return EffectCatalogue::integerValue(value);
    }
    default: return std::nullopt;
  }
}

// Why member `key` of `object` cannot be sent as a word from lo to hi;
// empty when it can or the member is absent (or null).
std::string rangeProblem(const json& object, const char* key, long lo, long hi, const std::string& where) {
  const json& value = memberOf(object, key);
  if (value.is_null()) return {};
  const std::optional<long> v = integerOf(value);
  if (!v) return where + key + " is not a number (a " + value.type_name() + ")";
  if (*v < lo || *v > hi)
    return where + key + " is " + std::to_string(*v) + ", outside " + std::to_string(lo) + " to " + std::to_string(hi);
  return {};
}

// Whether a module's catalogue entry has effect type `type`: a typed entry a
// key numbered type + 1, a shared one a name at that place of its type list.
bool hasType(const json& entry, long type) {
  if (type < 0) return false;
  if (entry.is_object()) {
    for (const auto& item : entry.items())
      if (keyNumber(item.key()) == type + 1) return true;
    return false;
  }
  return entry.is_array() && !entry.empty() && entry[0].is_array() && type < static_cast<long>(entry[0].size());
}

// Why the "Exp" member cannot go to the unit; empty when it can.
std::string expProblem(const json& exp) {
  struct Limit {
    const char* key;
    long hi;
  };
  static constexpr Limit kLimits[] = {
      {kFunctionKeys[0], dev::kModuleCount - 1}, {kFunctionKeys[1], dev::kExpParameterCount - 1},
      {kFunctionKeys[2], 1},                     {kVolumeKeys[0], 1},
      {kVolumeKeys[1], dev::kExpVolumeMax},      {kVolumeKeys[2], dev::kExpVolumeMax},
  };
  for (const Limit& limit : kLimits)
    if (std::string problem = rangeProblem(exp, limit.key, 0, limit.hi, "Exp "); !problem.empty()) return problem;
  return {};
}

// Three words of "Exp"; a key the file lacks keeps the record's word.
std::vector<int> expWords(const json* exp, const char* const (&keys)[3], std::vector<int> words) {
  words.resize(std::max<size_t>(words.size(), 3), 0);
  if (exp)
    for (size_t i = 0; i < 3; ++i)
      if (auto v = optionalInteger(*exp, keys[i])) words[i] = clampToInt(*v);
  return words;
}

}  // namespace

// ---- Names and values ----

std::string PresetFile::baseNameOf(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return deletingPathExtension(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string PresetFile::safeFileName(std::string_view name) {
  std::string out;
  size_t i = 0;
  while (i < name.size()) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b < 0x80) {
      out.push_back(b < 0x20 || b == 0x7F || b == '/' ? '-' : static_cast<char>(b));
      ++i;
      continue;
    }
    // A whole UTF-8 sequence passes as it is.
    if (const size_t len = fnd::utf8::sequenceLength(name, i); len > 0) {
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

// ---- Export ----

json PresetFile::presetFileObject(const HIDServiceModuleMode& preset, const json& catalogue,
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

// ---- Import ----

PresetFile::Imported PresetFile::presetFromFile(std::string_view text, const std::string& baseName,
                                                const HIDServiceModuleMode& target,
                                                const HIDServiceModuleMode& current, const json& catalogue) {
  json file = json::parse(text, nullptr, false);
  if (file.is_discarded() || !file.is_object()) return {nullptr, kWrongData, "not a JSON object"};
  if (memberOf(memberOf(file, "fileInfo"), "schema") != kSchema) return {nullptr, kWrongVersion, "another schema"};
  if (!wellFormed(file, catalogue)) return {nullptr, kWrongData, "a member of the wrong kind"};
  // Every value is checked before anything is built: a file the unit could
  // not hold is refused whole.
  const json* exp = file.contains("Exp") ? &file.at("Exp") : nullptr;
  if (exp)
    if (std::string problem = expProblem(*exp); !problem.empty()) return {nullptr, kWrongData, problem};

  HIDServiceModuleModePtr preset = target.copy();
  auto modules = file.find("effectModule");
  if (modules != file.end()) {
    for (const auto& [key, member] : modules->items()) {
      const int n = ModuleTable::moduleIndex(key);
      if (n < 0 || !catalogue.is_object() || !catalogue.contains(key)) continue;
      const json& entry = catalogue.at(key);
      const std::string where = key + " ";
      if (std::string problem = rangeProblem(member, "SWITCH", 0, 1, where); !problem.empty())
        return {nullptr, kWrongData, problem};
      if (std::string problem = rangeProblem(member, "TYPE", 0, dev::kWordMax, where); !problem.empty())
        return {nullptr, kWrongData, problem};
      // A missing switch or type counts as 0.
      const long type = integerOf(memberOf(member, "TYPE")).value_or(0);
      if (!hasType(entry, type))
        return {nullptr, kWrongData, where + "has no effect type " + std::to_string(type)};

      HIDServiceModelPtr base = current.module(n);
      HIDServiceModelPtr record = base ? base->copy() : fnd::make<HIDServiceModel>();
      std::vector<int> words = record->dataArr.get();
      // A module the current preset lacks still gets all its words.
      if (words.size() < static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(n)].words()))
        words.resize(static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(n)].words()), 0);
      words[0] = static_cast<int>(integerOf(memberOf(member, "SWITCH")).value_or(0));
      words[1] = static_cast<int>(type);

      const json& data = memberOf(member, "Data");
      if (data.is_object() && !data.empty()) {
        ModuleImport import(key, entry, words);
        for (const auto& [name, value] : data.items()) {
          const std::optional<long> v = integerOf(value);
          if (!v) return {nullptr, kWrongData, where + name + " is not a number"};
          import.apply(name, clampToInt(*v));
          if (!import.problem.empty()) return {nullptr, kWrongData, import.problem};
        }
        record->setFuncDataArr(expWords(exp, kFunctionKeys, record->FuncDataArr.get()));
        record->setExpDataArr(expWords(exp, kVolumeKeys, record->ExpDataArr.get()));
      }
      record->setDataArr(std::move(words));
      preset->setModule(n, std::move(record));
    }
  }
  preset->setPresetName(firstCharacters(baseName, kNameLength));
  return {preset, {}, {}};
}
