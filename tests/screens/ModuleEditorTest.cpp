// The module editor and its knob cells: against the device service and the
// simulated unit (a module's types and knobs from the catalogue, a knob
// dragged with the mouse reaching the unit's memory, the unit's panel
// reaching the knobs, types, the switch and the user-slot rows), and the
// knob cell alone with values no unit or catalogue should give.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "device/records/DeviceConstants.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Window.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "controls/SettingResetView.h"
#include "screens/editor/EffectDataView.h"
#include "ui/ViewTestSupport.h"

#include "screens/ScreensTestSupport.h"

using namespace svc_test;
using nlohmann::json;

namespace {

// The editor in a window over a service that has read the whole simulated
// unit; every refresh of the panel is counted.
struct EditorWindow {
  TempFolder folder;
  ProgressLog progress;
  SimRig sim;
  GGEffectFunManagerPtr manager;
  std::shared_ptr<ui::Window> window;
  EffectDataViewPtr editor;
  std::shared_ptr<int> refreshes = std::make_shared<int>(0);

  explicit EditorWindow(bool echo = false) {
    manager = readUnitAndMakeManager(sim, progress, folder, echo);
    window = ui::Window::create(ui::Rect(0, 0, 900, 430));
    editor = EffectDataView::create({sim.service, manager, shippedSlotTable}, ui::Rect(0, 0, 900, 430));
    window->contentView()->addSubview(editor);
    window->makeKeyAndOrderFront();
    // Every refresh of the panel sets the type being edited anew.
    rs_valuesForKeyPath(manager, "currentEffectDataModel", editor)->subscribeNext([n = refreshes](const fnd::Value&) {
      ++*n;
    });
    flushMainQueue();
    window->layoutIfNeeded();
  }
  ~EditorWindow() {
    window->close();
    editor.reset();
    window.reset();
    flushMainQueue();
  }

  std::vector<int> unitWords(int module) const { return sim.app->editBuffer().data.moduleWords(module); }

  // Shows module `m` as the unit's panel would select it, and lays it out.
  void showModule(int m) {
    sim.app->changePage(6 + m);
    ASSERT_TRUE(dispatch::runMainLoopUntil(
        [&] {
          return editor->titleTF->stringValue() == EffectViewModel::moduleName(m) &&
                 editor->moduleParamViewModel->curModel &&
                 editor->moduleParamViewModel->curModel->effectName == EffectViewModel::moduleName(m);
        },
        kBound));
    flushMainQueue();
    window->layoutIfNeeded();
  }

  GGEffectParmaViewPtr knobCell(const std::string& parameter) {
    for (const auto& [key, cell] : editor->cellSource())
      if (cell->itemModel() && cell->itemModel()->typeName == parameter && cell->window()) return cell;
    return nullptr;
  }

  std::string valueShown(const GGEffectParmaViewPtr& cell) {
    flushMainQueue();  // the value label is written on the main queue
    return cell->valueLabel.lock()->stringValue();
  }

  // A window point of a view's own point.
  ui::Point at(ui::View& view, ui::Point p) { return view.convertPointToView(p, nullptr); }
};

std::vector<std::string> shownParameters(EffectDataView& editor) {
  std::vector<std::string> names;
  for (int64_t i = 0; i < editor.collectionView->numberOfItemsInSection(0); ++i) {
    auto cell = std::dynamic_pointer_cast<GGEffectParmaView>(editor.collectionView->cellForItemAtIndexPath(cl_indexPathForItem(i, 0)));
    names.push_back(cell ? cell->titleLabel.lock()->stringValue() : "(none)");
  }
  return names;
}

}  // namespace

