// The system settings screen in the whole main window on a simulated unit,
// opened with the top bar's settings button: what it shows of the unit, what
// the unit receives from its sliders, steps and switches, the backup and
// restore round trip and their failures, the reset question, and closing.
#include <QImage>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "controls/NSPopNormalView.h"
#include "controls/SettingResetView.h"
#include "controls/StartLoadingView.h"
#include "screens/BarsTestSupport.h"
#include "screens/ShellRig.h"
#include "screens/bars/TopBarScreens.h"
#include "screens/bars/TopView.h"
#include "screens/system/SystemViewController.h"
#include "sim/unit/UnitTransfer.h"

using namespace bars_test;
namespace fs = std::filesystem;

namespace {

constexpr uint8_t kSetPageCommand = 0xB4, kSetInput = 0xA4, kSetScreen = 0xA5, kSetCab = 0xA6, kSetOtg = 0xA7;
constexpr uint8_t kReset = 0x8B, kRestoreStart = 0xBA, kRestoreEnd = 0xBB;
// A whole backup or restore moves 200 presets and the user slots.
constexpr auto kLong = std::chrono::seconds(60);

// The main window on a simulated unit; panels, alerts and the end of the
// process answered here. Unless `ownMaker`, the top bar makes the screen
// with short delays and the unit's tips recorded.
struct SystemRig {
  svc_test::ShellRig shell;
  bool launched = shell.launchMainWindow();
  std::vector<ui::AlertRequest> alerts;
  std::function<void()> onAlert, onExit;
  std::vector<int> exits;
  std::optional<fs::path> chosen;  // what the panels answer; nothing: cancel
  int panels = 0;
  ui::ScopedPlatformHandlers handlers{ui::PlatformHandlers{
      [this](const ui::AlertRequest& r) {
        alerts.push_back(r);
        if (onAlert) onAlert();
        return ui::AlertFirstButtonReturn;
      },
      [this](const ui::OpenPanelRequest&) -> std::optional<std::vector<fs::path>> {
        ++panels;
        if (!chosen) return std::nullopt;
        return std::vector<fs::path>{*chosen};
      },
      [this](const ui::SavePanelRequest&) {
        ++panels;
        return chosen;
      },
      [this](int status) {
        exits.push_back(status);
        if (onExit) onExit();
      },
      nullptr}};
  std::shared_ptr<TopView> bar;

  explicit SystemRig(bool ownMaker = false) {
    if (!launched) return;
    if (!ownMaker)
      TopBarScreens::registerScreen(TopBarScreens::kSystemScreen, [popUps = shell.sim.popUps](const auto& hid) {
        SettingViewModel::Timing t;
        t.irTimeout = std::chrono::milliseconds(1000);
        t.restoreEndDelay = t.failAlertDelay = std::chrono::milliseconds(300);
        return SystemViewController::makeScreen({hid, popUps, t});
      });
    bar = std::dynamic_pointer_cast<TopView>(shell.vc().topView);
  }
  ~SystemRig() { TopBarScreens::registerScreen(TopBarScreens::kSystemScreen, nullptr); }

  const std::shared_ptr<sim::UnitApplication>& unit() const { return shell.sim.app; }
  size_t count(uint8_t cmd) const { return shell.sim.received(cmd).size(); }
  std::vector<int> firstBytes(uint8_t cmd) const {
    std::vector<int> out;
    for (const auto& f : shell.sim.received(cmd)) out.push_back(f.payload.empty() ? -1 : f.payload[0]);
    return out;
  }
  int lastPage() const { return firstBytes(kSetPageCommand).back(); }
  bool waitFor(uint8_t cmd, size_t n, std::chrono::seconds bound = svc_test::kBound) const {
    return dispatch::runMainLoopUntil([&] { return count(cmd) >= n; }, bound);
  }
  std::vector<std::string> tips() const { return shell.sim.popUps->tips(); }
  bool waitForTips(size_t n) const {
    return dispatch::runMainLoopUntil([&] { return tips().size() >= n; }, kLong);
  }

