// Loading the effect catalogue and slot table, reading types, parameters,
// defaults and slots from them, and relabelling the unit's user slots.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "device/catalogue/EffectCatalogue.h"
#include "device/records/ModuleTable.h"
#include "platform/foundation/Log.h"
#include "support/LogCapture.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Slot = EffectCatalogue::UserSlot;

constexpr int kAmp = 2, kCab = 3, kEq = 5, kDelay = 7, kReverb = 8;

std::string builtResource(const char* name) { return std::string(QV450_RESOURCES_DIR) + "/" + name; }

// A catalogue of the right shape and nothing more: every typed module has one
// type with one parameter per word, the shared ones their full name lists.
struct Minimal {
  json preset = json::object();
  json slots = json::object();
  Minimal() {
    for (int m = 0; m < 9; ++m) {
      const ModuleInfo& info = ModuleTable::modules[static_cast<size_t>(m)];
      const int words = info.words() - 2;
      json params = json::array(), table = json::array();
      for (int i = 0; i < words; ++i) {
        const std::string name = "P" + std::to_string(i);
        params.push_back({{"typeName", name}, {"parmaIndex", std::to_string(i)}, {"minValue", "0"},
                          {"maxValue", "100"}, {"current", "0"}});
        table.push_back({{"index", i}, {"names", {name}}, {"current", "0"}});
      }
      const std::string name = info.name;
      if (name == "AMP" || name == "CAB") {
        const int builtIn = name == "AMP" ? 55 : 26;
        json names = json::array();
        for (int n = 1; n <= builtIn + 10; ++n)
          names.push_back(n <= builtIn ? (n < 10 ? "0" : "") + std::to_string(n) + " T"
                                       : std::to_string(n) + (name == "AMP" ? ":Empty" : ":EMPTY"));
        json entry = json::array({names});
        for (auto& p : params) entry.push_back(p);
        preset[name] = entry;
      } else {
        preset[name] = {{"01 T", params}};
      }
      slots[name] = table;
    }
  }
  // Quietly: the minimal catalogue breaks the finer rules on purpose.
  EffectCataloguePtr load() const {
    auto previous = fnd::setLogSink([](const std::string&) {});
    std::string error;
    auto c = EffectCatalogue::fromJson(preset, slots, &error);
    fnd::setLogSink(previous);
    EXPECT_TRUE(c) << error;
    return c;
  }
};

class EffectCatalogueFiles : public testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qv450-catalogue-" + std::to_string(::getpid()) + "-" +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return dir / name;
  }
  fs::path dir;
};

// ---- loading

TEST(EffectCatalogueLoad, ReadsTheShippedFilesFromTheResourcesFolder) {
  // The test runs from the build tree, whose resources folder is found
  // beside the executable.
  std::string error;
  auto c = EffectCatalogue::load(&error);
  ASSERT_TRUE(c) << error;
  auto byPath = EffectCatalogue::load(builtResource("preset.json"), builtResource("effects.json"), &error);
  ASSERT_TRUE(byPath) << error;
  EXPECT_EQ(c->presetInfoDic(), byPath->presetInfoDic());
  EXPECT_EQ(c->slotTable(), byPath->slotTable());
  EXPECT_EQ(c->typeNames(kAmp).size(), 65u);
  EXPECT_EQ(c->typeNames(kCab).size(), 36u);
  EXPECT_EQ(c->typeNames(kAmp)[55], "56:Empty");
  EXPECT_EQ(c->typeNames(kCab)[26], "27:EMPTY");
  for (int m = 0; m < 9; ++m) {
    EXPECT_EQ(c->parameterSlots(m).size(), static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words() - 2));
    EXPECT_FALSE(c->typeNames(m).empty());
  }
}

