// The send methods: the exact bytes of every command (written out by hand from
// the protocol's tables), the page checks and what each does to the records
// and the modified flag; and the simulated unit applying them.
#include <gtest/gtest.h>

#include <thread>

#include "HIDServiceViewModeTestSupport.h"
#include "device/records/PresetRecord.h"
#include "platform/foundation/NotificationCenter.h"

using namespace svc_test;

namespace {

int reloadsDuring(const std::function<void()>& fn) {
  std::atomic<int> count{0};
  auto& center = fnd::NotificationCenter::defaultCenter();
  auto token = center.addObserver(HIDServiceViewMode::kReloadPresetName, {}, [&](const fnd::Notification&) { ++count; });
  fn();
  center.removeObserver(token);
  return count.load();
}

}  // namespace

TEST(HIDServiceViewModeCommands, WholeFramesOfTheSimpleCommands) {
  Recorder r;
  loadUnit(r, 1, 6);
  r.service->sendChangePreset(7);
  r.service->sendReset();
  r.service->sendChangePage(8);
  const std::vector<Sent> sent = r.take();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(frameOf(sent[0].cmd, sent[0].payload), (Bytes{0xAA, 0x55, 0x02, 0x00, 0x96, 0x07, 0xD0, 0x3D}));
  EXPECT_EQ(frameOf(sent[1].cmd, sent[1].payload), (Bytes{0xAA, 0x55, 0x02, 0x00, 0x8B, 0x01, 0xC5, 0xD4}));
  EXPECT_EQ(frameOf(sent[2].cmd, sent[2].payload), (Bytes{0xAA, 0x55, 0x03, 0x00, 0xB4, 0x08, 0x00, 0xBA, 0xBB}));
  for (const Sent& s : sent) EXPECT_EQ(s.datalen, s.payload.size() + 1);
}

TEST(HIDServiceViewModeCommands, ModuleDataGoesToTheSelectedModulesPage) {
  Recorder r;
  loadUnit(r, 1, 6);
  const auto current = r.service->presetAllData();
  const auto edited = r.service->presetDataModel();
  r.feed(0x34, {22});  // the EXP volume page
  r.service->sendChangePage(8);
  r.feed(0x34, {22});
  r.take();
  ASSERT_EQ(current->selectedModule.get(), 2);

  edited->setDataArr({1, 3, 0x1234, 40, 50, 60, 70, 65535});
  r.service->sendModuleData();
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xB4, {0x08, 0x00}},
                                         {0x84, {0x01, 0x00, 0x03, 0x00, 0x34, 0x12, 0x28, 0x00, 0x32, 0x00, 0x3C,
                                                 0x00, 0x46, 0x00, 0xFF, 0xFF}}}));
  EXPECT_EQ(current->nowPageNumber.get(), 8);
  EXPECT_EQ(r.service->didChangeData.get(), 1);
  EXPECT_EQ(current->module(2)->dataArr.get(), (std::vector<int>{1, 3, 0x1234, 40, 50, 60, 70, 65535}));

  // Already on the page: the words only.
  r.service->sendModuleData();
  ASSERT_EQ(r.take().size(), 1u);

  // The unit on another module's page (the current preset named page 12 as
  // selected, the page record still says 8): the selected module's page is
  // sent first, never its words under another module's command.
  r.feed(0x30, currentPreset(1, 12));
  r.take();
  r.service->sendModuleData();
  const std::vector<Sent> sent = r.take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Sent{0xB4, {12, 0}}));
  EXPECT_EQ(sent[1].cmd, 0x88);
  EXPECT_EQ(sent[1].payload.size(), 18u);

  // A list shorter than the module keeps the other words as stored.
  edited->setDataArr({1, 2});
  r.service->sendModuleData();
  std::vector<int> expected = current->module(6)->dataArr.get();
  ASSERT_EQ(expected.size(), 9u);
  const Sent words = r.take().at(0);
  EXPECT_EQ(words.payload.size(), 18u);
  EXPECT_EQ(words.payload[0], 1);
  EXPECT_EQ(words.payload[2], 2);
  EXPECT_EQ(current->module(6)->dataArr.get()[2], expected[2]);
}

