// The editor's start-up, end to end: the shell started as the program starts
// it, against the simulated unit over the real transport, headless; alerts
// answered and the end of the process recorded by the platform handlers.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <filesystem>
#include <cstdlib>
#include <optional>

#include "controls/GGPopView.h"
#include "controls/StartLoadingView.h"
#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/foundation/Files.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/Window.h"
#include "screens/shell/AppDelegate.h"
#include "screens/shell/MainScreens.h"
#include "screens/shell/MainLayout.h"
#include "screens/shell/RootWindowConroller.h"
#include "screens/shell/UpdateWindowController.h"
#include "screens/shell/ViewController.h"
#include "screens/ShellRig.h"
#include "support/LogCapture.h"

using namespace svc_test;
namespace fs = std::filesystem;

namespace {

size_t subviewCount(const std::weak_ptr<ui::View>& v) { return v.lock() ? v.lock()->subviews().size() : 0; }

std::string loadingText(const ViewController& vc) {
  auto view = vc.loadingView();
  return view ? view->titleLabel()->stringValue() : std::string();
}

}  // namespace

TEST(ShellStartUp, ApplicationModeShowsTheProgressThenBuildsTheMainScreenOnce) {
  ShellRig rig;
  rig.sim.unit->setPaced(true);  // about a second for the whole read
  auto knobs = rig.sim.app->knobs();
  knobs.firstRecordDelay = std::chrono::milliseconds(300);
  rig.sim.app->setKnobs(knobs);
  rig.launch();
  ViewController& vc = rig.vc();

  // Before the loop turns: hidden, sized, the loading pop-up over the content.
  EXPECT_FALSE(rig.window().isVisible());
  EXPECT_EQ(rig.window().contentSize(), (ui::Size{1100, 650}));
  EXPECT_EQ(rig.window().contentMinSize(), (ui::Size{1100, 650}));
  auto overlay = GGPopView::HUDForView(vc.view().get());
  ASSERT_TRUE(overlay);
  EXPECT_TRUE(overlay->dontTouchDissmiss());
  ASSERT_TRUE(vc.loadingView());
  EXPECT_EQ(vc.loadingView()->frame().size, (ui::Size{242, 100}));
  EXPECT_EQ(loadingText(vc), "LOADING...");
  EXPECT_FALSE(vc.mainScreenBuilt());

  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.window().isVisible(); }, kBound));
  EXPECT_TRUE(rig.window().isKeyWindow());

  // The percentage climbs while the records arrive, and the pop-up gives way
  // to the main screen at the end.
  std::vector<std::string> seen;
  ASSERT_TRUE(waitWhileTheLinkMoves(*rig.sim.unit, [&] {
    const std::string text = loadingText(vc);
    if (!text.empty() && (seen.empty() || seen.back() != text)) seen.push_back(text);
    return vc.mainScreenBuilt();
  }));
  const bool sawPartial = std::any_of(seen.begin(), seen.end(), [](const std::string& t) {
    return t.rfind("LOADING...(", 0) == 0 && t != "LOADING...(0%)" && t != "LOADING...(100%)";
  });
  EXPECT_TRUE(sawPartial) << "no percentage between 0 and 100 was shown";
  EXPECT_FALSE(GGPopView::HUDForView(vc.view().get()));
  EXPECT_TRUE(rig.alerts.empty());
  EXPECT_TRUE(rig.exits.empty());
  // The service asked again by itself at most: the shell starts no loop.
  EXPECT_EQ(rig.sim.app->bulkRequests(), 1);

  // The holders got their screens.
  EXPECT_EQ(subviewCount(vc.topBgView), 1u);
  EXPECT_EQ(subviewCount(vc.presetBgView), 3u);  // header, unit list, computer list
  EXPECT_EQ(subviewCount(vc.effectBgView), 2u);  // module bar, module editor
  rig.window().layoutIfNeeded();
  const ui::Rect header = vc.presetHeader->frame();
  const ui::Rect pane = vc.presetBgView.lock()->frame();
  EXPECT_EQ(header.size, (ui::Size{pane.width() - 32, 30}));
  EXPECT_EQ(vc.chainView->frame().size, (ui::Size{vc.effectBgView.lock()->frame().width() - 10, 140}));
  EXPECT_EQ(vc.moduleView->frame().width(), vc.effectBgView.lock()->frame().width() - 32);
  EXPECT_GT(vc.moduleView->frame().height(), 200);
  EXPECT_EQ(vc.topView->frame().size, vc.topBgView.lock()->frame().size);

  // A later report of the current preset builds nothing more.
  const size_t answers = rig.sim.received(sim::UnitApplication::kCurrentPresetTaken).size();
  rig.sim.app->sendCurrentPreset();
  ASSERT_TRUE(rig.sim.waitFor(sim::UnitApplication::kCurrentPresetTaken, answers + 1));
  ASSERT_TRUE(rig.waitForFramesHandled());
  EXPECT_EQ(subviewCount(vc.presetBgView), 3u);
  EXPECT_EQ(subviewCount(vc.effectBgView), 2u);
  EXPECT_EQ(subviewCount(vc.topBgView), 1u);

  // The divider stays between 220 and 280.
  auto split = vc.mainSplitView.lock();
  split->setPosition(100, 0);
  EXPECT_DOUBLE_EQ(split->positionOfDividerAtIndex(0), ViewController::kSplitMin);
  split->setPosition(600, 0);
  EXPECT_DOUBLE_EQ(split->positionOfDividerAtIndex(0), ViewController::kSplitMax);
  split->setPosition(250, 0);

  // A picture of the window to look at.
  rig.window().layoutIfNeeded();
  const QImage image = rig.window().widget()->grab().toImage();
  EXPECT_FALSE(image.isNull());
  image.save(QString::fromStdString((fs::path(QV450_RESOURCES_DIR).parent_path() / "shell-main-window.png").string()));

  // The close button ends the process at once.
  rig.window().close();
  EXPECT_EQ(rig.exits, std::vector<int>{0});
  EXPECT_TRUE(rig.alerts.empty());
}

