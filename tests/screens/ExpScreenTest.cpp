// The EXP pedal screen against the device service and the simulated unit:
// opened from the top bar of the whole main window and closed by its own
// control, module and parameter choices reaching the unit, the unit's panel
// redrawing it (unknown modules and parameters included), and the volume
// switch, sliders and steps with their limits.
#include <algorithm>

#include "screens/BarsTestSupport.h"
#include "screens/ShellRig.h"
#include "screens/bars/TopBarScreens.h"
#include "screens/bars/TopView.h"
#include "screens/exp/ExpViewController.h"

using namespace bars_test;

namespace {

constexpr uint8_t kAssign = 0x98;
constexpr uint8_t kVolume = 0xB3;
constexpr uint8_t kPage = 0xB4;

std::vector<std::string> shownTitles(const ExpViewController& vc) {
  std::vector<std::string> out;
  for (int k = 0; k < ExpViewController::kEffectButtonCount; ++k)
    if (auto b = vc.effectButton(k); b && !b->isHidden()) out.push_back(b->defaultTitle());
  return out;
}

std::vector<std::string> litModules(const ExpViewController& vc) {
  std::vector<std::string> out;
  for (const auto& b : vc.moduleButtons)
    if (b->isOn()) out.push_back(b->defaultTitle());
  return out;
}

std::vector<int64_t> litPositions(const ExpViewController& vc) {
  std::vector<int64_t> out;
  for (int k = 0; k < ExpViewController::kEffectButtonCount; ++k)
    if (auto b = vc.effectButton(k); b && b->isOn()) out.push_back(k);
  return out;
}

// The module button, or else the shown parameter button, with that title.
std::shared_ptr<GGCoustomButton> button(const ExpViewController& vc, const std::string& title) {
  for (const auto& b : vc.moduleButtons)
    if (b->defaultTitle() == title) return b;
  for (int k = 0; k < ExpViewController::kEffectButtonCount; ++k)
    if (auto b = vc.effectButton(k); b && !b->isHidden() && b->defaultTitle() == title) return b;
  return nullptr;
}

void clickIn(ui::Window& window, const ui::View& view) {
  ui::testing::Pointer p(window);
  p.move(centreInWindow(view));
  p.click(centreInWindow(view));
  p.move({1, 1});
  flushMainQueue();
}

// The screen alone in a window, on a service that has read the unit.
struct ExpRig : UnitRig {
  controls_test::WindowFixture window{700, 420};
  std::shared_ptr<ui::View> screen;
  ExpViewControllerPtr vc;
  ExpRig() {
    screen = ExpViewController::makeScreen({service(), manager});
    vc = ExpViewController::controllerOf(*screen);
    screen->setFrameOrigin({30, 15});
    window.window->contentView()->addSubview(screen);
    window.window->layoutIfNeeded();
    flushMainQueue();
  }
  void click(const std::shared_ptr<ui::View>& view) {
    ASSERT_NE(view, nullptr);
    clickIn(*window.window, *view);
  }
  std::vector<uint8_t> lastSent(uint8_t cmd) const { return sim.received(cmd).back().payload; }
  // The volume as the panel sets it, once the screen shows it.
  void panelVolume(int on, int minimum, int maximum) {
    unit()->setExpVolume(on, minimum, maximum);
    ASSERT_TRUE(runUntil([&] {
      return vc->volModel->on.get() == (on != 0) && vc->volModel->minValue.get() == minimum &&
             vc->volModel->maxValue.get() == maximum;
    }));
    flushMainQueue();
  }
  static std::string text(const std::shared_ptr<GGVerticalSliderView>& v) { return v->valueTF.lock()->stringValue(); }
  static double value(const std::shared_ptr<GGVerticalSliderView>& v) { return v->valueSlider.lock()->doubleValue(); }
};

}  // namespace

