// The shipped effect catalogue and slot table keep every rule the device
// service, the preset files and the module editor rely on; copies broken on
// purpose are caught by the check group that owns the rule.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "device/catalogue/EffectCatalogue.h"
#include "device/catalogue/EffectCatalogueChecker.h"

namespace {

using nlohmann::json;
using Problems = EffectCatalogueChecker::Problems;
using Check = Problems (*)(const json&, const json&);

struct Files {
  json preset;
  json slots;
};

std::string resource(const char* name) { return std::string(QV450_RESOURCES_DIR) + "/" + name; }

const EffectCatalogue& shippedCatalogue() {
  static const EffectCataloguePtr catalogue = [] {
    std::string error;
    auto c = EffectCatalogue::load(resource(EffectCatalogue::kCatalogueFile),
                                   resource(EffectCatalogue::kSlotTableFile), &error);
    if (!c) throw std::runtime_error("shipped catalogue did not load: " + error);
    return c;
  }();
  return *catalogue;
}

Files shipped() { return {shippedCatalogue().presetInfoDic(), shippedCatalogue().slotTable()}; }

std::string joined(const Problems& p) {
  std::string s;
  for (const auto& line : p) s += line + "\n";
  return s;
}

TEST(EffectCatalogueChecker, ShippedFilesPassEveryCheck) {
  EXPECT_EQ(joined(EffectCatalogueChecker::check(shippedCatalogue())), "");
}

TEST(EffectCatalogueChecker, RelabelledUserSlotsStillPass) {
  // The unit's slot names replace the placeholders at start-up; the catalogue
  // the editor then works with must keep the numbering.
  Files f = shipped();
  auto c = EffectCatalogue::fromJson(f.preset, f.slots);
  ASSERT_TRUE(c);
  ASSERT_TRUE(c->setUserSlotLabel(EffectCatalogue::UserSlot::IR, 0, "Open Back 2x12"));
  ASSERT_TRUE(c->setUserSlotLabel(EffectCatalogue::UserSlot::NR, 9, std::string("Plexi\0\0\0\0\0\0\0\0\0\0\0", 16)));
  ASSERT_TRUE(c->clearUserSlotLabel(EffectCatalogue::UserSlot::IR, 9));
  EXPECT_EQ(joined(EffectCatalogueChecker::check(*c)), "");
}

TEST(EffectCatalogueChecker, ShippedFilesExerciseLinksOffsetsAndChoices) {
  // The editor's linked-knob, negative-offset and choice paths need real data.
  int links = 0, negative = 0, choices = 0;
  for (int m = 0; m < 9; ++m) {
    const auto names = shippedCatalogue().typeNames(m);
    for (int t = 0; t < static_cast<int>(names.size()); ++t)
      for (const json& p : shippedCatalogue().parameters(m, t)) {
        links += p.contains("control");
        choices += p.contains("item");
        negative += EffectCatalogue::integerValue(p.value("minValue", json())) < 0;
      }
  }
  EXPECT_GT(links, 0);
  EXPECT_GT(negative, 0);
  EXPECT_GT(choices, 0);
}

// ---- broken copies: each fault must be reported by the group owning the rule

json* findParam(json& preset, const std::function<bool(const json&)>& pred) {
  for (auto& [module, entry] : preset.items()) {
    if (entry.is_array()) {
      for (size_t k = 1; k < entry.size(); ++k)
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
const auto controller = [](const json& q) { return q.contains("control"); };

const Breakage kBreakages[] = {
    {"ModuleMissing", EffectCatalogueChecker::checkModules, "lacks MOD", [](Files& f) { f.preset.erase("MOD"); }},
    {"SharedModuleTyped", EffectCatalogueChecker::checkModules, "CAB has the wrong shape",
     [](Files& f) { f.preset["CAB"] = json::object({{"01 X", json::array()}}); }},
    {"SlotTableModuleMissing", EffectCatalogueChecker::checkModules, "slot table lacks EQ",
     [](Files& f) { f.slots.erase("EQ"); }},
    {"AmpUserSlotMissing", EffectCatalogueChecker::checkTypeNames, "AMP lists 64 types",
     [](Files& f) { f.preset["AMP"][0].erase(64); }},
    {"CabUserSlotMislabelled", EffectCatalogueChecker::checkTypeNames, "CAB type 31",
     [](Files& f) { f.preset["CAB"][0][30] = "31 EMPTY"; }},
    {"TypeNumberGap", EffectCatalogueChecker::checkTypeNames, "is not numbered",
     [](Files& f) {
       auto& e = f.preset["REVERB"];
       auto last = std::prev(e.end());
       json params = *last;
       const std::string key = last.key();
       e.erase(key);
       e["99" + key.substr(2)] = params;
     }},
    {"ValueAboveLimit", EffectCatalogueChecker::checkParameters, "value outside its limits",
     [](Files& f) {
       json& p = *findParam(f.preset, [](const json& q) { return !q.contains("item"); });
       p["current"] = std::to_string(EffectCatalogue::integerValue(p["maxValue"]) + 1);
     }},
    {"NumberNotString", EffectCatalogueChecker::checkParameters, "minValue has the wrong value type",
     [](Files& f) { (*findParam(f.preset, any))["minValue"] = 0; }},
    {"ChoiceLimitsWrong", EffectCatalogueChecker::checkParameters, "do not match the choice list",
     [](Files& f) { (*findParam(f.preset, [](const json& q) { return q.contains("item"); }))["maxValue"] = "99"; }},
    {"SlotBeyondWords", EffectCatalogueChecker::checkParameters, "slot beyond",
     [](Files& f) { f.preset["REVERB"].begin().value()[0]["parmaIndex"] = "4"; }},
    {"UnknownKey", EffectCatalogueChecker::checkParameters, "unknown key default",
     [](Files& f) { (*findParam(f.preset, any))["default"] = "1"; }},
    {"WordTooWide", EffectCatalogueChecker::checkParameters, "word does not fit 16 bits",
     [](Files& f) {
       json& p = *findParam(f.preset, [](const json& q) { return !q.contains("item"); });
       p["minValue"] = "-40000";
       p["maxValue"] = "40000";
     }},
    {"SharedParametersSwapped", EffectCatalogueChecker::checkParameters, "AMP / shared / BASS: shared parameter out of slot order",
     [](Files& f) { std::swap(f.preset["AMP"][1], f.preset["AMP"][2]); }},
    {"GroupedParameter", EffectCatalogueChecker::checkParameters, "entry is not a parameter",
     [](Files& f) {
       json& list = f.preset["DELAY"].begin().value();
       list[0] = json::array({list[0], list[1]});
     }},
    {"DanglingLink", EffectCatalogueChecker::checkControls, "controls 'NOWHERE'",
     [](Files& f) { (*findParam(f.preset, controller))["control"] = "NOWHERE"; }},
    {"RatioMissing", EffectCatalogueChecker::checkControls, "needs choices with ratios",
     [](Files& f) { (*findParam(f.preset, controller)).erase("itemValue"); }},
    {"RatioZero", EffectCatalogueChecker::checkControls, "bad ratio 0/4",
     [](Files& f) { (*findParam(f.preset, controller))["itemValue"][0] = "0/4"; }},
    {"SlotMissing", EffectCatalogueChecker::checkSlotTable, "EQ: slot count", [](Files& f) { f.slots["EQ"].erase(8); }},
    {"NameNotInSlot", EffectCatalogueChecker::checkSlotTable, "TONE: not listed in slot 1",
     [](Files& f) { f.slots["DS/OD"][1]["names"] = json::array({"BASS"}); }},
    {"SlotIndexShifted", EffectCatalogueChecker::checkSlotTable, "index is not its position",
     [](Files& f) { f.slots["AMP"][2]["index"] = 3; }},
    {"ExtraSlotKey", EffectCatalogueChecker::checkSlotTable, "keys are not index",
     [](Files& f) { f.slots["CAB"][0]["label"] = "x"; }},
    {"SlotDefaultDiffers", EffectCatalogueChecker::checkSlotTable, "REVERB slot 0: current 99 is not the first type's default",
     [](Files& f) { f.slots["REVERB"][0]["current"] = "99"; }},
    {"FirstTypeIncomplete", EffectCatalogueChecker::checkSlotTable, "first type leaves words unset",
     [](Files& f) { f.preset["DS/OD"].begin().value().erase(2); }},
    {"PedalNameMissing", EffectCatalogueChecker::checkExpNames, "no parameter named DISTANCE",
     [](Files& f) {
       (*findParam(f.preset, [](const json& q) { return q.value("typeName", "") == "DISTANCE"; }))["typeName"] = "DIST";
     }},
};

class BrokenCopy : public testing::TestWithParam<Breakage> {};

TEST_P(BrokenCopy, IsReported) {
  Files copy = shipped();
  GetParam().apply(copy);
  const std::string found = joined(GetParam().check(copy.preset, copy.slots));
  EXPECT_NE(found.find(GetParam().expect), std::string::npos) << found;
  // The full check reports it too, whatever else the fault disturbs.
  EXPECT_NE(joined(EffectCatalogueChecker::check(copy.preset, copy.slots)).find(GetParam().expect), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EffectCatalogueChecker, BrokenCopy, testing::ValuesIn(kBreakages),
                         [](const testing::TestParamInfo<Breakage>& i) { return std::string(i.param.name); });

TEST(EffectCatalogueChecker, SurvivesFilesOfTheWrongShape) {
  // Whatever a file holds, the checker reports and returns.
  const json odd[] = {json(), json(42), json::array(), json::object({{"AMP", "x"}, {"EQ", json::array({1, "2"})}}),
                      json::object({{"REVERB", json::object({{"01 R", json::array({"x", 3, json::object()})}})}})};
  for (const json& a : odd)
    for (const json& b : odd) EXPECT_FALSE(EffectCatalogueChecker::check(a, b).empty());
}

}  // namespace
