// Preset files: the export's JSON and file names, the import's refusals (in
// their order, with their texts), the translation between words and named
// values both ways, and failed writes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/ModuleTable.h"
#include "device/PresetManager.h"
#include "platform/foundation/Files.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

json loadCatalogue() {
  auto text = fnd::files::readText(fs::path(QV450_SOURCE_DIR) / "resources" / "preset.json");
  return text ? json::parse(*text) : json();
}

HIDServiceModuleModePtr makePreset(const std::string& name, const std::map<int, std::vector<int>>& words,
                                   std::vector<int> function = {0, 0, 0}, std::vector<int> volume = {0, 0, 100}) {
  auto preset = fnd::make<HIDServiceModuleMode>();
  preset->setPresetName(name);
  for (int m = 0; m < 9; ++m) {
    auto record = fnd::make<HIDServiceModel>();
    auto it = words.find(m);
    record->setDataArr(it != words.end() ? it->second
                                         : std::vector<int>(static_cast<size_t>(ModuleTable::modules[m].words()), 0));
    record->setFuncDataArr(function);
    record->setExpDataArr(volume);
    preset->setModule(m, record);
  }
  return preset;
}

std::vector<int> wordsOf(const HIDServiceModuleMode& p, int m) { return p.module(m)->dataArr.get(); }

class FakeService : public PresetFileService {
public:
  FakeService() {
    for (int i = 0; i < 200; ++i) cache.push_back(makePreset("P" + std::to_string(i + 1), {}));
    current = makePreset("Current", {});
  }
  HIDServiceModuleModePtr cachedPreset(long index) const override { return cache.at(static_cast<size_t>(index)); }
  HIDServiceModuleModePtr currentPreset() const override { return current; }
  nlohmann::json presetInfoDic() const override { return catalogue; }
  void sendPresetDataToDevice(const HIDServiceModuleModePtr& preset, long index,
                              std::function<void(long)> result) override {
    sent.push_back({preset, index, std::move(result)});
  }
  void updateCurrentPreset() override { ++updates; }

  struct Sent {
    HIDServiceModuleModePtr preset;
    long index;
    std::function<void(long)> result;
  };
  std::vector<HIDServiceModuleModePtr> cache;
  HIDServiceModuleModePtr current;
  json catalogue = loadCatalogue();
  std::vector<Sent> sent;
  int updates = 0;
};

class PresetFiles : public testing::Test {
protected:
  void SetUp() override {
    env.service = service;
    env.defaults = fnd::UserDefaults::withFile(tmp / "defaults.json");
    env.defaults->setObjectForKey(PresetManager::kFolderDefault, fnd::Value((tmp / "Presets").string()));
    env.tips.showWarningWithTip = [this](const std::string& t) { warnings.push_back(t); };
    env.tips.showFailWithTip = [this](const std::string& t) { failures.push_back(t); };
    env.now = [] { return std::time_t(1700000000); };
  }

  // Exports cached preset `index`; the name the block got, or "" on NO.
  std::string exportPreset(long index) {
    std::string got;
    int calls = 0;
    const bool ok = PresetManager::ExportPreset(env, index, [&](const std::string& n) { got = n, ++calls; });
    EXPECT_EQ(calls, ok ? 1 : 0);
    return ok ? got : "";
  }
  bool importFile(const fs::path& path, long index = 4) {
    return PresetManager::ImportPreset(env, path.string(), index, [](long) {});
  }
  fs::path presetFile(const std::string& name) { return tmp / "Presets" / (name + ".pqv"); }
  fs::path writeFile(const std::string& name, const std::string& text) {
    fs::path p = tmp / name;
    TempFolder::write(p, text);
    return p;
  }

  TempFolder tmp;
  std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
  PresetManager::Environment env;
  std::vector<std::string> warnings, failures;
};

// A file laid out by hand from the file's tables: DELAY type 2 is the tape
// delay, whose TIME has the minimum 40 and is stored as its word less 40.
const char* kHandFile = R"({
  "fileInfo": {"schema": "QV450 Preset", "preset_name": "ignored"},
  "effectModule": {
    "DELAY": {"SWITCH": 1, "TYPE": 2, "Data": {"LEVEL": 33, "F.BACK": 21, "TIME": 15, "TONE": 64}},
    "FX/COMP": {"SWITCH": "1", "TYPE": 0, "Data": {"THRES": 30, "RATIO": 2, "ATTACK": 12, "LEVEL": 70}},
    "CAB": {"SWITCH": 1, "TYPE": 4, "Data": {"LEVEL": 90, "DISTANCE": 7}},
    "VOCODER": {"SWITCH": 1, "TYPE": 1}
  },
  "Exp": {"MODULE_CTRL": 7, "PARA_CTRL": 1, "FUN_SWITCH": 1, "VOL_SWITCH": 1, "VOL_MIN": 10, "VOL_MAX": 90}
})";

