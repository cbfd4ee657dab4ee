// The module bar against the device service and the simulated unit: the nine
// modules' states from the unit, a click selecting a module or switching it
// on the unit, the unit's panel showing in the bar; and, with a recording
// service, the values no unit should give.
#include "screens/BarsTestSupport.h"
#include "screens/bars/GGFunctionBottomView.h"

using namespace bars_test;

namespace {

struct ModuleBarRig : UnitRig {
  controls_test::WindowFixture window{900, 140};
  GGFunctionBottomViewPtr bar;
  ModuleBarRig() {
    bar = GGFunctionBottomView::create({service(), manager});
    bar->setFrame(ui::Rect(20, 20, 860, 100));
    window.window->contentView()->addSubview(bar);
    window.window->layoutIfNeeded();
    flushMainQueue();
  }
  std::vector<bool> shownOn() const {
    std::vector<bool> out;
    for (const auto& b : bar->btns()) out.push_back(b->isOn());
    return out;
  }
  std::vector<bool> unitOn() const {
    std::vector<bool> out;
    const auto edit = unit()->editBuffer();
    for (int m = 0; m < 9; ++m) out.push_back(edit.data.moduleWords(m).at(0) != 0);
    return out;
  }
  int selectedButtons() const {
    int n = 0;
    for (const auto& b : bar->btns()) n += b->isSelect() ? 1 : 0;
    return n;
  }
  void click(int module) {
    ui::testing::Pointer p(*window.window);
    p.click(centreInWindow(*bar->btns().at(static_cast<size_t>(module))));
  }
};

}  // namespace

TEST(ModuleBarWithUnit, NineModulesInChainOrderShowTheUnitsStates) {
  ModuleBarRig rig;
  ASSERT_EQ(rig.bar->btns().size(), 9u);
  const std::vector<std::string> titles{"FX", "DS", "AMP", "CAB", "NS", "EQ", "MOD", "DELAY", "REV"};
  double lastX = -1;
  for (size_t i = 0; i < 9; ++i) {
    const auto& b = rig.bar->btns()[i];
    EXPECT_EQ(b->title, titles[i]);
    EXPECT_EQ(b->index, static_cast<int64_t>(i));
    EXPECT_EQ(b->frame().size.width, 80);
    EXPECT_EQ(b->frame().size.height, 100);
    EXPECT_GT(b->frame().origin.x, lastX);
    lastX = b->frame().origin.x;
  }
  EXPECT_EQ(rig.bar->btns().front()->frame().origin.x, 30);
  EXPECT_EQ(rig.bar->btns().back()->frame().origin.x + 80, 860 - 60);
  // The factory presets mix on and off modules: the states are not one default.
  const std::vector<bool> unit = rig.unitOn();
  ASSERT_NE(std::count(unit.begin(), unit.end(), true), 0);
  ASSERT_NE(std::count(unit.begin(), unit.end(), false), 0);
  EXPECT_EQ(rig.shownOn(), unit);
  EXPECT_EQ(rig.selectedButtons(), 1);

  snapshot(*rig.window.window, "screens-module-bar.png");
}

TEST(ModuleBarWithUnit, ClickSelectsOnTheUnitThenSwitchesTheModule) {
  ModuleBarRig rig;
  const size_t pages = rig.sim.received(0xB4).size();  // the start-up's own
  rig.click(2);  // AMP
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 1));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), 6 + 2);
  EXPECT_TRUE(rig.bar->btns()[2]->isSelect());

  rig.click(3);  // CAB: selected at once, its page asked for
  EXPECT_TRUE(rig.bar->btns()[3]->isSelect());
  EXPECT_FALSE(rig.bar->btns()[2]->isSelect());
  EXPECT_EQ(rig.bar->didSelectedModule(), 3);
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 2));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), 6 + 3);
  ASSERT_TRUE(runUntil([&] { return rig.unit()->editBuffer().page == 9; }));
  const bool before = rig.unitOn()[3];
  EXPECT_EQ(rig.bar->btns()[3]->isOn(), before);

  rig.click(3);  // again: the module is switched, its other words kept
  ASSERT_TRUE(rig.sim.waitFor(0x82 + 3, 1));
  ASSERT_TRUE(runUntil([&] { return rig.unitOn()[3] != before; }));
  EXPECT_EQ(rig.bar->btns()[3]->isOn(), !before);
  const std::vector<int> sent = rig.unit()->editBuffer().data.moduleWords(3);
  std::vector<int> expected = rig.service()->cachedPreset(1)->module(3)->dataArr.get();
  expected[0] = before ? 0 : 1;
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(rig.sim.received(0xB4).size(), pages + 2);  // already on the page
  EXPECT_EQ(rig.selectedButtons(), 1);

  rig.click(3);  // and back
  ASSERT_TRUE(runUntil([&] { return rig.unitOn()[3] == before; }));
  EXPECT_EQ(rig.bar->btns()[3]->isOn(), before);
}

