// The top bar against the device service and the simulated unit: the name and
// the EXP and output states from the unit, preset up and down with the
// modified-data prompt, saving with a good and a refused name, the switches
// reaching the unit, and the EXP and system pop-ups following the unit's page.
#include <set>

#include "controls/GGCoustomButton.h"
#include "controls/NSPopNormalView.h"
#include "controls/SettingResetView.h"
#include "screens/BarsTestSupport.h"
#include "screens/bars/TopBarScreens.h"
#include "screens/bars/TopView.h"

using namespace bars_test;

namespace {

constexpr uint8_t kLoadPreset = 0x96;
constexpr uint8_t kSaveEditBuffer = 0x97;

struct TopBarRig : UnitRig {
  controls_test::WindowFixture window{1100, 400};
  TopViewPtr bar;
  std::shared_ptr<ui::View> content;
  TopBarRig() {
    content = window.window->contentView();
    bar = TopView::create({service(), manager});
    bar->setFrame(ui::Rect(0, 340, 1100, 60));
    content->addSubview(bar);
    window.window->layoutIfNeeded();
    flushMainQueue();
  }
  void click(const ui::View& view) {
    // The buttons act only on a release while the pointer is over them.
    ui::testing::Pointer p(*window.window);
    p.move(centreInWindow(view));
    p.click(centreInWindow(view));
    p.move({1, 1});
    flushMainQueue();
  }
  std::shared_ptr<SettingResetView> prompt() const {
    auto overlay = GGPopView::HUDForView(content.get());
    if (!overlay) return nullptr;
    for (const auto& v : overlay->subviews())
      if (auto panel = std::dynamic_pointer_cast<SettingResetView>(v)) return panel;
    return nullptr;
  }
  // Presses the prompt's button with that title.
  void answer(const std::string& title) {
    auto panel = prompt();
    ASSERT_NE(panel, nullptr);
    const auto& titles = panel->btnTitles();
    const auto it = std::find(titles.begin(), titles.end(), title);
    ASSERT_NE(it, titles.end());
    click(*panel->buttons().at(static_cast<size_t>(it - titles.begin())));
  }
  std::vector<std::string> tipsShown() const {
    std::vector<std::string> out;
    for (const auto& v : content->subviews())
      if (auto tip = std::dynamic_pointer_cast<NSPopNormalView>(v)) out.push_back(tip->title());
    return out;
  }
  // Loads of presets the unit received.
  std::vector<int> loads() const {
    std::vector<int> out;
    for (const auto& f : sim.received(kLoadPreset)) out.push_back(f.payload.at(0));
    return out;
  }
  void modify() { service()->setDidChangeData(1); }
};

}  // namespace

TEST(TopBarPieces, WrapAroundNamesAndLabels) {
  EXPECT_EQ(TopView::presetBelow(200), 1);
  EXPECT_EQ(TopView::presetAbove(1), 200);
  EXPECT_EQ(TopView::presetAbove(0), 200);  // no preset yet

  EXPECT_EQ(TopView::cleanName("#Lead!!"), "Lead");
  EXPECT_EQ(TopView::cleanName(" Lead "), " Lead ");
  EXPECT_EQ(TopView::cleanName("Le!ad"), "Le!ad");
  EXPECT_EQ(TopView::cleanName("abcdefghijklmnopqrst"), "abcdefghijklmn");
  EXPECT_EQ(TopView::cleanName("aé" + std::string(20, 'b')), "aé" + std::string(12, 'b'));  // characters, not bytes

  EXPECT_EQ(TopView::expLabelText({7, 53, 0}),
            "EXP: " + HIDServiceViewMode::moduleName(7) + " - " + GGEffectFunManager::expParamName(53));
  EXPECT_EQ(TopView::expLabelText({2, 61, 1}), "EXP: AMP - ");
  EXPECT_EQ(TopView::expLabelText({40, -3, 1}), "EXP:  - ");
}

// The pages on which the unit shows its system or its EXP settings, as the
// unit documents them; every other page closes both screens.
TEST(TopBarPieces, EachUnitPageOpensTheDocumentedScreen) {
  using Screen = TopView::PageScreen;
  const std::set<int> system{4, 17, 20, 21, 23, 24};
  const std::set<int> exp{1, 15, 16, 22};
  for (int page = -1; page <= 40; ++page) {
    const Screen expected = system.count(page) ? Screen::System : exp.count(page) ? Screen::Exp : Screen::None;
    EXPECT_EQ(TopView::screenForPage(page), expected) << "page " << page;
  }
}

