// The device records: names, copies, observation and key-value coding.

#include <gtest/gtest.h>

#include <thread>

#include "device/records/HIDServiceModel.h"
#include "device/records/HIDServiceModuleMode.h"
#include "device/records/HIDServiceSystemModel.h"
#include "platform/foundation/Log.h"

namespace {

HIDServiceModuleModePtr presetWithModules() {
  auto preset = fnd::make<HIDServiceModuleMode>();
  HIDServiceModuleMode::ModuleDictionary modules;
  for (int i = 0; i < 9; ++i) {
    auto m = fnd::make<HIDServiceModel>();
    m->setDataArr({1, i, 10 * i});
    m->setFuncDataArr({2, 5, 1});
    m->setExpDataArr({1, 0, 100});
    modules[std::to_string(i)] = m;
  }
  preset->setPresetDataDic(modules);
  preset->setPresetName("Lead");
  preset->setSelectedPreset(12);
  preset->setNowPageNumber(9);
  preset->setSelectedModule(3);
  return preset;
}

TEST(DeviceRecords, PresetNameLosesOnlyTrailingBlanks) {
  auto preset = fnd::make<HIDServiceModuleMode>();
  preset->setPresetName("Lead   ");
  EXPECT_EQ(preset->presetName(), "Lead");
  preset->setPresetName("   ");
  EXPECT_EQ(preset->presetName(), "");
  preset->setPresetName(" Big  Room ");
  EXPECT_EQ(preset->presetName(), " Big  Room");
  // Also when set by key.
  preset->setValueForKey("presetName", fnd::Value("Clean  "));
  EXPECT_EQ(preset->valueForKey("presetName"), fnd::Value("Clean"));
}

TEST(DeviceRecords, FreshRecordsStartUnset) {
  auto system = fnd::make<HIDServiceSystemModel>();
  EXPECT_EQ(system->rhythm_vol(), "");
  EXPECT_EQ(system->rhythm_bpm(), "");
  for (const char* key : {"inputLevel", "screenLevel", "leftOutCab", "rightOutCab", "OtgOutLevel", "rhythm_switch",
                          "rhythm_mode", "rhythm_style", "outCabStatus"})
    EXPECT_TRUE(system->valueForKey(key).isNil()) << key;

  auto preset = fnd::make<HIDServiceModuleMode>();
  EXPECT_TRUE(preset->valueForKey("selectedPreset").isNil());
  EXPECT_TRUE(preset->presetDataDic().empty());
  EXPECT_TRUE(preset->valueForKey("presetDataDic").isDictionary());
  EXPECT_EQ(preset->module(0), nullptr);
}

TEST(DeviceRecords, KeyValueCodingUsesTheRecordTypes) {
  auto model = fnd::make<HIDServiceModel>();
  model->setDataArr({1, 5, 65535});
  EXPECT_EQ(model->valueForKey("dataArr"), fnd::Value(fnd::Array{1, 5, 65535}));
  // Words from files arrive as decimal text and are held as numbers.
  model->setValueForKey("FuncDataArr", fnd::Value(fnd::Array{"2", "7", "1"}));
  EXPECT_EQ(model->FuncDataArr(), (std::vector<int>{2, 7, 1}));

  auto preset = presetWithModules();
  fnd::Value modules = preset->valueForKey("presetDataDic");
  ASSERT_EQ(modules.asDictionary().size(), 9u);
  EXPECT_EQ(modules.asDictionary()["4"].asObject<HIDServiceModel>(), preset->module(4));
  EXPECT_EQ(preset->valueForKeyPath("selectedModule"), fnd::Value(3));

  auto system = fnd::make<HIDServiceSystemModel>();
  system->setValueForKey("inputLevel", fnd::Value(12));
  system->setOutCabStatus(HIDServiceSystemModel::outCabStatusText(1, 0));
  EXPECT_EQ(system->inputLevel(), 12);
  EXPECT_EQ(system->valueForKey("outCabStatus"), fnd::Value(" CAB-L: ON\n CAB-R: THRU"));
  EXPECT_EQ(HIDServiceSystemModel::rhythmVolText(7), "VOL: 7");
  EXPECT_EQ(HIDServiceSystemModel::rhythmBpmText(120), "BPM: 120");
}

TEST(DeviceRecords, CopiesAreIndependentOfTheirSource) {
  auto source = presetWithModules();
  auto copy = source->copy();
  EXPECT_EQ(copy->presetName(), "Lead");
  EXPECT_EQ(copy->selectedPreset(), 12);
  EXPECT_EQ(copy->nowPageNumber(), 9);
  EXPECT_EQ(copy->selectedModule(), 3);
  ASSERT_NE(copy->module(5), nullptr);
  EXPECT_NE(copy->module(5), source->module(5));
  EXPECT_EQ(copy->module(5)->dataArr(), source->module(5)->dataArr());

  // Replacing an entry or editing a module of the copy leaves the source alone.
  auto replacement = fnd::make<HIDServiceModel>();
  replacement->setDataArr({0, 0});
  copy->setModule(5, replacement);
  copy->module(2)->setDataArr({9, 9, 9});
  copy->module(2)->setFuncDataArr({8, 8, 8});
  copy->setPresetName("Other");
  EXPECT_EQ(source->module(5)->dataArr(), (std::vector<int>{1, 5, 50}));
  EXPECT_EQ(source->module(2)->dataArr(), (std::vector<int>{1, 2, 20}));
  EXPECT_EQ(source->module(2)->FuncDataArr(), (std::vector<int>{2, 5, 1}));
  EXPECT_EQ(source->presetName(), "Lead");
  // And the other way round.
  source->module(7)->setDataArr({4});
  EXPECT_EQ(copy->module(7)->dataArr(), (std::vector<int>{1, 7, 70}));

  auto model = source->module(1);
  auto modelCopy = model->mutableCopy();
  modelCopy->dataArr.update([](std::vector<int>& words) { words.push_back(77); });
  EXPECT_EQ(model->dataArr().size(), 3u);

  auto system = fnd::make<HIDServiceSystemModel>();
  system->setInputLevel(3);
  system->setRhythm_vol("VOL: 5");
  auto systemCopy = system->copy();
  systemCopy->setInputLevel(4);
  EXPECT_EQ(system->inputLevel(), 3);
  EXPECT_EQ(systemCopy->rhythm_vol(), "VOL: 5");
}

TEST(DeviceRecords, StoredModuleBringsEveryModuleToItsExpWords) {
  auto preset = presetWithModules();
  size_t switchesTold = 0;
  preset->addObserver("moduleSwitches", 0, [&](const fnd::KVOChange&) { ++switchesTold; });
  auto edited = preset->module(3)->copy();
  edited->setDataArr({1, 4, 4, 4});
  edited->setFuncDataArr({3, 17, 1});
  edited->setExpDataArr({1, 10, 90});
  preset->storeModule(3, *edited);
  EXPECT_EQ(switchesTold, 0u) << "the on/off word kept (a knob's edit)";
  EXPECT_EQ(preset->module(3)->dataArr(), (std::vector<int>{1, 4, 4, 4}));
  EXPECT_NE(preset->module(3), edited);  // stored as a copy
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(preset->module(i)->FuncDataArr(), (std::vector<int>{3, 17, 1})) << i;
    EXPECT_EQ(preset->module(i)->ExpDataArr(), (std::vector<int>{1, 10, 90})) << i;
  }
  preset->storeModule(9, *edited);  // not a module: ignored
  EXPECT_EQ(preset->presetDataDic().size(), 9u);
  edited->setDataArr({0, 4, 4, 4});
  preset->storeModule(3, *edited);
  EXPECT_EQ(switchesTold, 1u) << "the module switched off";
}

