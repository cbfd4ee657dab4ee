// The computer preset library: what it lists from the preset folder, what
// its buttons and menu do to the folder, and the exchange with the unit
// preset list (exports of unit presets dropped on it, files dragged from it
// into the unit).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <fstream>
#include <thread>

#include "controls/GGPopView.h"
#include "device/TempFolder.h"
#include "platform/foundation/Files.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/Window.h"
#include "platform/ui/Workspace.h"
#include "screens/PresetRig.h"
#include "screens/ShellRig.h"
#include "screens/presets/LocalPresetView.h"
#include "screens/presets/PresetView.h"
#include "ui/ViewTestSupport.h"

using namespace preset_test;
namespace fs = std::filesystem;

namespace {

const ui::Color kAccent = ui::Color::rgb255(138, 214, 255);

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string readFile(const fs::path& path) { return fnd::files::readText(path).value_or("<unreadable>"); }

// Files made one after the other get creation times in that order.
void nextCreation() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

std::vector<std::string> entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Acts on the next context menu once it shows, or gives up after a bound;
// `poll` must outlive the menu.
void whenMenuShows(QTimer& poll, std::function<void(QMenu&)> act) {
  auto tries = std::make_shared<int>(0);
  QObject::connect(&poll, &QTimer::timeout, [&poll, act, tries] {
    if (auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      poll.stop();
      act(*m);
    } else if (++*tries > 200) {
      poll.stop();
      ADD_FAILURE() << "no menu showed";
    }
  });
  poll.start(10);
}

// Mouse events of one test come after those of the tests before it, so that
// no press is taken for the second click of one before.
unsigned long nextPointerEpoch() {
  static unsigned long epoch = 0;
  return epoch += 10'000'000;
}

// Sends a drag of `mime` onto `row` of `table` as the windowing system would.
bool dropOnRow(ui::TableView& table, const QMimeData* mime, long row) {
  const QPointF at(10, table.numberOfRows() > row && row >= 0 ? table.rectOfRow(row).midY()
                                                              : table.frame().size.height - 2);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(table.widget(), &enter);
  QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(table.widget(), &dropped);
  return dropped.isAccepted();
}

// The unit read into a service, the preset folder, and the library (with the
// unit list beside it when asked) in a window; open panels and reveals are
// answered by the rig.
struct LibraryRig {
  TempFolder folder;
  fs::path presets = folder / "presets";
  std::shared_ptr<fnd::UserDefaults> defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
  LoadedUnit unit;
  GGEffectFunManagerPtr manager;
  std::shared_ptr<ui::Window> window = ui::Window::create(ui::Rect(0, 0, 520, 300));
  std::shared_ptr<LocalPresetView> library;
  std::shared_ptr<PresetView> unitList;
  ui::testing::Pointer pointer{*window};

  std::optional<std::vector<fs::path>> chosen;
  std::vector<ui::OpenPanelRequest> panels;
  std::vector<fs::path> revealed;
  ui::ScopedPlatformHandlers handlers{ui::PlatformHandlers{
      nullptr,
      [this](const ui::OpenPanelRequest& r) {
        panels.push_back(r);
        return chosen;
      },
      nullptr, nullptr,
      [this](const fs::path& p) {
        revealed.push_back(p);
        return true;
      }}};

