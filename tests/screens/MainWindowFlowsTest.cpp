// The whole program against the simulated unit, driven through its main
// window only: editing a module, switching presets with the modified flag,
// saving and renaming, copy, paste and clear in the unit list, and user IR and
// NR files. Each test checks what the window shows and what the unit holds.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/TempFolder.h"
#include "platform/dispatch/ManualClock.h"
#include "support/WaveFile.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "screens/MainWindowDriver.h"
#include "screens/bars/GGFunctionViewModel.h"
#include "screens/editor/EffectDataViewModel.h"
#include "screens/models/EffectViewModel.h"
#include "screens/exp/ExpViewController.h"
#include "screens/presets/LocalPresetView.h"
#include "screens/presets/PresetDragData.h"
#include "device/backup/SettingViewModel.h"
#include "device/service/PresetManager.h"
#include "sim/faults/FaultBackend.h"
#include "sim/unit/UnitTransfer.h"

using namespace flow_test;
namespace fs = std::filesystem;
using App = sim::UnitApplication;
using Transfer = sim::UnitTransfer;

namespace {

constexpr uint8_t kSetPage = App::kSetPage;
constexpr uint8_t kDelayWords = App::kSetModuleWords + 7;

// The main window started on the simulated unit, and its driver. The link
// passes through a fault plan, which is empty unless a test arms it.
struct Flow {
  ShellRig rig;
  std::unique_ptr<MainWindowDriver> w;
  std::shared_ptr<sim::FaultPlan> faults = std::make_shared<sim::FaultPlan>();

  // The unit's service as the program makes it (tips and question closing
  // through the window's pop-up service), with the given catalogue.
  explicit Flow(HIDServiceViewMode::CatalogueLoader catalogue = loadTestCatalogue,
                const std::function<void(App&)>& prepareUnit = nullptr) {
    if (prepareUnit) prepareUnit(*rig.sim.app);
    const HIDClass::Timing link = rig.sim.hid->hidclass().timing();
    rig.sim.hid = libupdate_zarvo::create(std::make_shared<sim::FaultBackend>(rig.sim.backend, faults));
    rig.sim.hid->hidclass().setTiming(link);
    HIDServiceViewMode::Parts parts;
    parts.zrHID = rig.sim.hid;
    parts.loadCatalogue = std::move(catalogue);
    rig.sim.service = HIDServiceViewMode::create(parts);
    w = std::make_unique<MainWindowDriver>(rig);
    started = rig.launchMainWindow();
  }
  bool started = false;

  App& unit() const { return *rig.sim.app; }
  std::vector<int> unitWords(int module) const { return unit().editBuffer().data.moduleWords(module); }
  size_t count(uint8_t cmd) const { return rig.sim.received(cmd).size(); }
  int modified() const { return rig.sim.service->didChangeData.get(); }

  // Nothing more of `cmd` reached the unit: a marker sent now arrives with
  // nothing of `cmd` after `before`.
  void expectNothingMore(uint8_t cmd, size_t before) {
    const size_t markers = count(0xA4);
    rig.sim.service->sendSystem(dev::SystemSetting::InputLevel);  // the input level the unit already has
    ASSERT_TRUE(rig.sim.waitFor(0xA4, markers + 1));
    EXPECT_EQ(count(cmd), before) << "command 0x" << std::hex << int(cmd);
  }

  // Lets every send reach the unit and every answer of the unit reach the
  // window: a host frame the unit takes after all earlier sends, then a unit
  // frame the host decodes after all earlier answers, then the main queue.
  void settle() {
    const size_t markers = count(0xA4);
    rig.sim.service->sendSystem(dev::SystemSetting::InputLevel);
    ASSERT_TRUE(rig.sim.waitFor(0xA4, markers + 1));
    const int volume = unit().rhythm().volume == 99 ? 98 : 99;
    unit().setRhythm({0, 0, 0, static_cast<uint8_t>(volume), 100});
    ASSERT_TRUE(waitUntil(
        [&] { return rig.sim.service->systemDataModel()->rhythm_vol.get() == "VOL: " + std::to_string(volume); }));
    flushMainQueue();
  }
  // The frames of a command the unit received, as text for failure messages.
  std::string framesText(uint8_t cmd) const {
    std::string text;
    for (const auto& frame : rig.sim.received(cmd)) {
      text += "\n ";
      for (uint8_t b : frame.payload) text += " " + std::to_string(b);
    }
    return text;
  }

  // Chooses module m in the module bar and waits for the editor to show it.
  void chooseModule(int m) {
    w->click(*w->bar().btns().at(static_cast<size_t>(m)));
    ASSERT_TRUE(waitUntil([&] { return w->showsModule(m); })) << "module " << m << " not shown";
    flushMainQueue();
    w->window().layoutIfNeeded();
  }

  // The knob cell of that parameter in the editor's grid.
  GGEffectParmaViewPtr knob(const std::string& parameter) const {
    for (const auto& [key, cell] : w->editor().cellSource())
      if (cell->itemModel() && cell->itemModel()->typeName == parameter && cell->window()) return cell;
    return nullptr;
  }
  // An edit of the shown module that leaves it as it was: its switch clicked
  // off and on again, once the tips that cover it have gone.
  void editTheModule() {
    ASSERT_TRUE(w->waitForTipsGone());
    const bool on = w->editor().statusSwitch->isOn();
    w->click(*w->editor().statusSwitch);
    w->click(*w->editor().statusSwitch);
    EXPECT_EQ(w->editor().statusSwitch->isOn(), on);
    ASSERT_TRUE(waitUntil([&] { return modified() == 1; }));
  }
  // Turns a knob a quarter turn clockwise from its top, with the mouse.
  void dragKnob(const GGEffectParmaViewPtr& cell) {
    auto knob = cell->cirSlider.lock();
    w->drag(*knob, {{45, 60}, {60, 56}, {75, 30}});
  }

  // What the unit list shows on a row.
  std::string rowName(long row) const {
    auto& table = *w->list().deviceTableView;
    table.scrollRowToVisible(row);
    w->window().layoutIfNeeded();
    auto cell = std::dynamic_pointer_cast<PresetListCell>(table.viewAtColumn(0, row));
    return cell ? cell->titleLabel()->stringValue() : "<none>";
  }
  bool waitForRowName(long row, const std::string& name) const {
    return waitUntil([&] { return rowName(row) == name; });
  }
  long markedRow() const { return w->list().deviceTableView->selectedRow(); }
  std::string shownName() const { return w->top().presetNameTF->stringValue(); }


  // Saves the window's picture next to the other screens' pictures.
  void picture(const char* name) const {
    w->window().layoutIfNeeded();
    flushMainQueue();
    const QImage image = w->window().widget()->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(QString::fromStdString((fs::path(QV450_RESOURCES_DIR).parent_path() / name).string())));
  }
};

}  // namespace

// ---- editing a module

// The unit may or may not echo the module words it is sent.
class MainWindowEditing : public testing::TestWithParam<bool> {};

