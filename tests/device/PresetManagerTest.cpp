// Preset files: a file and an export laid out by hand from the file's
// tables, round trips through the bundled catalogue, the import's refusals
// in their order with their texts, the rules for other catalogue shapes,
// file names, and failed writes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HIDServiceViewModeTestSupport.h"
#include "TempFolder.h"
#include "device/catalogue/EffectCatalogue.h"
#include "device/records/ModuleTable.h"
#include "device/service/PresetManager.h"
#include "platform/foundation/Files.h"
#include "sim/unit/UnitApplication.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using Words = std::vector<int>;

HIDServiceModuleModePtr makePreset(const std::string& name, const std::map<int, Words>& words,
                                   Words function = {0, 0, 0}, Words volume = {0, 0, 100}) {
  auto preset = fnd::make<HIDServiceModuleMode>();
  preset->setPresetName(name);
  for (int m = 0; m < 9; ++m) {
    auto record = fnd::make<HIDServiceModel>();
    auto it = words.find(m);
    record->setDataArr(it != words.end() ? it->second : Words(ModuleTable::modules[static_cast<size_t>(m)].words(), 0));
    record->setFuncDataArr(function);
    record->setExpDataArr(volume);
    preset->setModule(m, record);
  }
  return preset;
}

Words wordsOf(const HIDServiceModuleMode& p, int m) { return p.module(m)->dataArr.get(); }

class FakeService : public PresetFileService {
public:
  HIDServiceModuleModePtr cachedPreset(long index) const override { return cache.at(static_cast<size_t>(index)); }
  HIDServiceModuleModePtr currentPreset() const override { return current; }
  json presetInfoDic() const override { return catalogue; }
  void sendPresetDataToDevice(const HIDServiceModuleModePtr& preset, long index,
                              std::function<void(long)> result) override {
    sent.push_back({preset, index, std::move(result)});
  }

  struct Sent {
    HIDServiceModuleModePtr preset;
    long index;
    std::function<void(long)> result;
  };
  std::vector<HIDServiceModuleModePtr> cache = std::vector<HIDServiceModuleModePtr>(200, makePreset("Slot", {}));
  HIDServiceModuleModePtr current = makePreset("Current", {});
  json catalogue =
      json::parse(fnd::files::readText(fs::path(QV450_SOURCE_DIR) / "resources" / "preset.json").value_or("{}"));
  std::vector<Sent> sent;
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

  // Exports cached preset `index`: the name the block got, or "" on NO.
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
  const HIDServiceModuleMode& lastSent() const { return *service->sent.back().preset; }
  fs::path exported(const std::string& name) { return tmp / "Presets" / (name + ".pqv"); }
  fs::path file(const std::string& name, const std::string& text) {
    TempFolder::write(tmp / name, text);
    return tmp / name;
  }

  TempFolder tmp;
  std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
  PresetManager::Environment env;
  std::vector<std::string> warnings, failures;
};