TEST(HIDServiceViewModeCommands, PageChangesOnlyWhenElsewhere) {
  Recorder r;
  loadUnit(r, 1, 6);
  const auto current = r.service->presetAllData();
  r.feed(0x34, {5});
  r.service->sendChangePage(5);
  EXPECT_TRUE(r.take().empty());

  std::vector<std::string> order;
  current->addObserver("selectedModule", 0, [&](const fnd::KVOChange& c) { order.push_back(c.key); });
  r.service->presetDataModel()->addObserver("dataArr", 0, [&](const fnd::KVOChange& c) { order.push_back(c.key); });
  current->addObserver("nowPageNumber", 0, [&](const fnd::KVOChange& c) { order.push_back(c.key); });
  r.service->sendChangePage(9);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xB4, {0x09, 0x00}}}));
  EXPECT_EQ(current->selectedModule.get(), 3);
  EXPECT_EQ(r.service->presetDataModel()->dataArr.get(), currentWords(1, 3));
  EXPECT_EQ(order, (std::vector<std::string>{"selectedModule", "dataArr", "nowPageNumber"}));

  r.service->sendChangePage(17);  // a system page leaves the module as it is
  EXPECT_EQ(current->selectedModule.get(), 3);
  EXPECT_EQ(current->nowPageNumber.get(), 17);
  r.service->sendChangePage(-1);
  r.service->sendChangePage(256);
  EXPECT_EQ(r.take().size(), 1u);
}

TEST(HIDServiceViewModeCommands, PresetChangeLoadsFromTheCacheAndLeavesTheFlag) {
  Recorder r;
  loadUnit(r, 1, 11);  // EQ
  r.service->setDidChangeData(1);
  r.service->sendChangePreset(1);
  EXPECT_TRUE(r.take().empty());
  r.service->sendChangePreset(150);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0x96, {150}}}));
  EXPECT_EQ(r.service->presetAllData()->selectedPreset.get(), 150);
  EXPECT_EQ(r.service->presetAllData()->presetName.get(), "P150");
  EXPECT_EQ(r.service->presetDataModel()->dataArr.get(), recordWords(150, 5));
  EXPECT_EQ(r.service->didChangeData.get(), 1);

  r.service->presetAllData()->module(5)->setDataArr({0});  // edits the current copy only
  EXPECT_EQ(r.service->cachedPreset(150)->module(5)->dataArr.get(), recordWords(150, 5));
  r.service->updateCurrentPreset();
  EXPECT_EQ(r.service->presetAllData()->module(5)->dataArr.get(), recordWords(150, 5));
  EXPECT_TRUE(r.take().empty());

  for (int n : {0, 201, -3}) r.service->sendChangePreset(n);
  EXPECT_TRUE(r.take().empty());
}

TEST(HIDServiceViewModeCommands, SaveAndRename) {
  Recorder r;
  loadUnit(r, 4, 6);
  const auto current = r.service->presetAllData();
  r.service->presetDataModel()->setDataArr({1, 1, 1, 1, 1, 1});
  r.service->sendModuleData();
  r.take();

  EXPECT_EQ(reloadsDuring([&] { r.service->sendSave(4, "Lead Tone", 1); }), 1);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0x97, {0x04, 'L', 'e', 'a', 'd', ' ', 'T', 'o', 'n', 'e', 0, 0, 0, 0, 0}}}));
  EXPECT_EQ(r.service->didChangeData.get(), 0);
  EXPECT_EQ(current->presetName.get(), "Lead Tone");
  EXPECT_EQ(r.service->cachedPreset(4)->presetName.get(), "Lead Tone");
  EXPECT_EQ(r.service->cachedPreset(4)->module(0)->dataArr.get(), (std::vector<int>{1, 1, 1, 1, 1, 1}));
  // Saved, then edited again: the cache keeps what was saved.
  current->module(0)->setDataArr({2});
  EXPECT_EQ(r.service->cachedPreset(4)->module(0)->dataArr.get(), (std::vector<int>{1, 1, 1, 1, 1, 1}));

  // Another slot is a rename; a long name is cut to 14 characters.
  r.service->setDidChangeData(1);
  EXPECT_EQ(reloadsDuring([&] { r.service->sendSave(9, "Twenty Characters xx", 1); }), 1);
  EXPECT_EQ(r.take(),
            (std::vector<Sent>{{0xA3, {0x09, 'T', 'w', 'e', 'n', 't', 'y', ' ', 'C', 'h', 'a', 'r', 'a', 'c', 't'}}}));
  EXPECT_EQ(r.service->cachedPreset(9)->presetName.get(), "Twenty Charact");
  EXPECT_EQ(r.service->cachedPreset(9)->module(0)->dataArr.get(), recordWords(9, 0));
  EXPECT_EQ(current->presetName.get(), "Lead Tone");
  EXPECT_EQ(r.service->didChangeData.get(), 1);

  // A refused name: the failure tip on the main queue, nothing else.
  EXPECT_EQ(reloadsDuring([&] { r.service->sendSave(4, "A_B", 1); }), 0);
  r.service->sendSave(4, "", 1);
  r.service->sendSave(4, "Name\n", 1);
  EXPECT_TRUE(r.take().empty());
  dispatch::drainMainQueue();
  const std::string tip = std::string("fail: ") + HIDServiceViewMode::kWrongNameTip;
  EXPECT_EQ(r.popUps->tips(), (std::vector<std::string>{tip, tip, tip}));
  EXPECT_EQ(current->presetName.get(), "Lead Tone");
}

