// Small helpers the screens' tests share: the shipped parameter-slot table,
// module words as the bytes the unit receives, and running the main queue.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "device/HIDServiceViewModeTestSupport.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/foundation/UserDefaults.h"
#include "screens/models/GGEffectFunManager.h"

namespace svc_test {

inline nlohmann::json shippedSlotTable() {
  std::ifstream in(std::string(QV450_RESOURCES_DIR) + "/effects.json");
  return nlohmann::json::parse(in, nullptr, false);
}

// Module words as the little-endian bytes of a module frame.
inline Bytes wordBytes(const std::vector<int>& words) {
  Bytes out;
  for (int w : words) out.insert(out.end(), {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>((w >> 8) & 0xFF)});
  return out;
}

// Runs everything queued on the main queue so far.
inline void flushMainQueue() {
  bool reached = false;
  dispatch::Queue::main()->async([&] { reached = true; });
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return reached; }, kBound));
}

// An editor state manager over `service`, with its defaults and diary in
// `folder`.
template <class Folder>
GGEffectFunManagerPtr makeManager(const HIDServiceViewModePtr& service, const Folder& folder) {
  GGEffectFunManager::Parts parts;
  parts.service = service;
  parts.defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
  parts.diaryFile = folder / "diary";
  return GGEffectFunManager::create(parts);
}

// Reads the whole simulated unit into the rig's service (the unit echoing
// each module write when `echo`), then makes an editor state manager of the
// rig's own, with its defaults and diary in `folder`. The read is over before
// the manager is made: no frame of it reaches what the test makes next.
template <class Folder>
GGEffectFunManagerPtr readUnitAndMakeManager(SimRig& sim, ProgressLog& progress, const Folder& folder, bool echo) {
  if (echo) {
    auto knobs = sim.app->knobs();
    knobs.echoModuleWords = true;
    sim.app->setKnobs(knobs);
  }
  sim.service->init();
  sim.service->getAllData(progress.block());
  EXPECT_TRUE(sim.waitForRead(progress));
  return makeManager(sim.service, folder);
}

}  // namespace svc_test