TEST_F(PresetFiles, ImportOfAHandWrittenFile) {
  // DELAY type 2 is the tape delay: TIME (40..800) is stored as its word
  // less 40. FX/COMP type 0: THRES (-40..0) is stored as its offset, RATIO
  // is a list of eight choices, ATTACK 1..100, LEVEL 0..100. CAB is a shared
  // list: element k is word k + 1.
  const char* text = R"({
    "fileInfo": {"schema": "QV450 Preset", "preset_name": "ignored"},
    "effectModule": {
      "DELAY": {"SWITCH": 1, "TYPE": 2, "Data": {"LEVEL": 33, "F.BACK": "21", "TIME": 15, "TONE": 64.9}},
      "FX/COMP": {"SWITCH": "1", "TYPE": 0, "Data": {"THRES": 99, "RATIO": 8, "ATTACK": 250, "LEVEL": -3}},
      "CAB": {"SWITCH": 1, "TYPE": 4, "Data": {"LEVEL": 90, "DISTANCE": 7}},
      "REVERB": {"SWITCH": 1, "TYPE": 1, "Data": {}},
      "VOCODER": 3},
    "Exp": {"MODULE_CTRL": 7, "PARA_CTRL": 1, "FUN_SWITCH": 1, "VOL_MIN": 10, "VOL_MAX": 90}})";
  service->current = makePreset("Current", {{6, {0, 0, 5, 5, 5, 5, 5, 5, 5}}, {7, {0, 0, 5, 5, 5, 5, 5, 5, 5}}},
                                {4, 4, 4}, {4, 4, 4});
  service->cache[9] = makePreset("Old", {{1, {1, 5, 6, 7, 8}}});
  ASSERT_TRUE(importFile(file("Tape Echo.pqv", text), 9));
  ASSERT_EQ(service->sent.size(), 1u);
  EXPECT_EQ(service->sent[0].index, 9);
  const HIDServiceModuleMode& p = lastSent();
  EXPECT_EQ(p.presetName.get(), "Tape Echo");
  // Words the file does not name keep the current preset's 5.
  EXPECT_EQ(wordsOf(p, 7), (Words{1, 2, 33, 21, 55, 5, 5, 64, 5}));
  // Above the maximum: the maximum, hi - lo for a negative minimum, the last
  // choice for a list; below 0: 0.
  EXPECT_EQ(wordsOf(p, 0), (Words{1, 0, 40, 7, 100, 0}));
  EXPECT_EQ(wordsOf(p, 3), (Words{1, 4, 90, 0, 7, 0, 0}));
  // The EXP words go to every module the file gives parameters to; a key
  // the file lacks keeps the word, and an empty "Data" keeps them all.
  for (int m : {0, 3, 7}) {
    EXPECT_EQ(p.module(m)->FuncDataArr.get(), (Words{7, 1, 1})) << m;
    EXPECT_EQ(p.module(m)->ExpDataArr.get(), (Words{4, 10, 90})) << m;
  }
  EXPECT_EQ(p.module(8)->ExpDataArr.get(), (Words{4, 4, 4}));
  // Modules the file does not name are the target slot's own; the cache
  // itself is not changed.
  EXPECT_EQ(wordsOf(p, 1), (Words{1, 5, 6, 7, 8}));
  EXPECT_EQ(wordsOf(*service->cache[9], 7), Words(9, 0));
  EXPECT_TRUE(warnings.empty());
}

TEST_F(PresetFiles, ExportWritesTheFileTheTablesDescribe) {
  service->cache[3] = makePreset("Tape Echo", {{7, {1, 2, 33, 21, 55, 0, 0, 64, 0}}, {3, {1, 4, 90, 50, 7, 80, 80}}},
                                 {7, 1, 1}, {1, 10, 90});
  ASSERT_EQ(exportPreset(3), "Tape Echo");
  const json f = json::parse(TempFolder::read(exported("Tape Echo")));
  EXPECT_EQ(f["fileInfo"], json::parse(R"({"device": "QV450", "device_version": "V1.0.5", "app": "QV450 Edit",
      "app_version": "V1.0.5", "schema": "QV450 Preset", "preset_name": "Tape Echo"})"));
  EXPECT_EQ(f["effectModule"]["DELAY"], json::parse(R"({"SWITCH": 1, "TYPE": 2,
      "Data": {"LEVEL": 33, "F.BACK": 21, "TIME": 15, "TONE": 64, "MOD": 0}})"));
  EXPECT_EQ(f["effectModule"]["CAB"], json::parse(R"({"SWITCH": 1, "TYPE": 4,
      "Data": {"LEVEL": 90, "CENTER": 50, "DISTANCE": 7, "LO CUT": 80, "HI CUT": 80}})"));
  EXPECT_EQ(f["Exp"], json::parse(R"({"MODULE_CTRL": 7, "PARA_CTRL": 1, "FUN_SWITCH": 1,
      "VOL_SWITCH": 1, "VOL_MIN": 10, "VOL_MAX": 90})"));
  EXPECT_EQ(f["effectModule"].size(), 9u);
}