TEST(ShellStartUp, DefaultsAreWrittenOnlyWhenMissingAndThePresetFolderIsMade) {
  ShellRig rig(identityWith('A', "V1.0.5", false));  // no answer: ends at once
  rig.defaults->setObjectForKey(ViewController::kEnterColorKey, fnd::Value(int64_t{0x123456}));
  const fs::path folder = rig.folder / "presets" / "deeper";
  rig.defaults->setObjectForKey(ViewController::kComputerPresetPathKey, fnd::Value(folder.string()));
  rig.launch();

  EXPECT_EQ(rig.defaults->integerForKey(ViewController::kSliderColorKey), 0xB1CF36);
  EXPECT_EQ(rig.defaults->integerForKey(ViewController::kSelectedColorKey), 0xB1CF36);
  EXPECT_EQ(rig.defaults->integerForKey(ViewController::kEnterColorKey), 0x123456);
  EXPECT_EQ(rig.defaults->stringForKey(ViewController::kComputerPresetPathKey), folder.string());
  EXPECT_TRUE(fs::is_directory(folder));
  // Written through to the file, as the next start reads them.
  auto again = fnd::UserDefaults::withFile(rig.folder / "defaults.json");
  EXPECT_EQ(again->integerForKey(ViewController::kSliderColorKey), 0xB1CF36);
  ASSERT_TRUE(rig.waitForExit());
}