TEST_P(MainWindowEditing, AModuleEditedInTheWindowIsSoOnTheUnitAndThePanelShowsInTheWindow) {
  const bool echo = GetParam();
  Flow f(loadTestCatalogue, [echo](App& unit) {
    auto knobs = unit.knobs();
    knobs.echoModuleWords = echo;
    unit.setKnobs(knobs);
  });
  ASSERT_TRUE(f.started);
  auto& w = *f.w;
  if (!echo) f.picture("main-window-start.png");
  ASSERT_EQ(f.modified(), 0);

  // DELAY from the module bar: the unit is asked for its page, the bar
  // frames it and the editor shows its types and knobs.
  const size_t pages = f.count(kSetPage);
  f.chooseModule(7);
  ASSERT_GT(f.count(kSetPage), pages);
  EXPECT_EQ(f.rig.sim.received(kSetPage).back().payload, (Bytes{13, 0}));
  EXPECT_TRUE(w.bar().btns()[7]->isSelect());
  EXPECT_EQ(w.editor().myTableView->selectedRow(), f.unitWords(7)[1]);

  // Another type from the list: only the type word changes on the unit.
  const std::vector<int> before = f.unitWords(7);
  const long type = before[1] == 2 ? 3 : 2;
  w.clickRow(*w.editor().myTableView, type);
  ASSERT_TRUE(waitUntil([&] { return f.unitWords(7)[1] == type; }));
  std::vector<int> expected = before;
  expected[1] = static_cast<int>(type);
  EXPECT_EQ(f.unitWords(7), expected);
  EXPECT_EQ(f.rig.sim.received(kDelayWords).back().payload, wordBytes(expected));
  EXPECT_EQ(w.editor().subtitleTF->stringValue(),
            w.editor().moduleTypeViewModel->models()[static_cast<size_t>(type)]->nickName);
  EXPECT_EQ(f.modified(), 1);

  // TIME turned by the mouse: the unit's memory holds the knob's value.
  auto time = f.knob("TIME");
  ASSERT_TRUE(time);
  f.dragKnob(time);
  const GGEffectItemModelPtr item = time->itemModel();
  ASSERT_TRUE(item && item->slot()) << "the TIME knob turns no slot";
  const auto at = static_cast<size_t>(2 + item->slot()->index);
  // Once the unit has taken every send (and, echoing, the window every
  // echo), the unit, the knob and its label agree, and only TIME moved.
  f.settle();
  const int original = expected[at];
  expected[at] = f.unitWords(7)[at];
  EXPECT_NE(expected[at], original) << "the drag did not reach the unit";
  EXPECT_EQ(f.unitWords(7), expected);
  const GGEffectItemModelPtr shown = time->itemModel();
  EXPECT_EQ(shown->current(), std::to_string(expected[at]))
      << (shown == item ? "same item" : "new item") << f.framesText(kDelayWords);
  EXPECT_EQ(time->valueLabel.lock()->stringValue(), GGEffectParmaView::valueText(*shown)) << f.framesText(kDelayWords);
  EXPECT_EQ(f.rig.sim.received(kDelayWords).back().payload, wordBytes(expected));
  if (echo) {
    EXPECT_EQ(f.knob("TIME"), time) << "an echo rebuilt the grid";
  }
  EXPECT_EQ(w.bar().btns()[7]->isOn(), expected[0] != 0);

  // TIME turned on the unit's panel: the window's knob follows.
  std::vector<int> turned = expected;
  turned[at] = turned[at] == 750 ? 600 : 750;
  f.unit().turnKnob(7, turned);
  ASSERT_TRUE(waitUntil([&] {
    auto cell = f.knob("TIME");
    return cell && cell->itemModel()->current() == std::to_string(turned[at]);
  }));
  flushMainQueue();
  time = f.knob("TIME");
  EXPECT_EQ(time->valueLabel.lock()->stringValue().substr(0, 3), std::to_string(turned[at]));

  // DELAY clicked again switches it; the editor's switch follows, and the
  // editor's switch switches it back, which the bar shows.
  const bool on = turned[0] != 0;
  w.click(*w.bar().btns()[7]);
  ASSERT_TRUE(waitUntil([&] { return (f.unitWords(7)[0] != 0) != on; }));
  ASSERT_TRUE(waitUntil([&] { return w.editor().statusSwitch->isOn() != on && w.bar().btns()[7]->isOn() != on; }));
  w.click(*w.editor().statusSwitch);
  ASSERT_TRUE(waitUntil([&] { return (f.unitWords(7)[0] != 0) == on; })) << f.framesText(kDelayWords);
  ASSERT_TRUE(waitUntil([&] { return w.bar().btns()[7]->isOn() == on; }));
  EXPECT_EQ(f.unitWords(7)[at], turned[at]);
  if (!echo) f.picture("main-window-edited.png");

  // A module chosen on the unit's panel: the bar and the editor follow.
  f.unit().changePage(6 + 5);
  ASSERT_TRUE(waitUntil([&] {
    return w.bar().btns()[5]->isSelect() && w.editor().titleTF->stringValue() == EffectViewModel::moduleName(5);
  }));
  EXPECT_FALSE(w.bar().btns()[7]->isSelect());
  EXPECT_TRUE(f.rig.alerts.empty());
}

INSTANTIATE_TEST_SUITE_P(UnitEcho, MainWindowEditing, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Echoed" : "Silent"; });

// ---- switching presets

TEST(MainWindowFlows, PresetsSwitchFromTheListAndTheTopBarAskingToSaveEdits) {
  Flow f;
  ASSERT_TRUE(f.started);
  auto& w = *f.w;
  auto& list = *w.list().deviceTableView;
  ASSERT_EQ(f.unit().editBuffer().preset, 1);

  // A row of the list: the unit switches, the window shows the preset.
  w.clickRow(list, 12);
  ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().preset == 13; }));
  ASSERT_TRUE(waitUntil([&] { return f.markedRow() == 12 && f.shownName() == f.unit().preset(13).nameText(); }));
  const auto shownStates = [&] {
    std::vector<bool> on;
    for (const auto& b : w.bar().btns()) on.push_back(b->isOn());
    return on;
  };
  const auto unitStates = [&] {
    std::vector<bool> on;
    for (int m = 0; m < 9; ++m) on.push_back(f.unitWords(m)[0] != 0);
    return on;
  };
  EXPECT_TRUE(waitUntil([&] { return shownStates() == unitStates(); }));

  // The top bar's arrows: down is the next preset, up the one before.
  w.click(*w.top().downButton);
  ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().preset == 14 && f.markedRow() == 13; }));
  w.click(*w.top().upButton);
  ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().preset == 13 && f.markedRow() == 12; }));
  EXPECT_EQ(f.modified(), 0);

  // An edit, then a row: the question; rows, arrows and clicks beside it do
  // nothing while it is open; "NO" drops the edit and switches.
  f.chooseModule(7);
  auto time = f.knob("TIME");
  ASSERT_TRUE(time);
  const std::vector<int> stored = f.unit().preset(13).moduleWords(7);
  f.dragKnob(time);
  ASSERT_TRUE(waitUntil([&] { return f.modified() == 1; }));
  // The flag is up once the window sent; the unit has the edit once it took
  // every send.
  f.settle();
  const std::vector<int> edited = f.unitWords(7);
  ASSERT_NE(edited, stored) << "the drag changed nothing";
  const size_t loads = f.count(App::kLoadPreset);
  w.clickRow(list, 19);
  ASSERT_TRUE(w.question());
  EXPECT_EQ(w.question()->title(), TopView::kModifiedQuestion);
  EXPECT_EQ(w.question()->btnTitles(), (std::vector<std::string>{"NO", "SAVE"}));
  w.clickRow(list, 25);
  w.click(*w.top().upButton);
  w.clickAt({5, 5});
  EXPECT_EQ(w.questions().size(), 1u);
  f.expectNothingMore(App::kLoadPreset, loads);
  w.answer("NO");
  ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().preset == 20; }));
  EXPECT_TRUE(w.questions().empty());
  EXPECT_EQ(f.modified(), 0);
  EXPECT_EQ(f.count(App::kSaveEditBuffer), 0u);
  EXPECT_NE(f.unit().preset(13).moduleWords(7), edited) << "a dropped edit was stored";
  ASSERT_TRUE(waitUntil([&] { return f.markedRow() == 19 && f.shownName() == f.unit().preset(20).nameText(); }));

  // An edit, then the down arrow: "SAVE" stores the edit in the preset, then
  // switches.
  time = f.knob("TIME");
  ASSERT_TRUE(time);
  const std::vector<int> before = f.unit().preset(20).moduleWords(7);
  f.dragKnob(time);
  ASSERT_TRUE(waitUntil([&] { return f.modified() == 1; }));
  f.settle();
  const std::vector<int> kept = f.unitWords(7);
  ASSERT_NE(kept, before) << "the drag changed nothing";
  w.click(*w.top().downButton);
  ASSERT_TRUE(w.question());
  w.answer("SAVE");
  ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().preset == 21; }));
  ASSERT_EQ(f.count(App::kSaveEditBuffer), 1u);
  EXPECT_EQ(f.rig.sim.received(App::kSaveEditBuffer)[0].payload.at(0), 20);
  EXPECT_EQ(f.unit().preset(20).moduleWords(7), kept);
  EXPECT_EQ(f.modified(), 0);
  EXPECT_TRUE(w.questions().empty());
  ASSERT_TRUE(waitUntil([&] { return f.markedRow() == 20; }));

  // The question closes when the unit reports a page; nothing switches.
  f.editTheModule();
  w.clickRow(list, 4);
  ASSERT_TRUE(w.question());
  f.unit().changePage(5);
  ASSERT_TRUE(waitUntil([&] { return w.questions().empty(); }));
  f.expectNothingMore(App::kLoadPreset, f.count(App::kLoadPreset));
  EXPECT_EQ(f.unit().editBuffer().preset, 21);

  // A preset chosen on the unit's panel: the list, the name and the editor follow.
  f.unit().changePreset(6);
  ASSERT_TRUE(waitUntil([&] { return f.markedRow() == 5 && f.shownName() == f.unit().preset(6).nameText(); }));
  EXPECT_TRUE(waitUntil([&] { return shownStates() == unitStates(); }));

  // Saved on the unit's panel: no edits left, the list shows the new name.
  f.editTheModule();
  f.unit().savePreset(6, "Panel Save");
  EXPECT_TRUE(f.waitForRowName(5, "Panel Save"));
  EXPECT_TRUE(waitUntil([&] { return f.modified() == 0; }));
  EXPECT_TRUE(f.rig.alerts.empty());
}

