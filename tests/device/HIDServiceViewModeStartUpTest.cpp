// The device service against the simulated unit over the transport:
// connection and status, the whole start-up read, its gaps, re-requests and
// repeated streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "HIDServiceViewModeTestSupport.h"

using namespace svc_test;

namespace {

std::vector<int> oneTo(int last) {
  std::vector<int> v(static_cast<size_t>(last));
  std::iota(v.begin(), v.end(), 1);
  return v;
}

// Every cached preset equals the unit's stored one: name, module words, EXP.
void expectCacheMatchesUnit(const SimRig& rig) {
  const auto cache = rig.service->allPresetDataArr2();
  ASSERT_EQ(cache.size(), 200u);
  for (int n = 1; n <= 200; ++n) {
    const auto& cached = cache[static_cast<size_t>(n - 1)];
    ASSERT_TRUE(cached) << "preset " << n << " missing";
    const sim::UnitApplication::Preset stored = rig.app->preset(n);
    EXPECT_EQ(cached->presetName.get(), stored.nameText()) << n;
    for (int m = 0; m < 9; ++m) EXPECT_EQ(cached->module(m)->dataArr.get(), stored.moduleWords(m)) << n << "/" << m;
    EXPECT_EQ(cached->module(4)->FuncDataArr.get(),
              (std::vector<int>{stored.expFunction[0], stored.expFunction[1], stored.expFunction[2]}));
    EXPECT_EQ(cached->module(8)->ExpDataArr.get(),
              (std::vector<int>{stored.expVolume[0], stored.expVolume[1], stored.expVolume[2]}));
  }
}

}  // namespace

TEST(HIDServiceViewModeConnect, StatusFollowsTheUnitsIdentity) {
  struct Case {
    const char* what;
    sim::Identity identity;
    bool plugged;
    std::string status;
  };
  sim::Identity app, boot, oldFirmware, unknownMode;
  boot.mode = 'B';
  oldFirmware.version = "V1.0.4";
  unknownMode.mode = 'Q';
  for (const Case& c : {Case{"application", app, true, "A"}, Case{"boot loader", boot, true, "B"},
                        Case{"older firmware", oldFirmware, true, "L"}, Case{"unknown mode", unknownMode, true, "D"},
                        Case{"no unit", app, false, "D"}}) {
    SimRig rig(c.identity);
    if (!c.plugged) rig.unit->unplug();
    rig.service->init();
    EXPECT_EQ(rig.service->deviceStatus.get(), c.status) << c.what;
  }
}

TEST(HIDServiceViewModeConnect, UnplugCallsTheDisconnectionBlockOnce) {
  std::atomic<int> calls{0}, disHID{0};
  SimRig rig;
  rig.service->setDisconnectionBlock([&] { calls.fetch_add(1); });
  rig.service->setDisHIDBlock([&] { disHID.fetch_add(1); });
  rig.service->init();
  ASSERT_EQ(rig.service->deviceStatus.get(), "A");
  rig.app->unplug();
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return calls.load() == 1; }, kBound));
  // A second report of the loss (the start-up read giving up as well) does
  // not alert twice; the kept disHIDBlock is the screens', never called here.
  rig.service->disconnectDevice();
  dispatch::drainMainQueue();
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(disHID.load(), 0);
  EXPECT_TRUE(rig.service->disHIDBlock());
  EXPECT_EQ(HIDServiceViewMode::getInstance(), HIDServiceViewMode::shared());
}