  void click(const ui::View& view) {
    ui::testing::Pointer p(shell.window());
    p.move(centreInWindow(view));
    p.click(centreInWindow(view));
    p.move({1, 1});
    flushMainQueue();
    flushMainQueue();
  }
  SystemViewControllerPtr open() {
    click(*bar->settingButton);
    if (!runUntil([&] { return bar->isSystemShown(); })) return nullptr;
    flushMainQueue();  // value texts are set on the main queue
    return SystemViewController::controllerOf(*bar->SystemVC());
  }
  std::shared_ptr<SettingResetView> question() const {
    if (auto overlay = GGPopView::HUDForView(shell.window().contentView().get()))
      for (const auto& v : overlay->subviews())
        if (auto panel = std::dynamic_pointer_cast<SettingResetView>(v)) return panel;
    return nullptr;
  }
  void answer(const std::string& title) {
    auto panel = question();
    ASSERT_NE(panel, nullptr);
    for (const auto& b : panel->buttons())
      if (b->defaultTitle() == title) return click(*b);
    FAIL() << "no button " << title;
  }
  // Drags a level's slider from its knob until it reads `target`.
  void dragTo(GGVerticalSliderView& view, int target) {
    auto slider = view.valueSlider.lock();
    const ui::Rect knob = slider->sliderCell().knobRect();
    ui::Point at = slider->convertPointToView({knob.midX(), knob.midY()}, nullptr);
    ui::testing::Pointer p(shell.window());
    p.press(at);
    const double step = target > slider->integerValue() ? 1 : -1;
    for (int i = 0; i < 400 && slider->integerValue() != target; ++i) {
      at.y += step;
      p.move(at);
    }
    p.release(at);
    flushMainQueue();
  }
};

// Whether the screen shows the restore's loading view.
bool restoring(const SystemViewControllerPtr& vc) {
  for (const auto& v : vc->view()->subviews())
    if (auto pop = std::dynamic_pointer_cast<GGPopView>(v); pop && !pop->isFinished())
      for (const auto& inner : pop->subviews())
        if (std::dynamic_pointer_cast<StartLoadingView>(inner)) return true;
  return false;
}

long value(const std::shared_ptr<GGVerticalSliderView>& v) { return v->valueSlider.lock()->integerValue(); }
std::string text(const std::shared_ptr<GGVerticalSliderView>& v) { return v->valueTF.lock()->stringValue(); }

}  // namespace

TEST(SystemScreen, ShowsAndFollowsTheUnitAndClosesWithNoOrTheCloseControl) {
  SystemRig rig(true);  // the program's own maker
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  ASSERT_TRUE(rig.waitFor(kSetPageCommand, 1));
  EXPECT_EQ(rig.lastPage(), dev::page::kSettings);

  // The unit's levels (input 12, screen 10, OTG 15) and outputs (left on).
  EXPECT_EQ(value(vc->inputSliderView), 12);
  EXPECT_EQ(text(vc->inputSliderView), SettingModel::levelText(12));
  EXPECT_EQ(value(vc->screenSliderView), 10);
  EXPECT_EQ(text(vc->screenSliderView), "10");
  EXPECT_EQ(value(vc->otgSliderView), 15);
  EXPECT_EQ(text(vc->otgSliderView), SettingModel::levelText(15));
  EXPECT_TRUE(vc->cabLeftSwitch.lock()->isOn());
  EXPECT_FALSE(vc->cabRightSwitch.lock()->isOn());
  EXPECT_EQ(vc->inputSliderView->frame().size, vc->inputBgView.lock()->frame().size);
  EXPECT_FALSE(snapshot(rig.shell.window(), "screens-system.png").isNull());

  // The unit's panel: redrawn, nothing sent back.
  rig.unit()->setInputLevel(0);
  rig.unit()->setScreenLevel(20);
  rig.unit()->setOtgLevel(21);
  rig.unit()->setOutCab(0, 1);
  ASSERT_TRUE(runUntil([&] { return value(vc->otgSliderView) == 21 && vc->cabRightSwitch.lock()->isOn(); }));
  flushMainQueue();
  EXPECT_FALSE(vc->cabLeftSwitch.lock()->isOn());
  EXPECT_EQ(value(vc->inputSliderView), 0);
  EXPECT_EQ(text(vc->inputSliderView), "-");
  EXPECT_EQ(text(vc->screenSliderView), "20");
  EXPECT_EQ(text(vc->otgSliderView), "6.0 dB");
  ASSERT_TRUE(rig.shell.waitForFramesHandled());
  for (uint8_t cmd : {kSetInput, kSetScreen, kSetCab, kSetOtg}) EXPECT_EQ(rig.count(cmd), 0u);

  // The close control and "NO" go to page 5 and close the pop-up; the
  // settings button shows the same screen again.
  const size_t pages = rig.count(kSetPageCommand);
  rig.click(*vc->closeButton.lock());
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isSystemShown(); }));
  ASSERT_TRUE(rig.waitFor(kSetPageCommand, pages + 1));
  EXPECT_EQ(rig.lastPage(), dev::page::kHome);
  EXPECT_EQ(rig.open(), vc);
  ASSERT_TRUE(rig.waitFor(kSetPageCommand, pages + 2));
  rig.click(*vc->resetNoButton.lock());
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isSystemShown(); }));
  ASSERT_TRUE(rig.waitFor(kSetPageCommand, pages + 3));
  EXPECT_EQ(rig.lastPage(), dev::page::kHome);
}