// ---- saving and renaming

TEST(MainWindowFlows, SaveAndRenameReachTheUnitAndARefusedNameChangesNothing) {
  Flow f;
  ASSERT_TRUE(f.started);
  auto& w = *f.w;
  auto& field = *w.top().presetNameTF;
  const int current = f.unit().editBuffer().preset;
  const long row = current - 1;

  // A name typed into the top bar and saved: the unit stores it, the list
  // and the tip show it.
  w.retype(field, "Lead Tone");
  EXPECT_EQ(field.stringValue(), "Lead Tone");
  w.click(*w.top().saveButton);
  ASSERT_TRUE(f.rig.sim.waitFor(App::kSaveEditBuffer, 1));
  Bytes expected(15, 0);
  expected[0] = static_cast<uint8_t>(current);
  std::memcpy(&expected[1], "Lead Tone", 9);
  EXPECT_EQ(f.rig.sim.received(App::kSaveEditBuffer)[0].payload, expected);
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(current).nameText() == "Lead Tone"; }));
  EXPECT_TRUE(w.waitForTip(TopView::kSavedTip));
  EXPECT_TRUE(f.waitForRowName(row, "Lead Tone"));
  EXPECT_EQ(f.modified(), 0);

  // A name the unit cannot take: nothing sent, only the failure tip.
  const auto tipsBefore = w.tipsShown();
  const auto savedTips = std::count(tipsBefore.begin(), tipsBefore.end(), TopView::kSavedTip);
  // Typed at the end, a character outside the name set is trimmed at once;
  // typed between two letters it stays.
  w.retype(field, "LeadTone");
  w.insertBeforeEnd(field, 4, "_");
  EXPECT_EQ(field.stringValue(), "Lead_Tone");
  w.click(*w.top().saveButton);
  EXPECT_TRUE(w.waitForTip(HIDServiceViewMode::kWrongNameTip));
  f.expectNothingMore(App::kSaveEditBuffer, 1);
  const auto tips = w.tipsShown();
  EXPECT_LE(std::count(tips.begin(), tips.end(), TopView::kSavedTip), savedTips);
  EXPECT_EQ(f.unit().preset(current).nameText(), "Lead Tone");
  EXPECT_EQ(f.rowName(row), "Lead Tone");

  // Rename another row through its menu: the popover holds the row marked
  // until Return saves the name in the unit.
  auto& list = w.list();
  const MenuSeen menu = f.w->contextMenu(*list.deviceTableView, 29, "Rename");
  EXPECT_EQ(menu.titles, (std::vector<std::string>{"Copy", "Paste", "Clear", "Rename"}));
  ASSERT_TRUE(list.renamePopover->isShown());
  auto rowView = list.rowViewSourse.at(29);
  EXPECT_EQ(rowView->isActionSelect, 1);
  auto* editor = list.renameVC->editTF->fieldEditor();
  ASSERT_TRUE(editor) << "editing starts with the popover";
  QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QCoreApplication::sendEvent(editor, &all);
  MainWindowDriver::typeInto(editor, "Clean 2");
  MainWindowDriver::pressKey(editor, Qt::Key_Return);
  ASSERT_TRUE(f.rig.sim.waitFor(App::kRenamePreset, 1));
  Bytes renamed(15, 0);
  renamed[0] = 30;
  std::memcpy(&renamed[1], "Clean 2", 7);
  EXPECT_EQ(f.rig.sim.received(App::kRenamePreset)[0].payload, renamed);
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(30).nameText() == "Clean 2"; }));
  EXPECT_TRUE(f.waitForRowName(29, "Clean 2"));
  EXPECT_FALSE(list.renamePopover->isShown());
  EXPECT_TRUE(waitUntil([&] { return rowView->isActionSelect == 0; }));
  EXPECT_EQ(f.unit().editBuffer().preset, current) << "a rename switches no preset";

  // A refused name: nothing sent, the unit and the row keep the old name.
  const std::string old = f.unit().preset(31).nameText();
  f.w->contextMenu(*list.deviceTableView, 30, "Rename");
  ASSERT_TRUE(list.renamePopover->isShown());
  editor = list.renameVC->editTF->fieldEditor();
  ASSERT_TRUE(editor);
  QCoreApplication::sendEvent(editor, &all);
  MainWindowDriver::typeInto(editor, "BadName");
  for (int i = 0; i < 4; ++i) MainWindowDriver::pressKey(editor, Qt::Key_Left);
  MainWindowDriver::typeInto(editor, "_");
  EXPECT_EQ(list.renameVC->editTF->stringValue(), "Bad_Name");
  const auto refusals = [&] {
    const auto shown = w.tipsShown();
    return std::count(shown.begin(), shown.end(), HIDServiceViewMode::kWrongNameTip);
  };
  const auto refusedBefore = refusals();
  MainWindowDriver::pressKey(editor, Qt::Key_Return);
  EXPECT_TRUE(waitUntil([&] { return refusals() > refusedBefore; }));
  EXPECT_FALSE(list.renamePopover->isShown());
  f.expectNothingMore(App::kRenamePreset, 1);
  f.expectNothingMore(App::kSaveEditBuffer, 1);
  EXPECT_EQ(f.unit().preset(31).nameText(), old);
  EXPECT_EQ(f.rowName(30), old);

  // Renaming the current preset saves the edit buffer under the new name;
  // the top bar shows it.
  f.editTheModule();
  f.w->contextMenu(*list.deviceTableView, row, "Rename");
  editor = list.renameVC->editTF->fieldEditor();
  ASSERT_TRUE(editor);
  QCoreApplication::sendEvent(editor, &all);
  MainWindowDriver::typeInto(editor, "Rhythm A");
  MainWindowDriver::pressKey(editor, Qt::Key_Return);
  ASSERT_TRUE(f.rig.sim.waitFor(App::kSaveEditBuffer, 2));
  EXPECT_EQ(f.rig.sim.received(App::kSaveEditBuffer)[1].payload.at(0), current);
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(current).nameText() == "Rhythm A"; }));
  EXPECT_TRUE(waitUntil([&] { return f.shownName() == "Rhythm A" && f.modified() == 0; }));
  EXPECT_TRUE(f.waitForRowName(row, "Rhythm A"));
  EXPECT_EQ(f.count(App::kRenamePreset), 1u);
  EXPECT_TRUE(f.rig.alerts.empty());
}