  // `files` are made in the folder first, oldest first.
  explicit LibraryRig(const std::vector<std::string>& files = {}, bool withUnitList = false) {
    fs::create_directories(presets);
    for (const auto& f : files) {
      writeFile(presets / f, "{}");
      nextCreation();
    }
    defaults->setObjectForKey(GGEffectFunManager::kComputerPresetPathKey, fnd::Value(presets.string()));
    GGEffectFunManager::Parts mp;
    mp.service = unit.sim.service;
    mp.defaults = defaults;
    mp.diaryFile = folder / "diary";
    manager = GGEffectFunManager::create(mp);
    library = LocalPresetView::create({unit.sim.service, manager, unit.sim.popUps});
    library->setFrame({260, 0, 260, 300});
    window->makeKeyAndOrderFront();
    pointer.wait(nextPointerEpoch());
    window->contentView()->addSubview(library);
    if (withUnitList) {
      PresetView::Parts parts;
      parts.service = unit.sim.service;
      parts.manager = manager;
      parts.popUps = unit.sim.popUps;
      parts.nameLoadDelay = std::chrono::milliseconds(0);
      unitList = PresetView::create(parts);
      // A loaded machine may be slow to confirm.
      auto timing = unit.sim.service->timing();
      timing.presetWriteExpiry = kBound;
      unit.sim.service->setTiming(timing);
      unitList->setFrame({0, 0, 260, 300});
      window->contentView()->addSubview(unitList);
      EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return unitList->deviceTableView->numberOfRows() == 200; }, kBound));
    }
    flushMain();
  }
  ~LibraryRig() {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  ui::TableView& table() const { return *library->computerTableView; }
  std::vector<std::string> rows() const { return library->presetVM->presetNameArr; }
  std::string shownName(long row) {
    flushMain();
    auto c = std::dynamic_pointer_cast<ZrTableViewCell>(table().viewAtColumn(0, row));
    return c ? c->titleLabel()->stringValue() : "<none>";
  }
  ui::Color titleColour(long row) {
    auto c = std::dynamic_pointer_cast<ZrTableViewCell>(table().viewAtColumn(0, row));
    return c ? c->titleLabel()->textColor() : ui::Color::clearColor();
  }
  std::vector<std::string> tips() const { return unit.sim.popUps->tips(); }
  std::vector<std::string> tipsSince(size_t mark) const {
    const auto t = tips();
    return {t.begin() + static_cast<long>(std::min(mark, t.size())), t.end()};
  }
  bool tipShown(const std::string& tip) const {
    const auto t = tips();
    return std::find(t.begin(), t.end(), tip) != t.end();
  }
  // Opens the list's context menu with the mouse at `y` (the table's
  // coordinates) and chooses `item`.
  void menuAt(double y, const std::string& item) {
    QTimer poll;
    bool shown = false;
    whenMenuShows(poll, [item, &shown](QMenu& m) {
      shown = true;
      for (QAction* a : m.actions())
        if (a->text() == QString::fromStdString(item)) {
          m.setActiveAction(a);
          QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
          QCoreApplication::sendEvent(&m, &ret);
          return;
        }
      ADD_FAILURE() << "no item " << item;
      m.close();
    });
    pointer.wait(1000);
    const ui::Point at = table().convertPointToView({20, y}, nullptr);
    pointer.press(at, Qt::RightButton);
    pointer.release(at, Qt::RightButton);
    EXPECT_TRUE(shown) << "no menu for " << item;
    flushMain();
  }
};

}  // namespace

TEST(ComputerPresetViewModel, ListsOnlyPresetFilesNewestFirst) {
  using VM = ComputerPresetViewModel;
  EXPECT_EQ(VM::presetNameOf("Lead.pqv"), "Lead");
  EXPECT_EQ(VM::presetNameOf("a.b.pqv"), "a.b");
  for (const char* other : {"notes.xpqv", ".pqv", "pqv", "y.PQV", "x.txt", "a.pqv.bak", ""})
    EXPECT_EQ(VM::presetNameOf(other), std::nullopt) << other;

  TempFolder folder;
  EXPECT_TRUE(VM::listPresetNames(folder / "missing").empty());
  writeFile(folder / "a.pqv", "{}");
  nextCreation();
  writeFile(folder / "b.pqv", "{}");
  for (const char* other : {"x.txt", "y.PQV", "notes.xpqv", ".pqv"}) writeFile(folder / other, "{}");
  fs::create_directories(folder / "d.pqv");
  fs::create_symlink(folder / "gone", folder / "z.pqv");
  fs::create_symlink(folder / "a.pqv", folder / "link.pqv");
  nextCreation();
  // A name newer than the folder's files, for the link's own date is that of
  // the file it points at.
  writeFile(folder / "c.pqv", "{}");
  EXPECT_EQ(VM::listPresetNames(folder.path()), (std::vector<std::string>{"c", "b", "a", "link"}));
}