TEST(TopBarWithUnit, ShowsTheUnitsNameAssignmentAndOutputs) {
  TopBarRig rig;
  const auto edit = rig.unit()->editBuffer();
  EXPECT_EQ(rig.bar->presetNameTF->stringValue(), edit.data.nameText());
  EXPECT_EQ(rig.bar->expValueLabel->stringValue(),
            TopView::expLabelText({edit.data.expFunction[0], edit.data.expFunction[1], edit.data.expFunction[2]}));
  // The switch shows the EXP volume word, the one it sends.
  EXPECT_EQ(rig.bar->expVolSwitch->isOn(), edit.data.expVolume[0] != 0);
  EXPECT_EQ(rig.bar->cabLeftSwitch->isOn(), rig.unit()->system().leftOutCab != 0);
  EXPECT_EQ(rig.bar->cabRightSwitch->isOn(), rig.unit()->system().rightOutCab != 0);
  EXPECT_NE(rig.bar->cabLeftSwitch->isOn(), rig.bar->cabRightSwitch->isOn());
  // The EXP strip is sized by its label and sits left of the CAB group.
  const ui::Rect strip = rig.bar->expBgView->frame();
  EXPECT_GT(strip.size.width, 39 + 8 + 8);
  EXPECT_LE(strip.origin.x + strip.size.width, rig.bar->cabBgView->frame().origin.x - 10 + 0.5);
  snapshot(*rig.window.window, "screens-top-bar.png");

  // The unit's panel.
  rig.unit()->setOutCab(0, 1);
  ASSERT_TRUE(runUntil([&] { return !rig.bar->cabLeftSwitch->isOn() && rig.bar->cabRightSwitch->isOn(); }));
  rig.unit()->setExpVolume(1, 10, 90);
  ASSERT_TRUE(runUntil([&] { return rig.bar->expVolSwitch->isOn(); }));
  // A new assignment with its function off leaves the volume switch alone.
  rig.unit()->setExpFunction(7, 53, 0);
  ASSERT_TRUE(runUntil([&] { return rig.bar->expValueLabel->stringValue() == TopView::expLabelText({7, 53, 0}); }));
  EXPECT_TRUE(rig.bar->expVolSwitch->isOn());
  rig.unit()->setExpVolume(0, 10, 90);
  ASSERT_TRUE(runUntil([&] { return !rig.bar->expVolSwitch->isOn(); }));
  // A parameter past the list shows an empty name.
  rig.unit()->setExpFunction(2, 70, 1);
  ASSERT_TRUE(runUntil([&] { return rig.bar->expValueLabel->stringValue() == "EXP: AMP - "; }));
  rig.unit()->savePreset(1, "Panel Name");
  ASSERT_TRUE(runUntil([&] { return rig.bar->presetNameTF->stringValue() == "Panel Name"; }));
}