TEST(ShellStartUp, WithNoPathStoredTheFolderIsTheUsersPresetFolder) {
  // The users' folder is the parent of the home folder: put both in the
  // test's own folder. In "taken" a file stands where the folder named after
  // the login would be, so nothing can be made there.
  struct Case {
    const char* users;
    const char* home;   // "" for the one named after the login
    bool inHome;        // else in the users' folder, and not made
    const char* says;   // in the log, "" for nothing
  };
  const std::string login = fnd::paths::userName();
  for (const Case& c : {Case{"users", "", true, ""}, Case{"taken", "someone", true, "is used instead"},
                        Case{"taken", "file", false, "set \"computerPresetPath\" in "}}) {
    SCOPED_TRACE(c.home);
    ShellRig rig(identityWith('A', "V1.0.5", false));
    rig.defaults->removeObjectForKey(ViewController::kComputerPresetPathKey);
    fs::create_directories(rig.folder / "taken");
    TempFolder::write(rig.folder / "taken" / login, "");
    TempFolder::write(rig.folder / "taken" / "file", "");
    const fs::path home = rig.folder / c.users / (*c.home ? c.home : login);
    LogCapture log;
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    rig.launch();
    if (oldHome) setenv("HOME", saved.c_str(), 1); else unsetenv("HOME");

    const fs::path expected = (c.inHome ? home : rig.folder / c.users / login) / "VLTfx RigPreset";
    EXPECT_EQ(rig.defaults->stringForKey(ViewController::kComputerPresetPathKey), expected.string());
    EXPECT_EQ(fs::is_directory(expected), c.inHome);
    EXPECT_EQ(log.has("cannot make the preset folder"), *c.says != 0);
    if (*c.says) {
      EXPECT_TRUE(log.has(c.says));
    }
    ASSERT_TRUE(rig.waitForExit());
  }
}

struct FailedStart {
  const char* name;
  sim::Identity identity;
  const char* message;
};

class ShellFailedStart : public testing::TestWithParam<FailedStart> {};

TEST_P(ShellFailedStart, OneCriticalAlertThenExitWithTheWindowNeverShown) {
  ShellRig rig(GetParam().identity);
  rig.launch();
  ASSERT_TRUE(rig.waitForExit());
  // The start-up queued its work before the exit, and the HID thread has
  // nothing to tell (the unit stays on the bus).
  dispatch::drainMainQueue();
  ASSERT_EQ(rig.alerts.size(), 1u);
  EXPECT_EQ(rig.alerts[0].messageText, GetParam().message);
  EXPECT_EQ(rig.alerts[0].style, ui::AlertStyle::Critical);
  EXPECT_EQ(rig.alerts[0].buttons, std::vector<std::string>{"Yes"});
  EXPECT_EQ(rig.exits, std::vector<int>{EXIT_FAILURE});
  EXPECT_FALSE(rig.window().isVisible());
  EXPECT_FALSE(rig.vc().mainScreenBuilt());
  EXPECT_TRUE(rig.sim.received(0xC1).empty()) << "no start-up read without a usable unit";
}

INSTANTIATE_TEST_SUITE_P(
    States, ShellFailedStart,
    testing::Values(FailedStart{"OtherFirmware", identityWith('A', "V1.0.4"),
                                "Device versions do not match.\nPlease update the firmware of VLTfx Rig"},
                    FailedStart{"NoUnit", identityWith('A', "V1.0.5", false), "The device is disconnected."},
                    FailedStart{"UnknownMode", identityWith('X'), "The device is disconnected."}),
    [](const testing::TestParamInfo<FailedStart>& info) { return std::string(info.param.name); });

TEST(ShellUnitLost, AfterStartUpOneAlertAndOneExit) {
  ShellRig rig;
  rig.launch();
  ASSERT_TRUE(waitWhileTheLinkMoves(*rig.sim.unit, [&] { return rig.vc().mainScreenBuilt(); }));
  rig.sim.app->unplug();
  ASSERT_TRUE(rig.waitForExit());
  ASSERT_TRUE(rig.waitPastTheRemoval());
  ASSERT_EQ(rig.alerts.size(), 1u);
  EXPECT_EQ(rig.alerts[0].messageText, "The device is disconnected.");
  EXPECT_EQ(rig.alerts[0].style, ui::AlertStyle::Critical);
  EXPECT_EQ(rig.exits, std::vector<int>{EXIT_FAILURE});
}