TEST(HIDServiceViewModeStartUp, WholeReadFillsEveryRecord) {
  ProgressLog progress;
  SimRig rig;
  rig.app->setNRName(0, "Clean");
  rig.app->setIRName(9, "My Cab 4x12 V30!");  // all 16 bytes used
  rig.service->init();
  ASSERT_EQ(rig.service->deviceStatus.get(), "A");
  rig.service->getAllData(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));

  // Requests exactly as the read needs them: page 5, all data, then the
  // answers B0, A0 and 8C.
  std::vector<uint8_t> cmds;
  for (const auto& f : rig.unit->receivedFrames()) cmds.push_back(f.cmd);
  EXPECT_EQ(cmds, (std::vector<uint8_t>{0x00, 0xB4, 0xC1, 0xB0, 0xA0, 0x8C}));
  EXPECT_EQ(rig.received(0xB4)[0].bytes, (Bytes{0xAA, 0x55, 0x03, 0x00, 0xB4, 0x05, 0x00, 0xCC, 0xE7}));
  EXPECT_EQ(rig.received(0xC1)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xC1, 0x00, 0x37, 0xF2}));
  EXPECT_EQ(rig.received(0xB0)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xB0, 0x00, 0x0C, 0x9A}));
  EXPECT_EQ(rig.received(0xA0)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xA0, 0x00, 0x0F, 0xE9}));
  EXPECT_EQ(rig.received(0x8C)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0x8C, 0x00, 0x4C, 0x62}));

  std::vector<int> expected = oneTo(200);
  expected.push_back(201);
  EXPECT_EQ(progress.get(), expected);
  expectCacheMatchesUnit(rig);

  const auto system = rig.service->systemDataModel();
  const sim::UnitApplication::System unitSystem = rig.app->system();
  EXPECT_EQ(system->inputLevel.get(), unitSystem.inputLevel);
  EXPECT_EQ(system->screenLevel.get(), unitSystem.screenLevel);
  EXPECT_EQ(system->OtgOutLevel.get(), unitSystem.otgLevel);
  EXPECT_EQ(system->outCabStatus.get(), " CAB-L: ON\n CAB-R: THRU");

  const auto names = [&](int module) { return rig.service->effectCatalogue()->typeNames(module); };
  ASSERT_GE(names(2).size(), 65u);
  ASSERT_GE(names(3).size(), 36u);
  EXPECT_EQ(names(2)[55], "56:Clean");
  EXPECT_EQ(names(2)[56], "57:User NR 2");
  EXPECT_EQ(names(3)[26], "27:User IR 1");
  EXPECT_EQ(names(3)[35], "36:My Cab 4x12 V30!");

  // The current preset: the unit's edit buffer on page 5 selects module 0.
  const auto current = rig.service->presetAllData();
  const sim::UnitApplication::EditBuffer edit = rig.app->editBuffer();
  EXPECT_EQ(current->selectedPreset.get(), edit.preset);
  EXPECT_EQ(current->selectedModule.get(), 0);
  EXPECT_EQ(current->presetName.get(), edit.data.nameText());
  EXPECT_EQ(rig.service->presetDataModel()->dataArr.get(), edit.data.moduleWords(0));
  EXPECT_EQ(rig.service->didChangeData.get(), 0);
}

TEST(HIDServiceViewModeStartUp, GapsInTheMiddleAndAtTheTailAreFetched) {
  ProgressLog progress;
  SimRig rig;
  sim::UnitApplication::Knobs knobs;
  knobs.dropRecords = {3, 4, 199};
  knobs.corruptRecords = {200};  // dropped by the transport
  knobs.shortRecords = {50};     // dropped by the decoder
  rig.app->setKnobs(knobs);
  rig.service->init();
  rig.service->getAllData(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));

  std::vector<int> asked;
  for (const auto& f : rig.received(0xA1)) asked.push_back(f.payload.at(0));
  EXPECT_EQ(asked, (std::vector<int>{3, 4, 50, 199, 200}));
  EXPECT_EQ(rig.received(0xA1)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xA1, 0x03, 0x0C, 0xBB}));
  EXPECT_EQ(rig.received(0xB0).size(), 1u);

  // Progress only for records received in sequence.
  std::vector<int> expected;
  for (int n : oneTo(198))
    if (n != 3 && n != 4 && n != 50) expected.push_back(n);
  expected.push_back(201);
  EXPECT_EQ(progress.get(), expected);
  EXPECT_TRUE(rig.service->missPack().empty());
  expectCacheMatchesUnit(rig);
}

TEST(HIDServiceViewModeStartUp, UnansweredRequestIsMadeAgain) {
  ProgressLog progress;
  HIDServiceViewMode::Timing timing;
  timing.bulkReadRetry = 30ms;
  SimRig rig({}, timing);
  sim::UnitApplication::Knobs knobs;
  knobs.ignoreBulkRequests = 2;
  rig.app->setKnobs(knobs);
  rig.service->init();
  rig.service->startBulkRead(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  // Requests are made on the main thread, as is this count: it holds every
  // request made before the end. The two ignored ones were made again; on a
  // loaded machine a retry may also fire before the third answer lands.
  const int requests = rig.app->bulkRequests();
  EXPECT_GE(requests, 3);
  // Each request is page 5 then all data; none once the read is done.
  ASSERT_TRUE(rig.waitPast(2 * timing.bulkReadRetry));
  EXPECT_EQ(rig.app->bulkRequests(), requests);
  EXPECT_EQ(rig.received(0xB4).size(), static_cast<size_t>(requests));
  EXPECT_EQ(progress.get().size(), 201u);
  expectCacheMatchesUnit(rig);
}

TEST(HIDServiceViewModeStartUp, ReadThatStopsHalfWayIsAskedForAgain) {
  ProgressLog progress;
  HIDServiceViewMode::Timing timing;
  timing.bulkReadRetry = 40ms;
  SimRig rig({}, timing);
  sim::UnitApplication::Knobs knobs;
  knobs.streamsWithoutSystem = 1;  // the first stream never ends
  knobs.dropRecords = {5};
  rig.app->setKnobs(knobs);
  rig.service->init();
  rig.service->startBulkRead(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  // At least the one request again (a loaded machine may stall the second
  // stream past a retry as well).
  const int requests = rig.app->bulkRequests();
  EXPECT_GE(requests, 2);
  // Record 5 is fetched at the end of a stream (of each, when another one
  // crossed its answer).
  std::vector<int> asked;
  for (const auto& f : rig.received(0xA1)) asked.push_back(f.payload.at(0));
  EXPECT_FALSE(asked.empty());
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 5), static_cast<long>(asked.size()));
  expectCacheMatchesUnit(rig);
  // Done: no more requests.
  ASSERT_TRUE(rig.waitPast(2 * timing.bulkReadRetry));
  EXPECT_EQ(rig.app->bulkRequests(), requests);
}

