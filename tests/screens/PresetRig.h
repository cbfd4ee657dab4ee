// A device service that has read the whole simulated unit over the real
// transport, for the preset list's tests.
#pragma once

#include <gtest/gtest.h>

#include "device/HIDServiceViewModeTestSupport.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/MainThread.h"

namespace preset_test {

using namespace svc_test;

// Runs everything queued on the main queue so far.
inline void flushMain() {
  bool reached = false;
  dispatch::Queue::main()->async([&] { reached = true; });
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return reached; }, kBound));
}

struct LoadedUnit {
  ProgressLog progress;
  SimRig sim;

  LoadedUnit() {
    sim.service->init();
    sim.service->getAllData(progress.block());
    EXPECT_TRUE(sim.waitForRead(progress));
  }
  std::string unitName(int n) const { return sim.app->preset(n).nameText(); }
  bool waitForUnitName(int n, const std::string& name) const {
    return dispatch::runMainLoopUntil([&] { return unitName(n) == name; }, kBound);
  }
};

}  // namespace preset_test