TEST(HIDServiceViewModeCommands, PresetWrite) {
  Recorder r;
  loadUnit(r, 20, 7);
  auto record = r.service->cachedPreset(3)->copy();
  record->setPresetName("Imported");
  record->module(1)->setDataArr({1, 2, 3, 4, 5});
  std::vector<long> results;
  r.service->sendPresetDataToDevice(*record, 19, [&](long v) { results.push_back(v); });
  const std::vector<Sent> sent = r.take();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].cmd, 0xC3);
  EXPECT_EQ(sent[0].datalen, 160);
  Bytes expected = presetRecord(3, "Imported");
  expected[0] = 20;
  for (int i = 0; i < 5; ++i) {
    expected[static_cast<size_t>(15 + 12 + 2 * i)] = static_cast<uint8_t>(i + 1);
    expected[static_cast<size_t>(15 + 12 + 2 * i + 1)] = 0;
  }
  EXPECT_EQ(sent[0].payload, expected);
  // Until the unit confirms, the cache and the current records keep what
  // the unit holds.
  EXPECT_EQ(r.service->presetAllData()->presetName.get(), "P20");
  EXPECT_EQ(r.service->cachedPreset(20)->presetName.get(), "P20");
  EXPECT_EQ(r.service->presetDataModel()->dataArr.get(), currentWords(20, 1));
  EXPECT_EQ(r.service->pendingPresetWrites(), 1u);
  // Slot 20 is current: once confirmed, the current records follow.
  r.feed(0x43, {20});
  EXPECT_EQ(results, (std::vector<long>{1}));
  EXPECT_EQ(r.service->presetAllData()->presetName.get(), "Imported");
  EXPECT_EQ(r.service->presetDataModel()->dataArr.get(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(r.service->cachedPreset(20)->presetName.get(), "Imported");
  EXPECT_EQ(r.service->pendingPresetWrites(), 0u);

  // Writes waiting together: a confirmation naming a preset is that
  // preset's; one naming none is the oldest write's. A later write of
  // another preset does not move the current records.
  std::vector<std::string> confirmed;
  for (int index : {30, 31, 32}) {
    record->setPresetName("W" + std::to_string(index + 1));
    r.service->sendPresetDataToDevice(*record, index, [&, index](long result) {
      confirmed.push_back("W" + std::to_string(index + 1) + (result == 1 ? "" : " lost"));
    });
  }
  r.feed(0x43, {32});
  r.feed(0x43, {0});
  EXPECT_EQ(confirmed, (std::vector<std::string>{"W32", "W31"}));
  EXPECT_EQ(r.service->cachedPreset(31)->presetName.get(), "W31");
  EXPECT_EQ(r.service->cachedPreset(32)->presetName.get(), "W32");
  EXPECT_EQ(r.service->cachedPreset(33)->presetName.get(), "P33");
  EXPECT_EQ(r.service->presetAllData()->presetName.get(), "Imported");
  // A write never confirmed in time is given up and its block told so: a
  // late confirmation does not make the cache take it.
  HIDServiceViewMode::Timing timing = r.service->timing();
  timing.presetWriteExpiry = std::chrono::milliseconds(1);
  r.service->setTiming(timing);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  r.feed(0x43, {33});
  EXPECT_EQ(confirmed, (std::vector<std::string>{"W32", "W31", "W33 lost"}));
  EXPECT_EQ(r.service->cachedPreset(33)->presetName.get(), "P33");
  EXPECT_EQ(r.service->pendingPresetWrites(), 0u);
  r.take();

  // The current preset's write lost by its bound, with an edit not saved:
  // the edits wait until the unit has sent its record of the preset, asked
  // for again. Not the write: the unit did not take it, the records and the
  // unsaved edit stay. The write: the records show it.
  timing.currentPresetAnswer = kBound;
  r.service->setTiming(timing);
  for (const bool taken : {false, true}) {
    SCOPED_TRACE(taken ? "taken" : "not taken");
    r.service->setDidChangeData(1);
    std::atomic<long> lost{-1};
    record->setPresetName(taken ? "Taken" : "Not Taken");
    r.service->sendPresetDataToDevice(*record, 19, [&](long result) { lost = result; });
    EXPECT_TRUE(r.service->awaitingCurrentPreset.get());
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return lost == HIDServiceViewMode::kPresetWriteLost; }, kBound));
    const std::vector<Sent> asked = r.take();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], (Sent{0xA1, {20}}));
    EXPECT_TRUE(r.service->awaitingCurrentPreset.get());
    const PresetRecord::Bytes written = PresetRecord::encode(*record, 20);
    r.feed(0x21, taken ? Bytes(written.begin(), written.end()) : presetRecord(20, "On The Unit"));
    EXPECT_FALSE(r.service->awaitingCurrentPreset.get());
    EXPECT_EQ(r.service->presetAllData()->presetName.get(), taken ? "Taken" : "Imported");
    EXPECT_EQ(r.service->cachedPreset(20)->presetName.get(), taken ? "Taken" : "On The Unit");
    EXPECT_EQ(r.service->didChangeData.get(), 1);
    EXPECT_TRUE(r.take().empty());
  }

  r.service->sendPresetDataToDevice(*record, 200, nullptr);
  r.service->sendPresetDataToDevice(*record, -1, nullptr);
  EXPECT_TRUE(r.take().empty());
}

