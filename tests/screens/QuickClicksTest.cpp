// The real mouse on the whole program, running on the simulated unit: every
// quick click on its own controls that follows the one before within the
// double-click interval sends its command, as the first does; every pop-up
// (context menus, the rename popover, the drop-down list, tips) takes clicks
// and right clicks outside it that come at once, and menus, the rename
// popover, alerts and panels another program's taking the focus; the wheel
// scrolls the preset lists and the knob grid by rows, a notch at most a page;
// a click after an alert closed by a key, the pointer not moved, acts. Real X
// events (Qt makes the second press of each pair a double click, popups grab
// the pointer): the test_screens_real_events entry runs it under xvfb-run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QStyleHints>
#include <QTimer>

#include <functional>

#include "controls/DropCombox.h"
#include "platform/ui/PlatformHandlers.h"
#include "screens/MainWindowDriver.h"
#include "screens/models/EffectViewModel.h"
#include "screens/presets/LocalPresetView.h"
#include "support/XKeyboard.h"
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

  // With `libraryFiles` preset files in the computer's library.
  explicit Program(int libraryFiles = 0) {
    const std::filesystem::path library = rig.folder / "presets";
    std::filesystem::create_directories(library);
    for (int i = 1; i <= libraryFiles; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "F%03d.pqv", i);
      std::filesystem::copy_file(std::filesystem::path(QV450_RESOURCES_DIR) / "Empty.pqv", library / name);
    }
    HIDServiceViewMode::Parts parts;
    parts.zrHID = rig.sim.hid;
    parts.loadCatalogue = loadTestCatalogue;
    rig.sim.service = HIDServiceViewMode::create(parts);
    w = std::make_unique<MainWindowDriver>(rig);
    started = rig.launchMainWindow();
    if (started) pointer = std::make_unique<RealPointer>(w->window());
  }

  App& unit() const { return *rig.sim.app; }
  LocalPresetView& library() const { return dynamic_cast<LocalPresetView&>(*rig.vc().localPresetView); }
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

// ---- pop-ups and clicks outside them

// Runs its steps from whatever event loop turns, a menu's own too: each
// step's action once its condition holds (none: at once), looked at every
// 2 ms.
class Script {
public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start(2);
  }
  bool done() const { return next_ == steps_.size(); }

private:
  void tick() {
    while (next_ < steps_.size() && (!steps_[next_].ready || steps_[next_].ready())) steps_[next_++].act();
    if (done()) timer_.stop();
  }
  std::vector<Step> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

// Alerts and panels are met with the focus going elsewhere only: a click
// outside a modal dialog goes nowhere.
enum class PopUp { UnitListMenu, LibraryMenu, RenamePopover, DropDownList, Tip, Alert, OpenPanel, SavePanel };

// What another program does while the pop-up is open: nothing; it holds the
// keyboard (a window manager does, for a shortcut), so that the pop-up gets
// no grab and the clicks outside it come to the main window while it is
// open; or it takes the input focus (a click in it, Alt+Tab) instead of
// those clicks.
enum class Elsewhere { Nothing, Keyboard, Focus };

struct PopUpCase {
  PopUp popUp;
  Elsewhere elsewhere;
  const char* name;
};
void PrintTo(const PopUpCase& c, std::ostream* os) { *os << c.name; }

const PopUpCase kPopUps[] = {
    {PopUp::UnitListMenu, Elsewhere::Nothing, "UnitListMenu"},
    {PopUp::UnitListMenu, Elsewhere::Keyboard, "UnitListMenuWithoutGrab"},
    {PopUp::UnitListMenu, Elsewhere::Focus, "UnitListMenuFocusElsewhere"},
    {PopUp::LibraryMenu, Elsewhere::Nothing, "LibraryMenu"},
    {PopUp::LibraryMenu, Elsewhere::Keyboard, "LibraryMenuWithoutGrab"},
    {PopUp::RenamePopover, Elsewhere::Nothing, "RenamePopover"},
    {PopUp::RenamePopover, Elsewhere::Keyboard, "RenamePopoverWithoutGrab"},
    {PopUp::RenamePopover, Elsewhere::Focus, "RenamePopoverFocusElsewhere"},
    {PopUp::DropDownList, Elsewhere::Nothing, "DropDownList"},
    {PopUp::DropDownList, Elsewhere::Keyboard, "DropDownListWithoutGrab"},
    {PopUp::Tip, Elsewhere::Nothing, "Tip"},
    {PopUp::Alert, Elsewhere::Focus, "AlertFocusElsewhere"},
    {PopUp::OpenPanel, Elsewhere::Focus, "OpenPanelFocusElsewhere"},
    {PopUp::SavePanel, Elsewhere::Focus, "SavePanelFocusElsewhere"},
};

