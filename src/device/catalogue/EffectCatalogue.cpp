#include "device/catalogue/EffectCatalogue.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <system_error>
#include <utility>

#include "device/catalogue/EffectCatalogueChecker.h"
#include "device/records/ModuleTable.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// The catalogue is five levels deep (a choice list inside a parameter inside a
// type inside a module); anything much deeper is not a catalogue, and copies
// of it would recurse without bound.
constexpr int kMaxNesting = 16;
// The shipped documents are some tens of kilobytes.
constexpr uint64_t kMaxDocumentSize = 16u << 20;
// Problems of a usable catalogue logged at load, at most.
constexpr size_t kLoggedProblems = 20;

bool nestedDeeper(const json& j, int levels) {
  if (!j.is_structured()) return false;
  if (levels == 0) return true;
  for (const auto& child : j)
    if (nestedDeeper(child, levels - 1)) return true;
  return false;
}

const char* moduleNameOf(int module) {
  if (module < 0 || module >= dev::kModuleCount) return nullptr;
  return ModuleTable::modules[static_cast<size_t>(module)].name;
}

int parameterWordsOf(int module) { return ModuleTable::modules[static_cast<size_t>(module)].words() - 2; }

// A module's value, or null when the module or its entry is missing.
const json* moduleEntry(const json& catalogue, int module) {
  const char* name = moduleNameOf(module);
  if (!name || !catalogue.is_object()) return nullptr;
  auto it = catalogue.find(name);
  return it == catalogue.end() ? nullptr : &*it;
}

// Type names in type-number order: plain byte order, as the editor lists them.
std::vector<std::string> sortedTypeNames(const json& entry) {
  std::vector<std::string> names;
  if (entry.is_object()) {
    for (const auto& item : entry.items()) names.push_back(item.key());
  } else if (entry.is_array() && !entry.empty() && entry[0].is_array()) {
    for (const auto& n : entry[0])
      if (n.is_string()) names.push_back(n.get<std::string>());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The module's word for a parameter's default, as the editor stores it.
int defaultWordOf(const json& p) {
  // Far beyond a word either way, and the offset below cannot overflow.
  constexpr long kBound = 1L << 40;
  long value = std::clamp(EffectCatalogue::integerValue(p.value("current", json())), -kBound, kBound);
  const long minimum = std::clamp(EffectCatalogue::integerValue(p.value("minValue", json())), -kBound, kBound);
  const auto choices = p.find("item");
  const bool isChoice = choices != p.end() && choices->is_array() && !choices->empty();
  if (!isChoice && minimum < 0) value -= minimum;
  return static_cast<int>(std::clamp(value, 0L, EffectCatalogue::kWordMax));
}

std::string cleanSlotName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '\0' || out.size() == EffectCatalogue::kUserSlotNameSize) break;
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x20 && byte <= 0x7E ? c : '?';
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines, const char* separator) {
  std::string out;
  for (const auto& line : lines) out += (out.empty() ? "" : separator) + line;
  return out;
}

bool fail(std::string* error, const std::string& message) {
  fnd::log("EffectCatalogue: %s", message.c_str());
  if (error) *error = message;
  return false;
}

bool readDocument(const fs::path& path, json& out, std::string* error) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return fail(error, path.string() + " is missing");
  if (!fs::is_regular_file(path, ec)) return fail(error, path.string() + " is not a file");
  std::string readError;
  auto text = fnd::files::readTextAtMost(path, kMaxDocumentSize, &readError);
  if (!text) return fail(error, readError.empty() ? "cannot read " + path.string() : readError);
  try {
    out = json::parse(*text);
  } catch (const json::exception& e) {
    return fail(error, path.string() + " is not JSON: " + e.what());
  }
  return true;
}

}  // namespace

std::shared_ptr<EffectCatalogue> EffectCatalogue::load(std::string* error) {
  return load(fnd::paths::resourcePath(kCatalogueFile), fnd::paths::resourcePath(kSlotTableFile), error);
}