// Words for every parameter of a type, spread over each range so that a
// wrong slot or offset shows.
Words wordsForType(const json& entry, int module, int type) {
  Words w(ModuleTable::modules[static_cast<size_t>(module)].words(), 0);
  w[0] = (type + module) % 2;
  w[1] = type;
  std::vector<json> params;
  if (entry.is_array()) params.assign(entry.begin() + 1, entry.end());
  for (const auto& [key, list] : entry.items())
    if (entry.is_object() && EffectCatalogue::integerValue(json(key.substr(0, 2))) == type + 1)
      params = list.get<std::vector<json>>();
  for (size_t i = 0; i < params.size(); ++i) {
    const long lo = EffectCatalogue::integerValue(params[i]["minValue"]);
    const long span = EffectCatalogue::integerValue(params[i]["maxValue"]) - lo;
    const long offset = span > 0 ? (7 * (module + 1) + 3 * static_cast<long>(i)) % (span + 1) : 0;
    const long slot = EffectCatalogue::integerValue(params[i].value("parmaIndex", json(i)));
    // The word: the value, or its offset from a negative minimum.
    w[static_cast<size_t>(slot + 2)] = static_cast<int>(lo < 0 ? offset : lo + offset);
  }
  return w;
}

TEST_F(PresetFiles, ExportThenImportGivesTheSameRecordForEveryModuleAndType) {
  // Written plainly: flushing each of the many files to disk only slows this.
  env.write = [](const fs::path& path, std::string_view text, std::string*) {
    TempFolder::write(path, text);
    return true;
  };
  for (int type = 0; type < 65; ++type) {
    std::map<int, Words> words;
    for (int m = 0; m < 9; ++m) {
      const json& entry = service->catalogue[ModuleTable::moduleName(m)];
      if (type < static_cast<int>(entry.is_array() ? entry[0].size() : entry.size()))
        words[m] = wordsForType(entry, m, type);
    }
    if (words.empty()) break;
    const std::string name = "Round " + std::to_string(type);
    service->cache[0] = makePreset(name, words, {type % 9, 2, 1}, {1, type % 50, 100});
    ASSERT_EQ(exportPreset(0), name);
    // Into a slot whose modules, and the current preset's, hold zeros.
    ASSERT_TRUE(importFile(exported(name), 1));
    for (const auto& [m, w] : words) {
      EXPECT_EQ(wordsOf(lastSent(), m), w) << "module " << m << " type " << type;
      EXPECT_EQ(lastSent().module(m)->ExpDataArr.get(), (Words{1, type % 50, 100}));
    }
    EXPECT_EQ(lastSent().presetName.get(), name);
  }
}

// The simulated unit's stored presets as the device service reads them.
HIDServiceModuleModePtr unitPreset(const sim::UnitApplication::Preset& stored) {
  std::map<int, Words> words;
  for (int m = 0; m < 9; ++m) words[m] = stored.moduleWords(m);
  return makePreset(stored.nameText(), words, Words(stored.expFunction.begin(), stored.expFunction.end()),
                    Words(stored.expVolume.begin(), stored.expVolume.end()));
}