QMenu* openMenu() {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  return menu && menu->isVisible() ? menu : nullptr;
}

class PopUps : public testing::TestWithParam<PopUpCase> {};

// The pop-up opens as a user opens it, and a click and a right click
// outside it follow at once, in either order, as fast as a hand goes: the
// pop-up closes (the click that closes it goes no further) and nothing is
// handed to a window or widget that closed under it. Without a grab, Qt
// hands the click that closes a popover to the popover from inside the main
// window's own delivery. Another program taking the focus instead closes
// what Qt closes then; an alert or a panel stays up, and is dismissed.
TEST_P(PopUps, DISABLED_ClicksOutsideAPopUpAsItOpensWithRealEvents) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  constexpr int kRounds = 12;
  constexpr int kRow = 3;
  Program p{kRow + 1};
  ASSERT_TRUE(p.started);
  ASSERT_EQ(p.pointer->problem(), "");
  ASSERT_TRUE(p.pointer->waitUntilShown());
  ASSERT_TRUE(p.w->waitForTipsGone());
  ASSERT_TRUE(waitUntil([&] { return p.library().computerTableView->numberOfRows() == kRow + 1; }));
  ui::Window& window = p.w->window();
  PresetView& list = p.w->list();
  const Elsewhere elsewhere = GetParam().elsewhere;
  xtest::XKeyboard otherProgram;
  ASSERT_TRUE(elsewhere != Elsewhere::Keyboard || otherProgram.seize(true));

  // Outside every pop-up: a right click on the module bar, a click on the
  // unit list's title; neither has anything to open.
  using Click = ui::testing::RealPointer::Click;
  const Click right{p.pointer->global(MainWindowDriver::centreOf(*p.w->bar().btns().at(0))), xtest::XPointer::Right};
  const Click left{p.pointer->global(MainWindowDriver::centreOf(*list.presetTitleView)), xtest::XPointer::Left};
  const auto rowOf = [&](ui::TableView& table) {
    table.scrollRowToVisible(kRow);
    window.layoutIfNeeded();
    const ui::Rect r = table.rectOfRow(kRow);
    return p.pointer->global(table.convertPointToView({r.midX(), r.midY()}, nullptr));
  };
  // The drop-down box, over the module editor: its list opens downwards.
  std::shared_ptr<DropCombox> box;
  if (GetParam().popUp == PopUp::DropDownList) {
    const ui::Rect editor = p.w->editor().convertRectToView(p.w->editor().bounds(), nullptr);
    box = ui::View::create<DropCombox>(ui::Rect(editor.midX(), editor.midY(), 140, 24));
    box->setItemArray({"one", "two", "three", "four"});
    p.w->content()->addSubview(box);
    window.layoutIfNeeded();
  }
  const auto popoverShown = [&] { return list.renamePopover->isShown(); };
  const auto allClosed = [&] { return !QApplication::activePopupWidget() && !popoverShown(); };

  const int rounds = elsewhere == Elsewhere::Focus ? 3 : kRounds;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    const std::vector<Click> outside = round % 2 ? std::vector<Click>{left, right} : std::vector<Click>{right, left};
    const unsigned gap = round % 3 == 0 ? 0 : 30;
    const auto clickOutside = [&] {
      if (elsewhere != Elsewhere::Focus) return p.pointer->clickAtOnce(outside, gap);
      ASSERT_TRUE(otherProgram.focusOwnWindow());
      ASSERT_TRUE(waitUntil([] { return !QGuiApplication::focusWindow(); }));
    };
    std::vector<Script::Step> steps;
    switch (GetParam().popUp) {
      case PopUp::UnitListMenu:
      case PopUp::LibraryMenu: {
        ui::TableView& table = GetParam().popUp == PopUp::UnitListMenu ? static_cast<ui::TableView&>(*list.deviceTableView)
                                                                      : *p.library().computerTableView;
        const QPoint at = rowOf(table);
        steps = {{nullptr, [&, at] { p.pointer->clickAtOnce({{at, xtest::XPointer::Right}}, 0); }},
                 {openMenu, clickOutside}};
        break;
      }
      case PopUp::RenamePopover: {
        // Chosen from the row's menu; the clicks outside follow the choice
        // at once (odd rounds), or come as the popover shows (even ones).
        const QPoint at = rowOf(*list.deviceTableView);
        const bool withTheChoice = round % 2 && elsewhere != Elsewhere::Focus;
        steps = {{nullptr, [&, at] { p.pointer->clickAtOnce({{at, xtest::XPointer::Right}}, 0); }},
                 {openMenu, [&, withTheChoice] {
                    QMenu* menu = openMenu();
                    QAction* rename = nullptr;
                    for (QAction* a : menu->actions())
                      if (a->text() == "Rename") rename = a;
                    ASSERT_TRUE(rename);
                    std::vector<Click> clicks{{menu->mapToGlobal(menu->actionGeometry(rename).center()), xtest::XPointer::Left}};
                    if (withTheChoice) clicks.insert(clicks.end(), outside.begin(), outside.end());
                    p.pointer->clickAtOnce(clicks, 30);
                  }}};
        if (!withTheChoice) steps.push_back({popoverShown, clickOutside});
        break;
      }
      case PopUp::DropDownList: {
        const QPoint at = p.pointer->global(MainWindowDriver::centreOf(*box));
        steps = {{nullptr, [&, at] { p.pointer->clickAtOnce({{at, xtest::XPointer::Left}}, 0); }},
                 {[&] { return box->isShow() && box->showPopover()->isShown(); }, clickOutside}};
        break;
      }
      case PopUp::Tip:
        steps = {{nullptr, [] { PopUpService::shared()->showWarningWithTip("A tip", nullptr); }},
                 {nullptr, clickOutside}};
        break;
      case PopUp::Alert:
      case PopUp::OpenPanel:
      case PopUp::SavePanel: {
        // The real dialogs: the program's are stubbed here.
        const auto run = [kind = GetParam().popUp, folder = p.rig.folder.path()] {
          bool chosen = false;
          if (kind == PopUp::Alert) {
            ui::AlertRequest alert;
            alert.buttons = {"OK", "Cancel"};
            chosen = ui::realPlatform::runAlert(alert) == ui::AlertFirstButtonReturn;
          } else if (kind == PopUp::OpenPanel) {
            ui::OpenPanelRequest panel;
            panel.directory = folder;
            chosen = ui::realPlatform::runOpenPanel(panel).has_value();
          } else {
            ui::SavePanelRequest panel;
            panel.directory = folder;
            panel.nameFieldStringValue = "backup";
            chosen = ui::realPlatform::runSavePanel(panel).has_value();
          }
          EXPECT_FALSE(chosen);
        };
        // Up, and given the focus as it showed.
        const auto dialog = [] {
          QWidget* d = QApplication::activeModalWidget();
          return d && d->isActiveWindow() ? d : nullptr;
        };
        // Run from the loop, not from the script's tick: Qt runs no timer from inside its own.
        steps = {{nullptr, [run] { QTimer::singleShot(0, run); }},
                 {dialog, clickOutside},
                 {nullptr, [] { QApplication::activeModalWidget()->close(); }}};
        break;
      }
    }
    Script script(std::move(steps));
    ASSERT_TRUE(waitUntil([&] { return script.done(); }));
    // A pop-up that opened only after the clicks outside had come (the
    // popover chosen from a menu may) is closed by another click.
    for (int tries = 0; tries < 5 && !dispatch::runMainLoopUntil(allClosed, std::chrono::milliseconds(300)); ++tries)
      p.pointer->clickAtOnce({left}, 0);
    ASSERT_TRUE(allClosed()) << "a pop-up stayed open";
    // Everything sent has been taken once the window sees the pointer back.
    ASSERT_TRUE(p.pointer->moveTo({5, 5}));
    if (elsewhere == Elsewhere::Focus) {
      // Asked for after the pointer's events: the server takes no older focus change.
      window.widget()->activateWindow();
      ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window.widget(); }));
    }
    EXPECT_FALSE(box && box->isShow());
  }
  if (box) box->removeFromSuperview();
}