TEST(ExpScreen, OpensFromTheTopBarOfTheMainWindowAndClosesItself) {
  svc_test::ShellRig rig;
  ASSERT_TRUE(rig.launchMainWindow());
  auto bar = std::dynamic_pointer_cast<TopView>(rig.vc().topView);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(TopBarScreens::hasScreen(TopBarScreens::kExpScreen));
  const size_t pages = rig.sim.received(kPage).size();

  clickIn(rig.window(), *bar->expButton);
  ASSERT_TRUE(bar->isExpShown());
  auto vc = ExpViewController::controllerOf(*bar->expVC());
  ASSERT_NE(vc, nullptr);
  ASSERT_TRUE(rig.sim.waitFor(kPage, pages + 1));
  EXPECT_EQ(rig.sim.received(kPage).back().payload.at(0), dev::page::kExp);
  flushMainQueue();
  // It shows the unit's assignment at once.
  const auto function = rig.sim.app->editBuffer().data.expFunction;
  EXPECT_EQ(litModules(*vc), std::vector<std::string>{HIDServiceViewMode::moduleName(function[0])});
  snapshot(rig.window(), "screens-exp.png");

  // "EQ": fourteen bands shown, the first lit and assigned, the function's
  // own word passed back unchanged.
  clickIn(rig.window(), *button(*vc, "EQ"));
  EXPECT_EQ(litModules(*vc), std::vector<std::string>{"EQ"});
  EXPECT_EQ(shownTitles(*vc), ExpViewController::function_Para().at("EQ"));
  EXPECT_EQ(shownTitles(*vc).back(), "6.6KHZ");  // the fifteenth hidden
  EXPECT_EQ(litPositions(*vc), std::vector<int64_t>{0});
  ASSERT_TRUE(rig.sim.waitFor(kAssign, 1));
  EXPECT_EQ(rig.sim.received(kAssign).back().payload, wordBytes({5, 25, function[2]}));
  // The top bar's strip follows.
  ASSERT_TRUE(runUntil([&] { return bar->expValueLabel->stringValue() == "EXP: EQ - 80HZ"; }));
  snapshot(rig.window(), "screens-exp-eq.png");

  // The screen's switch and the top bar's both stand for the volume word,
  // whichever of them changes it; an assignment report changes neither.
  auto screenSwitch = vc->expVolSwitch.lock();
  const bool before = screenSwitch->isOn();
  ASSERT_EQ(bar->expVolSwitch->isOn(), before);
  clickIn(rig.window(), *screenSwitch);
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 1));
  EXPECT_EQ(rig.sim.received(kVolume).back().payload.at(0), before ? 0 : 1);
  ASSERT_TRUE(runUntil([&] { return bar->expVolSwitch->isOn() != before; }));
  rig.sim.app->setExpFunction(5, 26, before ? 1 : 0);
  ASSERT_TRUE(runUntil([&] { return bar->expValueLabel->stringValue() == "EXP: EQ - 100HZ"; }));
  // The screen's redraw is queued apart from the bar's, maybe after it.
  EXPECT_TRUE(runUntil([&] { return litPositions(*vc) == std::vector<int64_t>{1}; }))
      << "lit " << (litPositions(*vc).empty() ? -1 : litPositions(*vc)[0]);
  flushMainQueue();
  EXPECT_NE(screenSwitch->isOn(), before);
  EXPECT_NE(bar->expVolSwitch->isOn(), before);
  // The bar's switch lies under the overlay: its toggle, as a click gives it.
  bar->expVolSwitch->ChangeSwitchStatus(before);
  ASSERT_TRUE(runUntil([&] { return screenSwitch->isOn() == before; }));
  EXPECT_EQ(vc->volModel->on.get(), before);

  // The close control: page 5, overlay gone; the button opens the same screen.
  clickIn(rig.window(), *vc->closeButton.lock());
  EXPECT_FALSE(bar->isExpShown());
  ASSERT_TRUE(rig.sim.waitFor(kPage, pages + 2));
  EXPECT_EQ(rig.sim.received(kPage).back().payload.at(0), dev::page::kHome);
  clickIn(rig.window(), *bar->expButton);
  ASSERT_TRUE(bar->isExpShown());
  EXPECT_EQ(ExpViewController::controllerOf(*bar->expVC()), vc);
  EXPECT_EQ(litModules(*vc), std::vector<std::string>{"EQ"});
  rig.window().close();
}

