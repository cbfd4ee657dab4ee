#include "device/catalogue/EffectCatalogueChecker.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <set>

#include "device/catalogue/EffectCatalogue.h"
#include "device/records/ModuleTable.h"

using json = nlohmann::json;
using Problems = EffectCatalogueChecker::Problems;

namespace {

// The names the EXP pedal can be assigned to, per module in device order, in
// the unit's numbering (61 in all).
const std::array<std::vector<std::string>, dev::kModuleCount> kExpNames{{
    {"POSITION", "Q", "RATE", "ATTACK", "RANGE", "SENS", "THRES", "PEAK", "RATIO", "LEVEL"},
    {"VOLUME", "TONE", "GAIN"},
    {"GAIN", "BASS", "MID", "TREBLE", "PRES", "MST"},
    {"CENTER", "DISTANCE"},
    {"THRES", "SENS", "ATTACK", "RELEASE"},
    {"80HZ", "100HZ", "200HZ", "240HZ", "250HZ", "400HZ", "630HZ", "750HZ", "800HZ", "1.6KHZ", "2.2KHZ", "3.2KHZ",
     "4KHZ", "6.6KHZ"},
    {"RATE", "PITCH", "RISE", "SAMPLE", "MIX", "DEPTH", "LEVEL", "F.BACK", "TONE", "Q", "RANGE", "BIT"},
    {"LEVEL", "F.BACK", "TIME", "TIME A", "THRES", "TIME B"},
    {"P.DELAY", "LEVEL", "DECAY", "TONE"},
}};
constexpr size_t kExpNameCount = 61;

// Shared-list modules: built-in types, then the user slots the unit names.
struct UserSlots {
  const char* module;
  int builtIn;
  int total;
};
constexpr std::array<UserSlots, 2> kUserSlots{{
    {"AMP", EffectCatalogue::kFirstNRType, EffectCatalogue::kFirstNRType + EffectCatalogue::kUserSlotCount},
    {"CAB", EffectCatalogue::kFirstIRType, EffectCatalogue::kFirstIRType + EffectCatalogue::kUserSlotCount},
}};

// The keys a parameter may carry: the parameter model's properties that a file
// can set.
const std::set<std::string> kItemKeys{"parmaIndex", "sub_typeName", "typeName", "minValue", "maxValue",
                                      "fromValue", "current", "unit", "per_unit", "control", "item",
                                      "itemValue", "sliderSetValue", "beControlValue"};


struct Module {
  int index;
  std::string name;
  int paramWords;  // words after on/off and effect type
  bool shared;
};

std::vector<Module> modules() {
  std::vector<Module> out;
  for (int i = 0; i < dev::kModuleCount; ++i) {
    const ModuleInfo& m = ModuleTable::modules[static_cast<size_t>(i)];
    const std::string name = m.name;
    out.push_back({i, name, m.words() - 2, name == "AMP" || name == "CAB"});
  }
  return out;
}

// A module's entry in either file, by reference (null when absent).
const json& entryOf(const json& file, const std::string& module) {
  static const json none;
  if (!file.is_object()) return none;
  auto it = file.find(module);
  return it == file.end() ? none : *it;
}

// A decimal integer written as a string, the whole string.
std::optional<long> intOf(const json& v) {
  if (!v.is_string()) return std::nullopt;
  const auto& s = v.get_ref<const std::string&>();
  long out = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return out;
}

std::optional<long> intAt(const json& p, const char* key) {
  if (!p.is_object()) return std::nullopt;
  auto it = p.find(key);
  return it == p.end() ? std::nullopt : intOf(*it);
}

std::optional<double> numberOf(const std::string& s) {
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return std::nullopt;
  return v;
}

// "a/b" or a plain number; positive.
std::optional<double> ratioOf(const json& v) {
  if (!v.is_string()) return std::nullopt;
  const auto& s = v.get_ref<const std::string&>();
  auto slash = s.find('/');
  auto a = numberOf(s.substr(0, slash));
  auto b = slash == std::string::npos ? std::optional<double>(1.0) : numberOf(s.substr(slash + 1));
  if (!a || !b || !(*a > 0) || !(*b > 0)) return std::nullopt;
  return *a / *b;
}

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// The parameter lists of a module: one per type for a typed entry, the one
// shared list for a shared entry.
struct Type {
  std::string label;
  std::vector<const json*> params;
};

std::vector<Type> typesOf(const json& entry, const std::string& module) {
  std::vector<Type> out;
  if (entry.is_object()) {
    for (const auto& item : entry.items()) {
      Type t{module + " / " + item.key(), {}};
      if (item.value().is_array())
        for (const auto& p : item.value()) t.params.push_back(&p);
      out.push_back(std::move(t));
    }
  } else if (entry.is_array() && !entry.empty()) {
    Type t{module + " / shared", {}};
    for (size_t k = 1; k < entry.size(); ++k) t.params.push_back(&entry[k]);
    out.push_back(std::move(t));
  }
  return out;
}

std::string nameOf(const json& p) {
  if (!p.is_object()) return "?";
  auto it = p.find("typeName");
  return it != p.end() && it->is_string() ? it->get<std::string>() : std::string("?");
}

bool isStringList(const json& v) {
  return v.is_array() && !v.empty() && std::all_of(v.begin(), v.end(), [](const json& s) { return s.is_string(); });
}

// The checks of one parameter entry; `k` is its position in its list.
void checkParameter(const json& p, size_t k, const Module& m, const std::string& at, std::set<long>& words,
                    Problems& out) {
  if (!p.is_object()) {
    out.push_back(at + "entry is not a parameter");
    return;
  }
  for (const auto& item : p.items()) {
    const std::string& key = item.key();
    const bool list = key == "item" || key == "itemValue";
    if (!kItemKeys.count(key)) out.push_back(at + "unknown key " + key);
    if (list ? !isStringList(item.value()) : !item.value().is_string())
      out.push_back(at + key + " has the wrong value type");
  }
  const auto lo = intAt(p, "minValue"), hi = intAt(p, "maxValue");
  const auto cur = intAt(p, "current"), slot = intAt(p, "parmaIndex");
  if (!lo || !hi || !cur || !slot) {
    out.push_back(at + "limits, value or slot missing or not decimal");
    return;
  }
  if (*lo >= *hi || *cur < *lo || *cur > *hi) out.push_back(at + "value outside its limits");
  // With a negative minimum the word is the offset from it.
  constexpr long kWordMax = EffectCatalogue::kWordMax;
  if (*lo < -kWordMax || *hi > kWordMax || (*lo < 0 ? *hi - *lo : *hi) > kWordMax)
    out.push_back(at + "word does not fit 16 bits");
  if (*slot < 0 || *slot >= m.paramWords) out.push_back(at + "slot beyond the module's words");
  if (!words.insert(*slot).second) out.push_back(at + "two parameters share a word");
  // A shared list is read by position: element k is word k + 1.
  if (m.shared && *slot != static_cast<long>(k)) out.push_back(at + "shared parameter out of slot order");
  if (p.contains("per_unit")) {
    const json& f = p["per_unit"];
    auto factor = f.is_string() ? numberOf(f.get<std::string>()) : std::nullopt;
    if (!factor || !(*factor > 0)) out.push_back(at + "bad per_unit");
  }
  if (p.contains("item") && p["item"].is_array()) {
    const long count = static_cast<long>(p["item"].size());
    if (*lo != 0 || *hi != count - 1) out.push_back(at + "limits do not match the choice list");
    if (p.contains("itemValue") && p["itemValue"].size() != p["item"].size())
      out.push_back(at + "one ratio per choice expected");
  }
}

}  // namespace