TEST(ComputerPresetViewModel, CopiesNeverReplaceAFileAndLeaveNothingHalfWritten) {
  TempFolder folder;
  fs::create_directories(folder / "presets");
  fs::create_directories(folder / "elsewhere");
  auto vm = ComputerPresetViewModel::create({[&] { return folder / "presets"; }, nullptr});
  const fs::path source = folder / "elsewhere" / "Clean.PQV";
  writeFile(source, "first");
  ASSERT_TRUE(vm->addPreset(source));
  EXPECT_EQ(readFile(folder / "presets" / "Clean.pqv"), "first");
  writeFile(source, "second");
  EXPECT_FALSE(vm->addPreset(source));
  EXPECT_EQ(readFile(folder / "presets" / "Clean.pqv"), "first");

  // What cannot be a preset file is refused without waiting on it.
  const fs::path fifo = folder / "elsewhere" / "pipe.pqv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(vm->addPreset(fifo));
  EXPECT_FALSE(vm->addPreset(folder / "elsewhere" / "none.pqv"));
  EXPECT_FALSE(vm->addPreset(folder / "elsewhere"));
  writeFile(folder / "elsewhere" / "Huge.pqv", std::string(PresetManager::kMaxFileSize + 1, ' '));
  EXPECT_FALSE(vm->addPreset(folder / "elsewhere" / "Huge.pqv"));
  EXPECT_EQ(entries(folder / "presets"), std::vector<std::string>{"Clean.pqv"});

  // The folder is made when missing.
  auto made = ComputerPresetViewModel::create({[&] { return folder / "new" / "presets"; }, nullptr});
  EXPECT_TRUE(fs::is_directory(folder / "new" / "presets"));
}

TEST(LocalPresetView, ListsTheFolderNewestFirstWithTheFirstRowSelected) {
  LibraryRig rig({"Old.pqv", "Mid.pqv", "notes.xpqv", "New.pqv"});
  EXPECT_EQ(rig.rows(), (std::vector<std::string>{"New", "Mid", "Old"}));
  ASSERT_EQ(rig.table().numberOfRows(), 3);
  EXPECT_EQ(rig.shownName(0), "New");
  EXPECT_EQ(rig.shownName(2), "Old");
  EXPECT_EQ(rig.table().selectedRow(), 0);
  EXPECT_EQ(rig.titleColour(0), kAccent);
  EXPECT_EQ(rig.titleColour(1), ui::Color::whiteColor());

  // A click moves the selection and the accent; a click below the rows
  // leaves both.
  auto& p = rig.pointer;
  auto at = [&](double y) { return rig.table().convertPointToView({20, y}, nullptr); };
  p.click(at(rig.table().rectOfRow(2).midY()));
  EXPECT_EQ(rig.table().selectedRow(), 2);
  EXPECT_EQ(rig.titleColour(2), kAccent);
  EXPECT_EQ(rig.titleColour(0), ui::Color::whiteColor());
  p.wait(1000);
  p.click(at(rig.table().rectOfRow(2).maxY() + 30));
  EXPECT_EQ(rig.table().selectedRow(), 2);

  // Files that come later show after a refresh, first.
  writeFile(rig.presets / "Newer.pqv", "{}");
  EXPECT_EQ(rig.table().numberOfRows(), 3);
  rig.library->freshButton->performClick();
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.table().numberOfRows() == 4; }, kBound));
  EXPECT_EQ(rig.shownName(0), "Newer");
  EXPECT_EQ(rig.table().selectedRow(), 0);

  // An emptied folder lists nothing and selects nothing.
  for (const char* f : {"Old.pqv", "Mid.pqv", "New.pqv", "Newer.pqv"}) fs::remove(rig.presets / f);
  rig.menuAt(5, "Refresh");
  EXPECT_EQ(rig.table().numberOfRows(), 0);
  EXPECT_EQ(rig.table().selectedRow(), -1);
}