// A preset a unit can hold (every effect type known, every parameter within
// its limits) comes back from its file word for word, whatever the current
// preset holds: no word is clamped and none is left to the current preset.
// The drop tests of the preset list compare whole presets on this ground.
TEST_F(PresetFiles, EveryPresetOfTheSimulatedUnitComesBackWhole) {
  std::map<int, Words> odd;
  for (int m = 0; m < 9; ++m) odd[m] = Words(ModuleTable::modules[static_cast<size_t>(m)].words(), 7777);
  const HIDServiceModuleModePtr current = makePreset("Current", odd, {77, 77, 77}, {77, 77, 77});
  const HIDServiceModuleModePtr target = makePreset("Target", {});
  for (int n = 1; n <= 200; ++n) {
    const HIDServiceModuleModePtr source = unitPreset(sim::UnitApplication::factoryPreset(n));
    const std::string name = source->presetName.get();
    const json object = PresetFile::presetFileObject(*source, service->catalogue, name);
    const PresetFile::Imported back =
        PresetFile::presetFromFile(object.dump(4), name, *target, *current, service->catalogue);
    ASSERT_TRUE(back.preset) << back.refusal;
    EXPECT_EQ(back.preset->presetName.get(), name);
    for (int m = 0; m < 9; ++m) {
      EXPECT_EQ(wordsOf(*back.preset, m), wordsOf(*source, m)) << name << " module " << m;
      EXPECT_EQ(back.preset->module(m)->FuncDataArr.get(), source->module(m)->FuncDataArr.get()) << name;
      EXPECT_EQ(back.preset->module(m)->ExpDataArr.get(), source->module(m)->ExpDataArr.get()) << name;
    }
  }
}

TEST_F(PresetFiles, RefusalsComeInOrderWithTheirTexts) {
  auto refusal = [&](const fs::path& path) {
    warnings.clear();
    EXPECT_FALSE(importFile(path)) << path;
    return warnings.size() == 1 ? warnings[0] : std::to_string(warnings.size()) + " tips";
  };
  const std::string schema = R"("fileInfo": {"schema": "QV450 Preset"})";
  // The name is judged first, even for a file that does not exist.
  EXPECT_EQ(refusal(tmp / "My_Preset.pqv"), PresetManager::kWrongFileName);
  EXPECT_EQ(refusal(file("\xC3\x9C" "ber.pqv", "{" + schema + "}")), PresetManager::kWrongFileName);
  EXPECT_EQ(refusal(tmp / "Missing.pqv"), PresetManager::kFileMissing);
  EXPECT_EQ(refusal(file("Text.pqv", "not json {")), PresetManager::kWrongData);
  fs::resize_file(file("Huge.pqv", "{" + schema + "}"), PresetManager::kMaxFileSize + 1);
  EXPECT_EQ(refusal(tmp / "Huge.pqv"), PresetManager::kWrongData);
  // No preset file there: a folder; one that cannot be read (EIO) says so.
  fs::create_directories(tmp / "Folder.pqv");
  EXPECT_EQ(refusal(tmp / "Folder.pqv"), PresetManager::kFileMissing);
  fs::create_symlink("/proc/self/mem", tmp / "Broken.pqv");
  EXPECT_EQ(refusal(tmp / "Broken.pqv"), PresetManager::kReadFailed);
  EXPECT_EQ(refusal(file("No schema.pqv", R"({"fileInfo": {"device": "QV450"}})")), PresetManager::kWrongVersion);
  EXPECT_EQ(refusal(file("Old.pqv", R"({"fileInfo": {"schema": "QV400 Preset"}})")), PresetManager::kWrongVersion);
  // Members of the wrong kind, before anything is built.
  EXPECT_EQ(refusal(file("Modules.pqv", "{" + schema + R"(, "effectModule": [1]})")), PresetManager::kWrongData);
  EXPECT_EQ(refusal(file("Data.pqv", "{" + schema + R"(, "effectModule": {"AMP": {"Data": [1]}}})")),
            PresetManager::kWrongData);
  EXPECT_EQ(refusal(file("Exp.pqv", "{" + schema + R"(, "Exp": 5})")), PresetManager::kWrongData);
  EXPECT_TRUE(service->sent.empty());

  // Any extension; the check drops one more, the preset gets the whole base
  // name, at most 14 characters.
  for (auto [fileName, presetName] : {std::pair{"Lead-1 x.json", "Lead-1 x"}, {"a.b_c.pqv", "a.b_c"},
                                      {"ABCDEFGHIJKLMNOPQRST.pqv", "ABCDEFGHIJKLMN"}}) {
    ASSERT_TRUE(importFile(file(fileName, "{" + schema + "}"))) << fileName;
    EXPECT_EQ(lastSent().presetName.get(), presetName);
  }
}

