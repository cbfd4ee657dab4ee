// Shared by the bars' tests: a device service that has read the whole
// simulated unit over the real transport, an editor state manager of its
// own, a window to put a bar in, and snapshots saved in the build folder.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <filesystem>

#include "controls/ControlsTestSupport.h"
#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/foundation/UserDefaults.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/ScreensTestSupport.h"

namespace bars_test {

using namespace svc_test;

inline bool runUntil(const std::function<bool()>& done) { return dispatch::runMainLoopUntil(done, kBound); }

struct UnitRig {
  TempFolder folder;
  ProgressLog progress;
  SimRig sim;
  GGEffectFunManagerPtr manager;

  UnitRig() {
    sim.service->init();
    sim.service->getAllData(progress.block());
    EXPECT_TRUE(sim.waitForRead(progress));
    manager = makeManager(sim.service, folder);
  }
  const std::shared_ptr<sim::UnitApplication>& unit() const { return sim.app; }
  const HIDServiceViewModePtr& service() const { return sim.service; }
};

// The centre of a view in its window's coordinates.
inline ui::Point centreInWindow(const ui::View& view) {
  const ui::Rect b = view.bounds();
  return view.convertPointToView({b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2}, nullptr);
}

// Saves the window's picture as `name` in the build folder.
inline QImage snapshot(ui::Window& window, const char* name) {
  window.layoutIfNeeded();
  const QImage image = window.widget()->grab().toImage();
  const auto path = std::filesystem::path(QV450_RESOURCES_DIR).parent_path() / name;
  EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
  return image;
}

}  // namespace bars_test