Problems EffectCatalogueChecker::checkModules(const json& catalogue, const json& slotTable) {
  Problems out;
  for (const json* file : {&catalogue, &slotTable}) {
    if (!file->is_object() || file->size() != static_cast<size_t>(dev::kModuleCount))
      out.push_back(std::string(file == &catalogue ? "catalogue" : "slot table") +
                    ": top level is not the nine modules");
  }
  for (const auto& m : modules()) {
    const json& e = entryOf(catalogue, m.name);
    if (e.is_null()) {
      out.push_back("catalogue lacks " + m.name);
      continue;
    }
    if (!entryOf(slotTable, m.name).is_array()) out.push_back("slot table lacks " + m.name);
    if (m.shared ? !(e.is_array() && e.size() >= 2 && e[0].is_array()) : !(e.is_object() && !e.empty()))
      out.push_back(m.name + " has the wrong shape");
  }
  return out;
}

// Type numbers are positions in the name-sorted list and also the two leading
// digits minus one; both readings must agree.
Problems EffectCatalogueChecker::checkTypeNames(const json& catalogue, const json&) {
  Problems out;
  for (const auto& m : modules()) {
    const json& e = entryOf(catalogue, m.name);
    if (!e.is_object()) continue;
    int i = 0;  // objects iterate in byte-wise key order, as the editor sorts
    for (const auto& item : e.items()) {
      const std::string& key = item.key();
      ++i;
      if (i > 99 || key.rfind(twoDigits(i) + " ", 0) != 0 || key.size() < 4)
        out.push_back(m.name + ": type " + key + " is not numbered " + twoDigits(i));
    }
  }
  for (const auto& u : kUserSlots) {
    const json& e = entryOf(catalogue, u.module);
    if (!e.is_array() || e.empty() || !e[0].is_array()) continue;
    const json& names = e[0];
    if (static_cast<int>(names.size()) != u.total)
      out.push_back(std::string(u.module) + " lists " + std::to_string(names.size()) + " types");
    std::vector<std::string> list;
    for (size_t i = 0; i < names.size(); ++i) {
      const int n = static_cast<int>(i) + 1;
      const std::string want = n <= u.builtIn ? twoDigits(n) + " " : std::to_string(n) + ":";
      const std::string got = names[i].is_string() ? names[i].get<std::string>() : "";
      if (got.rfind(want, 0) != 0 || (n <= u.builtIn && got.size() <= want.size()))
        out.push_back(std::string(u.module) + " type " + std::to_string(n) + " reads '" + got + "'");
      list.push_back(got);
    }
    if (!std::is_sorted(list.begin(), list.end())) out.push_back(std::string(u.module) + " types are not sorted");
  }
  return out;
}