TEST(TopBarWithUnit, PresetUpAndDownWithTheSavePrompt) {
  TopBarRig rig;
  ASSERT_EQ(rig.service()->presetAllData()->selectedPreset.get(), 1);
  rig.click(*rig.bar->upButton);  // 1 -> 200
  ASSERT_TRUE(rig.sim.waitFor(kLoadPreset, 1));
  EXPECT_EQ(rig.loads(), std::vector<int>{200});
  ASSERT_TRUE(runUntil([&] { return rig.bar->presetNameTF->stringValue() == "Factory 200"; }));
  rig.click(*rig.bar->downButton);  // 200 -> 1
  ASSERT_TRUE(rig.sim.waitFor(kLoadPreset, 2));
  EXPECT_EQ(rig.loads(), (std::vector<int>{200, 1}));

  // Modified: the prompt, which blocks further presses.
  rig.modify();
  rig.click(*rig.bar->downButton);
  ASSERT_NE(rig.prompt(), nullptr);
  EXPECT_EQ(rig.prompt()->title(), TopView::kModifiedQuestion);
  EXPECT_EQ(rig.prompt()->btnTitles(), (std::vector<std::string>{"NO", "SAVE"}));
  rig.click(*rig.bar->upButton);
  ui::testing::Pointer(*rig.window.window).click({10, 10});  // outside the panel
  flushMainQueue();
  ASSERT_NE(rig.prompt(), nullptr);
  EXPECT_EQ(rig.loads().size(), 2u);

  // "NO": the edits are dropped and the preset changes.
  rig.answer("NO");
  ASSERT_TRUE(rig.sim.waitFor(kLoadPreset, 3));
  EXPECT_EQ(rig.loads().back(), 2);
  EXPECT_EQ(rig.service()->didChangeData.get(), 0);
  EXPECT_EQ(rig.prompt(), nullptr);

  // "SAVE": the current preset saved under the record's name, then the change.
  rig.modify();
  rig.click(*rig.bar->upButton);
  rig.answer("SAVE");
  ASSERT_TRUE(rig.sim.waitFor(kLoadPreset, 4));
  ASSERT_EQ(rig.sim.received(kSaveEditBuffer).size(), 1u);
  EXPECT_EQ(rig.sim.received(kSaveEditBuffer)[0].payload.at(0), 2);
  EXPECT_EQ(rig.loads().back(), 1);
  EXPECT_EQ(rig.service()->didChangeData.get(), 0);
  EXPECT_EQ(rig.prompt(), nullptr);
  ASSERT_TRUE(runUntil([&] { return rig.unit()->preset(2).nameText() == "Factory 002"; }));

  // "SAVE" with a name the unit cannot take: nothing saved, the preset and
  // its modified flag kept, the service's tip shown.
  rig.modify();
  rig.service()->presetAllData()->setPresetName("Lead_Tone");
  rig.click(*rig.bar->downButton);
  rig.answer("SAVE");
  EXPECT_EQ(rig.prompt(), nullptr);
  flushMainQueue();
  EXPECT_EQ(rig.sim.received(kSaveEditBuffer).size(), 1u);
  EXPECT_EQ(rig.loads().size(), 4u);
  EXPECT_EQ(rig.service()->presetAllData()->selectedPreset.get(), 1);
  EXPECT_EQ(rig.service()->didChangeData.get(), 1);
  const auto tips = rig.sim.popUps->tips();
  EXPECT_NE(std::find(tips.begin(), tips.end(), std::string("fail: ") + HIDServiceViewMode::kWrongNameTip), tips.end());
}

TEST(TopBarWithUnit, SaveWithAGoodAndARefusedName) {
  TopBarRig rig;
  auto& field = *rig.bar->presetNameTF;
  // Typed text is cleaned at its ends and reaches the record at once.
  field.setStringValue("#Lead Tone!!");
  rig.bar->controlTextDidChange(field);
  EXPECT_EQ(field.stringValue(), "Lead Tone");
  EXPECT_EQ(rig.service()->presetAllData()->presetName.get(), "Lead Tone");
  rig.service()->setDidChangeData(1);

  rig.click(*rig.bar->saveButton);
  ASSERT_TRUE(rig.sim.waitFor(kSaveEditBuffer, 1));
  const auto saved = rig.sim.received(kSaveEditBuffer)[0].payload;
  ASSERT_GE(saved.size(), 15u);
  EXPECT_EQ(saved[0], 1);
  EXPECT_EQ(std::string(saved.begin() + 1, saved.begin() + 10), "Lead Tone");
  EXPECT_EQ(saved[10], 0);
  ASSERT_TRUE(runUntil([&] { return rig.unit()->preset(1).nameText() == "Lead Tone"; }));
  EXPECT_EQ(rig.service()->didChangeData.get(), 0);
  flushMainQueue();
  EXPECT_EQ(rig.tipsShown(), std::vector<std::string>{TopView::kSavedTip});

  // An inner character the unit cannot take stays in the field; saving it
  // sends nothing and shows only the service's failure tip.
  field.setStringValue("Lead_Tone");
  rig.bar->controlTextDidChange(field);
  EXPECT_EQ(field.stringValue(), "Lead_Tone");
  rig.click(*rig.bar->saveButton);
  flushMainQueue();
  EXPECT_EQ(rig.sim.received(kSaveEditBuffer).size(), 1u);
  EXPECT_EQ(rig.tipsShown(), std::vector<std::string>{TopView::kSavedTip});
  const auto tips = rig.sim.popUps->tips();
  EXPECT_EQ(std::count(tips.begin(), tips.end(), std::string("fail: ") + HIDServiceViewMode::kWrongNameTip), 1);
}

