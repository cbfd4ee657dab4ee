// The frame decoder: what each of the unit's frames does to the records, the
// modified flag and the answers, and that malformed frames change nothing.
// Payloads are written out by hand from the protocol's tables.
#include <gtest/gtest.h>

#include <random>

#include "HIDServiceViewModeTestSupport.h"
#include "platform/foundation/NotificationCenter.h"

using namespace svc_test;

namespace {

// Counts "reloadPresetName" while it lives.
struct ReloadCounter {
  std::atomic<int> count{0};
  fnd::NotificationCenter::Token token;
  ReloadCounter() {
    token = fnd::NotificationCenter::defaultCenter().addObserver(HIDServiceViewMode::kReloadPresetName, {},
                                                                   [this](const fnd::Notification&) { ++count; });
  }
  ~ReloadCounter() { fnd::NotificationCenter::defaultCenter().removeObserver(token); }
};

// Keys in the order their observers were told.
struct KeyLog {
  std::vector<std::string> keys;
  void watch(fnd::Object& object, const std::string& key) {
    object.addObserver(key, fnd::KVONew, [this](const fnd::KVOChange& c) { keys.push_back(c.key); });
  }
};

}  // namespace

TEST(HIDServiceViewModeDecoder, ModuleWordsUpdateTheModuleAndTheEditedOneWhenSelected) {
  Recorder r;
  loadUnit(r, 1, 9);  // CAB selected
  const auto edited = r.service->presetDataModel();
  const Bytes cab = {0x01, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00};
  r.feed(0x05, cab);
  const std::vector<int> words{1, 5, 65535, 2, 3, 4, 5};
  EXPECT_EQ(r.service->presetAllData()->module(3)->dataArr.get(), words);
  EXPECT_EQ(edited->dataArr.get(), words);
  EXPECT_EQ(r.service->didChangeData.get(), 1);

  r.service->setDidChangeData(0);
  r.service->sendChangePage(6);  // FX/COMP selected
  r.take();
  const std::vector<int> fx = edited->dataArr.get();
  r.feed(0x05, {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0});
  EXPECT_EQ(r.service->presetAllData()->module(3)->dataArr.get(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(edited->dataArr.get(), fx);
  EXPECT_EQ(r.service->didChangeData.get(), 1);
  // Module words never reach the cache: they are unsaved edits.
  EXPECT_EQ(r.service->cachedPreset(1)->module(3)->dataArr.get(), recordWords(1, 3));
  EXPECT_TRUE(r.take().empty());
}

TEST(HIDServiceViewModeDecoder, SystemAndRhythmReports) {
  Recorder r;
  const auto system = r.service->systemDataModel();
  r.feed(0x0C, {0x01, 0x02, 0x03, 50, 0x78, 0x00});
  EXPECT_EQ(system->rhythm_switch.get(), 1);
  EXPECT_EQ(system->rhythm_mode.get(), 2);
  EXPECT_EQ(system->rhythm_style.get(), 3);
  EXPECT_EQ(system->rhythm_vol.get(), "VOL: 50");
  EXPECT_EQ(system->rhythm_bpm.get(), "BPM: 120");

  r.feed(0x24, {21, 0});
  r.feed(0x25, {0x14, 0x00});
  r.feed(0x27, {0x03, 0x01});
  r.feed(0x26, {1, 0, 0, 0});
  EXPECT_EQ(system->inputLevel.get(), 21);
  EXPECT_EQ(system->screenLevel.get(), 20);
  EXPECT_EQ(system->OtgOutLevel.get(), 0x103);
  EXPECT_EQ(system->leftOutCab.get(), 1);
  EXPECT_EQ(system->rightOutCab.get(), 0);
  EXPECT_EQ(system->outCabStatus.get(), " CAB-L: ON\n CAB-R: THRU");
  EXPECT_EQ(r.service->didChangeData.get(), 0);
  EXPECT_TRUE(r.take().empty());
}

TEST(HIDServiceViewModeDecoder, PageChangeSelectsModulesInOrder) {
  Recorder r;
  loadUnit(r, 1, 6);
  const auto current = r.service->presetAllData();
  const auto edited = r.service->presetDataModel();
  edited->setDataArr({1, 2, 3, 4, 5, 6});  // a screen's edit of FX/COMP, not sent

  r.feed(0x34, {0x04});
  EXPECT_EQ(current->nowPageNumber.get(), 4);
  EXPECT_EQ(current->selectedModule.get(), 0);

  KeyLog log;
  log.watch(*current, "selectedModule");
  log.watch(*edited, "dataArr");
  r.feed(0x34, {0x09});
  EXPECT_EQ(current->nowPageNumber.get(), 9);
  EXPECT_EQ(current->selectedModule.get(), 3);
  EXPECT_EQ(edited->dataArr.get(), currentWords(1, 3));
  EXPECT_EQ(log.keys, (std::vector<std::string>{"selectedModule", "dataArr"}));
  // The module left behind keeps its edit in the current preset.
  EXPECT_EQ(current->module(0)->dataArr.get(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(HIDServiceViewModeDecoder, PresetChangeLoadsACopyOfTheCache) {
  Recorder r;
  loadUnit(r, 1, 7);  // DS/OD selected
  const auto current = r.service->presetAllData();
  const auto edited = r.service->presetDataModel();
  r.service->setDidChangeData(1);

  r.feed(0x16, {0x07});
  EXPECT_EQ(current->selectedPreset.get(), 7);
  EXPECT_EQ(current->presetName.get(), "P7");
  EXPECT_EQ(edited->dataArr.get(), recordWords(7, 1));
  EXPECT_EQ(edited->FuncDataArr.get(), (std::vector<int>{2, 7, 1}));
  EXPECT_EQ(edited->ExpDataArr.get(), (std::vector<int>{1, 10, 90}));
  EXPECT_EQ(r.service->didChangeData.get(), 1);  // a change on the unit keeps the flag

  // An edit of preset 7 that is never saved does not follow it back.
  edited->setDataArr({9, 9, 9, 9, 9});
  r.service->sendModuleData();
  r.feed(0x16, {0x08});
  r.feed(0x16, {0x07});
  EXPECT_EQ(edited->dataArr.get(), recordWords(7, 1));
  EXPECT_EQ(r.service->cachedPreset(7)->module(1)->dataArr.get(), recordWords(7, 1));

  // Presets that do not exist are dropped.
  for (uint8_t n : {0x00, 0xC9, 0xFF}) r.feed(0x16, {n});
  EXPECT_EQ(current->selectedPreset.get(), 7);
}

TEST(HIDServiceViewModeDecoder, PresetSavedStoresTheEditBufferUnderItsNewName) {
  Recorder r;
  loadUnit(r, 5, 8);  // AMP selected
  const auto current = r.service->presetAllData();
  const auto edited = r.service->presetDataModel();
  edited->setDataArr({1, 2, 3, 4, 5, 6, 7, 8});
  r.service->sendModuleData();
  ASSERT_EQ(r.service->didChangeData.get(), 1);
  ReloadCounter reloads;

  Bytes saved = {0x05, 'C', 'r', 'u', 'n', 'c', 'h', ' ', ' ', 0, 0, 0, 0, 0, 0};
  r.feed(0x17, saved);
  EXPECT_EQ(r.service->didChangeData.get(), 0);
  EXPECT_EQ(reloads.count.load(), 1);
  EXPECT_EQ(current->presetName.get(), "Crunch");
  const auto cached = r.service->cachedPreset(5);
  EXPECT_EQ(cached->presetName.get(), "Crunch");
  EXPECT_EQ(cached->module(2)->dataArr.get(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  // The cache holds its own copy: later edits stay out of it.
  edited->setDataArr({0, 0, 0, 0, 0, 0, 0, 0});
  r.service->sendModuleData();
  EXPECT_EQ(r.service->cachedPreset(5)->module(2)->dataArr.get(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));

  // Saved into another slot: that slot gets the edit buffer, the current
  // preset keeps its name.
  saved[0] = 9;
  r.feed(0x17, saved);
  EXPECT_EQ(r.service->cachedPreset(9)->presetName.get(), "Crunch");
  EXPECT_EQ(r.service->cachedPreset(9)->module(2)->dataArr.get(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(current->selectedPreset.get(), 5);
  EXPECT_EQ(reloads.count.load(), 2);
}

TEST(HIDServiceViewModeDecoder, ExpWordsReachTheEditedModuleAndTheWholePreset) {
  Recorder r;
  loadUnit(r, 1, 6);
  r.feed(0x18, {0x04, 0x00, 0x21, 0x00, 0x01, 0x00});
  r.feed(0x33, {0x01, 0x00, 0x05, 0x00, 0x5F, 0x00});
  EXPECT_EQ(r.service->presetDataModel()->FuncDataArr.get(), (std::vector<int>{4, 33, 1}));
  EXPECT_EQ(r.service->presetDataModel()->ExpDataArr.get(), (std::vector<int>{1, 5, 95}));
  EXPECT_EQ(r.service->didChangeData.get(), 1);
  for (int m = 0; m < 9; ++m) {
    EXPECT_EQ(r.service->presetAllData()->module(m)->FuncDataArr.get(), (std::vector<int>{4, 33, 1}));
    EXPECT_EQ(r.service->presetAllData()->module(m)->ExpDataArr.get(), (std::vector<int>{1, 5, 95}));
  }
}

TEST(HIDServiceViewModeDecoder, CurrentPresetKeepsTheRecordObjects) {
  Recorder r;
  loadUnit(r, 1, 6);
  const auto edited = r.service->presetDataModel();
  std::vector<std::vector<int>> seen;
  edited->addObserver("dataArr", fnd::KVONew,
                      [&](const fnd::KVOChange& c) { seen.push_back(fnd::ValueTraits<std::vector<int>>::fromValue(c.newValue)); });
  std::vector<int> progress;
  r.service->setProgressBlock([&](int v) { progress.push_back(v); });
  r.service->setDidChangeData(1);

  r.feed(0x30, currentPreset(12, 22));  // not a module page: module 0
  EXPECT_EQ(r.service->presetDataModel(), edited);
  EXPECT_EQ(r.service->presetAllData()->selectedModule.get(), 0);
  EXPECT_EQ(r.service->presetAllData()->selectedPreset.get(), 12);
  EXPECT_EQ(r.service->presetAllData()->presetName.get(), "P12");
  const std::vector<int> fx = currentWords(12, 0);
  EXPECT_EQ(edited->dataArr.get(), fx);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), fx);
  EXPECT_EQ(r.service->didChangeData.get(), 0);
  EXPECT_EQ(progress, (std::vector<int>{201}));
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0x8C, {0x00}}}));

  r.feed(0x30, currentPreset(12, 9));
  EXPECT_EQ(r.service->presetAllData()->selectedModule.get(), 3);
  EXPECT_EQ(progress, (std::vector<int>{201, 201}));
}

TEST(HIDServiceViewModeDecoder, CallbacksForWritesAndExports) {
  Recorder r;
  r.feed(0x43, {0x05});  // no callback set: nothing happens
  std::vector<long> results;
  r.service->sendPresetDataToDevice(*fnd::make<HIDServiceModuleMode>(), 4, [&](long v) { results.push_back(v); });
  r.feed(0x43, {0x05});
  EXPECT_EQ(results, (std::vector<long>{1}));

  Bytes exported;
  r.service->setRevicedIRNR([&](std::span<const uint8_t> p) { exported.assign(p.begin(), p.end()); });
  r.feed(0x44, {0x00, 0x03});
  EXPECT_EQ(exported, (Bytes{0x00, 0x03}));
}

TEST(HIDServiceViewModeDecoder, SlotNamesLabelTheUserSlots) {
  Recorder r;
  Bytes names(320, 0);
  const std::string clean = "Clean";
  std::copy(clean.begin(), clean.end(), names.begin());  // NR slot 0
  const std::string cab = "4x12 Greenback V";             // IR slot 9, all 16 bytes
  std::copy(cab.begin(), cab.end(), names.begin() + 160 + 16 * 9);
  names[160 + 16 * 2] = 0x01;  // IR slot 2: a byte that is not text

  // Before the catalogue is loaded its lists are empty: nothing to label,
  // and the unit still gets its answer.
  r.feed(0x41, names);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xA0, {0x00}}}));

  r.service->loadXML();
  r.feed(0x41, names);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xA0, {0x00}}}));
  const auto amp = r.service->effectCatalogue()->typeNames(2);
  const auto cabs = r.service->effectCatalogue()->typeNames(3);
  ASSERT_GE(amp.size(), 65u);
  ASSERT_GE(cabs.size(), 36u);
  EXPECT_EQ(amp[55], "56:Clean");
  EXPECT_EQ(amp[64], "65:");
  EXPECT_EQ(cabs[35], "36:4x12 Greenback V");
  EXPECT_EQ(cabs[28], "29:?");
  EXPECT_EQ(r.service->presetInfoDic()["CAB"][0][35], "36:4x12 Greenback V");
}

