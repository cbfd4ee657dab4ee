// The unit preset list in a window, against the device service and the
// simulated unit: what the list shows, and what the unit receives for
// clicks, the save prompt, copy, paste, clear, rename and dropped files.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QWidget>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "controls/GGPopView.h"
#include "device/TempFolder.h"
#include "platform/ui/Window.h"
#include "reactive/RSScheduler.h"
#include "screens/PresetRig.h"
#include "screens/presets/PresetTableViewDataSource.h"
#include "screens/presets/PresetView.h"

using namespace preset_test;
using App = sim::UnitApplication;

namespace {

struct ListRig {
  TempFolder folder;
  std::shared_ptr<fnd::UserDefaults> defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
  LoadedUnit unit;
  GGEffectFunManagerPtr manager;
  std::shared_ptr<ui::Window> window = ui::Window::create(ui::Rect(0, 0, 260, 520));
  std::shared_ptr<PresetView> list;

  ListRig() {
    std::filesystem::create_directories(folder / "presets");
    defaults->setObjectForKey(GGEffectFunManager::kComputerPresetPathKey, fnd::Value((folder / "presets").string()));
    GGEffectFunManager::Parts mp;
    mp.service = unit.sim.service;
    mp.defaults = defaults;
    mp.diaryFile = folder / "diary";
    manager = GGEffectFunManager::create(mp);
    PresetView::Parts parts;
    parts.service = unit.sim.service;
    parts.manager = manager;
    parts.popUps = unit.sim.popUps;
    parts.emptyPreset = std::filesystem::path(QV450_RESOURCES_DIR) / "Empty.pqv";
    parts.nameLoadDelay = std::chrono::milliseconds(0);
    list = PresetView::create(parts);
    // A loaded machine may be slow to confirm.
    auto timing = unit.sim.service->timing();
    timing.presetWriteExpiry = kBound;
    unit.sim.service->setTiming(timing);
    list->setFrame({0, 0, 260, 520});
    window->makeKeyAndOrderFront();
    window->contentView()->addSubview(list);
    EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return list->deviceTableView->numberOfRows() == 200; }, kBound));
    flushMain();
  }
  ~ListRig() {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  std::shared_ptr<PresetListCell> cell(long row) {
    auto c = std::dynamic_pointer_cast<PresetListCell>(list->deviceTableView->viewAtColumn(0, row));
    flushMain();  // a row coming into view has its labels' texts set on the main queue
    return c;
  }
  std::string shownName(long row) {
    auto c = cell(row);
    return c ? c->titleLabel()->stringValue() : "<none>";
  }
  int unitPreset() const { return unit.sim.app->editBuffer().preset; }
  size_t count(uint8_t cmd) const { return unit.sim.received(cmd).size(); }
  bool tipShown(const std::string& tip) const {
    return dispatch::runMainLoopUntil(
        [&] {
          for (const auto& t : unit.sim.popUps->tips())
            if (t == tip) return true;
          return false;
        },
        kBound);
  }
  // Nothing more reaches the unit: a marker command arrives with nothing
  // of `cmd` before it.
  void expectNothingMore(uint8_t cmd, size_t before) {
    const size_t pages = count(App::kSetPage);
    unit.sim.service->sendChangePage(unit.sim.app->editBuffer().page == 5 ? 6 : 5);
    ASSERT_TRUE(unit.sim.waitFor(App::kSetPage, pages + 1));
    EXPECT_EQ(count(cmd), before);
  }
  // Unit preset `n` holds what preset `source` holds: name, module words
  // and EXP words.
  void expectSamePreset(int n, int source) const {
    const auto got = unit.sim.app->preset(n), want = unit.sim.app->preset(source);
    EXPECT_EQ(got.nameText(), want.nameText()) << n;
    for (int m = 0; m < 9; ++m) EXPECT_EQ(got.moduleWords(m), want.moduleWords(m)) << n << " module " << m;
    EXPECT_EQ(got.expFunction, want.expFunction) << n;
    EXPECT_EQ(got.expVolume, want.expVolume) << n;
  }
  void press(const std::shared_ptr<SettingResetView>& panel, const std::string& title) {
    ASSERT_TRUE(panel);
    for (auto& b : panel->buttons())
      if (b->defaultTitle() == title) return panel->btnAction(*b);
    ADD_FAILURE() << "no button " << title;
  }
};

}  // namespace