// Many files at once: each is looked at, none lost or twice; the order is that of their own birth times, ties by name; and the
// list has row views and cells only for the rows in view.
TEST(LocalPresetView, AFolderOfManyFilesIsListedWholeWithViewsOnlyForTheRowsInView) {
  LibraryRig rig;
  const int kFiles = 1500;
  std::vector<std::pair<int64_t, std::string>> born;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "P" + std::to_string(i * 7919 % kFiles);
    writeFile(rig.presets / (name + ".pqv"), "{}");
    struct statx st {};
    ASSERT_EQ(::statx(AT_FDCWD, (rig.presets / (name + ".pqv")).c_str(), 0, STATX_BTIME | STATX_MTIME, &st), 0);
    const statx_timestamp& t = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
    born.emplace_back(int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec, name);
  }
  std::sort(born.begin(), born.end(),
            [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
  std::vector<std::string> expected;
  for (auto& b : born) expected.push_back(b.second);

  rig.library->reloadPresetData();
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.table().numberOfRows() == kFiles; }, kBound));
  EXPECT_EQ(rig.rows(), expected);
  EXPECT_EQ(rig.table().selectedRow(), 0);
  const auto inView = [&] { return long(rig.table().visibleRect().height() / LocalPresetView::kRowHeight) + 1; };
  const size_t most = size_t(inView() + 2 * ui::TableView::kSpareRows);
  EXPECT_LE(rig.table().subviews().size(), most);
  EXPECT_EQ(rig.shownName(1), expected[1]);

  // At the end: the last names in the views there, the first row still
  // selected and drawn so once it is back in view.
  rig.table().scrollRowToVisible(kFiles - 1);
  EXPECT_LE(rig.table().subviews().size(), most);
  EXPECT_EQ(rig.table().rowViewAtRow(0, false), nullptr);
  for (long row : {long(kFiles) - 1, long(kFiles) - 4}) EXPECT_EQ(rig.shownName(row), expected[size_t(row)]);
  EXPECT_EQ(rig.titleColour(kFiles - 1), ui::Color::whiteColor());
  rig.window->layoutIfNeeded();
  const auto png = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "library-scrolled-to-the-end.png";
  EXPECT_TRUE(rig.window->widget()->grab().toImage().save(QString::fromStdString(png.string())));
  rig.table().scrollRowToVisible(0);
  EXPECT_EQ(rig.shownName(0), expected[0]);
  EXPECT_EQ(rig.titleColour(0), kAccent);
  EXPECT_EQ(rig.table().selectedRow(), 0);
}

TEST(LocalPresetView, TheFolderButtonAndShowInFinderRevealTheRightPath) {
  LibraryRig rig({"A.pqv", "B.pqv"});
  rig.library->folderButton->performClick();
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.revealed.size() == 1; }, kBound));
  EXPECT_EQ(rig.revealed.back(), rig.presets);

  // On a row: that row's file; below the rows: the selected row's file.
  rig.menuAt(rig.table().rectOfRow(1).midY(), "Show in Finder");
  ASSERT_EQ(rig.revealed.size(), 2u);
  EXPECT_EQ(rig.revealed.back(), rig.presets / "A.pqv");
  rig.menuAt(rig.table().rectOfRow(1).maxY() + 30, "Show in Finder");
  ASSERT_EQ(rig.revealed.size(), 3u);
  EXPECT_EQ(rig.revealed.back(), rig.presets / "B.pqv");

  // No row at all: the folder.
  for (const char* f : {"A.pqv", "B.pqv"}) fs::remove(rig.presets / f);
  rig.library->reloadPresetData();
  flushMain();
  rig.menuAt(5, "Show in Finder");
  ASSERT_EQ(rig.revealed.size(), 4u);
  EXPECT_EQ(rig.revealed.back(), rig.presets);
}