TEST_F(PresetFiles, GroupsAndSlotPlacedTypesOfAnyCatalogue) {
  // Shapes the bundled catalogue does not use: a parameter group (member j
  // at word i + 2 + 6j; its band member FRQE1 back at word 1 + 7), the
  // equaliser's type 3 placed by slot alone, a slot past the module's words.
  service->catalogue = json::parse(R"({"EQ": {
      "01 GROUPED": [[{"typeName": "BAND", "minValue": "0", "maxValue": "20", "current": "5"},
                      {"typeName": "FRQE1", "minValue": "0", "maxValue": "30", "current": "1"}],
                     {"typeName": "LEVEL", "minValue": "0", "maxValue": "50"}],
      "04 PARAMETRIC": [{"typeName": "LOW", "minValue": "0", "maxValue": "40"},
                        {"typeName": "HIGH", "parmaIndex": "4", "minValue": "0", "maxValue": "90"},
                        {"typeName": "FAR", "parmaIndex": "30", "minValue": "0", "maxValue": "9"},
                        {"typeName": "FREE", "parmaIndex": "7"}]}})");
  service->cache[0] = makePreset("Groups", {{5, {1, 0, 12, 33, 0, 0, 0, 0, 25, 0, 0}}});
  ASSERT_EQ(exportPreset(0), "Groups");
  json f = json::parse(TempFolder::read(exported("Groups")));
  EXPECT_EQ(f["effectModule"]["EQ"]["Data"], json::parse(R"({"BAND": 12, "FRQE1": 25, "LEVEL": 33})"));
  // A group member is kept within 0..hi - lo; its "current" (the shown
  // default) does not scale it.
  f["effectModule"]["EQ"]["Data"]["BAND"] = 10;
  f["effectModule"]["EQ"]["Data"]["FRQE1"] = 45;
  ASSERT_TRUE(importFile(file("Groups.pqv", f.dump())));
  EXPECT_EQ(wordsOf(lastSent(), 5), (Words{1, 0, 10, 33, 0, 0, 0, 0, 30, 0, 0}));

  service->cache[1] = makePreset("Parametric", {{5, {1, 3, 7, 0, 0, 0, 66, 0, 0, 0, 0}}});
  ASSERT_EQ(exportPreset(1), "Parametric");
  f = json::parse(TempFolder::read(exported("Parametric")));
  EXPECT_EQ(f["effectModule"]["EQ"]["Data"], json::parse(R"({"LOW": 7, "HIGH": 66, "FREE": 0})"));
  f["effectModule"]["EQ"]["Data"]["FAR"] = 5;
  f["effectModule"]["EQ"]["Data"]["FREE"] = 65535;
  ASSERT_TRUE(importFile(file("Parametric.pqv", f.dump())));
  EXPECT_EQ(wordsOf(lastSent(), 5), (Words{1, 3, 7, 0, 0, 0, 66, 0, 0, 65535, 0}));
  // A parameter without limits is kept to what a word of the unit holds:
  // beyond that the whole file is refused.
  const size_t sent = service->sent.size();
  for (int v : {65536, -1}) {
    f["effectModule"]["EQ"]["Data"]["FREE"] = v;
    warnings.clear();
    EXPECT_FALSE(importFile(file("Parametric.pqv", f.dump()))) << v;
    EXPECT_EQ(warnings, std::vector<std::string>{PresetManager::kWrongData}) << v;
  }
  EXPECT_EQ(service->sent.size(), sent);
}