TEST(SystemScreen, DragsStepsAndSwitchesReachTheUnit) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  rig.unit()->setInputLevel(10);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  auto& in = vc->inputSliderView;
  ASSERT_TRUE(runUntil([&] { return value(in) == 10; }));
  const size_t pages = rig.count(kSetPageCommand);

  // Each whole value passed is sent, and the release's once more, after the
  // input page once. (The slider's first drag of all also reports the value
  // it starts from.)
  rig.dragTo(*in, 12);
  ASSERT_TRUE(rig.waitFor(kSetInput, 3));
  std::vector<int> sent = rig.firstBytes(kSetInput);
  if (sent.size() == 4 && sent.front() == 10) sent.erase(sent.begin());
  EXPECT_EQ(sent, (std::vector<int>{11, 12, 12}));
  EXPECT_EQ(rig.shell.sim.received(kSetInput).back().payload, (svc_test::Bytes{12, 0}));
  ASSERT_EQ(rig.count(kSetPageCommand), pages + 1);
  EXPECT_EQ(rig.lastPage(), dev::page::kInputLevel);
  EXPECT_EQ(rig.unit()->system().inputLevel, 12);
  EXPECT_EQ(text(in), SettingModel::levelText(12));
  const size_t inputs = rig.count(kSetInput);
  rig.dragTo(*in, 11);
  ASSERT_TRUE(rig.waitFor(kSetInput, inputs + 2));
  EXPECT_EQ(rig.count(kSetPageCommand), pages + 1);  // the unit is on the input page
  EXPECT_EQ(rig.unit()->system().inputLevel, 11);

  // Steps; at the ends of the ranges the unchanged value is sent again.
  rig.unit()->setInputLevel(21);
  rig.unit()->setScreenLevel(1);
  ASSERT_TRUE(runUntil([&] { return value(in) == 21 && value(vc->screenSliderView) == 1; }));
  rig.click(*in->upButton.lock());
  ASSERT_TRUE(rig.waitFor(kSetInput, inputs + 3));
  EXPECT_EQ(rig.firstBytes(kSetInput).back(), 21);
  rig.click(*vc->screenSliderView->downButton.lock());
  ASSERT_TRUE(rig.waitFor(kSetScreen, 1));
  EXPECT_EQ(rig.firstBytes(kSetScreen), std::vector<int>{1});
  EXPECT_EQ(rig.lastPage(), dev::page::kScreenLevel);
  rig.click(*vc->otgSliderView->upButton.lock());
  rig.click(*vc->otgSliderView->upButton.lock());
  ASSERT_TRUE(rig.waitFor(kSetOtg, 2));
  EXPECT_EQ(rig.firstBytes(kSetOtg), (std::vector<int>{16, 17}));
  EXPECT_EQ(rig.lastPage(), dev::page::kOtgLevel);
  EXPECT_EQ(rig.unit()->system().otgLevel, 17);
  EXPECT_EQ(value(vc->otgSliderView), 17);
  EXPECT_EQ(text(vc->otgSliderView), SettingModel::levelText(17));
  rig.click(*in->downButton.lock());
  ASSERT_TRUE(rig.waitFor(kSetInput, inputs + 4));
  EXPECT_EQ(rig.firstBytes(kSetInput).back(), 20);
  EXPECT_EQ(value(in), 20);

  // The switches, both ways, on the outputs page.
  auto left = vc->cabLeftSwitch.lock();
  auto right = vc->cabRightSwitch.lock();
  rig.click(*left);
  ASSERT_TRUE(rig.waitFor(kSetCab, 1));
  EXPECT_EQ(rig.lastPage(), dev::page::kOutCab);
  EXPECT_EQ(rig.shell.sim.service->systemDataModel()->leftOutCab.get(), 0);
  EXPECT_EQ(rig.unit()->system().leftOutCab, 0);
  rig.click(*right);
  ASSERT_TRUE(rig.waitFor(kSetCab, 2));
  EXPECT_EQ(rig.unit()->system().rightOutCab, 1);
  rig.click(*left);
  rig.click(*right);
  ASSERT_TRUE(rig.waitFor(kSetCab, 4));
  EXPECT_EQ(rig.unit()->system().leftOutCab, 1);
  EXPECT_EQ(rig.unit()->system().rightOutCab, 0);
  EXPECT_TRUE(left->isOn());
  EXPECT_FALSE(right->isOn());
}