TEST_F(EffectCatalogueFiles, MissingFilesAreRefusedByName) {
  const fs::path preset = write("preset.json", "{}");
  LogCapture log;
  std::string error;
  EXPECT_FALSE(EffectCatalogue::load(preset, dir / "effects.json", &error));
  EXPECT_NE(error.find("effects.json is missing"), std::string::npos) << error;
  EXPECT_TRUE(log.has("effects.json is missing"));

  error.clear();
  EXPECT_FALSE(EffectCatalogue::load(dir / "none.json", builtResource("effects.json"), &error));
  EXPECT_NE(error.find("none.json is missing"), std::string::npos) << error;

  error.clear();
  EXPECT_FALSE(EffectCatalogue::load(dir, builtResource("effects.json"), &error));
  EXPECT_NE(error.find("is not a file"), std::string::npos) << error;

  // A read that fails (EIO) is a refusal with its reason.
  fs::create_symlink("/proc/self/mem", dir / "broken.json");
  error.clear();
  EXPECT_FALSE(EffectCatalogue::load(builtResource("preset.json"), dir / "broken.json", &error));
  EXPECT_NE(error.find("broken.json"), std::string::npos) << error;
}

TEST_F(EffectCatalogueFiles, MalformedFilesAreRefusedWithAReason) {
  std::ifstream in(builtResource("preset.json"), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(good.size(), 1000u);
  struct Case {
    const char* name;
    std::string text;
    const char* expect;
  };
  const Case cases[] = {
      {"empty", "", "is not JSON"},
      {"truncated", good.substr(0, good.size() / 2), "is not JSON"},
      {"bad-utf8", "{\"AMP\": \"\xff\xfe\"}", "is not JSON"},
      {"array", "[1, 2, 3]", "top level is not the nine modules"},
      {"deep", std::string(5000, '[') + std::string(5000, ']'), "nested too deeply"},
  };
  LogCapture log;
  for (const Case& c : cases) {
    std::string error;
    const fs::path path = write(std::string(c.name) + ".json", c.text);
    EXPECT_FALSE(EffectCatalogue::load(path, builtResource("effects.json"), &error)) << c.name;
    EXPECT_NE(error.find(c.expect), std::string::npos) << c.name << ": " << error;
    // The slot table is held to the same standard.
    error.clear();
    EXPECT_FALSE(EffectCatalogue::load(builtResource("preset.json"), path, &error)) << c.name;
    EXPECT_NE(error.find(c.expect), std::string::npos) << c.name << ": " << error;
  }

  json lacking = json::parse(good);
  lacking.erase("REVERB");
  std::string error;
  EXPECT_FALSE(EffectCatalogue::load(write("lacking.json", lacking.dump()), builtResource("effects.json"), &error));
  EXPECT_NE(error.find("catalogue lacks REVERB"), std::string::npos) << error;
}

TEST(EffectCatalogueLoad, FinerFaultsAreLoggedAndTheFilesUsed) {
  Minimal m;
  m.preset["REVERB"]["01 T"][0]["current"] = "500";  // above its maximum
  LogCapture log;
  auto c = EffectCatalogue::fromJson(m.preset, m.slots);
  ASSERT_TRUE(c);
  EXPECT_TRUE(log.has("REVERB / 01 T / P0: value outside its limits"));
  EXPECT_TRUE(log.has("more problems"));  // the log is kept short
  EXPECT_EQ(c->defaultWords(kReverb)[0], 500);
}

// ---- reading

TEST(EffectCatalogueRead, TypesAreNumberedByTheirPositionInByteOrder) {
  Minimal m;
  const json a = json::array({{{"typeName", "A"}}}), b = json::array({{{"typeName", "B"}}}),
             z = json::array({{{"typeName", "Z"}}});
  m.preset["DELAY"] = {{"10 TAPE", z}, {"02 ANALOG", b}, {"01 DIGITAL", a}};
  auto c = m.load();
  ASSERT_TRUE(c);
  EXPECT_EQ(c->typeNames(kDelay), (std::vector<std::string>{"01 DIGITAL", "02 ANALOG", "10 TAPE"}));
  ASSERT_EQ(c->parameters(kDelay, 2).size(), 1u);
  EXPECT_EQ(c->parameters(kDelay, 2)[0]["typeName"], "Z");
  EXPECT_TRUE(c->parameters(kDelay, 3).empty());
  EXPECT_TRUE(c->parameters(kDelay, -1).empty());
  EXPECT_TRUE(c->parameters(9, 0).empty());
  EXPECT_TRUE(c->typeNames(-1).empty());
  EXPECT_TRUE(c->parameterSlots(9).empty());
  EXPECT_TRUE(c->defaultWords(9).empty());
}

TEST(EffectCatalogueRead, SharedModulesGiveEveryTypeTheSameParameters) {
  auto c = Minimal().load();
  ASSERT_TRUE(c);
  const auto first = c->parameters(kAmp, 0);
  ASSERT_EQ(first.size(), 6u);
  EXPECT_EQ(c->parameters(kAmp, 64), first);  // a user NR slot
  EXPECT_TRUE(c->parameters(kAmp, 65).empty());
  EXPECT_EQ(c->parameters(kCab, 30), c->parameters(kCab, 0));
}

TEST(EffectCatalogueRead, DefaultWordsAreTheFirstTypesValuesAsTheUnitStoresThem) {
  Minimal m;
  m.preset["EQ"] = {
      {"02 OTHER", json::array({{{"typeName", "X"}, {"parmaIndex", "0"}, {"current", "77"}}})},
      {"01 GRAPHIC",
       json::array({
           // A parameter in parts: the second part sits six slots on.
           json::array({{{"typeName", "F"}, {"current", "11"}}, {{"typeName", "FRQE7"}, {"current", "12"}}}),
           // Stored as the offset from a negative minimum.
           {{"typeName", "80HZ"}, {"parmaIndex", "4"}, {"minValue", "-12"}, {"maxValue", "12"}, {"current", "-3"}},
           // A choice is its index, also with a negative minimum written by mistake.
           {{"typeName", "MODE"}, {"parmaIndex", "8"}, {"minValue", "-1"}, {"current", "2"}, {"item", {"A", "B", "C"}}},
           // Numbers are read like strings; no parmaIndex means the list position.
           {{"typeName", "LEVEL"}, {"minValue", 0}, {"maxValue", 100}, {"current", 64}},
           // Beyond a word, and a slot the module does not have.
           {{"typeName", "BIG"}, {"parmaIndex", "1"}, {"minValue", "0"}, {"current", "70000"}},
           {{"typeName", "GONE"}, {"parmaIndex", "9"}, {"current", "5"}},
       })},
  };
  auto c = m.load();
  ASSERT_TRUE(c);
  EXPECT_EQ(c->defaultWords(kEq), (std::vector<int>{11, 65535, 0, 64, 9, 0, 12, 0, 2}));
  EXPECT_EQ(EffectCatalogue::firstTypeWords(m.preset["EQ"], kEq), c->defaultWords(kEq));
}

TEST(EffectCatalogueRead, SlotsAcceptNumbersAndSkipWhatIsNotAName) {
  Minimal m;
  m.slots["REVERB"] = json::array({
      {{"index", "0"}, {"names", {"P.DELAY", 7, "LEVEL"}}, {"current", 30}},
      {{"index", 1}, {"names", "TONE"}, {"current", "-5"}},
      "not a slot",
      {{"index", 3}, {"current", "99999"}},
  });
  auto c = m.load();
  ASSERT_TRUE(c);
  const auto slots = c->parameterSlots(kReverb);
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[0].index, 0);
  EXPECT_EQ(slots[0].names, (std::vector<std::string>{"P.DELAY", "LEVEL"}));
  EXPECT_EQ(slots[0].current, 30);
  EXPECT_TRUE(slots[1].names.empty());
  EXPECT_EQ(slots[1].current, 0);
  EXPECT_EQ(slots[2].index, 3);
  EXPECT_EQ(slots[2].current, 65535);
}

