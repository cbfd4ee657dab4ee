// The system settings screen in the whole main window on a simulated unit,
// opened with the top bar's settings button: what it shows of the unit and
// follows, what the unit receives from its sliders, steps and switches, the
// backup and restore round trip and their failures, the reset question, and
// closing.
#include <QImage>

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

constexpr uint8_t kSetPage = 0xB4;
constexpr uint8_t kSetInput = 0xA4;
constexpr uint8_t kSetScreen = 0xA5;
constexpr uint8_t kSetCab = 0xA6;
constexpr uint8_t kSetOtg = 0xA7;
constexpr uint8_t kReset = 0x8B;
constexpr uint8_t kRestoreStart = 0xBA;
constexpr uint8_t kRestoreEnd = 0xBB;
// A whole restore writes 200 presets and the user slots, each confirmed.
constexpr auto kRestoreBound = std::chrono::seconds(60);

SettingViewModel::Timing shortTiming() {
  SettingViewModel::Timing t;
  t.irTimeout = std::chrono::milliseconds(400);
  t.restoreEndDelay = std::chrono::milliseconds(100);
  t.failAlertDelay = std::chrono::milliseconds(100);
  return t;
}

// The main window on a simulated unit with panels, alerts and the end of the
// process answered by the test. With `ownMaker` the top bar makes the screen
// with shortened delays, otherwise with the program's own maker.
struct SystemRig {
  svc_test::ShellRig shell;
  bool launched = false;
  std::vector<ui::AlertRequest> alerts;
  std::function<void(const ui::AlertRequest&)> onAlert;
  std::vector<int> exits;
  std::function<void()> onExit;
  std::vector<ui::SavePanelRequest> saves;
  std::vector<ui::OpenPanelRequest> opens;
  std::optional<fs::path> chosen;  // what the next panel answers; nothing: cancel
  std::unique_ptr<ui::ScopedPlatformHandlers> handlers;
  std::shared_ptr<TopView> bar;

  explicit SystemRig(bool ownMaker = true) {
    launched = shell.launchMainWindow();
    if (!launched) return;
    handlers = std::make_unique<ui::ScopedPlatformHandlers>(ui::PlatformHandlers{
        [this](const ui::AlertRequest& r) {
          alerts.push_back(r);
          if (onAlert) onAlert(r);
          return ui::AlertFirstButtonReturn;
        },
        [this](const ui::OpenPanelRequest& r) -> std::optional<std::vector<fs::path>> {
          opens.push_back(r);
          if (!chosen) return std::nullopt;
          return std::vector<fs::path>{*chosen};
        },
        [this](const ui::SavePanelRequest& r) -> std::optional<fs::path> {
          saves.push_back(r);
          return chosen;
        },
        [this](int status) {
          exits.push_back(status);
          if (onExit) onExit();
        },
        nullptr});
    if (ownMaker)
      TopBarScreens::registerScreen(TopBarScreens::kSystemScreen,
                                    [popUps = shell.sim.popUps](const HIDServiceViewModePtr& hid) {
                                      return SystemViewController::makeScreen({hid, popUps, shortTiming()});
                                    });
    bar = std::dynamic_pointer_cast<TopView>(shell.vc().topView);
  }
  ~SystemRig() { TopBarScreens::registerScreen(TopBarScreens::kSystemScreen, nullptr); }

  const std::shared_ptr<sim::UnitApplication>& unit() const { return shell.sim.app; }
  std::vector<sim::ReceivedFrame> received(uint8_t cmd) const { return shell.sim.received(cmd); }
  std::vector<int> firstBytes(uint8_t cmd) const {
    std::vector<int> out;
    for (const auto& f : received(cmd)) out.push_back(f.payload.empty() ? -1 : f.payload[0]);
    return out;
  }
  std::vector<std::string> tips() const { return shell.sim.popUps->tips(); }
  ui::Window& window() const { return shell.window(); }
  std::shared_ptr<ui::View> content() const { return window().contentView(); }