// ---- copy, paste and clear

TEST(MainWindowFlows, CopyPasteAndClearFromTheListsMenuAreSoOnTheUnit) {
  Flow f;
  ASSERT_TRUE(f.started);
  auto& w = *f.w;
  auto& table = *w.list().deviceTableView;

  // Nothing copied yet: "Paste" cannot be chosen, and choosing it sends nothing.
  const size_t writes = f.count(App::kWritePreset);
  MenuSeen menu = w.contextMenu(table, 4, "Paste");
  EXPECT_FALSE(menu.isEnabled("Paste"));
  EXPECT_TRUE(menu.isEnabled("Copy"));
  w.contextMenu(table, 4, "Copy");
  f.expectNothingMore(App::kWritePreset, writes);

  // Pasted on row 9: preset 10 becomes a copy of preset 5.
  const App::Preset source = f.unit().preset(5);
  menu = w.contextMenu(table, 9, "Paste [P005]");
  EXPECT_TRUE(menu.isEnabled("Paste [P005]"));
  EXPECT_TRUE(w.waitForTip("Paste successful!"));
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(10).nameText() == source.nameText(); }));
  EXPECT_EQ(f.unit().preset(10).block, source.block);
  EXPECT_EQ(f.unit().preset(10).expFunction, source.expFunction);
  EXPECT_EQ(f.unit().preset(10).expVolume, source.expVolume);
  EXPECT_TRUE(f.waitForRowName(9, source.nameText()));

  // Pasted on the current preset: the window shows the pasted preset at once.
  const int current = f.unit().editBuffer().preset;
  ASSERT_NE(current, 5);
  w.contextMenu(table, current - 1, "Paste [P005]");
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(current).block == source.block; }));
  EXPECT_TRUE(f.waitForRowName(current - 1, source.nameText()));
  EXPECT_TRUE(waitUntil([&] { return f.shownName() == source.nameText(); }));
  EXPECT_TRUE(waitUntil([&] {
    for (int m = 0; m < 9; ++m)
      if (w.bar().btns()[static_cast<size_t>(m)]->isOn() != (source.moduleWords(m)[0] != 0)) return false;
    return true;
  }));

  // Cleared: preset 3 is the empty preset.
  w.contextMenu(table, 2, "Clear");
  EXPECT_TRUE(w.waitForTip("Clear preset successful!"));
  ASSERT_TRUE(waitUntil([&] { return f.unit().preset(3).nameText() == "Empty"; }));
  EXPECT_TRUE(f.waitForRowName(2, "Empty"));
  EXPECT_EQ(f.unit().preset(10).nameText(), source.nameText());
  EXPECT_TRUE(f.rig.alerts.empty());
}

// ---- the current preset changed in place

