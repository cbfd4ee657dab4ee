// Checks the authored effect catalogue (preset.json) and parameter-slot table
// (effects.json) against the rules the device service, the preset files and
// the module editor rely on. Each rule group is a checker that lists what it
// finds wrong; the shipped files must pass every checker, and copies broken on
// purpose must be caught by the checker that owns the rule.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using Problems = std::vector<std::string>;

struct Module {
    const char* name;
    int blockBytes;                     // the module's data block in a preset record
    std::vector<std::string> expNames;  // EXP-assignable parameters, in the unit's numbering
};

const std::array<Module, 9> kModules{{
    {"FX/COMP", 12, {"POSITION", "Q", "RATE", "ATTACK", "RANGE", "SENS", "THRES", "PEAK", "RATIO", "LEVEL"}},
    {"DS/OD", 10, {"VOLUME", "TONE", "GAIN"}},
    {"AMP", 16, {"GAIN", "BASS", "MID", "TREBLE", "PRES", "MST"}},
    {"CAB", 14, {"CENTER", "DISTANCE"}},
    {"NS GATE", 10, {"THRES", "SENS", "ATTACK", "RELEASE"}},
    {"EQ", 22, {"80HZ", "100HZ", "200HZ", "240HZ", "250HZ", "400HZ", "630HZ", "750HZ", "800HZ", "1.6KHZ",
                "2.2KHZ", "3.2KHZ", "4KHZ", "6.6KHZ"}},
    {"MOD", 18, {"RATE", "PITCH", "RISE", "SAMPLE", "MIX", "DEPTH", "LEVEL", "F.BACK", "TONE", "Q", "RANGE", "BIT"}},
    {"DELAY", 18, {"LEVEL", "F.BACK", "TIME", "TIME A", "THRES", "TIME B"}},
    {"REVERB", 12, {"P.DELAY", "LEVEL", "DECAY", "TONE"}},
}};

// Words after on/off and effect type.
int paramWords(const Module& m) { return m.blockBytes / 2 - 2; }

// Shared-list modules: built-in types, then the user slots the unit names.
struct UserSlots {
    const char* module;
    int builtIn;
    int total;
};
const std::array<UserSlots, 2> kUserSlots{{{"AMP", 55, 65}, {"CAB", 26, 36}}};

const std::set<std::string> kItemKeys{"parmaIndex", "sub_typeName", "typeName", "minValue", "maxValue",
                                      "fromValue", "current", "unit", "per_unit", "control", "item",
                                      "itemValue", "sliderSetValue", "beControlValue"};

struct Files {
    json preset;
    json slots;
};

json load(const std::string& name) {
    std::ifstream in(std::string(QV450_RESOURCES_DIR) + "/" + name);
    if (!in) return json();
    return json::parse(in, nullptr, /*allow_exceptions=*/false);
}

const Files& shipped() {
    static const Files files{load("preset.json"), load("effects.json")};
    return files;
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

std::optional<double> numberOf(const std::string& s) {
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size()) return std::nullopt;
    return v;
}

// "a/b" or a plain number; positive.
std::optional<double> ratioOf(const json& v) {
    if (!v.is_string()) return std::nullopt;
    const auto& s = v.get_ref<const std::string&>();
    auto slash = s.find('/');
    auto a = numberOf(s.substr(0, slash));
    auto b = slash == std::string::npos ? std::optional<double>(1.0) : numberOf(s.substr(slash + 1));
    if (!a || !b || *a <= 0 || *b <= 0) return std::nullopt;
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
        for (const auto& [key, list] : entry.items()) {
            Type t{module + " / " + key, {}};
            if (list.is_array())
                for (const auto& p : list) t.params.push_back(&p);
            out.push_back(std::move(t));
        }
    } else if (entry.is_array() && !entry.empty()) {
        Type t{module + " / shared", {}};
        for (std::size_t k = 1; k < entry.size(); ++k) t.params.push_back(&entry[k]);
        out.push_back(std::move(t));
    }
    return out;
}