  void click(const ui::View& view) {
    ui::testing::Pointer p(window());
    p.move(centreInWindow(view));
    p.click(centreInWindow(view));
    p.move({1, 1});
    flushMainQueue();
    flushMainQueue();
  }
  // Opens the screen with the settings button; its controller.
  SystemViewControllerPtr open() {
    click(*bar->settingButton);
    if (!runUntil([&] { return bar->isSystemShown(); })) return nullptr;
    auto vc = SystemViewController::controllerOf(*bar->SystemVC());
    flushMainQueue();  // value texts are set on the main queue
    return vc;
  }
  std::shared_ptr<SettingResetView> question() const {
    if (auto overlay = GGPopView::HUDForView(content().get()))
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
    ASSERT_NE(slider, nullptr);
    const ui::Rect knob = slider->sliderCell().knobRect();
    ui::Point at = slider->convertPointToView({knob.midX(), knob.midY()}, nullptr);
    ui::testing::Pointer p(window());
    p.press(at);
    const double step = target > slider->integerValue() ? 1 : -1;
    for (int i = 0; i < 400 && slider->integerValue() != target; ++i) {
      at.y += step;
      p.move(at);
    }
    p.release(at);
    flushMainQueue();
  }
  static std::string valueText(const GGVerticalSliderView& view) { return view.valueTF.lock()->stringValue(); }
  static long sliderValue(const GGVerticalSliderView& view) { return view.valueSlider.lock()->integerValue(); }
  void stepUp(GGVerticalSliderView& view) { click(*view.upButton.lock()); }
  void stepDown(GGVerticalSliderView& view) { click(*view.downButton.lock()); }
  bool waitFor(uint8_t cmd, size_t count, std::chrono::seconds bound = svc_test::kBound) const {
    return dispatch::runMainLoopUntil([&] { return received(cmd).size() >= count; }, bound);
  }
};

bool hasTip(const std::vector<std::string>& tips, const std::string& tip) {
  return std::find(tips.begin(), tips.end(), tip) != tips.end();
}

}  // namespace

TEST(SystemScreen, ShowsAndFollowsTheUnitAndClosesWithNoOrTheCloseControl) {
  SystemRig rig(false);  // the program's own maker
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  ASSERT_TRUE(rig.waitFor(kSetPage, 1));
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), TopView::kSystemPage);
  EXPECT_EQ(vc->versionTF.lock()->stringValue(), "VERSION: V1.0.5");
  EXPECT_EQ(vc->backUpButton.lock()->defaultTitle(), "BACKUP");
  EXPECT_EQ(vc->resetNoButton.lock()->defaultTitle(), "NO");

  // The unit's levels (input 12, screen 10, OTG 15) and outputs (left on).
  const auto& in = *vc->inputSliderView;
  const auto& scr = *vc->screenSliderView;
  const auto& otg = *vc->otgSliderView;
  EXPECT_EQ(in.titleTF.lock()->stringValue(), "INPUT LEVEL");
  EXPECT_EQ(SystemRig::sliderValue(in), 12);
  EXPECT_EQ(SystemRig::valueText(in), SettingModel::levelText(12));
  EXPECT_EQ(SystemRig::sliderValue(scr), 10);
  EXPECT_EQ(SystemRig::valueText(scr), "10");
  EXPECT_EQ(SystemRig::sliderValue(otg), 15);
  EXPECT_EQ(SystemRig::valueText(otg), SettingModel::levelText(15));
  EXPECT_TRUE(vc->cabLeftSwitch.lock()->isOn());
  EXPECT_FALSE(vc->cabRightSwitch.lock()->isOn());
  // The sliders fill their holders.
  EXPECT_EQ(vc->inputSliderView->frame().size, vc->inputBgView.lock()->frame().size);
  const QImage image = snapshot(rig.window(), "screens-system.png");
  EXPECT_FALSE(image.isNull());

  // The unit's panel: redrawn, nothing sent back.
  rig.unit()->setInputLevel(0);
  rig.unit()->setScreenLevel(20);
  rig.unit()->setOtgLevel(21);
  rig.unit()->setOutCab(0, 1);
  ASSERT_TRUE(runUntil([&] {
    return SystemRig::sliderValue(otg) == 21 && !vc->cabLeftSwitch.lock()->isOn() &&
           vc->cabRightSwitch.lock()->isOn();
  }));
  flushMainQueue();
  EXPECT_EQ(SystemRig::valueText(in), "-");
  EXPECT_EQ(SystemRig::sliderValue(in), 0);
  EXPECT_EQ(SystemRig::valueText(scr), "20");
  EXPECT_EQ(SystemRig::valueText(otg), "6.0 dB");
  svc_test::runFor(std::chrono::milliseconds(100));
  for (uint8_t cmd : {kSetInput, kSetScreen, kSetCab, kSetOtg}) EXPECT_TRUE(rig.received(cmd).empty());

  // The close control and "NO" both go to page 5 and close the pop-up; the
  // settings button shows the same screen again.
  const size_t pages = rig.received(kSetPage).size();
  rig.click(*vc->closeButton.lock());
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isSystemShown(); }));
  ASSERT_TRUE(rig.waitFor(kSetPage, pages + 1));
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), SystemViewController::kClosePage);
  EXPECT_EQ(rig.open(), vc);
  ASSERT_TRUE(rig.waitFor(kSetPage, pages + 2));
  rig.click(*vc->resetNoButton.lock());
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isSystemShown(); }));
  ASSERT_TRUE(rig.waitFor(kSetPage, pages + 3));
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), SystemViewController::kClosePage);
  EXPECT_TRUE(rig.exits.empty());
}