TEST_F(PresetFiles, ImportOfAHandWrittenFileSetsTheWordsTheTablesGive) {
  service->current = makePreset("Current", {{7, {0, 0, 5, 5, 5, 5, 5, 5, 5}}});
  service->cache[9] = makePreset("Old", {{1, {1, 5, 6, 7, 8}}});
  ASSERT_TRUE(importFile(writeFile("Tape Echo.pqv", kHandFile), 9));
  ASSERT_EQ(service->sent.size(), 1u);
  const HIDServiceModuleMode& p = *service->sent[0].preset;
  EXPECT_EQ(service->sent[0].index, 9);
  EXPECT_EQ(p.presetName.get(), "Tape Echo");
  // DELAY: on, type 2; LEVEL slot 0, F.BACK slot 1, TIME slot 2 (15 + 40),
  // TONE slot 5; slots the file does not name keep the current preset's 5.
  EXPECT_EQ(wordsOf(p, 7), (std::vector<int>{1, 2, 33, 21, 55, 5, 5, 64, 5}));
  // FX/COMP type 0: THRES (-40..0) is stored as its offset, RATIO a choice.
  EXPECT_EQ(wordsOf(p, 0), (std::vector<int>{1, 0, 30, 2, 12, 70}));
  // CAB is a shared list: element k is word k + 1.
  EXPECT_EQ(wordsOf(p, 3), (std::vector<int>{1, 4, 90, 0, 7, 0, 0}));
  // The EXP words go to every module the file gives parameters to.
  for (int m : {0, 3, 7}) {
    EXPECT_EQ(p.module(m)->FuncDataArr.get(), (std::vector<int>{7, 1, 1})) << m;
    EXPECT_EQ(p.module(m)->ExpDataArr.get(), (std::vector<int>{1, 10, 90})) << m;
  }
  // Modules the file does not name keep the target slot's own records.
  EXPECT_EQ(p.module(1)->FuncDataArr.get(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(wordsOf(p, 1), (std::vector<int>{1, 5, 6, 7, 8}));
  // The cache itself is not touched by the import.
  EXPECT_EQ(wordsOf(*service->cache[9], 7), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(warnings.empty());
}

TEST_F(PresetFiles, ExportWritesTheFileTheTablesDescribe) {
  service->cache[3] = makePreset("Tape Echo   ", {{7, {1, 2, 33, 21, 55, 0, 0, 64, 0}}, {3, {1, 4, 90, 50, 7, 80, 80}}},
                                 {7, 1, 1}, {1, 10, 90});
  ASSERT_EQ(exportPreset(3), "Tape Echo");
  const json file = json::parse(TempFolder::read(presetFile("Tape Echo")));
  EXPECT_EQ(file["fileInfo"], json::parse(R"({"device": "QV450", "device_version": "V1.0.5", "app": "QV450 Edit",
      "app_version": "V1.0.5", "schema": "QV450 Preset", "preset_name": "Tape Echo"})"));
  EXPECT_EQ(file["effectModule"]["DELAY"], json::parse(R"({"SWITCH": 1, "TYPE": 2, "Data":
      {"LEVEL": 33, "F.BACK": 21, "TIME": 15, "TONE": 64, "MOD": 0}})"));
  EXPECT_EQ(file["effectModule"]["CAB"], json::parse(R"({"SWITCH": 1, "TYPE": 4, "Data":
      {"LEVEL": 90, "CENTER": 50, "DISTANCE": 7, "LO CUT": 80, "HI CUT": 80}})"));
  EXPECT_EQ(file["Exp"], json::parse(R"({"MODULE_CTRL": 7, "PARA_CTRL": 1, "FUN_SWITCH": 1,
      "VOL_SWITCH": 1, "VOL_MIN": 10, "VOL_MAX": 90})"));
  EXPECT_EQ(file["effectModule"].size(), 9u);
  EXPECT_TRUE(failures.empty());
}

// Words every parameter of a type may hold, drawn from the catalogue: values
// spread over each range so a wrong slot or offset shows.
std::vector<int> wordsForType(const json& entry, int module, int type, int salt) {
  std::vector<int> w(static_cast<size_t>(ModuleTable::modules[module].words()), 0);
  w[0] = (type + salt) % 2;
  w[1] = type;
  std::vector<json> params;
  if (entry.is_array()) {
    for (size_t k = 1; k < entry.size(); ++k) params.push_back(entry[k]);
  } else {
    for (const auto& [key, list] : entry.items())
      if (PresetManager::integerValue(json(key.substr(0, 2))) == type + 1) params = list.get<std::vector<json>>();
  }
  for (size_t i = 0; i < params.size(); ++i) {
    const json& p = params[i];
    const long lo = PresetManager::integerValue(p["minValue"]);
    const long hi = PresetManager::integerValue(p["maxValue"]);
    const long span = hi - lo;
    const long offset = span > 0 ? (7 * (salt + 1) + 3 * static_cast<long>(i)) % (span + 1) : 0;
    // The word: the value, or its offset from a negative minimum.
    const long word = lo < 0 ? offset : lo + offset;
    const long slot = p.contains("parmaIndex") ? PresetManager::integerValue(p["parmaIndex"]) : static_cast<long>(i);
    w[static_cast<size_t>(slot + 2)] = static_cast<int>(word);
  }
  return w;
}

TEST_F(PresetFiles, ExportThenImportGivesTheSameRecordForEveryModuleAndType) {
  const json& catalogue = service->catalogue;
  ASSERT_TRUE(catalogue.is_object());
  for (int type = 0; type < 65; ++type) {
    std::map<int, std::vector<int>> words;
    bool any = false;
    for (int m = 0; m < 9; ++m) {
      const json& entry = catalogue[ModuleTable::moduleName(m)];
      const int types = entry.is_array() ? static_cast<int>(entry[0].size()) : static_cast<int>(entry.size());
      if (type >= types) continue;
      words[m] = wordsForType(entry, m, type, m);
      any = true;
    }
    if (!any) break;
    service->cache[0] = makePreset("Round " + std::to_string(type), words, {type % 9, 2, 1}, {1, type % 50, 100});
    const std::string name = exportPreset(0);
    ASSERT_EQ(name, "Round " + std::to_string(type));
    // Into a slot whose modules and the current preset's all hold zeros.
    ASSERT_TRUE(importFile(presetFile(name), 1)) << type;
    const HIDServiceModuleMode& back = *service->sent.back().preset;
    for (const auto& [m, w] : words) {
      EXPECT_EQ(wordsOf(back, m), w) << "module " << m << " type " << type;
      EXPECT_EQ(back.module(m)->FuncDataArr.get(), (std::vector<int>{type % 9, 2, 1}));
      EXPECT_EQ(back.module(m)->ExpDataArr.get(), (std::vector<int>{1, type % 50, 100}));
    }
    EXPECT_EQ(back.presetName.get(), "Round " + std::to_string(type));
  }
  EXPECT_TRUE(warnings.empty());
}

TEST_F(PresetFiles, RefusalsComeInOrderWithTheirTextsAndChangeNothing) {
  auto refused = [&](const fs::path& path) {
    warnings.clear();
    const size_t sentBefore = service->sent.size();
    EXPECT_FALSE(importFile(path)) << path;
    EXPECT_EQ(service->sent.size(), sentBefore);
    return warnings.size() == 1 ? warnings[0] : "(" + std::to_string(warnings.size()) + " tips)";
  };
  // The name is judged first, even for a file that does not exist.
  EXPECT_EQ(refused(tmp / "My_Preset.pqv"), PresetManager::kWrongFileName);
  EXPECT_EQ(refused(writeFile("Ünder.pqv", kHandFile)), PresetManager::kWrongFileName);
  EXPECT_EQ(refused(writeFile(".pqv", kHandFile)), PresetManager::kWrongFileName);
  EXPECT_EQ(refused(tmp / "Missing.pqv"), PresetManager::kFileMissing);
  EXPECT_EQ(refused(writeFile("Text.pqv", "not json {")), PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("Empty file.pqv", "")), PresetManager::kWrongData);
  fs::create_directories(tmp / "Folder.pqv");
  EXPECT_EQ(refused(tmp / "Folder.pqv"), PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("Array.pqv", "[1, 2]")), PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("No schema.pqv", R"({"fileInfo": {"device": "QV450"}, "effectModule": {}})")),
            PresetManager::kWrongVersion);
  EXPECT_EQ(refused(writeFile("Old.pqv", R"({"fileInfo": {"schema": "QV400 Preset"}})")),
            PresetManager::kWrongVersion);
  EXPECT_EQ(refused(writeFile("Info string.pqv", R"({"fileInfo": "QV450 Preset"})")), PresetManager::kWrongVersion);
  // Members of the wrong kind are refused before anything is built.
  const std::string schema = R"("fileInfo": {"schema": "QV450 Preset"})";
  EXPECT_EQ(refused(writeFile("Modules array.pqv", "{" + schema + R"(, "effectModule": [1]})")),
            PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("Module number.pqv", "{" + schema + R"(, "effectModule": {"AMP": 3}})")),
            PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("Data array.pqv", "{" + schema + R"(, "effectModule": {"AMP": {"Data": [1]}}})")),
            PresetManager::kWrongData);
  EXPECT_EQ(refused(writeFile("Exp number.pqv", "{" + schema + R"(, "Exp": 5})")), PresetManager::kWrongData);
  // Members named other than the nine modules may be anything.
  warnings.clear();
  EXPECT_TRUE(importFile(writeFile("Other member.pqv", "{" + schema + R"(, "effectModule": {"LOOPER": 3}})")));
  EXPECT_TRUE(warnings.empty());
}

