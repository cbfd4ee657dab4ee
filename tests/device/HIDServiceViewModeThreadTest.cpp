// The service across threads: notifications raised under its lock reach their
// observers only after the lock is released (so observers may wait on other
// threads that use the service), and the HID thread's decoding races neither
// the main thread's commands nor a reader taking snapshots. Run under
// ThreadSanitizer too.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "HIDServiceViewModeTestSupport.h"
#include "platform/foundation/NotificationCenter.h"

using namespace svc_test;

namespace {

// True when another thread can use the service now: it cannot while this
// thread holds the service's lock. The bound is one only a thread blocked on
// that lock reaches.
bool serviceFreeForOthers(const HIDServiceViewModePtr& service) {
  auto other = std::async(std::launch::async, [service] {
    service->sendChangePage(17);
    return service->allPresetDataArr2().size();
  });
  return other.wait_for(kBound) == std::future_status::ready;
}

}  // namespace

TEST(HIDServiceViewModeThreads, ObserversRunAfterTheLockIsReleased) {
  Recorder r;
  loadUnit(r, 1, 6);
  std::vector<std::string> results;
  auto check = [&](const std::string& what) {
    results.push_back(what + (serviceFreeForOthers(r.service) ? " free" : " blocked"));
    // Observers may call the service themselves.
    r.service->presetAllData()->nowPageNumber.get();
    r.service->sendChangePage(5);
  };
  r.service->presetDataModel()->addObserver("dataArr", 0, [&](const fnd::KVOChange&) { check("dataArr"); });
  r.service->setProgressBlock([&](int) { check("progress"); });
  r.service->sendPresetDataToDevice(*r.service->cachedPreset(2), 1, [&](long) { check("import"); });
  auto token = fnd::NotificationCenter::defaultCenter().addObserver(
      HIDServiceViewMode::kReloadPresetName, {}, [&](const fnd::Notification&) { check("reload"); });

  r.feed(0x02, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0});  // module words, FX/COMP selected
  r.feed(0x43, {2});
  r.feed(0x17, {1, 'S', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  r.feed(0x30, currentPreset(1, 6));
  r.service->sendChangePage(6);  // a command's notifications too
  fnd::NotificationCenter::defaultCenter().removeObserver(token);

  EXPECT_EQ(results, (std::vector<std::string>{"dataArr free", "import free", "reload free", "dataArr free",
                                               "progress free", "dataArr free"}));
}

TEST(HIDServiceViewModeThreads, PanelStreamWhileTheMainThreadEdits) {
  ProgressLog progress;
  SimRig rig;
  rig.service->init();
  rig.service->getAllData(progress.block());
  ASSERT_TRUE(rig.waitForRead(progress));
  const auto& service = rig.service;

  // Observers on the HID thread read the service while it decodes.
  std::atomic<int> observed{0};
  service->presetDataModel()->addObserver("dataArr", 0, [&](const fnd::KVOChange&) {
    service->presetAllData()->presetDataDic.get();
    observed.fetch_add(1);
  });

  constexpr int kRounds = 300;
  std::atomic<bool> stop{false};
  std::thread panel([&] {
    for (int i = 0; i < kRounds; ++i) {
      rig.app->turnKnob(i % 9, {1, i % 7, i, i + 1, i + 2});
      if (i % 10 == 0) rig.app->changePage(6 + i % 9);
      if (i % 25 == 0) rig.app->changePreset(1 + i % 200);
      if (i % 15 == 0) rig.app->setExpVolume(1, i % 50, 100);
      if (i % 20 == 0) rig.app->setInputLevel(i % 22);
    }
  });
  std::thread reader([&] {
    while (!stop.load()) {
      for (const auto& preset : service->allPresetDataArr2())
        if (preset) preset->copy();
      service->systemDataModel()->copy();
      service->effectCatalogue()->typeNames(3);
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    service->sendChangePage(6 + (i * 4) % 9);
    auto words = service->presetDataModel()->dataArr.get();
    if (!words.empty()) words[0] = i % 2;
    service->presetDataModel()->setDataArr(words);
    service->sendModuleData();
    if (i % 30 == 0) service->sendChangePreset(1 + (i * 7) % 200);
    if (i % 40 == 0) service->sendExpvol({1, i % 100, 100});
  }
  panel.join();
  stop = true;
  reader.join();
  EXPECT_GT(observed.load(), 0);

  // Once the unit has spoken last, the host holds what the unit holds.
  const size_t done = progress.get().size();
  rig.app->sendCurrentPreset();
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return progress.get().size() > done; }, kBound));
  const sim::UnitApplication::EditBuffer edit = rig.app->editBuffer();
  const auto current = service->presetAllData();
  EXPECT_EQ(current->selectedPreset.get(), edit.preset);
  for (int m = 0; m < 9; ++m) EXPECT_EQ(current->module(m)->dataArr.get(), edit.data.moduleWords(m)) << m;
  const int selected = current->selectedModule.get().value_or(-1);
  ASSERT_GE(selected, 0);
  EXPECT_EQ(service->presetDataModel()->dataArr.get(), edit.data.moduleWords(selected));
}