TEST(HIDServiceViewModeCommands, ExpAssignmentAndVolumeCarryLowBytes) {
  Recorder r;
  loadUnit(r, 1, 6);
  r.service->sendExpvol({1, 10, 300});
  r.service->sendFunction({8, 60, 1});
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xB3, {0x01, 0x00, 0x0A, 0x00, 0x2C, 0x00}},
                                         {0x98, {0x08, 0x00, 0x3C, 0x00, 0x01, 0x00}}}));
  EXPECT_EQ(r.service->didChangeData.get(), 1);
  EXPECT_EQ(r.service->presetDataModel()->ExpDataArr.get(), (std::vector<int>{1, 10, 300}));
  // One set of EXP words for the preset, whichever module a writer reads.
  for (int m = 0; m < 9; ++m)
    EXPECT_EQ(r.service->presetAllData()->module(m)->FuncDataArr.get(), (std::vector<int>{8, 60, 1}));
}

TEST(HIDServiceViewModeCommands, SystemAndRhythm) {
  Recorder r;
  const auto system = r.service->systemDataModel();
  system->setInputLevel(21);
  system->setScreenLevel(20);
  system->setLeftOutCab(0);
  system->setRightOutCab(1);
  system->setOtgOutLevel(0x10F);
  using dev::SystemSetting;
  for (SystemSetting s :
       {SystemSetting::InputLevel, SystemSetting::ScreenLevel, SystemSetting::OutCab, SystemSetting::OtgLevel})
    r.service->sendSystem(s);
  // A value outside the enum sends nothing.
  for (int s : {0, 5, 7}) r.service->sendSystem(static_cast<SystemSetting>(s));
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xA4, {21, 0}}, {0xA5, {20, 0}}, {0xA6, {0, 0, 1, 0}}, {0xA7, {0x0F, 0}}}));
  EXPECT_EQ(system->outCabStatus.get(), " CAB-L: THRU\n CAB-R: ON");

  system->setRhythm_switch(1);
  system->setRhythm_mode(2);
  system->setRhythm_style(7);
  system->setRhythm_vol("VOL: 50");
  system->setRhythm_bpm("BPM: 300");
  r.service->sendRhythm();
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0x8D, {1, 2, 7, 0x32, 0x2C, 0x01}}}));
  // Texts the unit never reported read as 0.
  system->setRhythm_vol("");
  system->setRhythm_bpm("BPM:");
  r.service->sendRhythm();
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0x8D, {1, 2, 7, 0, 0, 0}}}));
  EXPECT_EQ(r.service->didChangeData.get(), 0);
}