TEST(SystemScreen, BackupThenRestoreLeavesTheUnitAsItWas) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  const auto presetBefore = rig.unit()->preset(7);
  const auto systemBefore = rig.unit()->system();

  // Cancelled panels do nothing. The panels answer at once, so the clicks'
  // handlers have run whole, and they began neither a backup (the view model
  // is busy from its start) nor a restore (its activity view comes first).
  rig.click(*vc->backUpButton.lock());
  rig.click(*vc->recallButton.lock());
  EXPECT_EQ(rig.panels, 2);
  EXPECT_FALSE(vc->viewModel()->isBusy());
  EXPECT_EQ(vc->recallActivity(), nullptr);
  EXPECT_TRUE(rig.tips().empty());
  EXPECT_EQ(rig.count(kRestoreStart), 0u);

  rig.chosen = rig.shell.folder / "unit";  // the panel adds the extension
  rig.click(*vc->backUpButton.lock());
  ASSERT_TRUE(rig.waitForTips(1));
  EXPECT_EQ(rig.tips(), std::vector<std::string>{"success: Device data backup successful."});
  const fs::path file = rig.shell.folder / "unit.bqv";
  ASSERT_TRUE(fs::exists(file));

  auto changed = presetBefore;
  changed.name.fill('Z');
  rig.unit()->setPreset(7, changed);
  rig.unit()->setInputLevel(3);
  rig.unit()->setOutCab(0, 1);
  ASSERT_TRUE(runUntil([&] { return value(vc->inputSliderView) == 3; }));

  rig.chosen = file;
  rig.click(*vc->recallButton.lock());
  auto activity = vc->recallActivity();
  ASSERT_NE(activity, nullptr);
  EXPECT_EQ(activity->superview(), vc->view().get());
  EXPECT_TRUE(activity->dontTouchDissmiss());
  ASSERT_EQ(activity->subviews().size(), 1u);
  auto loading = std::dynamic_pointer_cast<StartLoadingView>(activity->subviews().front());
  ASSERT_NE(loading, nullptr);
  EXPECT_EQ(loading->titleLabel()->stringValue(), "Restoring ...");
  snapshot(rig.shell.window(), "screens-system-restoring.png");

  // Success: the screen gives its place in the pop-up to the tip, and the
  // end command follows.
  const auto pop = rig.bar->systemPopView;
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        const auto& views = pop->subviews();
        auto tip = views.empty() ? nullptr : std::dynamic_pointer_cast<NSPopNormalView>(views.front());
        return tip && tip->title() == SettingViewModel::kRecallSuccessTip;
      },
      kLong));
  EXPECT_EQ(pop->subviews().size(), 1u);
  EXPECT_FALSE(restoring(vc));
  EXPECT_EQ(rig.count(kRestoreEnd), 0u);
  ASSERT_TRUE(rig.waitFor(kRestoreEnd, 1));
  EXPECT_EQ(rig.shell.sim.received(kRestoreEnd).front().payload, svc_test::Bytes{0});
  EXPECT_EQ(rig.count(kRestoreStart), 1u);

  const auto presetAfter = rig.unit()->preset(7);
  EXPECT_EQ(presetAfter.name, presetBefore.name);
  EXPECT_EQ(presetAfter.block, presetBefore.block);
  EXPECT_EQ(rig.unit()->system().inputLevel, systemBefore.inputLevel);
  EXPECT_EQ(rig.unit()->system().leftOutCab, systemBefore.leftOutCab);
  EXPECT_EQ(rig.unit()->system().rightOutCab, systemBefore.rightOutCab);
  for (const auto& a : rig.alerts) EXPECT_NE(a.messageText, SettingViewModel::kRecallFailedAlert);
}