TEST(EffectCatalogueRead, IntegerValueReadsStringsAndNumbersAlike) {
  const std::pair<json, long> cases[] = {
      {"42", 42},       {" -12", -12},     {"+7", 7},          {"12abc", 12},     {"abc", 0},
      {"", 0},          {"-", 0},          {40, 40},           {-3, -3},          {2.9, 2},
      {-2.9, -2},       {true, 1},         {nullptr, 0},       {json::array({1}), 0},
      {"99999999999999999999999", LONG_MAX}, {"-99999999999999999999999", LONG_MIN},
      {18446744073709551615ull, LONG_MAX},   {1e300, LONG_MAX}, {-1e300, LONG_MIN},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(EffectCatalogue::integerValue(value), expected) << value.dump();
}

// ---- user slots

TEST(EffectCatalogueSlots, LabelsAreWrittenWhereTheUnitsSlotsAre) {
  auto c = Minimal().load();
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->setUserSlotLabel(Slot::IR, 0, "My Cab"));
  EXPECT_TRUE(c->setUserSlotLabel(Slot::IR, 9, "Last"));
  EXPECT_TRUE(c->setUserSlotLabel(Slot::NR, 0, std::string("Clean\0\0\0\0\0\0\0\0\0\0\0", 16)));
  EXPECT_TRUE(c->setUserSlotLabel(Slot::NR, 9, "A name longer than sixteen"));
  EXPECT_TRUE(c->setUserSlotLabel(Slot::NR, 5, "Tab\there\x80"));

  const auto cab = c->typeNames(kCab), amp = c->typeNames(kAmp);
  EXPECT_EQ(cab[26], "27:My Cab");
  EXPECT_EQ(cab[35], "36:Last");
  EXPECT_EQ(cab[25], "26 T");
  EXPECT_EQ(amp[55], "56:Clean");
  EXPECT_EQ(amp[64], "65:A name longer th");
  EXPECT_EQ(amp[60], "61:Tab?here?");
  // The document the preset files read carries the same labels.
  EXPECT_EQ(c->presetInfoDic()["CAB"][0][26], "27:My Cab");

  EXPECT_TRUE(c->clearUserSlotLabel(Slot::IR, 0));
  EXPECT_TRUE(c->clearUserSlotLabel(Slot::NR, 0));
  EXPECT_EQ(c->typeNames(kCab)[26], "27:EMPTY");
  EXPECT_EQ(c->typeNames(kAmp)[55], "56:Empty");
}

