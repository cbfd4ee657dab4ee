// The editor's shell on a simulated unit, as the program starts it, headless:
// alerts answered with their first button and the end of the process
// recorded by the platform handlers. `launchMainWindow` also installs the
// screens, so tests drive the whole main window as a user would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "controls/GGPopView.h"
#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/Window.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/presets/PresetView.h"
#include "screens/shell/AppDelegate.h"
#include "screens/shell/MainScreens.h"
#include "screens/shell/ViewController.h"
#include "sim/bootloader/SimBootloader.h"

namespace svc_test {

inline sim::Identity identityWith(uint8_t mode, std::string version = "V1.0.5", bool answers = true) {
  sim::Identity id;
  id.mode = mode;
  id.version = std::move(version);
  id.answers = answers;
  return id;
}

// The shell on a simulated unit. The unit and its service outlive the shell.
struct ShellRig {
  TempFolder folder;
  SimRig sim;
  std::vector<ui::AlertRequest> alerts;
  std::vector<int> exits;
  ui::ScopedPlatformHandlers handlers{ui::PlatformHandlers{
      [this](const ui::AlertRequest& r) {
        alerts.push_back(r);
        return ui::AlertFirstButtonReturn;
      },
      nullptr, nullptr, [this](int status) { exits.push_back(status); }, nullptr}};
  std::shared_ptr<fnd::UserDefaults> defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
  std::shared_ptr<AppDelegate> app;

  explicit ShellRig(sim::Identity identity = {}, HIDServiceViewMode::Timing timing = {})
      : sim(std::move(identity), timing) {
    defaults->setObjectForKey(ViewController::kComputerPresetPathKey, fnd::Value((folder / "presets").string()));
  }
  ~ShellRig() {
    app.reset();
    GGPopViewManager::shareManager().allPopViews().clear();
  }
  void launch() {
    app = fnd::make<AppDelegate>(ShellParts{sim.service, defaults});
    app->launch();
  }
  // A boot loader on the unit that restarts it once the image is written,
  // as the unit does, with the updater's progress ticks made quick.
  std::shared_ptr<sim::SimBootloader> installRestartingBootLoader() {
    auto loader = sim::SimBootloader::install(*sim.unit);
    sim::SimBootloader::Knobs knobs;
    knobs.leaveBusAfterFinish = true;
    loader->setKnobs(knobs);
    auto timing = sim.hid->timing();
    timing.progressFirstTick = std::chrono::milliseconds(20);
    timing.progressInterval = std::chrono::milliseconds(5);
    sim.hid->setTiming(timing);
    return loader;
  }
  ViewController& vc() const { return *app->viewController(); }
  ui::Window& window() const { return *app->baseWindow(); }
  bool waitForExit() {
    return dispatch::runMainLoopUntil([&] { return !exits.empty(); }, kBound);
  }
  // Waits until the service has handled every frame the unit sent before
  // this call, then runs what that queued for the main thread. The unit sends
  // its current preset once more: the HID thread handles frames one at a
  // time, each with its observers, and answers this one only after those
  // before it. So what their handling sent the unit has arrived, and what it
  // posted has run, when this returns true (this frame's own handling may
  // still go on). Every current preset the unit sent before must have been
  // answered.
  bool waitForFramesHandled() {
    const size_t answers = sim.received(sim::UnitApplication::kCurrentPresetTaken).size();
    sim.app->sendCurrentPreset();
    if (!sim.waitFor(sim::UnitApplication::kCurrentPresetTaken, answers + 1)) return false;
    dispatch::drainMainQueue();
    return true;
  }
  // Waits until the HID thread is done with the unit's removal (the unit was
  // pulled out before this call), then runs what that queued for the main
  // thread. The unit is plugged in again and identified: the HID thread reads
  // its answer only after it has returned from the removal's handling. The
  // program is not told of the unit's return.
  bool waitPastTheRemoval() {
    HIDClass& link = sim.hid->hidclass();
    // Until the HID thread has seen the removal, a unit opened now would
    // make it pass the removal over.
    if (!dispatch::runMainLoopUntil([&] { return !link.hid_current_device(); }, kBound)) return false;
    sim.backend->replug(sim.unit);
    link.connectHID();
    if (!link.checkUSBDevice()) return false;
    dispatch::drainMainQueue();
    return true;
  }

  // Starts the program with its screens on an editor state of the rig's own
  // and waits for the main screen (as long as the start-up read moves), then
  // for the screens to load their names and fill the module editor. False
  // when either did not happen.
  GGEffectFunManagerPtr manager;
  bool launchMainWindow() {
    GGEffectFunManager::Parts parts;
    parts.service = sim.service;
    parts.defaults = defaults;
    parts.diaryFile = folder / "diary";
    manager = GGEffectFunManager::create(parts);
    installMainScreens(sim.service, manager);
    launch();
    const bool built = waitWhileTheLinkMoves(*sim.unit, [&] { return vc().mainScreenBuilt(); });
    ViewController::screens() = {};
    if (!built) return false;
    // The unit list reads the names a moment after it is made.
    auto presets = std::dynamic_pointer_cast<PresetView>(vc().presetView);
    if (!presets || !dispatch::runMainLoopUntil(
                        [&] { return presets->deviceTableView->numberOfRows() == dev::kPresetCount; }, kBound))
      return false;
    dispatch::drainMainQueue();
    window().layoutIfNeeded();
    return true;
  }
};

}  // namespace svc_test