// A desktop without a file manager: the folder button and "Show in Finder"
// tell the user where the folder is instead of doing nothing visible.
TEST(LocalPresetView, WithoutAFileManagerAnAlertSaysWhereTheFolderIs) {
  LibraryRig rig({"A.pqv"});
  std::vector<ui::AlertRequest> alerts;
  ui::ScopedPlatformHandlers noFileManager{ui::PlatformHandlers{
      [&alerts](const ui::AlertRequest& r) {
        alerts.push_back(r);
        return ui::AlertFirstButtonReturn;
      },
      nullptr, nullptr, nullptr, [](const fs::path&) { return false; }}};
  rig.library->folderButton->performClick();
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return alerts.size() == 1; }, kBound));
  EXPECT_EQ(alerts[0].messageText, ui::Workspace::kNoFileManagerText);
  EXPECT_EQ(alerts[0].informativeText, "The folder is:\n" + rig.presets.string());
  EXPECT_EQ(alerts[0].buttons, std::vector<std::string>{"OK"});

  rig.menuAt(rig.table().rectOfRow(0).midY(), "Show in Finder");
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].informativeText, "The folder is:\n" + rig.presets.string() + "\n\nThe file in it: A.pqv");
}

TEST(LocalPresetView, AddCopiesTheChosenFilesUntilOneFails) {
  LibraryRig rig({"Taken.pqv"});
  const fs::path elsewhere = rig.folder / "elsewhere";
  fs::create_directories(elsewhere);
  for (const char* f : {"One.pqv", "Two.pqv", "Taken.pqv", "Three.pqv"}) writeFile(elsewhere / f, f);

  // Cancelled: nothing.
  size_t mark = rig.tips().size();
  rig.menuAt(5, "Add");
  ASSERT_EQ(rig.panels.size(), 1u);
  EXPECT_TRUE(rig.panels[0].allowsMultipleSelection);
  EXPECT_FALSE(rig.panels[0].canChooseDirectories);
  EXPECT_EQ(rig.panels[0].allowedFileTypes, std::vector<std::string>{"pqv"});
  EXPECT_TRUE(rig.tipsSince(mark).empty());

  rig.chosen = std::vector<fs::path>{elsewhere / "One.pqv", elsewhere / "Two.pqv"};
  rig.menuAt(5, "Add");
  EXPECT_TRUE(rig.tipShown("success: Add preset successful!"));
  EXPECT_EQ(readFile(rig.presets / "Two.pqv"), "Two.pqv");
  flushMain();
  EXPECT_EQ(rig.table().numberOfRows(), 3);

  // A name already in the folder stops the add there: files before it stay,
  // files after it are not copied, the taken file is kept, the list is read
  // again.
  mark = rig.tips().size();
  writeFile(rig.presets / "Outside.pqv", "{}");
  rig.chosen = std::vector<fs::path>{elsewhere / "Three.pqv", elsewhere / "Taken.pqv", elsewhere / "One.pqv"};
  fs::remove(rig.presets / "One.pqv");
  rig.library->rightClickAddPreset();
  flushMain();
  EXPECT_EQ(rig.tipsSince(mark), std::vector<std::string>{"fail: Taken.pqv add failed!"});
  EXPECT_EQ(readFile(rig.presets / "Taken.pqv"), "{}");
  EXPECT_TRUE(fs::exists(rig.presets / "Three.pqv"));
  EXPECT_FALSE(fs::exists(rig.presets / "One.pqv"));
  EXPECT_EQ(rig.table().numberOfRows(), 4);  // Taken, Two, Outside, Three

  // Files chosen in the folder itself: the message, nothing copied, no
  // new listing.
  mark = rig.tips().size();
  writeFile(rig.presets / "Unseen.pqv", "{}");
  rig.chosen = std::vector<fs::path>{rig.presets / "Two.pqv", elsewhere / "One.pqv"};
  rig.library->rightClickAddPreset();
  flushMain();
  EXPECT_EQ(rig.tipsSince(mark), std::vector<std::string>{"fail: 'Two' already exists."});
  EXPECT_FALSE(fs::exists(rig.presets / "One.pqv"));
  EXPECT_EQ(rig.table().numberOfRows(), 4);
}