Problems EffectCatalogueChecker::checkParameters(const json& catalogue, const json&) {
  Problems out;
  for (const auto& m : modules()) {
    for (const auto& t : typesOf(entryOf(catalogue, m.name), m.name)) {
      std::set<long> words;
      std::set<std::string> names;
      for (size_t k = 0; k < t.params.size(); ++k) {
        const json& p = *t.params[k];
        const std::string at = t.label + " / " + nameOf(p) + ": ";
        if (p.is_object() && !names.insert(nameOf(p)).second) out.push_back(at + "name used twice in one type");
        checkParameter(p, k, m, at, words, out);
      }
      if (static_cast<int>(t.params.size()) > m.paramWords) out.push_back(t.label + ": more parameters than words");
    }
  }
  return out;
}

// A controlling choice scales the displayed value of a parameter of the same
// type; the unit's word is the displayed value divided by the ratio.
Problems EffectCatalogueChecker::checkControls(const json& catalogue, const json&) {
  Problems out;
  for (const auto& m : modules()) {
    for (const auto& t : typesOf(entryOf(catalogue, m.name), m.name)) {
      for (const json* pp : t.params) {
        const json& p = *pp;
        if (!p.is_object() || !p.contains("control")) continue;
        const std::string at = t.label + " / " + nameOf(p) + ": ";
        const std::string target = p["control"].is_string() ? p["control"].get<std::string>() : "";
        auto it = std::find_if(t.params.begin(), t.params.end(), [&](const json* q) { return nameOf(*q) == target; });
        if (it == t.params.end() || target == nameOf(p)) {
          out.push_back(at + "controls '" + target + "', not another parameter of its type");
          continue;
        }
        if (!p.contains("item") || !p.contains("itemValue") || !p["itemValue"].is_array()) {
          out.push_back(at + "a controller needs choices with ratios");
          continue;
        }
        const auto hi = intAt(**it, "maxValue");
        if ((*it)->contains("item")) out.push_back(at + "controls a choice parameter");
        for (const auto& r : p["itemValue"]) {
          auto ratio = ratioOf(r);
          if (!ratio)
            out.push_back(at + "bad ratio " + (r.is_string() ? r.get<std::string>() : std::string("(not text)")));
          else if (hi && static_cast<double>(*hi) / *ratio > EffectCatalogue::kWordMax)
            out.push_back(at + "scaled word does not fit 16 bits");
        }
        const auto cur = intAt(p, "current");
        if (!cur || *cur < 0 || *cur >= static_cast<long>(p["itemValue"].size()))
          out.push_back(at + "current choice has no ratio");
      }
    }
  }
  return out;
}