TEST(ExpScreen, ModuleAndParameterChoicesAssignThePedal) {
  ExpRig rig;
  // Word 2 of the assignment is the unit's; every send passes it back.
  rig.unit()->setExpFunction(2, 13, 1);
  ASSERT_TRUE(runUntil([&] { return litModules(*rig.vc) == std::vector<std::string>{"AMP"}; }));

  rig.click(button(*rig.vc, "CAB"));
  EXPECT_EQ(shownTitles(*rig.vc), (std::vector<std::string>{"CENTER", "DISTANCE"}));
  rig.click(button(*rig.vc, "DISTANCE"));
  EXPECT_EQ(litPositions(*rig.vc), std::vector<int64_t>{1});
  ASSERT_TRUE(rig.sim.waitFor(kAssign, 2));
  EXPECT_EQ(rig.sim.received(kAssign)[0].payload, wordBytes({3, 19, 1}));
  EXPECT_EQ(rig.sim.received(kAssign)[1].payload, wordBytes({3, 20, 1}));

  rig.click(button(*rig.vc, "FX/COMP"));
  EXPECT_EQ(shownTitles(*rig.vc).size(), 10u);
  rig.click(button(*rig.vc, "LEVEL"));
  ASSERT_TRUE(rig.sim.waitFor(kAssign, 4));
  EXPECT_EQ(rig.sim.received(kAssign)[2].payload, wordBytes({0, 0, 1}));
  EXPECT_EQ(rig.sim.received(kAssign)[3].payload, wordBytes({0, 9, 1}));
  // The record's change redraws the same choice: one module, one parameter.
  flushMainQueue();
  EXPECT_EQ(litModules(*rig.vc), std::vector<std::string>{"FX/COMP"});
  EXPECT_EQ(litPositions(*rig.vc), std::vector<int64_t>{9});

  // The last module's last parameter is the list's last index.
  rig.click(button(*rig.vc, "REVERB"));
  rig.click(button(*rig.vc, "TONE"));
  ASSERT_TRUE(rig.sim.waitFor(kAssign, 6));
  EXPECT_EQ(rig.lastSent(kAssign), wordBytes({8, 60, 1}));
}

TEST(ExpScreen, ThePanelsReportsRedrawTheScreen) {
  ExpRig rig;
  rig.unit()->setExpFunction(7, 53, 0);  // DELAY, TIME
  ASSERT_TRUE(runUntil([&] { return litModules(*rig.vc) == std::vector<std::string>{"DELAY"}; }));
  EXPECT_EQ(shownTitles(*rig.vc), (std::vector<std::string>{"LEVEL", "F.BACK", "TIME", "TIME A", "THRES", "TIME B"}));
  EXPECT_EQ(litPositions(*rig.vc), std::vector<int64_t>{2});
  // A module the screen does not know: nothing lit, no parameters.
  rig.unit()->setExpFunction(9, 0, 0);
  ASSERT_TRUE(runUntil([&] { return litModules(*rig.vc).empty(); }));
  EXPECT_TRUE(shownTitles(*rig.vc).empty());

  // AMP's GAIN under FX/COMP: FX/COMP shown, the lit position kept.
  rig.unit()->setExpFunction(0, 13, 0);
  ASSERT_TRUE(runUntil([&] { return litModules(*rig.vc) == std::vector<std::string>{"FX/COMP"}; }));
  EXPECT_EQ(shownTitles(*rig.vc).size(), 10u);
  EXPECT_EQ(litPositions(*rig.vc), std::vector<int64_t>{2});

  // A parameter past the unit's list names none: nothing lit.
  rig.unit()->setExpFunction(2, 61, 1);
  ASSERT_TRUE(runUntil([&] { return litModules(*rig.vc) == std::vector<std::string>{"AMP"}; }));
  EXPECT_EQ(shownTitles(*rig.vc).size(), 6u);
  EXPECT_TRUE(litPositions(*rig.vc).empty());
  // Choosing a parameter from there assigns it as usual.
  rig.click(button(*rig.vc, "MID"));
  ASSERT_TRUE(rig.sim.waitFor(kAssign, 1));
  EXPECT_EQ(rig.lastSent(kAssign), wordBytes({2, 15, 1}));

  // The volume group.
  rig.unit()->setExpVolume(1, 12, 87);
  ASSERT_TRUE(runUntil([&] { return ExpRig::text(rig.vc->maxVolSliderView) == "87"; }));
  EXPECT_TRUE(rig.vc->expVolSwitch.lock()->isOn());
  EXPECT_EQ(ExpRig::value(rig.vc->minVolSliderView), 12);
  EXPECT_EQ(ExpRig::value(rig.vc->maxVolSliderView), 87);
  EXPECT_EQ(ExpRig::text(rig.vc->minVolSliderView), "12");
  // Redrawing sent nothing back.
  flushMainQueue();
  EXPECT_TRUE(rig.sim.received(kVolume).empty());
}