TEST(ModuleEditorWithUnit, AModuleShowsItsTypesAndTheKnobsOfTheUnitsType) {
  EditorWindow w;
  const EffectCataloguePtr catalogue = w.sim.service->effectCatalogue();
  for (int m : {7, 5, 0}) {
    SCOPED_TRACE(EffectViewModel::moduleName(m));
    w.showModule(m);
    const std::vector<std::string> names = catalogue->typeNames(m);
    ASSERT_EQ(w.editor->myTableView->numberOfRows(), static_cast<long>(names.size()));
    for (long row = 0; row < w.editor->myTableView->numberOfRows(); ++row) {
      auto cell = std::dynamic_pointer_cast<EffectViewListCell>(w.editor->myTableView->viewAtColumn(0, row));
      ASSERT_TRUE(cell);
      flushMainQueue();
      EXPECT_EQ(cell->title->stringValue(), names[static_cast<size_t>(row)]);
      EXPECT_FALSE(cell->opButton);
    }
    const int type = w.unitWords(m)[1];
    EXPECT_EQ(w.editor->myTableView->selectedRow(), type);
    EXPECT_EQ(w.editor->subtitleTF->stringValue(), names[static_cast<size_t>(type)]);
    EXPECT_EQ(w.editor->statusSwitch->isOn(), w.unitWords(m)[0] != 0);
    std::vector<std::string> expected;
    for (const json& entry : catalogue->parameters(m, type)) {
      const json& e = entry.is_array() ? entry.front() : entry;
      expected.push_back(e.value("typeName", ""));
    }
    EXPECT_EQ(shownParameters(*w.editor), expected);
  }
  // The EQ's first band: the unit's word is the offset from -12.
  w.showModule(5);
  auto band = w.knobCell(w.editor->moduleParamViewModel->curModel->effects()[0]->typeName);
  ASSERT_TRUE(band);
  const int word = w.unitWords(5)[2];
  EXPECT_EQ(w.valueShown(band).substr(0, std::to_string(word - 12).size()), std::to_string(word - 12));
  EXPECT_NEAR(band->cirSlider.lock()->value(), std::min(word, 24), 0.5);
}

TEST(ModuleEditorWithUnit, ADraggedKnobReachesTheUnitAndItsEchoIsNotAppliedAgain) {
  EditorWindow w(/*echo=*/true);
  w.showModule(7);
  auto time = w.knobCell("TIME");
  ASSERT_TRUE(time);
  auto knob = time->cirSlider.lock();
  const std::vector<int> before = w.unitWords(7);
  const size_t framesBefore = w.sim.received(0x89).size();
  const int refreshesBefore = *w.refreshes;

  // From the top of the knob a quarter turn clockwise, by the mouse.
  ui::testing::Pointer p(*w.window);
  p.press(w.at(*knob, {45, 60}));
  p.move(w.at(*knob, {60, 56}));
  p.move(w.at(*knob, {75, 30}));
  p.release(w.at(*knob, {75, 30}));
  const GGEffectItemModelPtr item = time->itemModel();
  ASSERT_TRUE(item->slot()) << "the TIME knob turns no slot";
  const auto at = static_cast<size_t>(2 + item->slot()->index);
  // The unit takes frames in order: once it has a marker sent now, it has
  // every send of the drag. (The knob itself may show an echo of an earlier
  // send for a moment, so its value is read at the end.)
  const size_t markers = w.sim.received(0xA4).size();
  w.sim.service->sendSystem(dev::SystemSetting::InputLevel);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return w.sim.received(0xA4).size() > markers; }, kBound));
  const std::vector<int> expected = w.unitWords(7);
  EXPECT_NE(expected[at], before[at]) << "the drag did not reach the unit";
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i == at) continue;
    EXPECT_EQ(expected[i], before[i]) << "word " << i;
  }
  const auto frames = w.sim.received(0x89);
  ASSERT_GT(frames.size(), framesBefore);
  EXPECT_EQ(frames.back().payload, wordBytes(expected));
  const std::string value = std::to_string(expected[at]);

  // The unit's echo of each send comes back: none rebuilds the panel, and
  // once the last echo is in the knob shows where the drag left it. The
  // unit echoed each send as it took it; a marker it sends now is decoded
  // after every echo, so they are all in once the marker is.
  w.sim.app->setRhythm({0, 0, 0, 99, 100});
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] { return w.sim.service->systemDataModel()->rhythm_vol.get() == "VOL: 99"; }, kBound));
  flushMainQueue();
  flushMainQueue();
  EXPECT_EQ(*w.refreshes, refreshesBefore);
  EXPECT_EQ(w.knobCell("TIME"), time);
  // An echo of an earlier send taken on the way may show for a moment; the
  // knob settles on the drag's end, as the unit holds it.
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return time->itemModel()->current() == value; }, kBound))
      << time->itemModel()->current() << " instead of " << value;
  flushMainQueue();
  EXPECT_EQ(w.valueShown(time), GGEffectParmaView::valueText(*time->itemModel()));
}