TEST_F(PresetFiles, FileNamesNameThePreset) {
  const std::string minimal = R"({"fileInfo": {"schema": "QV450 Preset"}})";
  auto importedName = [&](const std::string& fileName) {
    EXPECT_TRUE(importFile(writeFile(fileName, minimal))) << fileName;
    return service->sent.empty() ? std::string() : service->sent.back().preset->presetName.get();
  };
  // Any extension; letters, digits, blanks and hyphens.
  EXPECT_EQ(importedName("Lead-1 x.pqv"), "Lead-1 x");
  EXPECT_EQ(importedName("Lead-2 x.json"), "Lead-2 x");
  // The check drops one more extension; the preset gets the whole base name.
  EXPECT_EQ(importedName("a.b_c.pqv"), "a.b_c");
  // At most 14 characters.
  EXPECT_EQ(importedName("ABCDEFGHIJKLMNOPQRST.pqv"), "ABCDEFGHIJKLMN");
  // Blanks only: a valid name that the record stores as "".
  EXPECT_EQ(importedName("   .pqv"), "");
  EXPECT_FALSE(PresetManager::isPresetName(""));
  EXPECT_FALSE(PresetManager::isPresetName("Name\n"));
  EXPECT_TRUE(PresetManager::isPresetName("My.Pre_set"));
}