TEST(ShellUnitLost, AStartUpReadThatCannotFinishEndsLikeALostUnit) {
  HIDServiceViewMode::Timing timing;
  timing.bulkReadRetry = std::chrono::milliseconds(50);
  ShellRig rig({}, timing);
  auto knobs = rig.sim.app->knobs();
  knobs.ignoreBulkRequests = 1000;
  rig.sim.app->setKnobs(knobs);
  rig.launch();
  ASSERT_TRUE(rig.waitForExit());
  // The unit pulled out while the alert is up (its loop runs the main queue)
  // gives no second alert. A retry the service still had armed would come
  // before the end of the second wait.
  rig.sim.unit->unplug();
  ASSERT_TRUE(rig.waitPastTheRemoval());
  ASSERT_TRUE(SimRig::waitPast(timing.bulkReadRetry));
  ASSERT_EQ(rig.alerts.size(), 1u);
  EXPECT_EQ(rig.alerts[0].messageText, "The device is disconnected.");
  EXPECT_EQ(rig.exits, std::vector<int>{EXIT_FAILURE});
  EXPECT_FALSE(rig.vc().mainScreenBuilt());
  // Asked again by the service only, a bounded number of times.
  EXPECT_EQ(rig.sim.app->bulkRequests(), 1 + HIDServiceViewMode::kBulkReadRetries);
}

TEST(ShellBootLoader, OpensTheUpdateWindowAndKeepsTheMainWindowHidden) {
  ShellRig rig(identityWith('B'));
  rig.launch();
  auto update = rig.vc().updateVC();
  ASSERT_TRUE(update->isWindowLoaded());
  EXPECT_TRUE(update->window()->isVisible());
  dispatch::drainMainQueue();  // what the start-up queued (the HID thread posts nothing)
  EXPECT_FALSE(rig.window().isVisible());
  EXPECT_TRUE(rig.alerts.empty());

  // The unit leaving before any update is no success.
  rig.sim.unit->unplug();
  ASSERT_TRUE(rig.waitForExit());
  ASSERT_EQ(rig.alerts.size(), 1u);
  EXPECT_EQ(rig.alerts[0].messageText, "The device is disconnected.");
  EXPECT_EQ(rig.exits, std::vector<int>{EXIT_FAILURE});
  update->close();
}

// With the screens installed, as the program does, the holders show the real
// top bar, unit preset list, module bar and module editor, filled from the
// unit.
TEST(ShellStartUp, TheMainScreenShowsTheScreensFilledFromTheUnit) {
  ShellRig rig;
  ASSERT_TRUE(rig.launchMainWindow());
  ViewController& vc = rig.vc();
  auto& manager = rig.manager;
  EXPECT_EQ(vc.topView->className(), "TopView");
  EXPECT_EQ(vc.presetView->className(), "PresetView");
  EXPECT_EQ(vc.chainView->className(), "GGFunctionBottomView");
  EXPECT_EQ(vc.moduleView->className(), "EffectDataView");
  EXPECT_EQ(vc.topView->frame().size, vc.topBgView.lock()->frame().size);
  // The module editor shows the unit's current module and type at once.
  ASSERT_TRUE(manager->currentEffectDataModel.get());
  EXPECT_EQ(manager->currentEffectDataModel.get()->effectName, "FX/COMP");
  const QImage image = rig.window().widget()->grab().toImage();
  EXPECT_FALSE(image.isNull());
  image.save(QString::fromStdString(
      (fs::path(QV450_RESOURCES_DIR).parent_path() / "shell-main-window-screens.png").string()));
  rig.window().close();
  EXPECT_EQ(rig.exits, std::vector<int>{0});
}