TEST(ModuleBarWithUnit, TheUnitsPanelShowsInTheBar) {
  ModuleBarRig rig;
  rig.click(6);  // MOD
  ASSERT_TRUE(runUntil([&] { return rig.unit()->editBuffer().page == 12; }));

  // The selected module switched on the panel.
  std::vector<int> words = rig.unit()->editBuffer().data.moduleWords(6);
  words[0] = words[0] ? 0 : 1;
  rig.unit()->turnKnob(6, words);
  ASSERT_TRUE(runUntil([&] { return rig.bar->btns()[6]->isOn() == (words[0] != 0); }));

  // Another module switched on the panel shows with the next change of the
  // current module's words.
  std::vector<int> eq = rig.unit()->editBuffer().data.moduleWords(5);
  eq[0] = eq[0] ? 0 : 1;
  rig.unit()->turnKnob(5, eq);
  words[2] += 1;
  rig.unit()->turnKnob(6, words);
  ASSERT_TRUE(runUntil([&] { return rig.bar->btns()[5]->isOn() == (eq[0] != 0); }));

  // A module chosen on the panel moves the frame.
  rig.unit()->changePage(6 + 1);
  ASSERT_TRUE(runUntil([&] { return rig.bar->btns()[1]->isSelect(); }));
  EXPECT_EQ(rig.selectedButtons(), 1);

  // A preset chosen on the panel: all nine follow.
  rig.unit()->changePreset(2);
  ASSERT_TRUE(runUntil([&] { return rig.service()->presetAllData()->selectedPreset.get() == 2; }));
  ASSERT_TRUE(runUntil([&] { return rig.shownOn() == rig.unitOn(); }));
  EXPECT_NE(rig.unitOn(), std::vector<bool>(9, rig.unitOn()[0]));
}

TEST(ModuleBarBounds, ValuesNoUnitShouldGiveAreIgnored) {
  Recorder recorder;
  TempFolder folder;
  auto manager = makeManager(recorder.service, folder);

  // Before any data: nothing reported, nothing switched, nothing sent.
  auto bar = GGFunctionBottomView::create({recorder.service, manager});
  bar->setFrame(ui::Rect(0, 0, 860, 100));
  flushMainQueue();
  EXPECT_TRUE(bar->btns()[0]->isSelect());
  bar->btnAction(*bar->btns()[0]);
  bar->viewModel()->changeModuleStatus(true);
  bar->viewModel()->changePage(-1);
  bar->viewModel()->changePage(9);
  EXPECT_TRUE(recorder.take().empty());
  EXPECT_FALSE(bar->btns()[0]->isOn());

  loadUnit(recorder, 4, 6 + 2);
  flushMainQueue();
  EXPECT_TRUE(bar->btns()[2]->isSelect());
  const auto preset = recorder.service->presetAllData();

  // A module without words: the modules before it are shown, none after it
  // is taken from the wrong module.
  for (auto& b : bar->btns()) b->setIsOn(false);
  preset->setModule(4, fnd::make<HIDServiceModel>());
  EXPECT_EQ(bar->viewModel()->collectModuleStatus().size(), 4u);
  recorder.service->presetDataModel()->setDataArr(currentWords(4, 2));  // a change: report
  flushMainQueue();
  for (int m = 0; m < 4; ++m) EXPECT_TRUE(bar->btns()[static_cast<size_t>(m)]->isOn()) << m;
  for (int m = 4; m < 9; ++m) EXPECT_FALSE(bar->btns()[static_cast<size_t>(m)]->isOn()) << m;

  // A selected module out of range keeps the frame where it was.
  preset->setSelectedModule(42);
  recorder.service->presetDataModel()->setDataArr(currentWords(4, 2));
  flushMainQueue();
  EXPECT_TRUE(bar->btns()[2]->isSelect());
  EXPECT_EQ(bar->didSelectedModule(), 2);

  // Only the on/off word's low byte counts.
  preset->setSelectedModule(2);
  std::vector<int> words = currentWords(4, 2);
  words[0] = 0x100;
  recorder.service->presetDataModel()->setDataArr(words);
  flushMainQueue();
  EXPECT_FALSE(bar->btns()[2]->isOn());
}

// A change of the current module's words is passed on to the bar only when
// what the bar shows changes: an edit of parameter words (each knob step)
// reports nothing; being asked always reports.
TEST(ModuleBarBounds, OnlyChangesOfWhatTheBarShowsAreReported) {
  Recorder recorder;
  TempFolder folder;
  auto manager = makeManager(recorder.service, folder);
  loadUnit(recorder, 4, 6 + 2);

  auto model = GGFunctionViewModel::create({recorder.service, manager});
  size_t statuses = 0, selections = 0;
  model->initWithBlock([&](const fnd::Value&) { ++statuses; }, [&](const fnd::Value&) { ++selections; });
  model->getNowModuleStatus();
  ASSERT_EQ(statuses, 1u);
  ASSERT_EQ(selections, 1u);

  const auto record = recorder.service->presetDataModel();
  std::vector<int> words = currentWords(4, 2);
  struct Step {
    const char* what;
    std::function<void()> change;
    size_t statuses, selections;  // reports it adds
  };
  const Step steps[] = {
      {"a parameter word", [&] { words[3] += 1; }, 0, 0},
      {"the same words again", [] {}, 0, 0},
      {"the on/off word", [&] { words[0] ^= 1; }, 1, 0},
      {"another module selected",
       [&] {
         recorder.service->presetAllData()->setSelectedModule(5);
         words = currentWords(4, 5);
       },
       1, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const size_t statusesBefore = statuses, selectionsBefore = selections;
    step.change();
    record->setDataArr(words);
    EXPECT_EQ(statuses - statusesBefore, step.statuses);
    EXPECT_EQ(selections - selectionsBefore, step.selections);
  }
  model->getNowModuleStatus();
  EXPECT_EQ(statuses, 4u);
  EXPECT_EQ(selections, 3u);
}