TEST(LocalPresetView, DeleteRemovesTheFileOfTheRowUnderTheMenu) {
  LibraryRig rig({"A.pqv", "B.pqv", "C.pqv"});
  rig.menuAt(rig.table().rectOfRow(1).midY(), "Delete");
  EXPECT_FALSE(fs::exists(rig.presets / "B.pqv"));
  EXPECT_EQ(rig.rows(), (std::vector<std::string>{"C", "A"}));
  EXPECT_EQ(rig.table().numberOfRows(), 2);
  EXPECT_EQ(rig.table().selectedRow(), 0);
  EXPECT_EQ(rig.shownName(1), "A");

  // Opened below the last row: nothing, though a row is selected.
  rig.menuAt(rig.table().rectOfRow(1).maxY() + 30, "Delete");
  EXPECT_EQ(entries(rig.presets), (std::vector<std::string>{"A.pqv", "C.pqv"}));
  EXPECT_EQ(rig.table().numberOfRows(), 2);

  // A file that cannot be removed: the message, the list as it was.
  fs::remove(rig.presets / "A.pqv");
  rig.menuAt(rig.table().rectOfRow(1).midY(), "Delete");
  EXPECT_TRUE(rig.tipShown("fail: Delete preset failed."));
  EXPECT_EQ(rig.rows(), (std::vector<std::string>{"C", "A"}));
}

TEST(LocalPresetView, UnitPresetsDroppedOnTheListAreExportedSelectedAndShown) {
  // More files than the list shows, scrolled to the end.
  std::vector<std::string> files;
  for (int i = 0; i < 30; ++i) files.push_back("F" + std::to_string(i) + ".pqv");
  LibraryRig rig(files, true);
  rig.table().scrollRowToVisible(29);
  ASSERT_GT(rig.library->computerScrollView->documentVisibleRect().minY(), 0);

  // Presets 3 and 5 dragged from the unit list: preset 3 goes out.
  std::unique_ptr<QMimeData> unitRows(rig.unitList->deviceTableView->dragMimeData({2, 4}));
  ASSERT_TRUE(unitRows);
  const size_t before = entries(rig.presets).size();
  ASSERT_TRUE(dropOnRow(rig.table(), unitRows.get(), 5));
  flushMain();
  const std::string name = rig.unit.unitName(3);
  ASSERT_EQ(entries(rig.presets).size(), before + 1);
  ASSERT_TRUE(fs::exists(rig.presets / (name + ".pqv"))) << name;
  const auto rows = rig.rows();
  const long row = std::find(rows.begin(), rows.end(), name) - rows.begin();
  ASSERT_LT(row, static_cast<long>(rows.size()));
  EXPECT_EQ(rig.table().selectedRow(), row);
  EXPECT_EQ(rig.titleColour(row), kAccent);
  EXPECT_TRUE(rig.library->computerScrollView->documentVisibleRect().contains(rig.table().rectOfRow(row)));
  EXPECT_EQ(rig.unit.sim.received(sim::UnitApplication::kWritePreset).size(), 0u);

  // The list's own rows, and drags without preset rows, are refused.
  std::unique_ptr<QMimeData> own(rig.table().dragMimeData({3}));
  ASSERT_TRUE(own);
  EXPECT_FALSE(dropOnRow(rig.table(), own.get(), 0));
  QMimeData text;
  text.setText("Lead.pqv");
  EXPECT_FALSE(dropOnRow(rig.table(), &text, 0));
  ui::DraggingInfo noRows;
  noRows.pasteboard.setString("drag", PresetDragData{{}, PresetView::kTableIdentifier, {}}.encode());
  EXPECT_FALSE(rig.library->acceptDrop(rig.table(), noRows, 0, ui::TableViewDropOperation::On));
  flushMain();
  EXPECT_EQ(entries(rig.presets).size(), before + 1);
}