TEST(PresetView, ShowsTheUnitsPresetsAndMarksTheCurrentOne) {
  ListRig rig;
  ASSERT_EQ(rig.list->deviceTableView->numberOfRows(), 200);
  for (long row : {0L, 1L, 57L, 199L}) {
    rig.list->deviceTableView->scrollRowToVisible(row);
    auto c = rig.cell(row);
    ASSERT_TRUE(c) << row;
    EXPECT_EQ(c->titleLabel()->stringValue(), rig.unit.unitName(static_cast<int>(row) + 1)) << row;
    char number[24];
    std::snprintf(number, sizeof number, "P%03ld", row + 1);
    EXPECT_EQ(c->numberLabel()->stringValue(), number);
  }
  const long current = rig.unitPreset() - 1;
  rig.list->deviceTableView->scrollRowToVisible(current);
  EXPECT_EQ(rig.list->deviceTableView->selectedRow(), current);
  EXPECT_EQ(rig.cell(current)->titleLabel()->textColor(), ui::Color::rgb255(138, 214, 255));

  // A change made on the unit's panel moves the mark.
  const long moved = current == 2 ? 3 : 2;
  rig.unit.sim.app->changePreset(static_cast<int>(moved) + 1);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.list->deviceTableView->selectedRow() == moved; }, kBound));
  EXPECT_EQ(rig.cell(moved)->titleLabel()->textColor(), ui::Color::rgb255(138, 214, 255));
  EXPECT_EQ(rig.cell(current)->titleLabel()->textColor(), ui::Color::whiteColor());

  rig.list->deviceTableView->scrollRowToVisible(0);
  rig.window->layoutIfNeeded();
  const QImage image = rig.window->widget()->grab().toImage();
  const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "preset-list.png";
  EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
}

// A change of the current preset on the unit's input thread marks the row
// of the number the unit sent, however the threads take turns: here the
// input thread is held, halfway through handing the number to the view
// model, until everything already on its way to the list has arrived.
TEST(PresetView, TheMarkFollowsTheNumberTheUnitSentWhateverTheThreadsTurns) {
  ListRig rig;
  const long moved = rig.unitPreset() == 8 ? 9 : 8;
  static thread_local bool onInputThread = false;
  std::mutex m;
  std::condition_variable cv;
  bool backgroundDrained = false, mainDrained = false, done = false;
  auto drained = [&](bool& flag) {
    return [&] {
      std::lock_guard<std::mutex> lock(m);
      flag = true;
      cv.notify_all();
    };
  };
  // Before the view model's number changes, on the input thread: whatever
  // was handed to the framework's background queue, and from there to the
  // main queue, has been delivered.
  rig.list->presetVM->addObserver("selectRow", fnd::KVOPrior, [&](const fnd::KVOChange& c) {
    if (!c.isPrior || !onInputThread) return;
    auto subscriptions = std::static_pointer_cast<RSSubscriptionScheduler>(RSScheduler::subscriptionScheduler());
    subscriptions->backgroundScheduler()->schedule(drained(backgroundDrained));
    std::unique_lock<std::mutex> lock(m);
    EXPECT_TRUE(cv.wait_for(lock, kBound, [&] { return backgroundDrained; }));
    dispatch::Queue::main()->async(drained(mainDrained));
    EXPECT_TRUE(cv.wait_for(lock, kBound, [&] { return mainDrained; }));
  });
  std::thread input([&] {
    onInputThread = true;
    rig.unit.sim.service->presetAllData()->selectedPreset.set(static_cast<int>(moved) + 1);
    drained(done)();
  });
  EXPECT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        std::lock_guard<std::mutex> lock(m);
        return done;
      },
      kBound));
  input.join();
  EXPECT_TRUE(mainDrained);
  EXPECT_EQ(rig.list->presetVM->selectedIndex(), moved);
  // The change reaches the list through the background queue: wait for it.
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.list->deviceTableView->selectedRow() == moved; }, kBound));
}