TEST(ModuleEditorWithUnit, AKnobTurnedOnTheUnitsPanelShowsInTheKnob) {
  EditorWindow w;
  w.showModule(7);
  auto time = w.knobCell("TIME");
  ASSERT_TRUE(time);
  std::vector<int> turned = w.unitWords(7);
  ASSERT_TRUE(time->itemModel()->slot()) << "the TIME knob turns no slot";
  const auto at = static_cast<size_t>(2 + time->itemModel()->slot()->index);
  turned[at] = turned[at] == 750 ? 600 : 750;
  w.sim.app->turnKnob(7, turned);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return time->itemModel()->current() == std::to_string(turned[at]); },
                                         kBound));
  flushMainQueue();
  const std::string shown = w.valueShown(time);
  EXPECT_EQ(shown, GGEffectParmaView::valueText(*time->itemModel()));
  EXPECT_EQ(shown.substr(0, 3), std::to_string(turned[at]));
  const double min = std::stod(time->itemModel()->minValue.value_or("0"));
  // TIME follows the delay's sync choice: its knob holds the shown value
  // itself, where a plain parameter's knob holds the offset from its minimum.
  const bool linked = time->itemModel()->isBeControl && time->itemModel()->beControledModel.lock();
  EXPECT_NEAR(time->cirSlider.lock()->value(), linked ? turned[at] : turned[at] - min, 1.0);
}

TEST(ModuleEditorWithUnit, TypeAndSwitchClicksReachTheUnitAndArrowKeysChangeNothing) {
  EditorWindow w;
  w.showModule(7);
  auto& table = *w.editor->myTableView;
  const int oldType = w.unitWords(7)[1];
  const long row = oldType == 2 ? 3 : 2;
  ui::testing::Pointer p(*w.window);
  table.scrollRowToVisible(row);
  w.window->layoutIfNeeded();
  const ui::Rect r = table.rectOfRow(row);
  p.click(w.at(table, {r.midX(), r.midY()}));
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return w.unitWords(7)[1] == row; }, kBound));
  EXPECT_EQ(w.sim.received(0x89).back().payload, wordBytes(w.unitWords(7)));
  EXPECT_EQ(table.selectedRow(), row);
  EXPECT_EQ(w.editor->subtitleTF->stringValue(), w.editor->moduleTypeViewModel->models()[static_cast<size_t>(row)]->nickName);
  EXPECT_EQ(w.editor->moduleParamViewModel->curModel, w.editor->moduleTypeViewModel->models()[static_cast<size_t>(row)]);

  // Arrow keys neither select nor send.
  const size_t frames = w.sim.received(0x89).size();
  p.key(Qt::Key_Down);
  p.key(Qt::Key_Up);
  flushMainQueue();
  EXPECT_EQ(table.selectedRow(), row);
  EXPECT_EQ(w.sim.received(0x89).size(), frames);

  // The switch.
  const bool wasOn = w.unitWords(7)[0] != 0;
  auto& sw = *w.editor->statusSwitch;
  p.click(w.at(sw, {sw.bounds().midX(), sw.bounds().midY()}));
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return (w.unitWords(7)[0] != 0) != wasOn; }, kBound));
  EXPECT_EQ(sw.isOn(), !wasOn);
  EXPECT_EQ(w.unitWords(7)[1], row);
}

