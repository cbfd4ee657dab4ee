// Quick clicks with the real mouse on the program's own controls, the whole
// program running on the simulated unit: every click that follows the one
// before within the double-click interval sends its command, as the first
// does. Real X events (Qt makes the second press of each pair a double
// click): the test_screens_real_events entry runs it under xvfb-run.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "screens/MainWindowDriver.h"
#include "screens/models/EffectViewModel.h"
#include "ui/RealPointer.h"

using namespace flow_test;
using App = sim::UnitApplication;
using ui::testing::RealPointer;

namespace {

constexpr int kModule = 7;  // DELAY: the module the editor shows
constexpr int kClicks = 10;
constexpr unsigned kGapMs = 100;  // well inside the double-click interval

enum class Control { KnobUp, KnobDown, PresetUp, PresetDown, ModuleButton, ModuleSwitch };

struct Case {
  Control control;
  const char* name;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {Control::KnobUp, "KnobUp"},           {Control::KnobDown, "KnobDown"},
    {Control::PresetUp, "PresetUp"},       {Control::PresetDown, "PresetDown"},
    {Control::ModuleButton, "ModuleButton"}, {Control::ModuleSwitch, "ModuleSwitch"},
};

// The program on the simulated unit, with the real pointer over its window.
struct Program {
  ShellRig rig;
  std::unique_ptr<MainWindowDriver> w;
  std::unique_ptr<RealPointer> pointer;
  bool started = false;

  Program() {
    HIDServiceViewMode::Parts parts;
    parts.zrHID = rig.sim.hid;
    parts.loadCatalogue = loadTestCatalogue;
    rig.sim.service = HIDServiceViewMode::create(parts);
    w = std::make_unique<MainWindowDriver>(rig);
    started = rig.launchMainWindow();
    if (started) pointer = std::make_unique<RealPointer>(w->window());
  }

  App& unit() const { return *rig.sim.app; }
  size_t count(uint8_t cmd) const { return rig.sim.received(cmd).size(); }

  // Every send so far has reached the unit: a frame sent now arrives after them.
  void settle() {
    flushMainQueue();
    const size_t markers = count(App::kSetInputLevel);
    rig.sim.service->sendSystem(dev::SystemSetting::InputLevel);  // the input level the unit already has
    ASSERT_TRUE(rig.sim.waitFor(App::kSetInputLevel, markers + 1));
  }

  void clickOnce(const ui::View& view) {
    ASSERT_TRUE(pointer->moveTo(MainWindowDriver::centreOf(view)));
    ASSERT_TRUE(pointer->quickClicks(1, 0));
    flushMainQueue();
  }

  // The module from the module bar, shown in the editor.
  void chooseModule(int m) {
    clickOnce(*w->bar().btns().at(static_cast<size_t>(m)));
    ASSERT_TRUE(waitUntil([&] { return w->showsModule(m); })) << "module " << m << " not shown";
    flushMainQueue();
    w->window().layoutIfNeeded();
  }

  // A knob cell the editor shows.
  GGEffectParmaViewPtr knobCell() const {
    for (const auto& [key, cell] : w->editor().cellSource())
      if (cell->itemModel() && cell->window() && !cell->isHiddenOrHasHiddenAncestor()) return cell;
    return nullptr;
  }
};

class QuickClicks : public testing::TestWithParam<Case> {};

TEST_P(QuickClicks, DISABLED_EveryClickSendsItsCommandWithRealEvents) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  const Control control = GetParam().control;
  Program p;
  ASSERT_TRUE(p.started);
  ASSERT_EQ(p.pointer->problem(), "");
  ASSERT_TRUE(p.pointer->waitUntilShown());
  ASSERT_TRUE(p.w->waitForTipsGone());
  // Unmodified, so the preset arrows switch without asking to save.
  ASSERT_EQ(p.rig.sim.service->didChangeData.get(), 0);

  std::shared_ptr<ui::View> target;
  uint8_t command = App::kSetModuleWords + kModule;
  switch (control) {
    case Control::KnobUp:
    case Control::KnobDown: {
      p.chooseModule(kModule);
      auto cell = p.knobCell();
      ASSERT_TRUE(cell) << "the editor shows no knob";
      // Held-button repeat is not what this counts.
      cell->autoRepeat().repetitionDelay = std::chrono::hours(1);
      target = control == Control::KnobUp ? cell->upButton.lock() : cell->downButton.lock();
      break;
    }
    case Control::PresetUp:
    case Control::PresetDown:
      target = control == Control::PresetUp ? p.w->top().upButton : p.w->top().downButton;
      command = App::kLoadPreset;
      break;
    case Control::ModuleButton:
      // Selected first: each click then switches the module on or off.
      p.chooseModule(kModule);
      target = p.w->bar().btns().at(kModule);
      break;
    case Control::ModuleSwitch:
      p.chooseModule(kModule);
      target = p.w->editor().statusSwitch;
      break;
  }
  ASSERT_TRUE(target);
  p.settle();
  ASSERT_FALSE(HasFatalFailure());
  const size_t before = p.count(command);

  ASSERT_TRUE(p.pointer->moveTo(MainWindowDriver::centreOf(*target)));
  ASSERT_TRUE(p.pointer->quickClicks(kClicks, kGapMs));
  p.settle();
  EXPECT_EQ(p.count(command) - before, size_t(kClicks)) << "command 0x" << std::hex << int(command);
  EXPECT_TRUE(p.w->questions().empty());
}

INSTANTIATE_TEST_SUITE_P(RealEvents, QuickClicks, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