TEST(SystemScreen, DragsStepsAndSwitchesReachTheUnit) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  rig.unit()->setInputLevel(10);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  auto& in = *vc->inputSliderView;
  ASSERT_TRUE(runUntil([&] { return SystemRig::sliderValue(in) == 10; }));
  const size_t pages = rig.received(kSetPage).size();

  // Each whole value passed is sent, and the release's once more, after the
  // input page once.
  rig.dragTo(in, 12);
  ASSERT_TRUE(rig.waitFor(kSetInput, 3));
  // (The slider's first drag of all also reports the value it starts from.)
  std::vector<int> sent = rig.firstBytes(kSetInput);
  if (sent.size() == 4 && sent.front() == 10) sent.erase(sent.begin());
  EXPECT_EQ(sent, (std::vector<int>{11, 12, 12}));
  EXPECT_EQ(rig.received(kSetInput).back().payload, (svc_test::Bytes{12, 0}));
  ASSERT_GE(rig.received(kSetPage).size(), pages + 1);
  EXPECT_EQ(rig.firstBytes(kSetPage).at(pages), SystemViewController::kInputPage);
  EXPECT_EQ(rig.unit()->system().inputLevel, 12);
  EXPECT_EQ(rig.shell.sim.service->systemDataModel()->inputLevel.get(), 12);
  EXPECT_EQ(SystemRig::valueText(in), SettingModel::levelText(12));
  const size_t inputsBefore = rig.received(kSetInput).size();
  rig.dragTo(in, 11);  // already on the input page: no page again
  ASSERT_TRUE(rig.waitFor(kSetInput, inputsBefore + 2));
  EXPECT_EQ(rig.firstBytes(kSetInput).back(), 11);
  EXPECT_EQ(rig.received(kSetPage).size(), pages + 1);
  EXPECT_EQ(rig.unit()->system().inputLevel, 11);

  // Steps, also at the ends of the ranges, where the value is sent unchanged.
  rig.unit()->setInputLevel(21);
  rig.unit()->setScreenLevel(1);
  ASSERT_TRUE(runUntil([&] { return SystemRig::sliderValue(*vc->screenSliderView) == 1; }));
  ASSERT_TRUE(runUntil([&] { return SystemRig::sliderValue(in) == 21; }));
  const size_t inputs = rig.received(kSetInput).size();
  rig.stepUp(in);
  ASSERT_TRUE(rig.waitFor(kSetInput, inputs + 1));
  EXPECT_EQ(rig.firstBytes(kSetInput).back(), 21);
  EXPECT_EQ(SystemRig::valueText(in), "6.0 dB");
  rig.stepDown(*vc->screenSliderView);
  ASSERT_TRUE(rig.waitFor(kSetScreen, 1));
  EXPECT_EQ(rig.firstBytes(kSetScreen), std::vector<int>{1});
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), SystemViewController::kScreenPage);
  rig.stepUp(*vc->otgSliderView);
  rig.stepUp(*vc->otgSliderView);
  ASSERT_TRUE(rig.waitFor(kSetOtg, 2));
  EXPECT_EQ(rig.firstBytes(kSetOtg), (std::vector<int>{16, 17}));
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), SystemViewController::kOtgPage);
  EXPECT_EQ(rig.unit()->system().otgLevel, 17);
  EXPECT_EQ(SystemRig::sliderValue(*vc->otgSliderView), 17);
  EXPECT_EQ(SystemRig::valueText(*vc->otgSliderView), SettingModel::levelText(17));
  rig.stepDown(in);
  ASSERT_TRUE(rig.waitFor(kSetInput, inputs + 2));
  EXPECT_EQ(rig.firstBytes(kSetInput).back(), 20);
  EXPECT_EQ(SystemRig::sliderValue(in), 20);

  // The switches, both ways: the record, then the outputs page, then both
  // outputs together.
  auto left = vc->cabLeftSwitch.lock();
  auto right = vc->cabRightSwitch.lock();
  ASSERT_TRUE(left->isOn());
  rig.click(*left);
  ASSERT_TRUE(rig.waitFor(kSetCab, 1));
  EXPECT_EQ(rig.firstBytes(kSetPage).back(), SystemViewController::kCabPage);
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

  // Cancelled panels do nothing.
  rig.click(*vc->backUpButton.lock());
  rig.click(*vc->recallButton.lock());
  svc_test::runFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(rig.tips().empty());
  EXPECT_TRUE(rig.received(kRestoreStart).empty());

  rig.chosen = rig.shell.folder / "unit";
  rig.click(*vc->backUpButton.lock());
  ASSERT_EQ(rig.saves.size(), 2u);
  EXPECT_EQ(rig.saves[1].nameFieldStringValue, "VLTfx Rig");
  EXPECT_EQ(rig.saves[1].message, "Choose the path to creat the document");
  EXPECT_EQ(rig.saves[1].allowedFileTypes, std::vector<std::string>{"bqv"});
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return !rig.tips().empty(); }, kRestoreBound));
  EXPECT_EQ(rig.tips(), std::vector<std::string>{"success: Device data backup successful."});
  const fs::path file = rig.shell.folder / "unit.bqv";
  ASSERT_TRUE(fs::exists(file));

  // The unit changes after the backup.
  auto changed = presetBefore;
  changed.name.fill('Z');
  rig.unit()->setPreset(7, changed);
  rig.unit()->setInputLevel(3);
  rig.unit()->setOutCab(0, 1);
  ASSERT_TRUE(runUntil([&] { return SystemRig::sliderValue(*vc->inputSliderView) == 3; }));

  rig.chosen = file;
  rig.click(*vc->recallButton.lock());
  ASSERT_EQ(rig.opens.size(), 2u);
  EXPECT_EQ(rig.opens[1].message, "Choose the file");
  EXPECT_EQ(rig.opens[1].allowedFileTypes, std::vector<std::string>{"bqv"});
  EXPECT_FALSE(rig.opens[1].allowsMultipleSelection);
  auto activity = vc->recallActivity();
  ASSERT_NE(activity, nullptr);
  ASSERT_EQ(activity->superview(), vc->view().get());
  std::shared_ptr<StartLoadingView> loading;
  for (const auto& v : activity->subviews())
    if (auto l = std::dynamic_pointer_cast<StartLoadingView>(v)) loading = l;
  ASSERT_NE(loading, nullptr);
  EXPECT_EQ(loading->titleLabel()->stringValue(), "Restoring ...");
  EXPECT_TRUE(activity->dontTouchDissmiss());

  // Success: the pop-up's screen gives way to the tip, then the end command.
  const auto pop = rig.bar->systemPopView;
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        for (const auto& v : pop->subviews())
          if (auto tip = std::dynamic_pointer_cast<NSPopNormalView>(v))
            return tip->title() == SettingViewModel::kRecallSuccessTip;
        return false;
      },
      kRestoreBound));
  EXPECT_EQ(vc->recallActivity(), nullptr);
  EXPECT_EQ(vc->view()->superview()->superview(), nullptr);  // the screen left the pop-up
  EXPECT_TRUE(rig.received(kRestoreEnd).empty());
  ASSERT_TRUE(rig.waitFor(kRestoreEnd, 1));
  EXPECT_EQ(rig.received(kRestoreEnd).front().payload, svc_test::Bytes{0});
  EXPECT_EQ(rig.received(kRestoreStart).size(), 1u);

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
  // The unit stays on the bus after each restore's end.
  auto transfer = rig.unit()->transfer();
  auto knobs = transfer->knobs();
  knobs.leaveBusOnRestoreEnd = false;
  transfer->setKnobs(knobs);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);

  // An unreadable file: the restore starts and ends around the alert, which
  // comes after the loading view has gone.
  const fs::path bad = rig.shell.folder / "bad.bqv";
  std::ofstream(bad) << "not a backup";
  bool loadingAtAlert = true;
  size_t endsAtAlert = 99;
  rig.onAlert = [&](const ui::AlertRequest&) {
    loadingAtAlert = vc->recallActivity() != nullptr;
    endsAtAlert = rig.received(kRestoreEnd).size();
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
  EXPECT_EQ(rig.received(kRestoreStart).size(), 1u);
  EXPECT_EQ(rig.received(kRestoreStart).front().payload, svc_test::Bytes{0});
  EXPECT_TRUE(rig.bar->isSystemShown());  // the screen stays; the process goes on
  EXPECT_TRUE(rig.exits.empty());

  // A backup whose IR export never comes: the failure tip, and no file.
  knobs.withhold = {sim::UnitTransfer::kIRExport};
  transfer->setKnobs(knobs);
  rig.chosen = rig.shell.folder / "lost.bqv";
  rig.click(*vc->backUpButton.lock());
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return !rig.tips().empty(); }, kRestoreBound));
  EXPECT_EQ(rig.tips(), std::vector<std::string>{"fail: Backup failed,Please try again."});
  EXPECT_FALSE(fs::exists(*rig.chosen));

  // A whole backup, then a restore during which the unit leaves the bus.
  knobs.withhold.clear();
  transfer->setKnobs(knobs);
  rig.chosen = rig.shell.folder / "good.bqv";
  rig.click(*vc->backUpButton.lock());
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.tips().size() == 2; }, kRestoreBound));
  ASSERT_EQ(rig.tips().back(), "success: Device data backup successful.");
  knobs.leaveBusAfterAnswers = transfer->answers() + 20;
  transfer->setKnobs(knobs);
  rig.onAlert = [&](const ui::AlertRequest& r) {
    if (r.messageText == SettingViewModel::kRecallFailedAlert) loadingAtAlert = vc->recallActivity() != nullptr;
  };
  loadingAtAlert = true;
  rig.click(*vc->recallButton.lock());
  ASSERT_NE(vc->recallActivity(), nullptr);
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        return std::any_of(rig.alerts.begin() + 1, rig.alerts.end(), [](const ui::AlertRequest& a) {
          return a.messageText == SettingViewModel::kRecallFailedAlert;
        });
      },
      kRestoreBound));
  EXPECT_TRUE(hasTip(rig.tips(), "fail: Restore failed!"));
  EXPECT_FALSE(loadingAtAlert);
  EXPECT_EQ(rig.received(kRestoreStart).size(), 2u);
  EXPECT_EQ(rig.received(kRestoreEnd).size(), 1u);  // the unit is gone
}