TEST(ModuleEditorWithUnit, UserSlotRowsCarryTheirButtonsAndAnUnknownTypeAsksForTheFirstPage) {
  EditorWindow w;
  w.showModule(3);
  auto& table = *w.editor->myTableView;
  ASSERT_EQ(table.numberOfRows(), static_cast<long>(w.editor->moduleTypeViewModel->models().size()));
  ASSERT_GE(table.numberOfRows(), 36);
  for (long row = 0; row < table.numberOfRows(); ++row) {
    auto cell = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, row));
    ASSERT_TRUE(cell);
    const bool slot = row >= 26 && row < 36;
    EXPECT_EQ(static_cast<bool>(cell->opButton), slot) << row;
    if (slot) {
      EXPECT_EQ(cell->opButton->index, row);
    }
  }
  flushMainQueue();
  auto first = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, 26));
  EXPECT_EQ(first->title->stringValue(), "27:" + w.sim.app->irName(0));
  // A user IR shows a single knob.
  table.scrollRowToVisible(27);
  w.window->layoutIfNeeded();
  ui::testing::Pointer p(*w.window);
  const ui::Rect r = table.rectOfRow(27);
  p.click(w.at(table, {r.midX(), r.midY()}));
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return w.unitWords(3)[1] == 27; }, kBound));
  EXPECT_EQ(w.editor->collectionView->numberOfItemsInSection(0), 1);

  // The AMP list leaves its last ten types out; no row of it is a slot row
  // while the catalogue names 65 types.
  w.showModule(2);
  const auto ampTypes = static_cast<long>(w.editor->moduleTypeViewModel->models().size());
  ASSERT_GE(ampTypes, 11);
  EXPECT_EQ(table.numberOfRows(), ampTypes - 10);
  EXPECT_TRUE(EffectDataView::isUserSlotRow(2, 55));
  EXPECT_TRUE(EffectDataView::isUserSlotRow(2, 64));
  EXPECT_FALSE(EffectDataView::isUserSlotRow(2, 65));
  EXPECT_FALSE(EffectDataView::isUserSlotRow(3, 36));
  EXPECT_FALSE(EffectDataView::isUserSlotRow(7, 30));

  // A type the module does not list: the unit is asked for the first module
  // page, and nothing is sent for the module.
  std::vector<int> odd = w.unitWords(2);
  odd[1] = static_cast<int>(ampTypes) + 5;
  const size_t ampFrames = w.sim.received(0x84).size();
  w.sim.app->turnKnob(2, odd);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return w.sim.app->editBuffer().page == 6; }, kBound));
  EXPECT_EQ(w.sim.received(0xB4).back().payload, (Bytes{0x06, 0x00}));
  EXPECT_EQ(w.sim.received(0x84).size(), ampFrames);
  EXPECT_EQ(w.unitWords(2)[1], odd[1]);
}

TEST(ModuleEditorWithUnit, PictureOfTheAmpModule) {
  EditorWindow w;
  w.showModule(2);
  w.window->layoutIfNeeded();
  flushMainQueue();
  const QImage image = w.window->widget()->grab().toImage();
  const auto path = std::filesystem::path(QV450_RESOURCES_DIR).parent_path() / "module-editor-amp.png";
  EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
  // The accent colour of the selected type is on the picture.
  bool accent = false;
  for (int y = 0; y < image.height() && !accent; ++y)
    for (int x = 0; x < 230 && !accent; ++x) {
      const QColor c = image.pixelColor(x, y);
      accent = std::abs(c.red() - 138) < 40 && std::abs(c.green() - 214) < 30 && c.blue() > 215;
    }
  EXPECT_TRUE(accent);
}

// The unit turns to another module's page after the editor is made and
// before its first refresh has run, so the refresh finds the records on the
// new module while the type list is still the old module's; in the second
// case the module bar then selects a third module before the unit's page
// change has reached the main queue, whose late news names a module the
// records have left. The editor ends on the records' module either way, with
// that module's types, and asks the unit for no page of its own.
TEST(ModuleEditorWithUnit, PagesTurnedBeforeTheEditorCatchesUpShowTheRecordsModule) {
  struct Case {
    const char* what;
    bool barSelects;
  };
  for (const Case& c : {Case{"the unit's page only", false}, Case{"then the module bar's", true}}) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    ProgressLog progress;
    SimRig sim;
    GGEffectFunManagerPtr manager = readUnitAndMakeManager(sim, progress, folder, false);
    const int from = sim.service->presetAllData()->selectedModule.get().value_or(0);
    const int unitTurnsTo = from == 2 ? 7 : 2;
    const int shown = c.barSelects ? 3 : unitTurnsTo;
    auto window = ui::Window::create(ui::Rect(0, 0, 900, 430));
    auto editor = EffectDataView::create({sim.service, manager, shippedSlotTable}, ui::Rect(0, 0, 900, 430));
    window->contentView()->addSubview(editor);
    const size_t pages = sim.received(0xB4).size();
    sim.app->changePage(dev::kFirstModulePage + unitTurnsTo);
    // The records take the page on the unit's thread; the main queue, with
    // the first refresh on it, has not run.
    const auto until = std::chrono::steady_clock::now() + kBound;
    while (sim.service->presetAllData()->selectedModule.get() != unitTurnsTo && std::chrono::steady_clock::now() < until)
      std::this_thread::yield();
    ASSERT_EQ(sim.service->presetAllData()->selectedModule.get(), unitTurnsTo);
    if (c.barSelects) sim.service->sendChangePage(dev::kFirstModulePage + shown);
    const std::string name = EffectViewModel::moduleName(shown);
    const auto& types = editor->moduleTypeViewModel->models();
    ASSERT_TRUE(dispatch::runMainLoopUntil(
        [&] {
          return editor->titleTF->stringValue() == name && editor->moduleParamViewModel->curModel &&
                 editor->moduleParamViewModel->curModel->effectName == name && !types.empty() &&
                 types.front()->effectName == name;
        },
        kBound))
        << editor->titleTF->stringValue() << ", pages asked: " << sim.received(0xB4).size() - pages;
    flushMainQueue();
    EXPECT_EQ(editor->titleTF->stringValue(), name);
    EXPECT_EQ(types.front()->effectName, name);
    EXPECT_EQ(sim.received(0xB4).size(), pages + (c.barSelects ? 1 : 0));  // none from the editor
    EXPECT_EQ(sim.app->editBuffer().page, dev::kFirstModulePage + shown);
    window->close();
    editor.reset();
    window.reset();
    flushMainQueue();
  }
}