// Slot i holds word i + 2; a parameter is found in the slot whose index is
// its parmaIndex, by name.
Problems EffectCatalogueChecker::checkSlotTable(const json& catalogue, const json& slotTable) {
  Problems out;
  for (const auto& m : modules()) {
    const json& slots = entryOf(slotTable, m.name);
    if (!slots.is_array() || static_cast<int>(slots.size()) != m.paramWords) {
      out.push_back(m.name + ": slot count is not " + std::to_string(m.paramWords));
      continue;
    }
    const json& entry = entryOf(catalogue, m.name);
    const auto types = typesOf(entry, m.name);
    std::vector<std::set<std::string>> used(slots.size());
    for (const auto& t : types) {
      for (const json* p : t.params) {
        const auto slot = intAt(*p, "parmaIndex");
        if (!slot || *slot < 0 || *slot >= static_cast<long>(slots.size())) continue;
        const std::string name = nameOf(*p);
        used[static_cast<size_t>(*slot)].insert(name);
        const json& s = slots[static_cast<size_t>(*slot)];
        const json names = s.is_object() ? s.value("names", json::array()) : json::array();
        if (!names.is_array() || std::none_of(names.begin(), names.end(), [&](const json& n) { return n == name; }))
          out.push_back(t.label + " / " + name + ": not listed in slot " + std::to_string(*slot));
      }
    }
    // The first type is what an empty preset sets: it covers every word, and
    // the table starts from its defaults.
    if (!types.empty() && static_cast<int>(types.front().params.size()) != m.paramWords)
      out.push_back(types.front().label + ": first type leaves words unset");
    const auto defaults = EffectCatalogue::firstTypeWords(entry, m.index);
    for (size_t i = 0; i < slots.size(); ++i) {
      const json& s = slots[i];
      const std::string at = m.name + " slot " + std::to_string(i) + ": ";
      if (!s.is_object() || s.size() != 3 || !s.contains("index") || !s.contains("names") || !s.contains("current")) {
        out.push_back(at + "keys are not index, names, current");
        continue;
      }
      if (!s["index"].is_number_integer() || s["index"].get<long>() != static_cast<long>(i))
        out.push_back(at + "index is not its position");
      const auto word = intOf(s["current"]);
      if (!word || *word < 0 || *word > EffectCatalogue::kWordMax)
        out.push_back(at + "current is not a 16-bit word");
      else if (!types.empty() && i < defaults.size() && *word != defaults[i])
        out.push_back(at + "current " + std::to_string(*word) + " is not the first type's default " +
                      std::to_string(defaults[i]));
      std::set<std::string> listed;
      if (!s["names"].is_array()) out.push_back(at + "names is not a list");
      for (const auto& n : s["names"]) {
        if (!n.is_string() || !listed.insert(n.get<std::string>()).second)
          out.push_back(at + "bad or repeated name " + (n.is_string() ? n.get<std::string>() : "(not text)"));
      }
      if (listed != used[i]) out.push_back(at + "names differ from the parameters stored there");
    }
  }
  return out;
}

Problems EffectCatalogueChecker::checkExpNames(const json& catalogue, const json&) {
  Problems out;
  size_t total = 0;
  for (const auto& m : modules()) {
    const auto& expNames = kExpNames[static_cast<size_t>(m.index)];
    total += expNames.size();
    std::set<std::string> names;
    for (const auto& t : typesOf(entryOf(catalogue, m.name), m.name))
      for (const json* p : t.params) names.insert(nameOf(*p));
    for (const auto& n : expNames)
      if (!names.count(n)) out.push_back(m.name + ": no parameter named " + n + " for the pedal");
  }
  if (total != kExpNameCount) out.push_back("the pedal list has " + std::to_string(total) + " names");
  return out;
}

Problems EffectCatalogueChecker::check(const json& catalogue, const json& slotTable) {
  Problems out;
  for (auto group : {checkModules, checkTypeNames, checkParameters, checkControls, checkSlotTable, checkExpNames}) {
    auto found = group(catalogue, slotTable);
    out.insert(out.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  }
  return out;
}

Problems EffectCatalogueChecker::check(const EffectCatalogue& catalogue) {
  return check(catalogue.presetInfoDic(), catalogue.slotTable());
}