TEST(PresetView, ClicksSwitchTheUnitAndAskToSaveWhenModified) {
  ListRig rig;
  const int start = rig.unitPreset();
  const long target = start == 10 ? 11 : 9;
  rig.list->presetSingleClick(target);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.unitPreset() == target + 1; }, kBound));
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.list->deviceTableView->selectedRow() == target; }, kBound));

  // Rows that are no preset send nothing.
  const size_t loads = rig.count(App::kLoadPreset);
  for (long row : {-1L, 200L, 5000L}) rig.list->presetSingleClick(row);
  rig.expectNothingMore(App::kLoadPreset, loads);

  // Modified: the prompt; a second click while it shows does nothing; "NO" switches to the first.
  rig.unit.sim.service->setDidChangeData(1);
  rig.list->presetSingleClick(4);
  auto prompt = rig.list->alertView;
  ASSERT_TRUE(prompt && prompt->superview());
  rig.list->presetSingleClick(6);
  EXPECT_EQ(rig.list->alertView, prompt);
  rig.press(prompt, "NO");
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.unitPreset() == 5; }, kBound));
  EXPECT_EQ(rig.unit.sim.service->didChangeData.get(), 0);
  EXPECT_EQ(rig.count(App::kSaveEditBuffer), 0u);

  // "SAVE" saves the current preset under its own name, then switches.
  rig.unit.sim.service->setDidChangeData(1);
  rig.list->presetSingleClick(7);
  ASSERT_NE(rig.list->alertView, prompt);
  rig.press(rig.list->alertView, "SAVE");
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.unitPreset() == 8; }, kBound));
  ASSERT_EQ(rig.count(App::kSaveEditBuffer), 1u);
  EXPECT_EQ(rig.unit.sim.received(App::kSaveEditBuffer)[0].payload.at(0), 5);
  EXPECT_EQ(rig.unit.sim.service->didChangeData.get(), 0);

  // A name the service refuses: nothing saved, no switch, the edits stay marked.
  rig.unit.sim.service->presetAllData()->setPresetName("bad_name");
  rig.unit.sim.service->setDidChangeData(1);
  const size_t loadsBefore = rig.count(App::kLoadPreset);
  rig.list->presetSingleClick(2);
  rig.press(rig.list->alertView, "SAVE");
  EXPECT_TRUE(rig.tipShown("fail: Wrong file name format! Please check compatibility of file name."));
  rig.expectNothingMore(App::kLoadPreset, loadsBefore);
  EXPECT_EQ(rig.count(App::kSaveEditBuffer), 1u);
  EXPECT_EQ(rig.unitPreset(), 8);
  EXPECT_EQ(rig.unit.sim.service->didChangeData.get(), 1);
}

TEST(PresetView, CopyPasteAndClearAreSoOnTheUnit) {
  ListRig rig;
  auto& menu = *rig.list->rightClickMenu;
  ASSERT_EQ(menu.numberOfItems(), 4u);
  rig.list->menuWillOpen(menu);
  EXPECT_FALSE(menu.itemAtIndex(1)->isEnabled());

  rig.list->rightClickCopyPreset(4);
  rig.list->rightClickCopyPreset(-1);  // no row: the copy stays
  rig.list->menuWillOpen(menu);
  EXPECT_TRUE(menu.itemAtIndex(1)->isEnabled());
  EXPECT_EQ(menu.itemAtIndex(1)->title(), "Paste [P005]");

  const auto source = rig.unit.sim.app->preset(5);
  rig.list->rightClickPastPreset(9);
  EXPECT_TRUE(rig.tipShown("success: Paste successful!"));
  EXPECT_EQ(rig.unit.sim.app->preset(10).nameText(), source.nameText());
  EXPECT_EQ(rig.unit.sim.app->preset(10).block, source.block);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.shownName(9) == source.nameText(); }, kBound));

  rig.list->rightClickCleanPreset(2);
  EXPECT_TRUE(rig.tipShown("success: Clear preset successful!"));
  EXPECT_EQ(rig.unit.unitName(3), "Empty");
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.shownName(2) == "Empty"; }, kBound));

  const size_t writes = rig.count(App::kWritePreset);
  for (long row : {-1L, 200L}) {
    rig.list->rightClickPastPreset(row);
    rig.list->rightClickCleanPreset(row);
    rig.list->rightClickRenamePreset(row);
  }
  rig.expectNothingMore(App::kWritePreset, writes);
  EXPECT_FALSE(rig.list->renamePopover->isShown());
}

TEST(PresetView, RenameThroughThePopoverReachesTheUnit) {
  ListRig rig;
  rig.list->rightClickRenamePreset(11);
  ASSERT_TRUE(rig.list->renamePopover->isShown());
  auto rowView = rig.list->rowViewSourse.at(11);
  EXPECT_EQ(rowView->isActionSelect, 1);
  auto vc = rig.list->renameVC;
  ASSERT_TRUE(vc);
  EXPECT_EQ(vc->clickRow, 11);
  vc->editTF->setStringValue("Twelve Lead_");
  vc->controlTextDidChange(*vc->editTF);
  vc->okButton->performClick();
  EXPECT_TRUE(rig.unit.waitForUnitName(12, "Twelve Lead"));
  EXPECT_FALSE(rig.list->renamePopover->isShown());
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rowView->isActionSelect == 0; }, kBound));
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.shownName(11) == "Twelve Lead"; }, kBound));

  // Return in the name field saves the same way.
  rig.list->rightClickRenamePreset(12);
  ASSERT_TRUE(rig.list->renamePopover->isShown());
  auto field = rig.list->renameVC->editTF;
  ASSERT_TRUE(field->fieldEditor()) << "editing starts with the popover";
  field->fieldEditor()->setText("By Return");
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(field->fieldEditor(), &press);
  EXPECT_TRUE(rig.unit.waitForUnitName(13, "By Return"));
  EXPECT_FALSE(rig.list->renamePopover->isShown());
}