// ---- the knob cell alone

namespace {

struct LoneCell {
  GGFuncEffectModelPtr type;
  std::shared_ptr<GGEffectParmaList> slots;
  GGEffectParmaViewPtr cell = GGEffectParmaView::createView();
  int sends = 0;

  explicit LoneCell(const json& entry, std::string slotValue) {
    type = GGFuncEffectModel::initWithEffectName("EQ", {entry}, "TEST");
    slots = std::make_shared<GGEffectParmaList>(GGEffectParmaList{
        std::make_shared<GGEffectParmaModel>(0, std::vector<std::string>{entry.value("typeName", "")}, slotValue)});
    type->setParams(slots);
    cell->GoSendData = [this] { ++sends; };
  }
  // A value label's text is written by a queued task that keeps the label:
  // run it while the application is still up.
  ~LoneCell() {
    cell.reset();
    flushMainQueue();
  }
  GGEffectItemModelPtr item() const { return type->effects().at(0); }
  std::string shown() {
    flushMainQueue();
    return cell->valueLabel.lock()->stringValue();
  }
};

}  // namespace

TEST(GGEffectParmaView, TheLayoutMakesACellWithEveryOutlet) {
  auto cell = GGEffectParmaView::createView();
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->frame().size, (ui::Size{180, 150}));
  EXPECT_TRUE(cell->contentBgView.lock() && cell->titleLabel.lock() && cell->cirSlider.lock() &&
              cell->valueLabel.lock() && cell->downButton.lock() && cell->upButton.lock());
  EXPECT_EQ(cell->contentBgView.lock()->layer().cornerRadius(), 16);
  // Two cells never share their parts.
  EXPECT_NE(GGEffectParmaView::createView()->cirSlider.lock(), cell->cirSlider.lock());
}

TEST(GGEffectParmaView, ValuesOnTheOffsetScaleAndValueTextsStayBounded) {
  {
    // Minimum -12: the knob at 3.75 is -8.25, truncated to -8, stored as 4.
    LoneCell c(json{{"typeName", "BAND"}, {"minValue", "-12"}, {"maxValue", "12"}, {"unit", "dB"}}, "12");
    c.cell->setItemModel(c.item());
    EXPECT_DOUBLE_EQ(c.cell->cirSlider.lock()->maxValue(), 24);
    EXPECT_NEAR(c.cell->cirSlider.lock()->value(), 12, 0.5);
    c.cell->slideValueChange(3.75, false);
    EXPECT_EQ(c.slots->at(0)->current.get(), "4");
    EXPECT_EQ(c.shown(), "-8 dB");
    EXPECT_EQ(c.sends, 1);
    c.cell->slideValueChange(std::nan(""), false);  // nothing for a value that is no number
    EXPECT_EQ(c.sends, 1);
  }
  {
    // per_unit: worked out in single precision, one decimal.
    LoneCell c(json{{"typeName", "RATE"}, {"minValue", "0"}, {"maxValue", "100"}, {"per_unit", "0.1"}, {"unit", "Hz"}},
               "25");
    c.cell->setItemModel(c.item());
    EXPECT_EQ(c.shown(), "2.5 Hz");
  }
  {
    // A choice list: the knob runs over the choices; a value past the list
    // (from the unit) shows as the number itself; a step stays on the last.
    LoneCell c(json{{"typeName", "MODE"}, {"item", json::array({"A", "B", "C"})}}, "7");
    c.cell->setItemModel(c.item());
    EXPECT_DOUBLE_EQ(c.cell->cirSlider.lock()->maxValue(), 2);
    EXPECT_EQ(c.shown(), "7");
    c.cell->slideValueChange(2, true);
    EXPECT_EQ(c.shown(), "C");
    c.cell->sliderValueUp();
    EXPECT_EQ(c.shown(), "C");
    EXPECT_EQ(c.slots->at(0)->current.get(), "2");
  }
  {
    // No span: the knob reads 0 and every value stays a number.
    LoneCell c(json{{"typeName", "FLAT"}, {"minValue", "5"}, {"maxValue", "5"}}, "5");
    c.cell->setItemModel(c.item());
    auto knob = c.cell->cirSlider.lock();
    EXPECT_TRUE(std::isfinite(knob->value()));
    c.cell->slideValueChange(knob->value(), true);
    EXPECT_EQ(c.slots->at(0)->current.get(), "5");
  }
  {
    // A cell without an item ignores the knob and the buttons.
    auto cell = GGEffectParmaView::createView();
    int sends = 0;
    cell->GoSendData = [&] { ++sends; };
    cell->slideValueChange(3, true);
    cell->sliderValueUp();
    cell->sliderValueDown();
    EXPECT_EQ(sends, 0);
    cell.reset();
    flushMainQueue();
  }
}