TEST(SystemScreen, FailedBackupsAndRestoresAreTold) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  auto transfer = rig.unit()->transfer();
  auto knobs = transfer->knobs();
  knobs.leaveBusOnRestoreEnd = false;
  transfer->setKnobs(knobs);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);

  // An unreadable file: the restore starts, then the loading view goes, then
  // the alert, then the end command.
  const fs::path bad = rig.shell.folder / "bad.bqv";
  std::ofstream(bad) << "not a backup";
  bool loadingAtAlert = true;
  size_t endsAtAlert = 99;
  rig.onAlert = [&] {
    loadingAtAlert = restoring(vc);
    endsAtAlert = rig.count(kRestoreEnd);
  };
  rig.chosen = bad;
  rig.click(*vc->recallButton.lock());
  ASSERT_TRUE(rig.waitFor(kRestoreEnd, 1));
  ASSERT_EQ(rig.alerts.size(), 1u);
  EXPECT_EQ(rig.alerts[0].messageText, "Recall failed , the device will restart. please try again");
  EXPECT_EQ(rig.alerts[0].style, ui::AlertStyle::Critical);
  EXPECT_EQ(rig.alerts[0].buttons, std::vector<std::string>{"YES"});
  EXPECT_FALSE(loadingAtAlert);
  EXPECT_EQ(endsAtAlert, 0u);
  EXPECT_EQ(rig.shell.sim.received(kRestoreStart).at(0).payload, svc_test::Bytes{0});
  EXPECT_TRUE(rig.bar->isSystemShown());  // the process goes on
  EXPECT_TRUE(rig.exits.empty());

  // A backup whose slot export never comes: the failure tip, and no file.
  // Meanwhile "RECALL" asks nothing and sends nothing: the restore's end
  // would restart the unit in the middle of the backup.
  knobs.withhold = {sim::UnitTransfer::kIRExport};
  transfer->setKnobs(knobs);
  rig.chosen = rig.shell.folder / "lost.bqv";
  rig.click(*vc->backUpButton.lock());
  const int panels = rig.panels;
  rig.click(*vc->recallButton.lock());
  EXPECT_EQ(rig.panels, panels);
  ASSERT_TRUE(rig.waitForTips(2));
  EXPECT_EQ(rig.tips(), (std::vector<std::string>{"fail: Restore failed!", "fail: Backup failed,Please try again."}));
  EXPECT_FALSE(fs::exists(*rig.chosen));
  EXPECT_EQ(rig.count(kRestoreStart), 1u);
  EXPECT_EQ(rig.count(kRestoreEnd), 1u);

  // A whole backup, then a restore during which the unit leaves the bus.
  knobs.withhold.clear();
  transfer->setKnobs(knobs);
  rig.chosen = rig.shell.folder / "good.bqv";
  rig.click(*vc->backUpButton.lock());
  ASSERT_TRUE(rig.waitForTips(3));
  ASSERT_EQ(rig.tips().back(), "success: Device data backup successful.");
  knobs.leaveBusAfterAnswers = transfer->answers() + 20;
  transfer->setKnobs(knobs);
  loadingAtAlert = true;
  rig.onAlert = [&] {
    if (rig.alerts.back().messageText == SettingViewModel::kRecallFailedAlert)
      loadingAtAlert = restoring(vc);
  };
  rig.click(*vc->recallButton.lock());
  ASSERT_TRUE(restoring(vc));
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] { return rig.alerts.back().messageText == SettingViewModel::kRecallFailedAlert && rig.alerts.size() > 1; },
      kLong));
  const auto tips = rig.tips();
  EXPECT_NE(std::find(tips.begin(), tips.end(), "fail: Restore failed!"), tips.end());
  EXPECT_FALSE(loadingAtAlert);
  EXPECT_EQ(rig.count(kRestoreStart), 2u);
  EXPECT_EQ(rig.count(kRestoreEnd), 1u);  // the unit is gone
}