TEST_F(PresetFiles, ExportNamesAreTrimmedStampedAndSafe) {
  service->cache[0] = makePreset("Lead   ", {});
  EXPECT_EQ(exportPreset(0), "Lead");
  // Taken: "-" and the local time (calendar year first), in the file name
  // and in "preset_name"; taken again within the second: a second stamp.
  std::tm local{};
  const std::time_t t = 1700000000;
  localtime_r(&t, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
  const std::string once = std::string("Lead-") + stamp;
  EXPECT_EQ(exportPreset(0), once);
  EXPECT_EQ(exportPreset(0), once + "-" + stamp);
  EXPECT_EQ(json::parse(TempFolder::read(exported(once)))["fileInfo"]["preset_name"], once);
  // Blanks only: the dot and the extension alone.
  service->cache[1] = makePreset("    ", {});
  EXPECT_EQ(exportPreset(1), "");
  EXPECT_TRUE(fs::is_regular_file(tmp / "Presets" / ".pqv"));
  // A "/" stays inside the folder; bytes that are not UTF-8 are read as
  // Latin-1, so the file is valid JSON.
  service->cache[2] = makePreset("AC/DC", {});
  EXPECT_EQ(exportPreset(2), "AC-DC");
  service->cache[3] = makePreset("Caf\xE9\x01", {});
  EXPECT_EQ(exportPreset(3), "Caf\xC3\xA9-");
  EXPECT_EQ(json::parse(TempFolder::read(exported("Caf\xC3\xA9-")))["fileInfo"]["preset_name"], "Caf\xC3\xA9-");
  EXPECT_TRUE(failures.empty());
}

TEST_F(PresetFiles, AFailedExportIsReportedAndLeavesNoFile) {
  service->cache[0] = makePreset("Lead", {});
  TempFolder::write(tmp / "Presets", "a file in the folder's place");
  EXPECT_EQ(exportPreset(0), "");
  EXPECT_EQ(failures, (std::vector<std::string>{PresetManager::kWriteFailed}));

  fs::remove(tmp / "Presets");
  env.write = [](const fs::path&, std::string_view, std::string* why) { return *why = "disk full", false; };
  EXPECT_EQ(exportPreset(0), "");
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_FALSE(fs::exists(exported("Lead")));

  // With the real writer a missing folder, parents included, is made.
  env.write = nullptr;
  env.defaults->setObjectForKey(PresetManager::kFolderDefault, fnd::Value((tmp / "a" / "b").string()));
  EXPECT_EQ(exportPreset(0), "Lead");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "a" / "b"), fs::directory_iterator()), 1);
  EXPECT_EQ(failures.size(), 2u);
}

TEST_F(PresetFiles, AFolderWhosePathIsNotUtf8IsTheSameFolderAfterARestart) {
  const fs::path folder = tmp / "Pr\xE9sets \xFF";  // Latin-1 and a stray byte
  env.defaults->setObjectForKey(PresetManager::kFolderDefault, fnd::Value(folder.string()));
  service->cache[0] = makePreset("Lead", {});
  ASSERT_EQ(exportPreset(0), "Lead");
  env.defaults = fnd::UserDefaults::withFile(tmp / "defaults.json");
  service->cache[0] = makePreset("Rhythm", {});
  ASSERT_EQ(exportPreset(0), "Rhythm");
  EXPECT_TRUE(fs::is_regular_file(folder / "Lead.pqv"));
  EXPECT_TRUE(fs::is_regular_file(folder / "Rhythm.pqv"));
  std::vector<std::string> entries;
  for (const auto& e : fs::directory_iterator(tmp.path())) entries.push_back(e.path().filename().string());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"Pr\xE9sets \xFF", "defaults.json"}));
}

TEST_F(PresetFiles, ImportIntoTheCurrentSlotPassesTheBlockOn) {
  service->current->setSelectedPreset(5);
  long got = 0;
  const fs::path f = file("Lead.pqv", R"({"fileInfo": {"schema": "QV450 Preset"}})");
  ASSERT_TRUE(PresetManager::ImportPreset(env, f.string(), 4, [&](long r) { got = r; }));
  // The block is the service's to call when the unit confirms the write.
  EXPECT_EQ(got, 0);
  service->sent.back().result(1);
  EXPECT_EQ(got, 1);
}