TEST(ExpScreen, VolumeSwitchSlidersAndStepsWithTheirLimits) {
  ExpRig rig;
  rig.panelVolume(1, 40, 40);
  auto& minView = rig.vc->minVolSliderView;
  auto& maxView = rig.vc->maxVolSliderView;
  // Equal ends: neither may pass the other; nothing sent.
  rig.click(minView->upButton.lock());
  rig.click(maxView->downButton.lock());
  flushMainQueue();
  EXPECT_TRUE(rig.sim.received(kVolume).empty());
  EXPECT_EQ(rig.vc->volModel->minValue.get(), 40);
  EXPECT_EQ(rig.vc->volModel->maxValue.get(), 40);

  // A step goes to the volume page first, then the words.
  const size_t pages = rig.sim.received(kPage).size();
  rig.click(minView->downButton.lock());
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 1));
  EXPECT_EQ(rig.lastSent(kVolume), wordBytes({1, 39, 40}));
  ASSERT_EQ(rig.sim.received(kPage).size(), pages + 1);
  EXPECT_EQ(rig.lastSent(kPage).at(0), dev::page::kExpVolume);
  ASSERT_TRUE(runUntil([&] { return ExpRig::text(minView) == "39"; }));
  EXPECT_EQ(ExpRig::value(minView), 39);

  // At the ends of the range a step sends the same words again; the page is
  // not sent twice.
  rig.panelVolume(1, 0, 100);
  rig.click(minView->downButton.lock());
  rig.click(maxView->upButton.lock());
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 3));
  EXPECT_EQ(rig.sim.received(kVolume)[1].payload, wordBytes({1, 0, 100}));
  EXPECT_EQ(rig.sim.received(kVolume)[2].payload, wordBytes({1, 0, 100}));
  EXPECT_EQ(rig.sim.received(kPage).size(), pages + 1);

  // The switch sends the volume with its new state.
  rig.click(rig.vc->expVolSwitch.lock());
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 4));
  EXPECT_EQ(rig.lastSent(kVolume), wordBytes({0, 0, 100}));
  ASSERT_TRUE(runUntil([&] { return rig.unit()->editBuffer().data.expVolume[0] == 0; }));
  EXPECT_FALSE(rig.vc->expVolSwitch.lock()->isOn());

  // Dragging MIN above MAX holds it at MAX when released, and the redraw
  // brings the knob back there.
  rig.panelVolume(1, 20, 60);
  auto slider = minView->valueSlider.lock();
  const ui::Rect knob = slider->sliderCell().knobRect();  // flipped bounds: y down
  const ui::Point from = slider->convertPointToView({knob.midX(), knob.midY()}, nullptr);
  const ui::Rect bounds = slider->bounds();
  const ui::Point to = slider->convertPointToView({bounds.midX(), bounds.minY() + 1}, nullptr);
  ui::testing::Pointer p(*rig.window.window);
  p.move(from);
  p.press(from);
  p.move({from.x, (from.y + to.y) / 2});
  p.move(to);
  flushMainQueue();
  EXPECT_GT(slider->doubleValue(), 60);
  EXPECT_EQ(rig.sim.received(kVolume).size(), 4u);  // nothing while dragging
  p.release(to);
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 5));
  EXPECT_EQ(rig.lastSent(kVolume), wordBytes({1, 60, 60}));
  ASSERT_TRUE(runUntil([&] { return ExpRig::value(minView) == 60 && ExpRig::text(minView) == "60"; }));

  // Fractions are cut toward zero.
  rig.vc->volModel->setMinValue(37.9);
  rig.vc->sendExpVolData();
  ASSERT_TRUE(rig.sim.waitFor(kVolume, 6));
  EXPECT_EQ(rig.lastSent(kVolume), wordBytes({1, 37, 60}));
}

TEST(ExpScreen, BeforeTheUnitReportsItShowsDefaults) {
  SimRig sim;  // nothing read: the records hold no EXP words yet
  controls_test::WindowFixture window{700, 420};
  auto screen = ExpViewController::makeScreen({sim.service, nullptr});
  auto vc = ExpViewController::controllerOf(*screen);
  ASSERT_NE(vc, nullptr);
  window.window->contentView()->addSubview(screen);
  flushMainQueue();
  EXPECT_TRUE(litModules(*vc).empty());
  EXPECT_TRUE(shownTitles(*vc).empty());
  EXPECT_FALSE(vc->volModel->on.get());
  EXPECT_EQ(vc->volModel->minValue.get(), ExpViewController::kVolumeMin);
  EXPECT_EQ(vc->volModel->maxValue.get(), ExpViewController::kVolumeMax);
  ASSERT_TRUE(runUntil([&] { return ExpRig::text(vc->maxVolSliderView) == "100"; }));
  EXPECT_EQ(ExpRig::text(vc->minVolSliderView), "0");
}