TEST(TopBarWithUnit, SwitchesReachTheUnit) {
  TopBarRig rig;
  ASSERT_TRUE(rig.bar->cabLeftSwitch->isOn());
  ASSERT_FALSE(rig.bar->cabRightSwitch->isOn());
  rig.click(*rig.bar->cabLeftSwitch);  // left off
  rig.click(*rig.bar->cabRightSwitch);  // right on
  ASSERT_TRUE(rig.sim.waitFor(0xA6, 2));
  EXPECT_EQ(rig.sim.received(0xA6)[1].payload, (std::vector<uint8_t>{0, 0, 1, 0}));
  ASSERT_TRUE(runUntil([&] { return rig.unit()->system().leftOutCab == 0 && rig.unit()->system().rightOutCab == 1; }));
  EXPECT_FALSE(rig.bar->cabLeftSwitch->isOn());
  EXPECT_TRUE(rig.bar->cabRightSwitch->isOn());

  const int before = rig.unit()->editBuffer().data.expVolume[0];
  ASSERT_EQ(rig.bar->expVolSwitch->isOn(), before != 0);
  rig.click(*rig.bar->expVolSwitch);
  ASSERT_TRUE(rig.sim.waitFor(0xB3, 1));
  ASSERT_TRUE(runUntil([&] { return rig.unit()->editBuffer().data.expVolume[0] == (before ? 0 : 1); }));
  EXPECT_EQ(rig.bar->expVolSwitch->isOn(), before == 0);
  EXPECT_EQ(rig.service()->didChangeData.get(), 1);
}

TEST(TopBarWithUnit, PopUpsFollowTheUnitsPage) {
  TopBarScreens::registerScreen(TopBarScreens::kExpScreen, {});  // the placeholder, whatever ran before
  TopBarRig rig;
  const size_t pages = rig.sim.received(0xB4).size();  // the start-up's own
  rig.unit()->changePage(4);
  ASSERT_TRUE(runUntil([&] { return rig.bar->isSystemShown(); }));
  EXPECT_FALSE(rig.bar->isExpShown());
  rig.unit()->changePage(22);
  ASSERT_TRUE(runUntil([&] { return rig.bar->isExpShown(); }));
  EXPECT_FALSE(rig.bar->isSystemShown());
  rig.unit()->changePage(17);
  ASSERT_TRUE(runUntil([&] { return rig.bar->isSystemShown(); }));
  rig.unit()->changePage(9);
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isSystemShown() && !rig.bar->isExpShown(); }));

  // The EXP button opens its screen and asks for its page, once.
  rig.click(*rig.bar->expButton);
  ASSERT_TRUE(rig.bar->isExpShown());
  snapshot(*rig.window.window, "screens-top-bar-exp.png");
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 1));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), dev::page::kExp);
  // While it shows, the preset buttons do nothing.
  rig.click(*rig.bar->downButton);
  EXPECT_TRUE(rig.loads().empty());
  // The screen is the same object each time; until the real screen is
  // registered, its placeholder closes itself as the real one does.
  auto screen = rig.bar->expVC();
  EXPECT_EQ(screen, rig.bar->expVC());
  ASSERT_FALSE(TopBarScreens::hasScreen(TopBarScreens::kExpScreen));
  std::shared_ptr<ui::View> close;
  for (const auto& v : screen->subviews())
    if (std::dynamic_pointer_cast<SWSTAnswerButton>(v)) close = v;
  ASSERT_NE(close, nullptr);
  rig.click(*close);
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isExpShown(); }));
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 2));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), dev::page::kHome);
  rig.click(*rig.bar->expButton);
  ASSERT_TRUE(rig.bar->isExpShown());
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 3));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), dev::page::kExp);

  // Settings (the EXP overlay covers the bar's button, so called directly):
  // the EXP screen goes when the unit reaches the system page.
  rig.bar->goSetting();
  flushMainQueue();
  ASSERT_TRUE(rig.bar->isSystemShown());
  ASSERT_TRUE(runUntil([&] { return !rig.bar->isExpShown(); }));
  ASSERT_TRUE(rig.sim.waitFor(0xB4, pages + 4));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload.at(0), dev::page::kSettings);
}