TEST_F(PresetFiles, ValuesAreKeptWithinTheirParameterLimits) {
  // FX/COMP type 0: THRES -40..0 (offset at most 40), RATIO a list of eight
  // choices, ATTACK 1..100, LEVEL 0..100. DELAY type 2: TIME 40..800.
  const std::string file = R"({"fileInfo": {"schema": "QV450 Preset"}, "effectModule": {
      "FX/COMP": {"SWITCH": 1, "TYPE": 0, "Data": {"THRES": 99, "RATIO": 8, "ATTACK": 250, "LEVEL": -3}},
      "DELAY": {"SWITCH": 1, "TYPE": 2, "Data": {"TIME": 790, "F.BACK": "77 percent", "TONE": 12.9}}}})";
  ASSERT_TRUE(importFile(writeFile("Limits.pqv", file)));
  const HIDServiceModuleMode& p = *service->sent.back().preset;
  // A negative minimum bounds the offset by hi - lo; a value above the
  // maximum is the maximum; a negative value is 0; a list of eight choices
  // ends at index 7.
  EXPECT_EQ(wordsOf(p, 0), (std::vector<int>{1, 0, 40, 7, 100, 0}));
  // TIME stays within 40..800 as a word; numbers as text and fractions are
  // read as integers.
  EXPECT_EQ(wordsOf(p, 7), (std::vector<int>{1, 2, 0, 77, 800, 0, 0, 12, 0}));
}