std::shared_ptr<EffectCatalogue> EffectCatalogue::load(const fs::path& catalogueFile, const fs::path& slotTableFile,
                                                       std::string* error) {
  json catalogue, slots;
  if (!readDocument(catalogueFile, catalogue, error) || !readDocument(slotTableFile, slots, error)) return nullptr;
  return fromJson(std::move(catalogue), std::move(slots), error);
}

std::shared_ptr<EffectCatalogue> EffectCatalogue::fromJson(json catalogue, json slotTable, std::string* error) {
  if (nestedDeeper(catalogue, kMaxNesting) || nestedDeeper(slotTable, kMaxNesting)) {
    fail(error, "effect catalogue refused: nested too deeply");
    return nullptr;
  }
  const auto unusable = EffectCatalogueChecker::checkModules(catalogue, slotTable);
  if (!unusable.empty()) {
    fail(error, "effect catalogue refused: " + joined(unusable, "; "));
    return nullptr;
  }
  const auto problems = EffectCatalogueChecker::check(catalogue, slotTable);
  for (size_t i = 0; i < problems.size() && i < kLoggedProblems; ++i)
    fnd::log("EffectCatalogue: %s", problems[i].c_str());
  if (problems.size() > kLoggedProblems)
    fnd::log("EffectCatalogue: and %zu more problems", problems.size() - kLoggedProblems);

  auto out = std::make_shared<EffectCatalogue>();
  out->catalogue_ = std::move(catalogue);
  out->slots_ = std::move(slotTable);
  return out;
}

json EffectCatalogue::presetInfoDic() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return catalogue_;
}

json EffectCatalogue::slotTable() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slots_;
}

std::vector<std::string> EffectCatalogue::typeNames(int module) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const json* entry = moduleEntry(catalogue_, module);
  return entry ? sortedTypeNames(*entry) : std::vector<std::string>();
}

std::vector<json> EffectCatalogue::parameters(int module, int type) const {
  std::vector<json> out;
  std::lock_guard<std::mutex> lock(mutex_);
  const json* entry = moduleEntry(catalogue_, module);
  if (!entry || type < 0) return out;
  const auto names = sortedTypeNames(*entry);
  if (static_cast<size_t>(type) >= names.size()) return out;
  if (entry->is_object()) {
    const json& list = (*entry)[names[static_cast<size_t>(type)]];
    if (list.is_array()) out.assign(list.begin(), list.end());
  } else {
    out.assign(entry->begin() + 1, entry->end());
  }
  return out;
}

std::vector<int> EffectCatalogue::firstTypeWords(const json& entry, int module) {
  if (!moduleNameOf(module)) return {};
  std::vector<int> words(static_cast<size_t>(parameterWordsOf(module)), 0);
  auto put = [&](const json& p, long slot) {
    if (p.is_object() && slot >= 0 && slot < static_cast<long>(words.size()))
      words[static_cast<size_t>(slot)] = defaultWordOf(p);
  };
  if (entry.is_array()) {
    // Shared parameters are read by position: element k is slot k - 1.
    for (size_t k = 1; k < entry.size(); ++k) put(entry[k], static_cast<long>(k) - 1);
  } else if (entry.is_object() && !entry.empty()) {
    const json& list = entry[sortedTypeNames(entry).front()];
    if (!list.is_array()) return words;
    for (size_t i = 0; i < list.size(); ++i) {
      const json& e = list[i];
      if (e.is_object()) {
        put(e, e.contains("parmaIndex") ? integerValue(e["parmaIndex"]) : static_cast<long>(i));
      } else if (e.is_array()) {
        // A parameter in parts: part j holds the word six slots after part j - 1.
        for (size_t j = 0; j < e.size(); ++j) put(e[j], static_cast<long>(i + 6 * j));
      }
    }
  }
  return words;
}