TEST(PresetView, RowsDraggedFromTheComputerListLandInTheUnit) {
  ListRig rig;
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(rig.unit.sim.service);
  env.defaults = rig.defaults;
  std::string file;
  ASSERT_TRUE(PresetManager::ExportPreset(env, 6, [&](const std::string& name) { file = name; }));

  // The other end: a list of the computer's preset files.
  auto source = std::make_shared<ZrTableView>(ui::Rect{0, 0, 100, 100});
  source->addTableColumn(std::make_shared<ui::TableColumn>("name"));
  PresetTableViewDataSource::Parts parts;
  parts.table = source;
  parts.tableIdentifier = "localPreset";
  parts.identifiers = {"name"};
  parts.dragTypes = std::vector<std::string>{"drag"};
  parts.selectBlock = [](long, bool*) {};
  auto files = PresetTableViewDataSource::create(parts);
  files->dataDic["name"] = {file};
  source->setDataSource(files);
  source->setDelegate(files);
  source->reloadData();

  auto drop = [&](QMimeData* mime, long row) {
    auto& table = *rig.list->deviceTableView;
    const QPointF at(10, table.rectOfRow(row).midY());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(table.widget(), &enter);
    QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(table.widget(), &dropped);
    return dropped.isAccepted();
  };
  std::unique_ptr<QMimeData> fromFiles(source->dragMimeData({0}));
  ASSERT_TRUE(fromFiles);
  ASSERT_TRUE(drop(fromFiles.get(), 20));
  rig.press(rig.list->importAlert, "YES");
  EXPECT_TRUE(rig.tipShown("success: Preset import successful!"));
  rig.expectSamePreset(21, 7);

  // The unit list's own rows are refused.
  std::unique_ptr<QMimeData> own(rig.list->deviceTableView->dragMimeData({3}));
  ASSERT_TRUE(own);
  EXPECT_FALSE(drop(own.get(), 30));
}

TEST(PresetView, DroppedPresetFilesAreWrittenIntoTheUnitUpToTheLastSlot) {
  ListRig rig;
  // Two preset files in the computer folder: presets 3 and 4 of the unit.
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(rig.unit.sim.service);
  env.defaults = rig.defaults;
  std::vector<std::string> files;
  for (long slot : {2L, 3L})
    ASSERT_TRUE(PresetManager::ExportPreset(env, slot, [&](const std::string& name) { files.push_back(name); }));
  ASSERT_EQ(files.size(), 2u);

  auto dropOn = [&](long row, std::string fromTable, std::vector<std::string> names) {
    PresetDragData d;
    d.tableViewID = std::move(fromTable);
    d.presetName = std::move(names);
    ui::DraggingInfo info;
    info.pasteboard.setString("drag", d.encode());
    EXPECT_EQ(rig.list->validateDrop(*rig.list->deviceTableView, info, row, ui::TableViewDropOperation::On),
              ui::DragOperationCopy);
    return rig.list->acceptDrop(*rig.list->deviceTableView, info, row, ui::TableViewDropOperation::On);
  };

  // Rows of the unit list itself are refused.
  EXPECT_FALSE(dropOn(5, PresetView::kTableIdentifier, {files[0]}));

  // Three names on row 198: slots 198 and 199 take the first two; there is no slot for the third.
  const size_t writes = rig.count(App::kWritePreset);
  ASSERT_TRUE(dropOn(198, "localPreset", {files[0], files[1], files[0]}));
  rig.press(rig.list->importAlert, "YES");
  EXPECT_TRUE(rig.unit.waitForUnitName(199, rig.unit.unitName(3)));
  EXPECT_TRUE(rig.unit.waitForUnitName(200, rig.unit.unitName(4)));
  rig.expectNothingMore(App::kWritePreset, writes + 2);
  rig.expectSamePreset(199, 3);
  rig.expectSamePreset(200, 4);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.shownName(199) == rig.unit.unitName(4); }, kBound));
  for (const auto& t : rig.unit.sim.popUps->tips()) EXPECT_NE(t, "success: Preset import successful!");

  // A drop beside the rows, and an import answered "NO", send nothing.
  ASSERT_TRUE(dropOn(-1, "localPreset", {files[0]}));
  rig.press(rig.list->importAlert, "YES");
  ASSERT_TRUE(dropOn(20, "localPreset", {files[0]}));
  rig.press(rig.list->importAlert, "NO");
  rig.expectNothingMore(App::kWritePreset, writes + 2);

  // A whole drop inside the slots ends with the success tip.
  ASSERT_TRUE(dropOn(30, "localPreset", {files[1]}));
  rig.press(rig.list->importAlert, "YES");
  EXPECT_TRUE(rig.tipShown("success: Preset import successful!"));
  rig.expectSamePreset(31, 4);
}