INSTANTIATE_TEST_SUITE_P(RealEvents, PopUps, testing::ValuesIn(kPopUps),
                         [](const testing::TestParamInfo<PopUpCase>& info) { return std::string(info.param.name); });

// ---- the wheel

// A notch of the wheel scrolls the system's wheelScrollLines() rows of the
// view under the pointer, at most what the view shows: from the first preset
// to the last (200 in each list) within 70 notches; at 1100 x 470, where the
// knob grid shows one row of EQ's three, from the first knob row to the
// middle one, not past it. Another module then shows from its first row.
TEST(RealEventsWheel, DISABLED_ANotchScrollsRowsOfTheViewUnderThePointerAtMostAPage) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  constexpr int kPresets = 200;
  constexpr int kMostNotches = 70;
  constexpr int kEQ = 5;
  Program p{kPresets};
  ASSERT_TRUE(p.started);
  ASSERT_EQ(p.pointer->problem(), "");
  ASSERT_TRUE(p.pointer->waitUntilShown());
  ASSERT_TRUE(p.w->waitForTipsGone());
  ASSERT_TRUE(waitUntil([&] { return p.library().computerTableView->numberOfRows() == kPresets; }));
  const long lines = QGuiApplication::styleHints()->wheelScrollLines();
  ui::Window& window = p.w->window();
  CLCollectionView& grid = *p.w->editor().collectionView;
  const auto knob = [&](int64_t i) { return grid.rectForItemAtIndexPath(cl_indexPathForItem(i, 0)); };
  // Each view: how it is shown from its top, the row one notch brings to the
  // top, and the last row.
  struct Scrolled {
    const char* name;
    ui::ScrollView* scroll;
    std::function<void()> showTop;
    std::function<ui::Rect()> broughtToTop, last;
  };
  const auto list = [&](const char* name, ui::TableView& table, ui::ScrollView& scroll) {
    return Scrolled{name, &scroll,
                    [&table] {
                      ASSERT_EQ(table.numberOfRows(), long{kPresets});
                      table.scrollRowToVisible(0);
                    },
                    [&table, lines] { return table.rectOfRow(lines); },
                    [&table] { return table.rectOfRow(kPresets - 1); }};
  };
  const Scrolled views[] = {
      list("unit presets", *p.w->list().deviceTableView, *p.w->list().deviceScrollView),
      list("library", *p.library().computerTableView, *p.library().computerScrollView),
      {"EQ's knobs at 1100 x 470", &grid,
       [&] {
         window.setContentMinSize({1100, 470});
         window.setContentSize({1100, 470});
         window.layoutIfNeeded();
         p.chooseModule(kEQ);
         ASSERT_EQ(grid.numberOfItemsInSection(0), 9);  // three rows of three
       },
       [&] { return knob(3); }, [&] { return knob(8); }},
  };
  for (const auto& [name, scroll, showTop, broughtToTop, last] : views) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(showTop());
    window.layoutIfNeeded();
    ASSERT_EQ(scroll->documentVisibleRect().minY(), 0);
    const auto lastInView = [&] { return scroll->documentVisibleRect().maxY() >= last().maxY() - 0.5; };
    ASSERT_FALSE(lastInView());
    ASSERT_TRUE(p.pointer->moveTo(MainWindowDriver::centreOf(*scroll)));
    ASSERT_TRUE(p.pointer->turnWheel(xtest::XPointer::WheelDown, 1));
    EXPECT_EQ(scroll->documentVisibleRect().minY(), broughtToTop().minY());
    EXPECT_TRUE(scroll->documentVisibleRect().contains(broughtToTop()));
    int notches = 1;
    while (!lastInView() && notches < 3 * kMostNotches) {
      ASSERT_TRUE(p.pointer->turnWheel(xtest::XPointer::WheelDown, 1));
      ++notches;
    }
    std::printf("%s: %d notches from the first row to the last\n", name, notches);
    EXPECT_LE(notches, kMostNotches);
    EXPECT_TRUE(lastInView());
  }
  // The grid was left at EQ's last row: DELAY shows from its first.
  p.chooseModule(kModule);
  EXPECT_EQ(grid.documentVisibleRect().minY(), 0);
}