std::vector<int> EffectCatalogue::defaultWords(int module) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const json* entry = moduleEntry(catalogue_, module);
  return firstTypeWords(entry ? *entry : json(), module);
}

std::vector<EffectCatalogue::ParameterSlot> EffectCatalogue::parameterSlots(int module) const {
  std::vector<ParameterSlot> out;
  std::lock_guard<std::mutex> lock(mutex_);
  const json* entry = moduleEntry(slots_, module);
  if (!entry || !entry->is_array()) return out;
  for (const json& s : *entry) {
    if (!s.is_object()) continue;
    ParameterSlot slot;
    slot.index = static_cast<int>(std::clamp(integerValue(s.value("index", json())), long{INT_MIN}, long{INT_MAX}));
    slot.current =
        static_cast<int>(std::clamp(integerValue(s.value("current", json())), 0L, EffectCatalogue::kWordMax));
    const auto names = s.find("names");
    if (names != s.end() && names->is_array())
      for (const json& n : *names)
        if (n.is_string()) slot.names.push_back(n.get<std::string>());
    out.push_back(std::move(slot));
  }
  return out;
}

std::string EffectCatalogue::userSlotLabel(UserSlot kind, int slot, std::string_view name) {
  if (slot < 0 || slot >= kUserSlotCount) return "";
  const int first = (kind == UserSlot::IR ? kFirstIRType : kFirstNRType) + 1;
  return std::to_string(first + slot) + ":" + cleanSlotName(name);
}

bool EffectCatalogue::setUserSlotLabel(UserSlot kind, int slot, std::string_view name) {
  const char* module = kind == UserSlot::IR ? "CAB" : "AMP";
  if (slot < 0 || slot >= kUserSlotCount) {
    fnd::log("EffectCatalogue: no %s user slot %d", module, slot);
    return false;
  }
  const size_t index = static_cast<size_t>((kind == UserSlot::IR ? kFirstIRType : kFirstNRType) + slot);
  std::string label = userSlotLabel(kind, slot, name);
  std::lock_guard<std::mutex> lock(mutex_);
  auto entry = catalogue_.find(module);
  if (entry == catalogue_.end() || !entry->is_array() || entry->empty() || !(*entry)[0].is_array() ||
      (*entry)[0].size() <= index) {
    fnd::log("EffectCatalogue: the %s type list has no entry %zu for user slot %d", module, index, slot);
    return false;
  }
  (*entry)[0][index] = std::move(label);
  return true;
}

bool EffectCatalogue::clearUserSlotLabel(UserSlot kind, int slot) {
  return setUserSlotLabel(kind, slot, kind == UserSlot::IR ? "EMPTY" : "Empty");
}

long EffectCatalogue::integerValue(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer:
      return static_cast<long>(value.get<json::number_integer_t>());
    case json::value_t::number_unsigned: {
      const auto u = value.get<json::number_unsigned_t>();
      return u > static_cast<json::number_unsigned_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(u);
    }
    case json::value_t::number_float: {
      const double d = value.get<double>();
      if (std::isnan(d)) return 0;
      if (d >= static_cast<double>(LONG_MAX)) return LONG_MAX;
      if (d <= static_cast<double>(LONG_MIN)) return LONG_MIN;
      return static_cast<long>(d);
    }
    case json::value_t::boolean:
      return value.get<bool>() ? 1 : 0;
    case json::value_t::string: {
      const auto& s = value.get_ref<const std::string&>();
      size_t i = 0;
      while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      bool negative = false;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
      long out = 0;
      for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const int digit = s[i] - '0';
        if (negative ? out < (LONG_MIN + digit) / 10 : out > (LONG_MAX - digit) / 10)
          return negative ? LONG_MIN : LONG_MAX;
        out = out * 10 + (negative ? -digit : digit);
      }
      return out;
    }
    default:
      return 0;
  }
}