TEST(ModuleEditorWithUnit, DeletingAUserIRAsksFirstAndClearsTheSlotOnYes) {
  EditorWindow w;
  w.showModule(3);
  auto& table = *w.editor->myTableView;
  table.scrollRowToVisible(27);
  w.window->layoutIfNeeded();
  auto cell = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, 27));
  ASSERT_TRUE(cell && cell->opButton);
  const std::string name = w.editor->moduleTypeViewModel->models()[27]->nickName;
  ui::testing::Pointer p(*w.window);
  auto& minus = *cell->opButton;
  // The minus half first: "NO" closes the question and sends nothing.
  for (const std::string answer : {"NO", "YES"}) {
    p.click(w.at(minus, {minus.bounds().width() * 0.75, minus.bounds().midY()}));
    flushMainQueue();
    ASSERT_TRUE(w.editor->deleteIRView.lock());
    ASSERT_FALSE(w.editor->deleteIRView.lock()->subviews().empty());
    auto question = std::dynamic_pointer_cast<SettingResetView>(w.editor->deleteIRView.lock()->subviews().front());
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title(), "Delete IR: " + name + " ?");
    std::shared_ptr<GGCoustomButton> button;
    for (const auto& b : question->buttons())
      if (b->defaultTitle() == answer) button = b;
    ASSERT_TRUE(button);
    w.window->layoutIfNeeded();
    p.click(w.at(*button, {button->bounds().midX(), button->bounds().midY()}));
    flushMainQueue();
    EXPECT_FALSE(w.editor->deleteIRView.lock()) << answer;
    if (answer == "NO") {
      EXPECT_TRUE(w.sim.received(0xB5).empty());
    }
  }
  ASSERT_TRUE(w.sim.waitFor(0xB5, 1));
  EXPECT_EQ(w.sim.received(0xB5).front().payload, (Bytes{0x00, 0x01, 0x00, 0x00}));
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        auto row = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, 27));
        return row && row->title->stringValue() == "28:EMPTY";
      },
      kBound));
}

TEST(ModuleEditorWithUnit, AKnobSendFromAShortRecordSendsTheWholeModule) {
  EditorWindow w;
  w.showModule(7);
  const std::vector<int> full = w.unitWords(7);
  ASSERT_EQ(full.size(), 9u);
  // A record holding only the on/off and type words: the rest comes from the
  // preset, and every slot of the shown type is written in.
  w.sim.service->presetDataModel()->setDataArr({full[0], full[1]});
  flushMainQueue();
  const size_t before = w.sim.received(0x89).size();
  w.editor->moduleParamViewModel->sendData();
  ASSERT_TRUE(w.sim.waitFor(0x89, before + 1));
  const Bytes sent = w.sim.received(0x89).back().payload;
  ASSERT_EQ(sent.size(), 18u);
  std::vector<int> expected = full;
  for (const auto& slot : *w.editor->moduleParamViewModel->curModel->params())
    expected[static_cast<size_t>(slot->index) + 2] = std::stoi(slot->current.get());
  EXPECT_EQ(sent, wordBytes(expected));
  EXPECT_EQ(w.manager->tempDataArray.get(), expected);

  // Without a module there is nothing sound to send.
  EffectDataViewModel lone({w.sim.service, w.manager});
  w.sim.service->presetAllData()->setSelectedModule(std::nullopt);
  EXPECT_TRUE(lone.configHidData().empty());
}