// ---- after a modal loop

// With no file manager to show it in, the library's folder icon says where
// the folder is in an alert. Closed with Return or Escape, the alert goes
// with the pointer still on the icon, which no event then says: a click
// there shows the alert again all the same.
TEST(RealEventsAfterAnAlert, DISABLED_AClickWhereThePointerStayedActsWithRealEvents) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  Program p;
  ASSERT_TRUE(p.started);
  ASSERT_EQ(p.pointer->problem(), "");
  ASSERT_TRUE(p.pointer->waitUntilShown());
  ASSERT_TRUE(p.w->waitForTipsGone());
  ui::PlatformHandlers handlers = ui::platformHandlers();
  handlers.runAlert = nullptr;  // the real alert, in its own loop
  handlers.revealInFileManager = [](const std::filesystem::path&) { return false; };
  ui::ScopedPlatformHandlers noFileManager(std::move(handlers));
  xtest::XKeyboard keys;
  ASSERT_EQ(keys.problem(), "");
  // Up and with the keyboard's focus.
  const auto alertShown = [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->isVisible() && box->isActiveWindow();
  };
  ASSERT_TRUE(p.pointer->moveTo(MainWindowDriver::centreOf(*p.library().folderButton)));
  int shown = 0;
  for (const unsigned long key : {xtest::keysym::Return, xtest::keysym::Escape, xtest::keysym::Return,
                                  xtest::keysym::Escape, xtest::keysym::Return}) {
    SCOPED_TRACE(shown);
    Script script({{alertShown, [&] {
                      ++shown;
                      ASSERT_TRUE(keys.tap(key));
                      keys.flush();
                    }}});
    ASSERT_TRUE(p.pointer->quickClicks(1, 0));
    flushMainQueue();  // the icon's action, which runs the alert's loop
    ASSERT_TRUE(script.done()) << "the click showed no alert";
  }
}

}  // namespace