TEST(SystemScreen, ResetAsksFirstAndIsSentBeforeTheProcessEnds) {
  SystemRig rig;
  ASSERT_TRUE(rig.launched);
  auto vc = rig.open();
  ASSERT_NE(vc, nullptr);
  const size_t pages = rig.received(kSetPage).size();

  rig.click(*vc->resetYesButton.lock());
  auto panel = rig.question();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->title(), "The device will be reset. Please make a data backup");
  EXPECT_EQ(panel->btnTitles(), (std::vector<std::string>{"NO", "YES"}));
  rig.answer("NO");
  EXPECT_EQ(rig.question(), nullptr);
  EXPECT_TRUE(rig.bar->isSystemShown());
  svc_test::runFor(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.received(kSetPage).size(), pages);
  EXPECT_TRUE(rig.received(kReset).empty());
  EXPECT_TRUE(rig.exits.empty());

  size_t resetsAtExit = 0;
  rig.onExit = [&] {
    if (resetsAtExit == 0) resetsAtExit = rig.received(kReset).size();
  };
  rig.click(*vc->resetYesButton.lock());
  rig.answer("YES");
  ASSERT_FALSE(rig.exits.empty());
  EXPECT_EQ(rig.exits.front(), 0);
  EXPECT_EQ(resetsAtExit, 1u);
  EXPECT_EQ(rig.received(kReset).front().payload, svc_test::Bytes{1});
}