TEST_F(PresetFiles, AFileWithoutParametersOrWithAnUnknownTypeSetsOnlyWhatItNames) {
  service->current = makePreset("Current", {{6, {0, 0, 9, 9, 9, 9, 9, 9, 9}}}, {4, 4, 4}, {4, 4, 4});
  const std::string file = R"({"fileInfo": {"schema": "QV450 Preset"}, "effectModule": {
      "MOD": {"SWITCH": 1, "TYPE": 40, "Data": {"RATE": 3}},
      "DELAY": {"SWITCH": 1, "TYPE": 1, "Data": {}}},
      "Exp": {"MODULE_CTRL": 1, "PARA_CTRL": 2, "VOL_MAX": 50}})";
  ASSERT_TRUE(importFile(writeFile("Partial.pqv", file)));
  const HIDServiceModuleMode& p = *service->sent.back().preset;
  // MOD has no type 40: words 0 and 1 only, and (as "Data" has a key) the
  // EXP words the file gives; a key it lacks keeps the record's word.
  EXPECT_EQ(wordsOf(p, 6), (std::vector<int>{1, 40, 9, 9, 9, 9, 9, 9, 9}));
  EXPECT_EQ(p.module(6)->FuncDataArr.get(), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(p.module(6)->ExpDataArr.get(), (std::vector<int>{4, 4, 50}));
  // An empty "Data" keeps the EXP words of the module it was built on.
  EXPECT_EQ(p.module(7)->FuncDataArr.get(), (std::vector<int>{4, 4, 4}));
}

TEST_F(PresetFiles, GroupsAndSlotPlacedTypesOfAnyCatalogue) {
  // A catalogue of the shapes the production one does not use: a parameter
  // group (member j at word i + 2 + 6j, its band member named FRQE<i+1>),
  // equaliser type 3 placed by "parmaIndex" alone, and a slot past the
  // module's words.
  service->catalogue = json::parse(R"({"EQ": {
      "01 GROUPED": [[{"typeName": "BAND", "minValue": "0", "maxValue": "20", "current": "5"},
                      {"typeName": "FRQE1", "minValue": "0", "maxValue": "30", "current": "1"}],
                     {"typeName": "LEVEL", "minValue": "0", "maxValue": "50"}],
      "04 PARAMETRIC": [{"typeName": "LOW", "minValue": "0", "maxValue": "40"},
                        {"typeName": "HIGH", "parmaIndex": "4", "minValue": "0", "maxValue": "90"},
                        {"typeName": "FAR", "parmaIndex": "30", "minValue": "0", "maxValue": "9"}]}})");
  service->cache[0] = makePreset("Groups", {{5, {1, 0, 12, 33, 0, 0, 0, 0, 25, 0, 0}}});
  ASSERT_EQ(exportPreset(0), "Groups");
  json file = json::parse(TempFolder::read(presetFile("Groups")));
  EXPECT_EQ(file["effectModule"]["EQ"]["Data"], json::parse(R"({"BAND": 12, "FRQE1": 25, "LEVEL": 33})"));
  // A group member keeps within 0..hi - lo, whatever its "current".
  file["effectModule"]["EQ"]["Data"]["BAND"] = 10;
  file["effectModule"]["EQ"]["Data"]["FRQE1"] = 45;
  ASSERT_TRUE(importFile(writeFile("Groups.pqv", file.dump())));
  EXPECT_EQ(wordsOf(*service->sent.back().preset, 5), (std::vector<int>{1, 0, 10, 33, 0, 0, 0, 0, 30, 0, 0}));

  // Type 3: LOW without a slot goes to word 2, HIGH to its slot; FAR names a
  // word the module lacks and is left out both ways.
  service->cache[1] = makePreset("Parametric", {{5, {1, 3, 7, 0, 0, 0, 66, 0, 0, 0, 0}}});
  ASSERT_EQ(exportPreset(1), "Parametric");
  file = json::parse(TempFolder::read(presetFile("Parametric")));
  EXPECT_EQ(file["effectModule"]["EQ"]["Data"], json::parse(R"({"LOW": 7, "HIGH": 66})"));
  file["effectModule"]["EQ"]["Data"]["FAR"] = 5;
  ASSERT_TRUE(importFile(writeFile("Parametric.pqv", file.dump())));
  EXPECT_EQ(wordsOf(*service->sent.back().preset, 5), (std::vector<int>{1, 3, 7, 0, 0, 0, 66, 0, 0, 0, 0}));
}