TEST(LocalPresetView, FileRowsDraggedIntoTheUnitListLandOnTheUnit) {
  LibraryRig rig({}, true);
  // A unit preset exported by a drop, then dragged back into another slot.
  std::unique_ptr<QMimeData> unitRow(rig.unitList->deviceTableView->dragMimeData({6}));
  ASSERT_TRUE(dropOnRow(rig.table(), unitRow.get(), 0));
  flushMain();
  ASSERT_EQ(rig.table().numberOfRows(), 1);
  std::unique_ptr<QMimeData> fileRow(rig.table().dragMimeData({0}));
  ASSERT_TRUE(fileRow);
  ASSERT_TRUE(dropOnRow(*rig.unitList->deviceTableView, fileRow.get(), 20));
  ASSERT_TRUE(rig.unitList->importAlert);
  for (auto& b : rig.unitList->importAlert->buttons())
    if (b->defaultTitle() == "YES") rig.unitList->importAlert->btnAction(*b);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.tipShown("success: Preset import successful!"); }, kBound));
  const auto got = rig.unit.sim.app->preset(21), want = rig.unit.sim.app->preset(7);
  EXPECT_EQ(got.nameText(), want.nameText());
  for (int m = 0; m < 9; ++m) EXPECT_EQ(got.moduleWords(m), want.moduleWords(m)) << "module " << m;
}

// Names are bytes. File names of the library and names in the unit's cache
// (a restore writes them as the backup holds them) that are not UTF-8 cross
// between the lists byte for byte, and writing them down never fails: the
// file's name is refused by the import, the unit's name exported as Latin-1.
TEST(LocalPresetView, NamesThatAreNotUtf8CrossBothWaysByteForByte) {
  const std::vector<std::string> names = {"bad\xff\xfename", "Pr\xE9set", "cut\xE2\x82", "sur\xED\xA0\x80",
                                          "over\xC0\xAF"};
  std::vector<std::string> files;
  for (const auto& n : names) files.push_back(n + ".pqv");
  LibraryRig rig(files, true);
  const size_t writes = rig.unit.sim.received(sim::UnitApplication::kWritePreset).size();
  long slot = 10;
  for (const std::string& name : names) {
    SCOPED_TRACE(::testing::PrintToString(name));
    // From the library onto the unit list.
    const auto rows = rig.rows();
    const long row = std::find(rows.begin(), rows.end(), name) - rows.begin();
    ASSERT_LT(row, static_cast<long>(rows.size()));
    ui::DraggingInfo fromLibrary;
    ASSERT_TRUE(rig.library->writeRowsWithIndexes(rig.table(), {row}, fromLibrary.pasteboard));
    const auto drop = readPresetDrop(fromLibrary, PresetView::kTableIdentifier, 20);
    ASSERT_TRUE(drop);
    EXPECT_EQ(drop->presetName, std::vector<std::string>{name});
    std::unique_ptr<QMimeData> fileRow(rig.table().dragMimeData({row}));
    ASSERT_TRUE(fileRow);
    const size_t mark = rig.tips().size();
    ASSERT_TRUE(dropOnRow(*rig.unitList->deviceTableView, fileRow.get(), 20));
    for (auto& b : rig.unitList->importAlert->buttons())
      if (b->defaultTitle() == "YES") rig.unitList->importAlert->btnAction(*b);
    EXPECT_EQ(rig.tipsSince(mark), std::vector<std::string>{"warning: " + std::string(PresetManager::kWrongFileName)});

    // From the unit list onto the library.
    ++slot;
    rig.unit.sim.service->cachedPreset(static_cast<int>(slot) + 1)->setPresetName(name);
    rig.unitList->presetVM->loadData();
    ASSERT_TRUE(dispatch::runMainLoopUntil(
        [&] { return rig.unitList->presetVM->presetNameArr.at(static_cast<size_t>(slot)) == name; }, kBound));
    ui::DraggingInfo fromUnit;
    ASSERT_TRUE(rig.unitList->writeRowsWithIndexes(*rig.unitList->deviceTableView, {slot}, fromUnit.pasteboard));
    const auto back = readPresetDrop(fromUnit, LocalPresetView::kTableIdentifier, 0);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->presetName, std::vector<std::string>{name});
    std::unique_ptr<QMimeData> unitRow(rig.unitList->deviceTableView->dragMimeData({slot}));
    ASSERT_TRUE(unitRow);
    ASSERT_TRUE(dropOnRow(rig.table(), unitRow.get(), 0));
    flushMain();
    const std::string exported = PresetFile::safeFileName(name);
    ASSERT_TRUE(fs::is_regular_file(rig.presets / (exported + ".pqv"))) << exported;
    const auto file = nlohmann::json::parse(readFile(rig.presets / (exported + ".pqv")), nullptr, false);
    ASSERT_TRUE(file.is_object());
    EXPECT_EQ(file["fileInfo"]["preset_name"], exported);
  }
  EXPECT_EQ(rig.unit.sim.received(sim::UnitApplication::kWritePreset).size(), writes);
}