// The same commands through the transport: the simulated unit takes each one
// into its state.
TEST(HIDServiceViewModeCommands, TheUnitAppliesEveryCommand) {
  ProgressLog progress;
  SimRig rig;
  sim::UnitApplication::Knobs knobs;
  knobs.leaveBusOnReset = false;
  rig.app->setKnobs(knobs);
  rig.service->init();
  rig.service->getAllData(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  const auto& service = rig.service;
  const auto received = [&] { return rig.unit->receivedCount(); };
  size_t count = received();

  service->sendChangePreset(42);
  service->sendChangePage(12);
  service->presetDataModel()->setDataArr({1, 4, 10, 20, 30, 40, 50, 60, 70});
  service->sendModuleData();
  service->sendExpvol({1, 5, 95});
  service->sendFunction({6, 40, 1});
  service->sendSave(42, "Saved Here", 1);
  service->sendSave(43, "Renamed", 1);
  auto record = service->cachedPreset(1)->copy();
  record->setPresetName("Written");
  std::atomic<long> written{0};
  service->sendPresetDataToDevice(*record, 99, [&](long v) { written = v; });
  service->systemDataModel()->setInputLevel(3);
  service->sendSystem(dev::SystemSetting::InputLevel);
  service->systemDataModel()->setLeftOutCab(0);
  service->systemDataModel()->setRightOutCab(1);
  service->sendSystem(dev::SystemSetting::OutCab);
  service->systemDataModel()->setRhythm_vol("VOL: 70");
  service->systemDataModel()->setRhythm_bpm("BPM: 140");
  service->sendRhythm();
  count += 11;
  ASSERT_TRUE(rig.unit->waitForFrames(count, kBound));
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return written.load() == 1; }, kBound));

  const sim::UnitApplication::Preset saved = rig.app->preset(42);
  EXPECT_EQ(saved.nameText(), "Saved Here");
  EXPECT_EQ(saved.moduleWords(6), (std::vector<int>{1, 4, 10, 20, 30, 40, 50, 60, 70}));
  EXPECT_EQ(saved.expVolume, (std::array<uint16_t, 3>{1, 5, 95}));
  EXPECT_EQ(saved.expFunction, (std::array<uint16_t, 3>{6, 40, 1}));
  EXPECT_EQ(rig.app->editBuffer().preset, 42);
  EXPECT_EQ(rig.app->editBuffer().page, 12);
  EXPECT_EQ(rig.app->preset(43).nameText(), "Renamed");
  EXPECT_EQ(rig.app->preset(100).nameText(), "Written");
  EXPECT_EQ(rig.app->preset(100).moduleWords(3), rig.app->preset(1).moduleWords(3));
  EXPECT_EQ(rig.app->system().inputLevel, 3);
  EXPECT_EQ(rig.app->system().leftOutCab, 0);
  EXPECT_EQ(rig.app->system().rightOutCab, 1);
  EXPECT_EQ(rig.app->rhythm().volume, 70);
  EXPECT_EQ(rig.app->rhythm().bpm, 140);

  service->sendReset();
  ASSERT_TRUE(rig.unit->waitForFrames(count + 1, kBound));
  EXPECT_EQ(rig.app->resets(), 1);
  EXPECT_EQ(rig.app->system().inputLevel, sim::UnitApplication::System{}.inputLevel);
}