namespace {

// The module the window edits: the unit's, when it shows a module page; else
// the one the program keeps selected.
int editedModule(const Flow& f) {
  const int page = f.unit().editBuffer().page;
  if (page >= dev::kFirstModulePage && page <= dev::kLastModulePage) return page - dev::kFirstModulePage;
  return f.rig.sim.service->presetAllData()->selectedModule.get().value_or(0);
}

ExpViewControllerPtr expScreen(const Flow& f) { return ExpViewController::controllerOf(*f.w->top().expVC()); }

// Where the window differs from the unit's current preset, one line each;
// empty when every view shows what the unit holds.
std::string windowMismatches(const Flow& f) {
  const App::Preset unit = f.unit().editBuffer().data;
  const auto& fn = unit.expFunction;
  const auto& vol = unit.expVolume;
  std::string out;
  const auto compare = [&out](const std::string& what, const std::string& shown, const std::string& held) {
    if (shown != held) out += "\n  " + what + ": shows " + shown + ", the unit holds " + held;
  };
  const auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
  TopView& top = f.w->top();
  compare("name", top.presetNameTF->stringValue(), unit.nameText());
  compare("list row", f.rowName(f.unit().editBuffer().preset - 1), unit.nameText());
  compare("EXP label", top.expValueLabel->stringValue(), TopView::expLabelText({fn[0], fn[1], fn[2]}));
  compare("EXP VOL", onOff(top.expVolSwitch->isOn()), onOff(vol[0] != 0));

  const ExpViewControllerPtr exp = expScreen(f);
  const auto sliderText = [](const std::shared_ptr<GGVerticalSliderView>& v) { return v->valueTF.lock()->stringValue(); };
  compare("EXP screen volume",
          onOff(exp->expVolSwitch.lock()->isOn()) + " " + sliderText(exp->minVolSliderView) + " " +
              sliderText(exp->maxVolSliderView),
          onOff(vol[0] != 0) + " " + std::to_string(vol[1]) + " " + std::to_string(vol[2]));
  std::string lit;
  for (const auto& b : exp->moduleButtons)
    if (b->isOn()) lit += b->defaultTitle();
  compare("EXP screen module", lit, HIDServiceViewMode::moduleName(fn[0]));

  std::string bar, held;
  for (int m = 0; m < dev::kModuleCount; ++m) {
    bar += f.w->bar().btns()[static_cast<size_t>(m)]->isOn() ? '1' : '0';
    held += unit.moduleWords(m)[0] != 0 ? '1' : '0';
  }
  compare("module bar", bar, held);
  const int module = editedModule(f);
  compare("selected module", std::to_string(f.w->bar().btns()[static_cast<size_t>(module)]->isSelect()), "1");

  const std::vector<int> words = unit.moduleWords(module);
  EffectDataView& editor = f.w->editor();
  compare("editor", editor.titleTF->stringValue() + " " + onOff(editor.statusSwitch->isOn()),
          EffectViewModel::moduleName(module) + " " + onOff(words[0] != 0));
  compare("type", std::to_string(editor.myTableView->selectedRow()), std::to_string(words[1]));
  for (const auto& [key, cell] : editor.cellSource()) {
    const GGEffectItemModelPtr item = cell->window() ? cell->itemModel() : nullptr;
    const auto slot = item ? item->slot() : nullptr;
    if (!slot || 2 + static_cast<size_t>(slot->index) >= words.size()) continue;
    compare("knob " + item->typeName, slot->current.get() + " " + cell->valueLabel.lock()->stringValue(),
            std::to_string(words[2 + static_cast<size_t>(slot->index)]) + " " + GGEffectParmaView::valueText(*item));
  }
  return out;
}

// Waits until the unit's current preset passes `done`; says what it holds
// when it never does.
::testing::AssertionResult unitComesTo(const Flow& f, const std::function<bool(const App::Preset&)>& done) {
  if (waitUntil([&] { return done(f.unit().editBuffer().data); })) return ::testing::AssertionSuccess();
  const App::Preset p = f.unit().editBuffer().data;
  std::string held = "the unit holds EXP";
  for (int w : p.expFunction) held += " " + std::to_string(w);
  held += " /";
  for (int w : p.expVolume) held += " " + std::to_string(w);
  held += ", module " + std::to_string(editedModule(f)) + ":";
  for (int w : p.moduleWords(editedModule(f))) held += " " + std::to_string(w);
  return ::testing::AssertionFailure() << held;
}

// One edit of each kind, each of which must change only its own word of
// what the unit holds: the EXP assignment, the EXP volume switch, MIN and MAX
// on the EXP screen, then the edited module's type, a knob and its switch.
void editEachKind(Flow& f) {
  auto& w = *f.w;
  ASSERT_TRUE(w.waitForTipsGone());
  w.click(*w.top().expButton);
  ASSERT_TRUE(w.top().isExpShown());
  w.window().layoutIfNeeded();
  const ExpViewControllerPtr exp = expScreen(f);
  const App::Preset before = f.unit().editBuffer().data;

  // Another parameter of the assigned module.
  const auto& fn = before.expFunction;
  const int64_t k = exp->selectEffect == 0 ? 1 : 0;
  const std::array<uint16_t, 3> assigned{fn[0], static_cast<uint16_t>(ExpViewController::flatIndex(fn[0], k)), fn[2]};
  w.click(*exp->effectButton(k));
  EXPECT_TRUE(unitComesTo(f, [&](const App::Preset& p) { return p.expFunction == assigned; })) << "EXP assignment";

  auto volume = before.expVolume;
  const std::pair<std::shared_ptr<ui::View>, std::function<void()>> steps[] = {
      {exp->expVolSwitch.lock(), [&] { volume[0] = volume[0] ? 0 : 1; }},
      {exp->minVolSliderView->upButton.lock(), [&] { ++volume[1]; }},
      {exp->maxVolSliderView->downButton.lock(), [&] { --volume[2]; }},
  };
  for (const auto& [control, step] : steps) {
    w.click(*control);
    step();
    EXPECT_TRUE(unitComesTo(f, [&](const App::Preset& p) { return p.expVolume == volume; })) << "EXP volume";
  }
  w.click(*exp->closeButton.lock());

  const int module = editedModule(f);
  std::vector<int> words = f.unit().editBuffer().data.moduleWords(module);
  const long type = words[1] == 0 ? 1 : 0;
  w.clickRow(*w.editor().myTableView, type);
  words[1] = static_cast<int>(type);
  EXPECT_TRUE(unitComesTo(f, [&](const App::Preset& p) { return p.moduleWords(module) == words; })) << "type";

  f.settle();
  GGEffectParmaViewPtr knob;
  for (const auto& [key, cell] : w.editor().cellSource())
    if (!knob && cell->window() && cell->itemModel() && cell->itemModel()->slot()) knob = cell;
  ASSERT_TRUE(knob) << "no knob shown";
  const auto at = static_cast<size_t>(2 + knob->itemModel()->slot()->index);
  const uint8_t moduleWords = static_cast<uint8_t>(App::kSetModuleWords + module);
  const size_t sends = f.count(moduleWords);
  f.dragKnob(knob);
  ASSERT_TRUE(f.rig.sim.waitFor(moduleWords, sends + 1));
  f.settle();
  const std::vector<int> turned = f.unit().editBuffer().data.moduleWords(module);
  words[at] = turned[at];
  EXPECT_EQ(turned, words) << "knob " << knob->itemModel()->typeName;

  w.click(*w.bar().btns()[static_cast<size_t>(module)]);
  words[0] = words[0] ? 0 : 1;
  EXPECT_TRUE(unitComesTo(f, [&](const App::Preset& p) { return p.moduleWords(module) == words; })) << "on/off";
}

// The dispatch clock, moved by hand while this lives.
struct HandClock {
  const std::shared_ptr<dispatch::ManualClock> clock = std::make_shared<dispatch::ManualClock>();
  HandClock() { dispatch::setClockForTesting(clock); }
  ~HandClock() { dispatch::setClockForTesting(nullptr); }
  HandClock(const HandClock&) = delete;
  HandClock& operator=(const HandClock&) = delete;
};

// A change of the current preset's contents that is no change of preset.
struct InPlaceChange {
  const char* name;
  std::function<void(Flow&)> make;
};

void PrintTo(const InPlaceChange& change, std::ostream* os) { *os << change.name; }

// Drops the preset file `name` of the computer folder on the unit list's row
// and answers the question "YES".
void dropFileOnRow(Flow& f, const std::string& name, long row) {
  PresetDragData drag;
  drag.tableViewID = LocalPresetView::kTableIdentifier;
  drag.presetName = {name};
  ui::DraggingInfo info;
  info.pasteboard.setString(PresetDragData::kPasteboardType, drag.encode());
  auto& table = *f.w->list().deviceTableView;
  ASSERT_TRUE(f.w->list().acceptDrop(table, info, row, ui::TableViewDropOperation::On));
  f.w->answer("YES");
}

// Drops on the current preset's row the preset file "Imported": preset 8's
// modules with the pedal on AMP, its volume on from 7 to 77.
void importOntoTheCurrentPreset(Flow& f) {
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(f.rig.sim.service);
  env.defaults = f.rig.defaults;
  std::string exported;
  ASSERT_TRUE(PresetManager::ExportPreset(env, 7, [&](const std::string& name) { exported = name; }));
  const fs::path folder = f.rig.manager->filePath.get();
  nlohmann::json file = nlohmann::json::parse(std::ifstream(folder / (exported + ".pqv")));
  file["Exp"] = {{"MODULE_CTRL", 2}, {"PARA_CTRL", 1}, {"FUN_SWITCH", 1},
                 {"VOL_SWITCH", 1},  {"VOL_MIN", 7},    {"VOL_MAX", 77}};
  std::ofstream(folder / "Imported.pqv") << file.dump(1);
  dropFileOnRow(f, "Imported", f.unit().editBuffer().preset - 1);
}

bool holdsTheImport(const App::Preset& p) { return p.expVolume == std::array<uint16_t, 3>{1, 7, 77}; }

// A knob the editor shows.
GGEffectParmaViewPtr shownKnob(const Flow& f) {
  for (const auto& [key, cell] : f.w->editor().cellSource())
    if (cell->window() && cell->itemModel() && cell->itemModel()->slot()) return cell;
  return nullptr;
}

// An import whose write the unit never confirms, after a knob turned and
// not saved: the failure is told, and the window is left showing what the
// unit holds (`taken`: the write itself, or else the turned knob), still
// modified.
void importNeverConfirmed(Flow& f, const std::vector<sim::FrameRule>& lost, bool taken) {
  auto timing = f.rig.sim.service->timing();
  timing.presetWriteExpiry = std::chrono::milliseconds(300);
  timing.currentPresetAnswer = kBound;
  f.rig.sim.service->setTiming(timing);
  ASSERT_TRUE(f.w->waitForTipsGone());
  const GGEffectParmaViewPtr knob = shownKnob(f);
  ASSERT_TRUE(knob);
  f.dragKnob(knob);
  f.settle();
  ASSERT_EQ(f.modified(), 1);
  const App::Preset turned = f.unit().editBuffer().data;
  for (const sim::FrameRule& rule : lost) f.faults->add(rule);
  importOntoTheCurrentPreset(f);
  ASSERT_TRUE(f.w->waitForTip("Preset failed,Please try again."));
  EXPECT_EQ(holdsTheImport(f.unit().editBuffer().data), taken);
  if (taken) return;
  EXPECT_EQ(f.unit().editBuffer().data.block, turned.block);
  EXPECT_EQ(f.modified(), 1);
}

const InPlaceChange kInPlaceChanges[] = {
    {"ImportOntoIt",
     [](Flow& f) {
       importOntoTheCurrentPreset(f);
       ASSERT_TRUE(f.w->waitForTip("Preset import successful!"));
       ASSERT_TRUE(holdsTheImport(f.unit().editBuffer().data));
     }},
    {"ImportOntoItConfirmedLate",
     [](Flow& f) {
       // While the unit's confirmation is held back, an EXP edit and a knob
       // edit are tried: neither reaches the unit, which holds the import.
       auto timing = f.rig.sim.service->timing();
       timing.presetWriteExpiry = kBound;
       f.rig.sim.service->setTiming(timing);
       ASSERT_TRUE(f.w->waitForTipsGone());
       const GGEffectParmaViewPtr knob = shownKnob(f);
       ASSERT_TRUE(knob);
       f.faults->add({sim::Way::UnitToHost, App::kPresetWritten, 1, sim::FrameFault::Withhold, {}});
       importOntoTheCurrentPreset(f);
       ASSERT_TRUE(unitComesTo(f, holdsTheImport));
       const App::Preset imported = f.unit().editBuffer().data;
       f.picture("main-window-writing.png");
       f.w->click(*f.w->top().expButton);
       if (f.w->top().isExpShown()) {
         f.w->window().layoutIfNeeded();
         f.w->click(*expScreen(f)->minVolSliderView->upButton.lock());
         f.w->click(*expScreen(f)->closeButton.lock());
       }
       f.dragKnob(knob);
       f.settle();
       EXPECT_TRUE(holdsTheImport(f.unit().editBuffer().data));
       EXPECT_EQ(f.unit().editBuffer().data.block, imported.block);
       f.faults->release();
       ASSERT_TRUE(f.w->waitForTip("Preset import successful!"));
     }},
    {"ImportOntoItLostOnTheWay",
     [](Flow& f) {
       // The write is lost on its way: the unit, asked for the preset after
       // the time-out, holds the old one, and the window keeps the turned knob.
       importNeverConfirmed(f, {{sim::Way::HostToUnit, App::kWritePreset, 1, sim::FrameFault::Drop, {}}}, false);
     }},
    {"ImportOntoItNeverConfirmed",
     [](Flow& f) {
       // The unit takes the write; only its confirmation is lost.
       importNeverConfirmed(f, {{sim::Way::UnitToHost, App::kPresetWritten, 1, sim::FrameFault::Withhold, {}}}, true);
     }},
    {"ClearIt",
     [](Flow& f) {
       f.w->contextMenu(*f.w->list().deviceTableView, f.unit().editBuffer().preset - 1, "Clear");
       ASSERT_TRUE(f.w->waitForTip("Clear preset successful!"));
     }},
    {"PasteOntoIt",
     [](Flow& f) {
       auto& table = *f.w->list().deviceTableView;
       f.w->contextMenu(table, 7, "Copy");
       f.w->contextMenu(table, f.unit().editBuffer().preset - 1, "Paste [P008]");
       ASSERT_TRUE(f.w->waitForTip("Paste successful!"));
     }},
    {"SaveItFromTheTopBar",
     [](Flow& f) {
       f.w->retype(*f.w->top().presetNameTF, "Saved Here");
       f.w->click(*f.w->top().saveButton);
       ASSERT_TRUE(f.w->waitForTip(TopView::kSavedTip));
     }},
    {"RenameItInTheList",
     [](Flow& f) {
       auto& list = f.w->list();
       f.w->contextMenu(*list.deviceTableView, f.unit().editBuffer().preset - 1, "Rename");
       auto* editor = list.renameVC->editTF->fieldEditor();
       ASSERT_TRUE(editor);
       QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
       QCoreApplication::sendEvent(editor, &all);
       MainWindowDriver::typeInto(editor, "Renamed");
       MainWindowDriver::pressKey(editor, Qt::Key_Return);
       ASSERT_TRUE(waitUntil([&] { return f.unit().editBuffer().data.nameText() == "Renamed"; }));
     }},
    {"RestoreIt",
     [](Flow& f) {
       // Backed up, then changed and saved on the unit's panel, then restored.
       SettingViewModel::Parts parts;
       parts.hid = f.rig.sim.service;
       parts.popUps = f.rig.sim.popUps;
       auto backups = std::make_shared<SettingViewModel>(parts);
       const fs::path file = f.rig.folder / "unit.bqv";
       backups->startBackUp(file.string());
       const auto& tips = *f.rig.sim.popUps;
       ASSERT_TRUE(waitUntil([&] { return !tips.tips().empty(); }));
       ASSERT_EQ(tips.tips().back(), "success: Device data backup successful.");
       const int n = f.unit().editBuffer().preset;
       std::vector<int> words = f.unit().editBuffer().data.moduleWords(0);
       words[0] = words[0] ? 0 : 1;
       words[2] += 1;
       f.unit().turnKnob(0, words);
       f.unit().setExpFunction(4, 40, 0);
       f.unit().setExpVolume(1, 20, 30);
       f.unit().savePreset(n, "Panel Saved");
       ASSERT_TRUE(waitUntil([&] { return f.shownName() == "Panel Saved"; }));
       ASSERT_TRUE(f.waitForRowName(n - 1, "Panel Saved"));
       std::atomic<int> restored{-1};
       std::thread restore([&] { restored = backups->recallBackUp(file.string()) ? 1 : 0; });
       const bool ended = dispatch::runMainLoopUntil([&] { return restored >= 0; }, kStartUpBound);
       restore.join();
       ASSERT_TRUE(ended);
       ASSERT_EQ(restored, 1);
     }},
    {"TurnKnobsOnThePanel",
     [](Flow& f) {
       // The edited module, another module's switch and the pedal.
       std::vector<int> words = f.unit().editBuffer().data.moduleWords(0);
       words[0] = words[0] ? 0 : 1;
       words[1] = words[1] == 2 ? 3 : 2;
       for (size_t i = 2; i < words.size(); ++i) words[i] += 1;
       f.unit().turnKnob(0, words);
       std::vector<int> other = f.unit().editBuffer().data.moduleWords(4);
       other[0] = other[0] ? 0 : 1;
       f.unit().turnKnob(4, other);
       f.unit().setExpFunction(3, 24, 0);
       f.unit().setExpVolume(1, 11, 88);
     }},
    {"SwitchBackOnThePanelWhatTheWindowSwitched",
     [](Flow& f) {
       // The unit's panel switches the module back to words the window sent:
       // once their echo window has passed (shown at once), and within it
       // (taken for their echo until it has passed, then shown). The editor's
       // own echo window, on a dispatch clock moved by hand.
       EffectDataView& editor = f.w->editor();
       const int module = editedModule(f);
       const auto cmd = static_cast<uint8_t>(App::kSetModuleWords + module);
       const auto windowSwitches = [&](int times) {
         const size_t sends = f.count(cmd);
         for (int i = 0; i < times; ++i) f.w->click(*editor.statusSwitch);
         ASSERT_TRUE(f.rig.sim.waitFor(cmd, sends + static_cast<size_t>(times)));
       };
       const auto panelSwitches = [&] {
         std::vector<int> words = f.unitWords(module);
         words[0] = words[0] ? 0 : 1;
         f.unit().turnKnob(module, words);
         return words[0] != 0;
       };
       f.editTheModule();  // two sends, whose window then passes; a third within it
       const HandClock hand;
       hand.clock->advance(editor.echoWindow);
       windowSwitches(1);
       const bool on = panelSwitches();
       ASSERT_TRUE(waitUntil([&] { return editor.statusSwitch->isOn() == on; })) << "an old send taken for an echo";

       windowSwitches(2);
       const auto filled = editor.moduleTypeViewModel->models().front()->params();
       panelSwitches();
       ASSERT_TRUE(waitUntil([&] { return editor.moduleTypeViewModel->models().front()->params() != filled; }));
       flushMainQueue();
       EXPECT_EQ(editor.statusSwitch->isOn(), on) << "a send's echo shown within the echo window";
       hand.clock->advance(editor.echoWindow);
       ASSERT_TRUE(waitUntil([&] { return editor.statusSwitch->isOn() != on; })) << "not shown once the window passed";
     }},
    {"SwitchAModuleNotEditedOnThePanel",
     [](Flow& f) {
       const int other = editedModule(f) == 4 ? 5 : 4;
       std::vector<int> words = f.unitWords(other);
       words[0] = words[0] ? 0 : 1;
       f.unit().turnKnob(other, words);
     }},
    {"ChooseAnAmpTypeThenAModuleOnThePanel",
     [](Flow& f) {
       // At a size where the knob grid shows one of AMP's two knob rows,
       // scrolled to the second: another AMP type keeps it there, another
       // module shows from its first row.
       ui::Window& window = f.w->window();
       window.setContentMinSize({1100, 470});
       window.setContentSize({1100, 470});
       window.layoutIfNeeded();
       ASSERT_TRUE(f.w->waitForTipsGone());
       constexpr int kAmp = EffectDataView::kAmpModule, kReverb = 8;
       f.chooseModule(kAmp);
       CLCollectionView& grid = *f.w->editor().collectionView;
       grid.scrollToEndOfDocument();
       window.layoutIfNeeded();
       const double offset = grid.documentVisibleRect().minY();
       ASSERT_GT(offset, 0);
       std::vector<int> words = f.unitWords(kAmp);
       words[1] = words[1] == 1 ? 2 : 1;
       f.unit().turnKnob(kAmp, words);
       ASSERT_TRUE(waitUntil([&] { return f.w->editor().myTableView->selectedRow() == words[1]; }));
       window.layoutIfNeeded();
       EXPECT_EQ(grid.documentVisibleRect().minY(), offset);
       f.unit().changePage(dev::kFirstModulePage + kReverb);
       ASSERT_TRUE(waitUntil([&] { return f.w->showsModule(kReverb); }));
       window.layoutIfNeeded();
       EXPECT_EQ(grid.documentVisibleRect().minY(), 0);
     }},
    {"TurnAPageOnThePanel", [](Flow& f) { f.unit().changePage(dev::kFirstModulePage + 7); }},
    {"SaveItOnThePanel", [](Flow& f) { f.unit().savePreset(f.unit().editBuffer().preset, "Panel Saved"); }},
};

}  // namespace