TEST(SystemScreen, ResetAsksFirstAndIsSentBeforeTheProcessEnds) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  const size_t pages = rig.count(kSetPageCommand);

  rig.click(*vc->resetYesButton.lock());
  ASSERT_NE(rig.question(), nullptr);
  EXPECT_EQ(rig.question()->title(), "The device will be reset. Please make a data backup");
  rig.answer("NO");
  EXPECT_EQ(rig.question(), nullptr);
  EXPECT_TRUE(rig.bar->isSystemShown());
  // The answer is handled on the main thread, whose queue the click ran
  // empty, and a command is with the unit once it is sent.
  EXPECT_EQ(rig.count(kSetPageCommand), pages);
  EXPECT_EQ(rig.count(kReset), 0u);

  size_t resetsAtExit = 0;
  rig.onExit = [&] {
    if (rig.exits.size() == 1) resetsAtExit = rig.count(kReset);
  };
  rig.click(*vc->resetYesButton.lock());
  rig.answer("YES");
  ASSERT_FALSE(rig.exits.empty());
  EXPECT_EQ(rig.exits.front(), 0);
  EXPECT_EQ(resetsAtExit, 1u);
  EXPECT_EQ(rig.shell.sim.received(kReset).front().payload, svc_test::Bytes{1});
}

TEST(SystemScreen, ABackupCutShortByTheUnitLeavingKeepsTheUsersFileAndEndsLikeALostUnit) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  const fs::path folder = rig.shell.folder / "backups";
  fs::create_directories(folder);
  const fs::path file = folder / "unit.bqv";
  std::ofstream(file) << "yesterday's backup";

  auto transfer = rig.unit()->transfer();
  auto knobs = transfer->knobs();
  knobs.leaveBusAfterAnswers = transfer->answers() + 4;  // a backup takes about ten
  transfer->setKnobs(knobs);
  rig.chosen = file;
  rig.click(*vc->backUpButton.lock());

  // The shell's own alert and one exit (recorded here: the process goes on),
  // and the backup ends failed when the slots it waits for do not come.
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return !rig.exits.empty(); }, kLong));
  EXPECT_EQ(rig.exits, std::vector<int>{EXIT_FAILURE});
  ASSERT_FALSE(rig.alerts.empty());
  EXPECT_EQ(rig.alerts.back().messageText, "The device is disconnected.");
  ASSERT_TRUE(rig.waitForTips(1));
  EXPECT_EQ(rig.tips(), std::vector<std::string>{"fail: Backup failed,Please try again."});
  // The file the user chose is as it was and nothing is left beside it.
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "yesterday's backup");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