TEST(HIDServiceViewModeDecoder, ConfirmPanelsCloseBelow0x80) {
  Recorder r;
  auto hides = [&] { return r.popUps->hides.load(); };
  r.feed(0x20, presetRecord(133, "High"));  // payload[0] = 0x85
  EXPECT_EQ(hides(), 0);
  EXPECT_TRUE(r.service->cachedPreset(133));
  r.feed(0x16, {0x7F});
  EXPECT_EQ(hides(), 1);
  r.feed(0x50, {0x01});  // a code this program does not use
  EXPECT_EQ(hides(), 2);
  r.feed(0x50, {0x80});
  EXPECT_EQ(hides(), 2);
  EXPECT_TRUE(r.take().empty());
}

TEST(HIDServiceViewModeDecoder, ShortOrBadFramesChangeNothing) {
  Recorder r;
  loadUnit(r, 3, 9);
  const auto current = r.service->presetAllData();
  const auto before = current->copy();
  const auto beforeEdited = r.service->presetDataModel()->copy();
  const auto system = r.service->systemDataModel()->copy();
  std::vector<int> progress;
  r.service->setProgressBlock([&](int v) { progress.push_back(v); });

  // One byte short of each layout.
  const std::vector<std::pair<uint8_t, size_t>> layouts = {
      {0x02, 12}, {0x05, 14}, {0x0A, 12}, {0x0C, 6},  {0x16, 1},   {0x17, 15}, {0x18, 6},  {0x20, 159},
      {0x21, 159}, {0x24, 2}, {0x25, 2},  {0x26, 4},  {0x27, 2},   {0x30, 146}, {0x32, 10}, {0x33, 6},
      {0x34, 1},  {0x41, 320}, {0x44, 2}, {0xB5, 1}, {0xB7, 1}};
  for (auto [code, size] : layouts) r.feed(code, Bytes(size - 1, 0x07));
  // Preset numbers outside 1 to 200.
  Bytes record = presetRecord(1, "X");
  for (uint8_t n : {0, 201, 255}) {
    record[0] = n;
    r.feed(0x20, record);
    r.feed(0x21, record);
    r.feed(0x17, Bytes{n, 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Bytes now = currentPreset(1, 6);
    now[0] = n;
    r.feed(0x30, now);
  }
  // Frames whose length field disagrees with their size, and scraps.
  Bytes f = frameOf(0x24, {5, 0});
  f.push_back(0);
  r.service->callBackData(f);
  r.service->callBackData(Bytes{0xAA, 0x55, 0x00});
  r.service->callBackData(Bytes{});

  EXPECT_TRUE(r.take().empty());
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(current->presetName.get(), before->presetName.get());
  EXPECT_EQ(current->selectedPreset.get(), before->selectedPreset.get());
  EXPECT_EQ(current->selectedModule.get(), before->selectedModule.get());
  EXPECT_EQ(current->nowPageNumber.get(), before->nowPageNumber.get());
  for (int m = 0; m < 9; ++m) EXPECT_EQ(current->module(m)->dataArr.get(), before->module(m)->dataArr.get());
  EXPECT_EQ(r.service->presetDataModel()->dataArr.get(), beforeEdited->dataArr.get());
  EXPECT_EQ(r.service->systemDataModel()->inputLevel.get(), system->inputLevel.get());
  EXPECT_EQ(r.service->systemDataModel()->rhythm_vol.get(), system->rhythm_vol.get());
  EXPECT_EQ(r.service->didChangeData.get(), 0);
  for (int n = 1; n <= 200; ++n) ASSERT_EQ(r.service->cachedPreset(n)->presetName.get(), "P" + std::to_string(n));
}

TEST(HIDServiceViewModeDecoder, RandomFramesNeverCrash) {
  Recorder r;
  loadUnit(r, 1, 6);
  std::mt19937 rng(450);
  for (int i = 0; i < 4000; ++i) {
    const auto code = static_cast<uint8_t>(rng() % 256);
    Bytes payload(rng() % 340);
    for (auto& b : payload) b = static_cast<uint8_t>(rng());
    r.feed(code, payload);
  }
  SUCCEED();
}