// Every way the current preset's contents change while it stays the current
// preset: each view of it shows the new contents, and the next edit of each
// kind is built on them (an edit built on what a view still showed would
// take the change back on the unit).
class CurrentPresetChanged : public testing::TestWithParam<InPlaceChange> {};

TEST_P(CurrentPresetChanged, EveryViewShowsItAndTheNextEditsBuildOnIt) {
  Flow f;
  ASSERT_TRUE(f.started);
  // The EXP screen is made, and follows the unit, from its first showing.
  f.w->click(*f.w->top().expButton);
  ASSERT_TRUE(f.w->top().isExpShown());
  f.w->click(*expScreen(f)->closeButton.lock());
  ASSERT_TRUE(waitUntil([&] { return windowMismatches(f).empty(); })) << "before:" << windowMismatches(f);

  GetParam().make(f);
  if (HasFatalFailure()) return;
  f.settle();
  EXPECT_TRUE(waitUntil([&] { return windowMismatches(f).empty(); })) << windowMismatches(f);
  editEachKind(f);
  EXPECT_TRUE(f.rig.alerts.empty());
}

INSTANTIATE_TEST_SUITE_P(InPlace, CurrentPresetChanged, testing::ValuesIn(kInPlaceChanges),
                         [](const testing::TestParamInfo<InPlaceChange>& info) { return info.param.name; });