TEST(LocalPresetViewInTheMainWindow, TheShellShowsTheLibraryUnderTheUnitList) {
  svc_test::ShellRig rig;
  const fs::path presets = rig.folder / "presets";
  fs::create_directories(presets);
  for (const char* f : {"Clean Jazz.pqv", "Crunch Rhythm.pqv", "Lead Solo.pqv", "Ambient Swell.pqv"}) {
    writeFile(presets / f, "{}");
    nextCreation();
  }
  ASSERT_TRUE(rig.launchMainWindow());
  auto library = std::dynamic_pointer_cast<LocalPresetView>(rig.vc().localPresetView);
  ASSERT_TRUE(library);
  EXPECT_EQ(library->computerTableView->numberOfRows(), 4);
  EXPECT_EQ(library->presetVM->presetNameArr.front(), "Ambient Swell");
  EXPECT_EQ(library->frame().size.width, rig.vc().presetView->frame().size.width);
  EXPECT_GT(library->computerScrollView->frame().size.height, 4 * LocalPresetView::kRowHeight);
  const QImage image = rig.window().widget()->grab().toImage();
  EXPECT_FALSE(image.isNull());
  image.save(QString::fromStdString((fs::path(QV450_RESOURCES_DIR).parent_path() / "computer-library.png").string()));
  rig.window().close();
}

// With a windowing system only (see tests/CMakeLists.txt): a unit preset
// dragged with the mouse from the unit list onto the library.
TEST(LocalPresetView, DISABLED_AUnitPresetDraggedWithTheMouseIsExported) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen");
  LibraryRig rig({}, true);
  QCoreApplication::processEvents();
  // The unit list selects only the unit's current preset, and a drag takes
  // the selected row.
  auto& source = *rig.unitList->deviceTableView;
  const int current = rig.unit.sim.app->editBuffer().preset;
  source.scrollRowToVisible(current - 1);
  ASSERT_EQ(source.selectedRow(), current - 1);
  const ui::Point from = source.convertPointToView({30, source.rectOfRow(current - 1).midY()}, nullptr);
  const ui::Point to = rig.table().convertPointToView({30, 40}, nullptr);
  QWindow* handle = rig.window->widget()->windowHandle();
  auto send = [&](QEvent::Type type, ui::Point at, Qt::MouseButtons buttons) {
    const QPointF local(at.x, rig.window->widget()->height() - at.y);
    QMouseEvent e(type, local, local, handle->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &e);
  };
  bool fed = false;
  QTimer::singleShot(20, [&] {
    fed = true;
    send(QEvent::MouseMove, {to.x, to.y + 4}, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  });
  auto& p = rig.pointer;
  p.press(from);
  p.move({from.x + 10, from.y});  // past the threshold: the drag loop runs until the release
  ASSERT_TRUE(fed) << "no drag loop ran";
  flushMain();
  EXPECT_TRUE(fs::exists(rig.presets / (rig.unit.unitName(current) + ".pqv")));
  EXPECT_EQ(rig.rows(), std::vector<std::string>{rig.unit.unitName(current)});
  p.release(to);
}