TEST_F(PresetFiles, ExportNamesAreTrimmedStampedAndSafe) {
  service->cache[0] = makePreset("Lead   ", {});
  EXPECT_EQ(exportPreset(0), "Lead");
  // Taken: "-" and the local time, in the file name and in "preset_name".
  std::tm local{};
  const std::time_t t = 1700000000;
  localtime_r(&t, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  EXPECT_EQ(exportPreset(0), std::string("Lead-") + stamp);
  // Taken again in the same second: a second stamp.
  EXPECT_EQ(exportPreset(0), std::string("Lead-") + stamp + "-" + stamp);
  EXPECT_EQ(json::parse(TempFolder::read(presetFile(std::string("Lead-") + stamp)))["fileInfo"]["preset_name"],
            std::string("Lead-") + stamp);

  // Blanks only: the dot and the extension alone.
  service->cache[1] = makePreset("    ", {});
  EXPECT_EQ(exportPreset(1), "");
  EXPECT_TRUE(fs::exists(tmp / "Presets" / ".pqv"));

  // A "/" from the unit stays inside the folder; bytes that are not UTF-8
  // are read as Latin-1 so the file is valid JSON.
  service->cache[2] = makePreset("AC/DC", {});
  EXPECT_EQ(exportPreset(2), "AC-DC");
  service->cache[3] = makePreset(std::string("Caf\xE9\x01"), {});
  EXPECT_EQ(exportPreset(3), "Caf\xC3\xA9-");
  EXPECT_EQ(json::parse(TempFolder::read(presetFile("Caf\xC3\xA9-")))["fileInfo"]["preset_name"], "Caf\xC3\xA9-");
  EXPECT_TRUE(failures.empty());
}

TEST_F(PresetFiles, AFailedExportIsReportedAndLeavesNoFile) {
  service->cache[0] = makePreset("Lead", {});
  // The folder's place is taken by a file.
  TempFolder::write(tmp / "Presets", "a file");
  EXPECT_EQ(exportPreset(0), "");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0], PresetManager::kWriteFailed);

  // The write itself fails.
  fs::remove(tmp / "Presets");
  env.write = [](const fs::path&, std::string_view, std::string* why) {
    *why = "disk full";
    return false;
  };
  EXPECT_EQ(exportPreset(0), "");
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_FALSE(fs::exists(presetFile("Lead")));

  // No folder set.
  env.write = nullptr;
  env.defaults->removeObjectForKey(PresetManager::kFolderDefault);
  EXPECT_EQ(exportPreset(0), "");
  EXPECT_EQ(failures.size(), 3u);

  // A missing folder, parents included, is made.
  env.defaults->setObjectForKey(PresetManager::kFolderDefault, fnd::Value((tmp / "a" / "b" / "Presets").string()));
  EXPECT_EQ(exportPreset(0), "Lead");
  EXPECT_TRUE(fs::is_regular_file(tmp / "a" / "b" / "Presets" / "Lead.pqv"));
  EXPECT_EQ(failures.size(), 3u);
}

TEST_F(PresetFiles, ImportIntoTheCurrentSlotRefreshesItAndPassesTheBlockOn) {
  service->current->setSelectedPreset(5);
  long got = 0;
  const fs::path file = writeFile("Lead.pqv", R"({"fileInfo": {"schema": "QV450 Preset"}})");
  ASSERT_TRUE(PresetManager::ImportPreset(env, file.string(), 4, [&](long r) { got = r; }));
  EXPECT_EQ(service->updates, 1);
  // The block is the service's to call when the unit confirms the write.
  EXPECT_EQ(got, 0);
  service->sent.back().result(1);
  EXPECT_EQ(got, 1);

  ASSERT_TRUE(importFile(file, 7));
  EXPECT_EQ(service->updates, 1);
}

TEST(PresetManagerValues, IntegerValueReadsNumbersAndTextLikeTheUnitsTools) {
  EXPECT_EQ(PresetManager::integerValue(json(12)), 12);
  EXPECT_EQ(PresetManager::integerValue(json(-7.9)), -7);
  EXPECT_EQ(PresetManager::integerValue(json("  42abc")), 42);
  EXPECT_EQ(PresetManager::integerValue(json("-3")), -3);
  EXPECT_EQ(PresetManager::integerValue(json("x1")), 0);
  EXPECT_EQ(PresetManager::integerValue(json(true)), 1);
  EXPECT_EQ(PresetManager::integerValue(json(nullptr)), 0);
  EXPECT_EQ(PresetManager::integerValue(json::array()), 0);
  EXPECT_EQ(PresetManager::integerValue(json(1e300)), LONG_MAX);
  EXPECT_EQ(PresetManager::integerValue(json("99999999999999999999999")), LONG_MAX);
}

}  // namespace