TEST(HIDServiceViewModeStartUp, RepeatedStreamNeitherShiftsNorDuplicates) {
  ProgressLog progress;
  HIDServiceViewMode::Timing timing;
  timing.bulkReadRetry = 20ms;
  SimRig rig({}, timing);
  sim::UnitApplication::Knobs knobs;
  knobs.firstRecordDelay = 150ms;  // later than the re-request
  knobs.restartOnRepeatedRequest = true;
  knobs.dropRecords = {7};
  rig.app->setKnobs(knobs);
  rig.service->init();
  rig.service->startBulkRead(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  // Each request gets a stream of its own, the first one's delayed past the
  // repeated request's (a loaded machine may repeat it more than once). A
  // marker sent once every stream is out is decoded after every frame of them.
  ASSERT_TRUE(
      dispatch::runMainLoopUntil([&] { return rig.app->streamsSent() == rig.app->bulkRequests(); }, kBound));
  rig.app->setRhythm({0, 0, 0, 99, 100});
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] { return rig.service->systemDataModel()->rhythm_vol.get() == "VOL: 99"; }, kBound));
  expectCacheMatchesUnit(rig);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.service->missPack().empty(); }, kBound));
}

// A record the unit never sends again, or a unit that never answers: after
// kBulkReadRetries requests that bring nothing new, the read ends, once, as a
// disconnection, and asks no more.
TEST(HIDServiceViewModeStartUp, AReadThatMakesNoProgressEndsAsADisconnection) {
  struct Case {
    const char* what;
    sim::UnitApplication::Knobs knobs;
    bool exact;  // every request but the first is one the unit ignored
  };
  sim::UnitApplication::Knobs unanswered, silent;
  unanswered.withhold = {0xA1};
  unanswered.dropRecords = {7};
  silent.ignoreBulkRequests = 1000;
  for (const Case& c : {Case{"record 7 never sent again", unanswered, false}, Case{"no answer at all", silent, true}}) {
    ProgressLog progress;
    std::atomic<int> disconnections{0};
    HIDServiceViewMode::Timing timing;
    timing.bulkReadRetry = 20ms;
    SimRig rig({}, timing);
    rig.app->setKnobs(c.knobs);
    rig.service->setDisconnectionBlock([&] { disconnections.fetch_add(1); });
    rig.service->init();
    rig.service->startBulkRead(progress.block());
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return disconnections.load() > 0; }, kBound)) << c.what;
    const int requests = rig.app->bulkRequests();
    ASSERT_TRUE(rig.waitPast(2 * timing.bulkReadRetry)) << c.what;
    EXPECT_EQ(disconnections.load(), 1) << c.what;
    if (c.exact)
      EXPECT_EQ(requests, 1 + HIDServiceViewMode::kBulkReadRetries) << c.what;
    else
      EXPECT_GE(requests, 1 + HIDServiceViewMode::kBulkReadRetries) << c.what;
    EXPECT_EQ(rig.app->bulkRequests(), requests) << c.what;
    EXPECT_FALSE(progress.done()) << c.what;
  }
}

TEST(HIDServiceViewModeStartUp, SecondRequestReplacesCallbackAndResends) {
  Recorder r;
  std::atomic<int> first{0}, second{0};
  r.service->getAllData([&](int) { first.fetch_add(1); });
  r.service->getAllData([&](int) { second.fetch_add(1); });
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xB4, {5, 0}}, {0xC1, {0}}, {0xB4, {5, 0}}, {0xC1, {0}}}));
  r.feed(0x20, presetRecord(1, "One"));
  EXPECT_EQ(first.load(), 0);
  EXPECT_EQ(second.load(), 1);
}

// The unit's answer to a re-request that crossed the end of the read is a
// whole second stream: stored, without starting the user's progress over. A
// read asked for anew reports anew.
TEST(HIDServiceViewModeStartUp, AStreamAfterTheEndDoesNotRestartTheProgress) {
  Recorder r;
  std::vector<int> progress;
  r.service->getAllData([&](int v) { progress.push_back(v); });
  loadUnit(r);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), HIDServiceViewMode::kProgressDone);
  progress.clear();
  r.feed(0x20, presetRecord(1, "Again 1"));
  r.feed(0x20, presetRecord(2, "Again 2"));
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(r.service->allPresetDataArr2()[1]->presetName.get(), "Again 2");

  r.service->getAllData([&](int v) { progress.push_back(v); });
  r.feed(0x20, presetRecord(1, "Anew 1"));
  EXPECT_EQ(progress, (std::vector<int>{1}));
}