// A file with a value no unit holds is refused whole with the import's
// failure text, before anything is built: the simulated unit receives no
// preset write of it, also when other modules of the file are sound.
TEST(PresetFileImport, ValuesTheUnitCannotHoldRefuseTheFileAndSendNothing) {
  TempFolder tmp;
  svc_test::SimRig rig;
  svc_test::ProgressLog progress;
  rig.service->init();
  rig.service->getAllData(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  std::vector<std::string> warnings;
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(rig.service);
  env.tips.showWarningWithTip = [&](const std::string& t) { warnings.push_back(t); };

  // DS/OD has 13 typed effect types, MOD 13, CAB a shared list of 36.
  const std::string sound = R"("FX/COMP": {"SWITCH": 1, "TYPE": 0, "Data": {"LEVEL": 50}})";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"type beyond any word", R"("effectModule": {"DS/OD": {"SWITCH": 1, "TYPE": 99999999999}})"},
      {"type past the typed list", R"("effectModule": {)" + sound + R"(, "MOD": {"SWITCH": 1, "TYPE": 13}})"},
      {"type past the shared list", R"("effectModule": {"CAB": {"SWITCH": 1, "TYPE": 36, "Data": {"LEVEL": 9}}})"},
      {"negative type", R"("effectModule": {"DELAY": {"TYPE": -1}})"},
      {"type as words", R"("effectModule": {"DELAY": {"TYPE": "two"}})"},
      {"switch of 2", R"("effectModule": {"REVERB": {"SWITCH": 2, "TYPE": 0}})"},
      {"parameter as words", R"("effectModule": {"DELAY": {"TYPE": 2, "Data": {"LEVEL": "loud"}}})"},
      {"parameter as an object", R"("effectModule": {)" + sound + R"(, "DELAY": {"TYPE": 2, "Data": {"TIME": {}}}})"},
      {"EXP module past the ninth", R"("Exp": {"MODULE_CTRL": 9})"},
      {"EXP parameter past the 61st", R"("Exp": {"PARA_CTRL": 61})"},
      {"EXP function switch of 2", R"("effectModule": {)" + sound + R"(}, "Exp": {"FUN_SWITCH": 2})"},
      {"EXP volume switch below 0", R"("Exp": {"VOL_SWITCH": -1})"},
      {"EXP volume above 100", R"("Exp": {"VOL_MIN": 0, "VOL_MAX": 101})"},
  };
  for (const auto& [what, body] : files) {
    warnings.clear();
    TempFolder::write(tmp / "Bad.pqv", R"({"fileInfo": {"schema": "QV450 Preset"}, )" + body + "}");
    EXPECT_FALSE(PresetManager::ImportPreset(env, (tmp / "Bad.pqv").string(), 4, [](long) {})) << what;
    EXPECT_EQ(warnings, std::vector<std::string>{PresetManager::kWrongData}) << what;
  }

  // A sound file goes out; it is the only preset write the unit sees.
  TempFolder::write(tmp / "Good.pqv", R"({"fileInfo": {"schema": "QV450 Preset"}, "effectModule": {)" + sound +
                                          R"(}, "Exp": {"MODULE_CTRL": 8, "PARA_CTRL": 60, "VOL_MAX": 100}})");
  ASSERT_TRUE(PresetManager::ImportPreset(env, (tmp / "Good.pqv").string(), 5, [](long) {}));
  ASSERT_TRUE(rig.waitFor(sim::UnitApplication::kWritePreset, 1));
  const auto writes = rig.received(sim::UnitApplication::kWritePreset);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].payload.at(0), 6);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.app->preset(6).nameText() == "Good"; }, svc_test::kBound));
}

}  // namespace