TEST(EffectCatalogueSlots, WritesOutsideTheListAreRefused) {
  Minimal m;
  m.preset["CAB"][0].erase(35);  // a list one short
  auto c = m.load();
  ASSERT_TRUE(c);
  LogCapture log;
  const auto before = c->presetInfoDic();
  EXPECT_FALSE(c->setUserSlotLabel(Slot::IR, 9, "x"));
  EXPECT_FALSE(c->setUserSlotLabel(Slot::IR, -1, "x"));
  EXPECT_FALSE(c->setUserSlotLabel(Slot::NR, 10, "x"));
  EXPECT_EQ(c->presetInfoDic(), before);
  EXPECT_TRUE(log.has("no entry 35"));
  EXPECT_TRUE(c->setUserSlotLabel(Slot::IR, 8, "x"));

  EffectCatalogue empty;
  EXPECT_FALSE(empty.setUserSlotLabel(Slot::NR, 0, "x"));
  EXPECT_TRUE(empty.typeNames(kAmp).empty());
  EXPECT_EQ(EffectCatalogue::userSlotLabel(Slot::IR, 10, "x"), "");
}

TEST(EffectCatalogueSlots, LabelsWrittenWhileTheScreensRead) {
  // The HID thread relabels slots while the main thread lists the types.
  auto c = Minimal().load();
  ASSERT_TRUE(c);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) {
      c->setUserSlotLabel(Slot::IR, i % 10, i % 2 ? "Odd" : "Even");
      c->clearUserSlotLabel(Slot::NR, i % 10);
    }
    done = true;
  });
  int reads = 0;
  while (!done || reads < 10) {
    const auto names = c->typeNames(kCab);
    ASSERT_EQ(names.size(), 36u);
    const std::string& label = names[26];
    EXPECT_TRUE(label == "27:EMPTY" || label == "27:Odd" || label == "27:Even") << label;
    EXPECT_TRUE(c->presetInfoDic()["AMP"][0][55] == "56:Empty");
    ++reads;
  }
  writer.join();
}

}  // namespace