// ---- user IR and NR files

namespace {

using test_files::put16;
using test_files::put32;

int16_t sample(size_t j) { return static_cast<int16_t>(static_cast<int>(j) * 83 - 19000); }

// A mono 16-bit WAVE of 512 samples at 44.1 kHz.
Bytes wave() { return test_files::monoWave(512, sample); }

uint32_t nrWord(size_t j) { return static_cast<uint32_t>(j * 0x01020304u + 0x55); }

// An NR file: 512 words, their sum, "2.0".
Bytes nrFile() {
  Bytes b(2048 + 4 + 3, 0);
  uint32_t sum = 0;
  for (size_t j = 0; j < 512; ++j) {
    put32(b, 4 * j, nrWord(j));
    sum += nrWord(j);
  }
  put32(b, 2048, sum);
  std::memcpy(&b[2052], "2.0", 3);
  return b;
}

fs::path writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The row's add/delete button, its row scrolled into view.
std::shared_ptr<EffectInsertButton> slotButton(Flow& f, long row) {
  auto& table = *f.w->editor().myTableView;
  table.scrollRowToVisible(row);
  f.w->window().layoutIfNeeded();
  auto cell = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, row));
  return cell ? cell->opButton : nullptr;
}

std::string typeRowTitle(Flow& f, long row) {
  auto& table = *f.w->editor().myTableView;
  table.scrollRowToVisible(row);
  auto cell = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, row));
  return cell ? cell->title->stringValue() : "<none>";
}

// Imports `file` into the slot of `row` with the button's plus half, then
// clears it with the minus half, answering the question "YES"; checks the
// row's title after each.
void importAndDelete(Flow& f, long row, const fs::path& file, const std::string& imported, const std::string& cleared,
                     const std::string& importTip) {
  auto& w = *f.w;
  w.openPanel = [file](const ui::OpenPanelRequest&) { return std::vector<fs::path>{file}; };
  auto button = slotButton(f, row);
  ASSERT_TRUE(button);
  w.click(*button, {button->bounds().width() * 0.25, button->bounds().midY()});
  EXPECT_TRUE(w.waitForTip(importTip));
  EXPECT_TRUE(waitUntil([&] { return typeRowTitle(f, row) == imported; })) << typeRowTitle(f, row);

  button = slotButton(f, row);
  ASSERT_TRUE(button);
  w.click(*button, {button->bounds().width() * 0.75, button->bounds().midY()});
  ASSERT_TRUE(w.question());
  EXPECT_EQ(w.question()->title(), "Delete IR: " + imported + " ?");
  w.answer("YES");
  EXPECT_TRUE(waitUntil([&] { return typeRowTitle(f, row) == cleared; })) << typeRowTitle(f, row);
  EXPECT_TRUE(w.questions().empty());
}

}  // namespace