std::string nameOf(const json& p) {
    return p.is_object() && p.contains("typeName") && p["typeName"].is_string() ? p["typeName"].get<std::string>()
                                                                                 : std::string("?");
}

Problems checkModules(const Files& f) {
    Problems out;
    for (const auto* file : {&f.preset, &f.slots}) {
        if (!file->is_object() || file->size() != kModules.size()) out.push_back("top level is not the nine modules");
    }
    for (const auto& m : kModules) {
        if (!f.preset.contains(m.name)) {
            out.push_back(std::string("catalogue lacks ") + m.name);
            continue;
        }
        if (!f.slots.contains(m.name)) out.push_back(std::string("slot table lacks ") + m.name);
        const bool shared = std::string(m.name) == "AMP" || std::string(m.name) == "CAB";
        const json& e = f.preset[m.name];
        if (shared ? !(e.is_array() && e.size() >= 2 && e[0].is_array()) : !(e.is_object() && !e.empty()))
            out.push_back(std::string(m.name) + " has the wrong shape");
    }
    return out;
}

// Type numbers are positions in the name-sorted list and also the two leading
// digits minus one; both readings must agree.
Problems checkTypeNames(const Files& f) {
    Problems out;
    for (const auto& m : kModules) {
        const json& e = entryOf(f.preset, m.name);
        if (!e.is_object()) continue;
        int i = 0;  // objects iterate in byte-wise key order, as the editor sorts
        for (const auto& [key, value] : e.items()) {
            ++i;
            if (i > 99 || key.rfind(twoDigits(i) + " ", 0) != 0 || key.size() < 4)
                out.push_back(std::string(m.name) + ": type " + key + " is not numbered " + twoDigits(i));
        }
    }
    for (const auto& u : kUserSlots) {
        const json& e = entryOf(f.preset, u.module);
        if (!e.is_array() || e.empty() || !e[0].is_array()) continue;
        const json& names = e[0];
        if (static_cast<int>(names.size()) != u.total)
            out.push_back(std::string(u.module) + " lists " + std::to_string(names.size()) + " types");
        std::vector<std::string> list;
        for (std::size_t i = 0; i < names.size(); ++i) {
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

Problems checkParameters(const Files& f) {
    Problems out;
    for (const auto& m : kModules) {
        const bool shared = entryOf(f.preset, m.name).is_array();
        for (const auto& t : typesOf(entryOf(f.preset, m.name), m.name)) {
            std::set<long> words;
            std::set<std::string> names;
            for (std::size_t k = 0; k < t.params.size(); ++k) {
                const json& p = *t.params[k];
                const std::string at = t.label + " / " + nameOf(p) + ": ";
                if (!p.is_object()) {
                    out.push_back(at + "entry is not a parameter");
                    continue;
                }
                for (const auto& [key, v] : p.items()) {
                    const bool list = key == "item" || key == "itemValue";
                    if (!kItemKeys.count(key)) out.push_back(at + "unknown key " + key);
                    if (list ? !(v.is_array() && !v.empty() &&
                                 std::all_of(v.begin(), v.end(), [](const json& s) { return s.is_string(); }))
                             : !v.is_string())
                        out.push_back(at + key + " has the wrong value type");
                }
                if (!names.insert(nameOf(p)).second) out.push_back(at + "name used twice in one type");
                const auto lo = intOf(p.value("minValue", json())), hi = intOf(p.value("maxValue", json()));
                const auto cur = intOf(p.value("current", json())), slot = intOf(p.value("parmaIndex", json()));
                if (!lo || !hi || !cur || !slot) {
                    out.push_back(at + "limits, value or slot missing or not decimal");
                    continue;
                }
                if (*lo >= *hi || *cur < *lo || *cur > *hi) out.push_back(at + "value outside its limits");
                if ((*lo < 0 ? *hi - *lo : *hi) > 0xFFFF) out.push_back(at + "word does not fit 16 bits");
                if (*slot < 0 || *slot >= paramWords(m)) out.push_back(at + "slot beyond the module's words");
                if (!words.insert(*slot).second) out.push_back(at + "two parameters share a word");
                // A shared list is read by position: element k is word k + 1.
                if (shared && *slot != static_cast<long>(k)) out.push_back(at + "shared parameter out of slot order");
                if (p.contains("per_unit")) {
                    auto factor = numberOf(p["per_unit"].is_string() ? p["per_unit"].get<std::string>() : "");
                    if (!factor || *factor <= 0) out.push_back(at + "bad per_unit");
                }
                if (p.contains("item")) {
                    const long count = static_cast<long>(p["item"].size());
                    if (*lo != 0 || *hi != count - 1) out.push_back(at + "limits do not match the choice list");
                    if (p.contains("itemValue") && p["itemValue"].size() != p["item"].size())
                        out.push_back(at + "one ratio per choice expected");
                }
            }
            if (static_cast<int>(t.params.size()) > paramWords(m)) out.push_back(t.label + ": more parameters than words");
        }
    }
    return out;
}

// A controlling choice scales the displayed value of a parameter of the same
// type; the unit's word is the displayed value divided by the ratio.
Problems checkControls(const Files& f) {
    Problems out;
    for (const auto& m : kModules) {
        for (const auto& t : typesOf(entryOf(f.preset, m.name), m.name)) {
            for (const json* pp : t.params) {
                const json& p = *pp;
                if (!p.is_object() || !p.contains("control")) continue;
                const std::string at = t.label + " / " + nameOf(p) + ": ";
                const std::string target = p["control"].is_string() ? p["control"].get<std::string>() : "";
                auto it = std::find_if(t.params.begin(), t.params.end(),
                                       [&](const json* q) { return nameOf(*q) == target; });
                if (it == t.params.end() || target == nameOf(p)) {
                    out.push_back(at + "controls '" + target + "', not another parameter of its type");
                    continue;
                }
                if (!p.contains("item") || !p.contains("itemValue")) {
                    out.push_back(at + "a controller needs choices with ratios");
                    continue;
                }
                const auto hi = intOf((*it)->value("maxValue", json()));
                if ((*it)->contains("item")) out.push_back(at + "controls a choice parameter");
                for (const auto& r : p["itemValue"]) {
                    auto ratio = ratioOf(r);
                    if (!ratio) out.push_back(at + "bad ratio " + r.dump());
                    else if (hi && *hi / *ratio > 0xFFFF) out.push_back(at + "scaled word does not fit 16 bits");
                }
                const auto cur = intOf(p.value("current", json()));
                if (!cur || *cur < 0 || *cur >= static_cast<long>(p["itemValue"].size()))
                    out.push_back(at + "current choice has no ratio");
            }
        }
    }
    return out;
}

// Slot i holds word i + 2; a parameter is found in the slot whose index is
// its parmaIndex, by name.
Problems checkSlotTable(const Files& f) {
    Problems out;
    for (const auto& m : kModules) {
        const json& slots = entryOf(f.slots, m.name);
        if (!slots.is_array() || static_cast<int>(slots.size()) != paramWords(m)) {
            out.push_back(std::string(m.name) + ": slot count is not " + std::to_string(paramWords(m)));
            continue;
        }
        std::vector<std::set<std::string>> used(slots.size());
        for (const auto& t : typesOf(entryOf(f.preset, m.name), m.name)) {
            for (const json* p : t.params) {
                const auto slot = p->is_object() ? intOf(p->value("parmaIndex", json())) : std::nullopt;
                if (!slot || *slot < 0 || *slot >= static_cast<long>(slots.size())) continue;
                const std::string name = nameOf(*p);
                used[static_cast<std::size_t>(*slot)].insert(name);
                const json& s = slots[static_cast<std::size_t>(*slot)];
                const json names = s.is_object() ? s.value("names", json::array()) : json::array();
                if (std::none_of(names.begin(), names.end(), [&](const json& n) { return n == json(name); }))
                    out.push_back(t.label + " / " + nameOf(*p) + ": not listed in slot " + std::to_string(*slot));
            }
        }
        for (std::size_t i = 0; i < slots.size(); ++i) {
            const json& s = slots[i];
            const std::string at = std::string(m.name) + " slot " + std::to_string(i) + ": ";
            if (!s.is_object() || s.size() != 3 || !s.contains("index") || !s.contains("names") ||
                !s.contains("current")) {
                out.push_back(at + "keys are not index, names, current");
                continue;
            }
            if (!s["index"].is_number_integer() || s["index"].get<long>() != static_cast<long>(i))
                out.push_back(at + "index is not its position");
            const auto word = intOf(s["current"]);
            if (!word || *word < 0 || *word > 0xFFFF) out.push_back(at + "current is not a 16-bit word");
            std::set<std::string> listed;
            for (const auto& n : s["names"]) {
                if (!n.is_string() || !listed.insert(n.get<std::string>()).second)
                    out.push_back(at + "bad or repeated name " + n.dump());
            }
            if (listed != used[i]) out.push_back(at + "names differ from the parameters stored there");
        }
        // The first type is what an empty preset sets: it must cover every word.
        const auto types = typesOf(entryOf(f.preset, m.name), m.name);
        if (!types.empty() && static_cast<int>(types.front().params.size()) != paramWords(m))
            out.push_back(types.front().label + ": first type leaves words unset");
    }
    return out;
}

Problems checkExpNames(const Files& f) {
    Problems out;
    std::size_t total = 0;
    for (const auto& m : kModules) {
        total += m.expNames.size();
        std::set<std::string> names;
        for (const auto& t : typesOf(entryOf(f.preset, m.name), m.name))
            for (const json* p : t.params) names.insert(nameOf(*p));
        for (const auto& n : m.expNames)
            if (!names.count(n)) out.push_back(std::string(m.name) + ": no parameter named " + n + " for the pedal");
    }
    if (total != 61) out.push_back("the pedal list has " + std::to_string(total) + " names");
    return out;
}

using Check = Problems (*)(const Files&);

std::string joined(const Problems& p) {
    std::string s;
    for (const auto& line : p) s += line + "\n";
    return s;
}

TEST(Catalogue, ShippedFilesLoad) {
    ASSERT_TRUE(shipped().preset.is_object()) << "preset.json missing or not JSON";
    ASSERT_TRUE(shipped().slots.is_object()) << "effects.json missing or not JSON";
}

TEST(Catalogue, ShippedFilesPassEveryCheck) {
    for (Check check : {checkModules, checkTypeNames, checkParameters, checkControls, checkSlotTable, checkExpNames})
        EXPECT_EQ(joined(check(shipped())), "");
}

TEST(Catalogue, HasControlLinksAndNegativeRanges) {
    // The editor's linked-knob and offset paths need real data to run on.
    int links = 0, negative = 0, choices = 0;
    for (const auto& m : kModules)
        for (const auto& t : typesOf(entryOf(shipped().preset, m.name), m.name))
            for (const json* p : t.params) {
                links += p->contains("control");
                choices += p->contains("item");
                negative += intOf(p->value("minValue", json())).value_or(0) < 0;
            }
    EXPECT_GT(links, 0);
    EXPECT_GT(negative, 0);
    EXPECT_GT(choices, 0);
}

// ---- broken copies: each fault must be reported by the checker owning the rule

json* findParam(json& preset, const std::function<bool(const json&)>& pred) {
    for (auto& [module, entry] : preset.items()) {
        if (entry.is_array()) {
            for (std::size_t k = 1; k < entry.size(); ++k)
                if (pred(entry[k])) return &entry[k];
        } else {
            for (auto& [key, list] : entry.items())
                for (auto& p : list)
                    if (pred(p)) return &p;
        }
    }
    throw std::logic_error("no parameter to break");
}

struct Breakage {
    const char* name;
    Check check;
    const char* expect;  // part of the complaint the fault must raise
    std::function<void(Files&)> apply;
};

const auto any = [](const json&) { return true; };

const Breakage kBreakages[] = {
    {"ModuleMissing", checkModules, "lacks MOD", [](Files& f) { f.preset.erase("MOD"); }},
    {"SharedModuleTyped", checkModules, "CAB has the wrong shape", [](Files& f) { f.preset["CAB"] = json::object(); }},
    {"AmpUserSlotMissing", checkTypeNames, "AMP lists 64 types", [](Files& f) { f.preset["AMP"][0].erase(64); }},
    {"CabUserSlotMislabelled", checkTypeNames, "CAB type 31", [](Files& f) { f.preset["CAB"][0][30] = "31 EMPTY"; }},
    {"TypeNumberGap", checkTypeNames, "is not numbered",
     [](Files& f) {
         auto& e = f.preset["REVERB"];
         auto last = std::prev(e.end());
         json params = *last;
         const std::string key = last.key();
         e.erase(key);
         e["99" + key.substr(2)] = params;
     }},
    {"ValueAboveLimit", checkParameters, "value outside its limits",
     [](Files& f) {
         json& p = *findParam(f.preset, [](const json& q) { return !q.contains("item"); });
         p["current"] = std::to_string(*intOf(p["maxValue"]) + 1);
     }},
    {"NumberNotString", checkParameters, "minValue has the wrong value type", [](Files& f) { (*findParam(f.preset, any))["minValue"] = 0; }},
    {"ChoiceLimitsWrong", checkParameters, "do not match the choice list",
     [](Files& f) { (*findParam(f.preset, [](const json& q) { return q.contains("item"); }))["maxValue"] = "99"; }},
    {"SlotBeyondWords", checkParameters, "slot beyond", [](Files& f) { f.preset["REVERB"].begin().value()[0]["parmaIndex"] = "4"; }},
    {"UnknownKey", checkParameters, "unknown key default", [](Files& f) { (*findParam(f.preset, any))["default"] = "1"; }},
    {"DanglingLink", checkControls, "controls 'NOWHERE'",
     [](Files& f) {
         (*findParam(f.preset, [](const json& q) { return q.contains("control"); }))["control"] = "NOWHERE";
     }},
    {"RatioMissing", checkControls, "needs choices with ratios",
     [](Files& f) { (*findParam(f.preset, [](const json& q) { return q.contains("control"); })).erase("itemValue"); }},
    {"SlotMissing", checkSlotTable, "EQ: slot count", [](Files& f) { f.slots["EQ"].erase(8); }},
    {"NameNotInSlot", checkSlotTable, "TONE: not listed in slot 1", [](Files& f) { f.slots["DS/OD"][1]["names"] = json::array({"BASS"}); }},
    {"SlotIndexShifted", checkSlotTable, "index is not its position", [](Files& f) { f.slots["AMP"][2]["index"] = 3; }},
    {"ExtraSlotKey", checkSlotTable, "keys are not index", [](Files& f) { f.slots["CAB"][0]["label"] = "x"; }},
    {"PedalNameMissing", checkExpNames, "no parameter named DISTANCE",
     [](Files& f) {
         (*findParam(f.preset, [](const json& q) { return q.value("typeName", "") == "DISTANCE"; }))["typeName"] =
             "DIST";
     }},
};

class BrokenCopy : public testing::TestWithParam<Breakage> {};

TEST_P(BrokenCopy, IsReported) {
    Files copy = shipped();
    ASSERT_TRUE(copy.preset.is_object() && copy.slots.is_object());
    GetParam().apply(copy);
    const std::string found = joined(GetParam().check(copy));
    EXPECT_NE(found.find(GetParam().expect), std::string::npos) << found;
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BrokenCopy, testing::ValuesIn(kBreakages),
                         [](const testing::TestParamInfo<Breakage>& i) { return std::string(i.param.name); });

}  // namespace