TEST(DeviceRecords, EverySetterNotifiesOnItsOwnThreadAlsoForEqualValues) {
  auto preset = fnd::make<HIDServiceModuleMode>();
  auto model = fnd::make<HIDServiceModel>();
  auto system = fnd::make<HIDServiceSystemModel>();
  struct Seen {
    std::string key;
    std::thread::id thread;
  };
  std::mutex mutex;
  std::vector<Seen> seen;
  auto watch = [&](fnd::Object& object, const std::vector<std::string>& keys) {
    for (const auto& key : keys)
      object.addObserver(key, fnd::KVONew, [&, key](const fnd::KVOChange&) {
        std::lock_guard guard(mutex);
        seen.push_back({key, std::this_thread::get_id()});
      });
  };
  watch(*preset, {"presetName", "selectedPreset", "nowPageNumber", "selectedModule", "presetDataDic"});
  watch(*model, {"dataArr", "FuncDataArr", "ExpDataArr"});
  watch(*system, {"inputLevel", "screenLevel", "leftOutCab", "rightOutCab", "outCabStatus", "OtgOutLevel",
                  "rhythm_switch", "rhythm_mode", "rhythm_style", "rhythm_vol", "rhythm_bpm"});

  auto setAll = [&] {
    preset->setPresetName("A");
    preset->setSelectedPreset(1);
    preset->setNowPageNumber(6);
    preset->setSelectedModule(0);
    preset->setPresetDataDic({});
    model->setDataArr({1});
    model->setFuncDataArr({0, 0, 0});
    model->setExpDataArr({0, 0, 100});
    system->setInputLevel(1);
    system->setScreenLevel(1);
    system->setLeftOutCab(0);
    system->setRightOutCab(0);
    system->setOutCabStatus("x");
    system->setOtgOutLevel(1);
    system->setRhythm_switch(0);
    system->setRhythm_mode(0);
    system->setRhythm_style(0);
    system->setRhythm_vol("VOL: 1");
    system->setRhythm_bpm("BPM: 90");
  };
  std::thread::id worker;
  std::thread t([&] {
    worker = std::this_thread::get_id();
    setAll();
  });
  t.join();
  setAll();  // the same values again, on this thread
  ASSERT_EQ(seen.size(), 2u * 19u);
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(seen[i].thread, i < 19 ? worker : std::this_thread::get_id()) << seen[i].key;
  EXPECT_EQ(seen[5].key, "dataArr");
  EXPECT_EQ(seen[19 + 5].key, "dataArr");
}

TEST(DeviceRecords, EmptyWordListIsStoredAndLogged) {
  std::vector<std::string> lines;
  auto previous = fnd::setLogSink([&](const std::string& line) { lines.push_back(line); });
  auto model = fnd::make<HIDServiceModel>();
  model->setDataArr({1, 2});
  model->setDataArr({});
  fnd::setLogSink(previous);
  EXPECT_TRUE(model->dataArr().empty());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("dataArr"), std::string::npos);
}

}  // namespace