TEST(MainWindowFlows, AUserIRIsImportedIntoTheUnitAndDeletedFromTheCabinetsList) {
  Flow f;
  ASSERT_TRUE(f.started);
  auto& w = *f.w;
  f.chooseModule(3);
  const fs::path file = writeFile(f.rig.folder / "My Cab.wav", wave());

  // A cancelled panel sends nothing.
  auto button = slotButton(f, 27);
  ASSERT_TRUE(button);
  w.click(*button, {button->bounds().width() * 0.25, button->bounds().midY()});
  ASSERT_EQ(w.openPanels.size(), 1u);
  EXPECT_EQ(w.openPanels[0].allowedFileTypes, std::vector<std::string>{"wav"});
  f.expectNothingMore(Transfer::kIRTransfer, 0);

  // A file that is no WAVE, and a name the unit cannot show: a warning each,
  // nothing sent, the row as it was.
  const std::string title = typeRowTitle(f, 27);
  const fs::path broken = writeFile(f.rig.folder / "Broken.wav", Bytes(300, 0x5A));
  const fs::path foreign = writeFile(f.rig.folder / "Cab\xC3\xA9.wav", wave());
  const std::pair<fs::path, std::string> refused[] = {
      {broken,
       "IR import failed!\nPlease exit the software and restart to try again.\nIf problem recurs,please check "
       "compatibility of IR file."},
      {foreign, "Wrong file name format! Please check compatibility of file name."}};
  for (const auto& [file, tip] : refused) {
    w.openPanel = [path = file](const ui::OpenPanelRequest&) { return std::vector<fs::path>{path}; };
    button = slotButton(f, 27);
    w.click(*button, {button->bounds().width() * 0.25, button->bounds().midY()});
    EXPECT_TRUE(w.waitForTip(tip)) << file;
  }
  f.expectNothingMore(Transfer::kIRTransfer, 0);
  EXPECT_EQ(typeRowTitle(f, 27), title);

  const auto& transfer = *f.unit().transfer();
  importAndDelete(f, 27, file, "28:My Cab", "28:EMPTY",
                  "IR import successful!\n Your custom IR is now available on the selected Cab SIM slot.");
  ASSERT_EQ(w.openPanels.size(), 4u);
  // The data reached the unit before the delete: its first frames carried
  // the name and the samples' planes.
  const auto frames = f.rig.sim.received(Transfer::kIRTransfer);
  ASSERT_GE(frames.size(), 6u);
  EXPECT_EQ(frames[0].payload, (Bytes{0x00, 0x01, 0x01, 0x01}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&frames[1].payload[1]), 6), "My Cab");
  ASSERT_EQ(frames[2].payload.size(), 513u);
  EXPECT_EQ(frames[2].payload[1 + 5], static_cast<uint8_t>(static_cast<uint16_t>(sample(5)) >> 8));
  EXPECT_EQ(frames[3].payload[1 + 5], static_cast<uint8_t>(static_cast<uint16_t>(sample(5)) & 0xFF));
  // Then the clear.
  EXPECT_EQ(frames.back().payload, (Bytes{0x00, 0x01, 0x00, 0x00}));
  EXPECT_FALSE(transfer.inUse(Transfer::Kind::IR, 1));
  EXPECT_TRUE(f.rig.alerts.empty());
}

TEST(MainWindowFlows, AUserNRIsImportedIntoTheUnitAndDeletedFromTheAmpsList) {
  // The shipped catalogue lists no NR rows (its AMP names end with the ten
  // NR slots, which the list leaves out); one with ten more AMP names shows them.
  TempFolder catalogueFolder;
  const fs::path catalogueFile = catalogueFolder / "preset.json";
  {
    std::ifstream in(std::string(QV450_RESOURCES_DIR) + "/preset.json");
    nlohmann::json doc = nlohmann::json::parse(in);
    auto& names = doc["AMP"][0];
    const size_t n = names.size();
    for (size_t i = n + 1; i <= n + 10; ++i) names.push_back(std::to_string(i) + " SPARE");
    std::ofstream(catalogueFile) << doc.dump();
  }
  Flow f([catalogueFile] {
    return EffectCatalogue::load(catalogueFile, fs::path(QV450_RESOURCES_DIR) / "effects.json");
  });
  ASSERT_TRUE(f.started);
  f.chooseModule(2);
  ASSERT_GE(f.w->editor().myTableView->numberOfRows(), 65);
  const fs::path file = writeFile(f.rig.folder / "Quiet.amp", nrFile());

  importAndDelete(f, 55, file, "56:Quiet", "56:Empty", "Import Success");
  ASSERT_EQ(f.w->openPanels.size(), 1u);
  EXPECT_EQ(f.w->openPanels[0].allowedFileTypes, std::vector<std::string>{"amp"});
  const auto frames = f.rig.sim.received(Transfer::kNRTransfer);
  ASSERT_GE(frames.size(), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&frames[1].payload[1]), 5), "Quiet");
  // Frame 2 carries bits 24 to 31 of each word.
  EXPECT_EQ(frames[2].payload[1 + 7], static_cast<uint8_t>(nrWord(7) >> 24));
  EXPECT_EQ(frames.back().payload, (Bytes{0x00, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(f.unit().transfer()->inUse(Transfer::Kind::NR, 0));
  EXPECT_TRUE(f.rig.alerts.empty());
}

// ---- what the screens send while the unit talks

// A unit that echoes every module write sends its echoes while a knob is
// still turning; one decoded between a screen's setting the module's words
// and their going out must not be sent in their place (the unit would end on
// an older value than the window shows). The decoder's turn is taken here
// from inside the screen's own change of the words, where the unit's thread
// could take it.
TEST(MainWindowPieces, AModuleFrameDecodedWhileAScreenSendsDoesNotGoOutInstead) {
  Recorder recorder;
  loadUnit(recorder, 1, 6 + 7);
  TempFolder folder;
  const GGEffectFunManagerPtr manager = makeManager(recorder.service, folder);
  EffectDataViewModel editor({recorder.service, manager});
  const auto bar = GGFunctionViewModel::create({recorder.service, manager});
  flushMainQueue();

  const std::vector<int> echo = currentWords(1, 7);
  bool armed = false;
  rs_valuesForKeyPath(recorder.service->presetDataModel(), "dataArr", manager)->subscribeNext([&](const fnd::Value&) {
    if (!armed) return;
    armed = false;
    recorder.feed(0x09, wordBytes(echo));
  });
  const auto sentWords = [&](const std::function<void()>& send) {
    recorder.take();
    armed = true;
    send();
    EXPECT_FALSE(armed) << "the words did not change";
    std::vector<Sent> sent;
    for (const Sent& s : recorder.take())
      if (s.cmd == 0x89) sent.push_back(s);
    EXPECT_EQ(sent.size(), 1u);
    return sent.empty() ? Bytes() : sent.back().payload;
  };

  // A knob of the editor.
  std::vector<int> mine = echo;
  mine[4] += 250;
  recorder.service->presetDataModel()->setDataArr(mine);
  EXPECT_EQ(sentWords([&] { editor.sendData(); }), wordBytes(mine));

  // The module bar's switch.
  std::vector<int> off = echo;
  off[0] = 0;
  EXPECT_EQ(sentWords([&] { bar->changeModuleStatus(false); }), wordBytes(off));
}

// The unit's echo of an earlier send reaches the main queue after the panel
// has sent newer words: the knobs are filled from the record as it stands,
// never from the older words the change carried (they would stay behind what
// the unit holds, and the next send would take them back to the unit).
TEST(MainWindowPieces, AnEchoOvertakenByANewerSendLeavesTheKnobsAlone) {
  Recorder recorder;
  loadUnit(recorder, 1, 6 + 7);
  TempFolder folder;
  const GGEffectFunManagerPtr manager = makeManager(recorder.service, folder);
  recorder.service->loadXML();
  const auto types = EffectViewModel::create({recorder.service, manager, shippedSlotTable});
  flushMainQueue();
  ASSERT_FALSE(types->getValuesFormModel().empty());
  const std::vector<std::string> before = types->getValuesFormModel();

  std::vector<int> older = currentWords(1, 7), mine = currentWords(1, 7);
  for (size_t i = 2; i < older.size(); ++i) {
    older[i] += 40;
    mine[i] += 80;
  }
  // The echo, decoded on another thread: its change goes to the main queue.
  std::thread([&] { recorder.service->presetDataModel()->setDataArr(older); }).join();
  // The panel's newer send, before the main queue runs.
  manager->setTempDataArray(mine);
  recorder.service->sendModuleData(mine);
  flushMainQueue();

  EXPECT_EQ(manager->tempDataArray.get(), mine) << "the panel's own send was taken for a change of the unit";
  EXPECT_EQ(types->getValuesFormModel(), before);
}
