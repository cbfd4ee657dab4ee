// Drives the editor's main window as a user would: finds the screens and
// their parts in the window, and clicks, drags, right-clicks (choosing from
// the real context menu) and types into them through Qt events sent to their
// widgets. Tips of the pop-up service show in the window, as in the program,
// so tests read them there.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/GGPopView.h"
#include "controls/NSPopNormalView.h"
#include "controls/SettingResetView.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/foundation/PopUpService.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/Window.h"
#include "screens/ScreensTestSupport.h"
#include "screens/ShellRig.h"
#include "screens/bars/GGFunctionBottomView.h"
#include "screens/bars/TopView.h"
#include "device/records/DeviceConstants.h"
#include "screens/editor/EffectDataView.h"
#include "screens/models/EffectViewModel.h"
#include "screens/presets/PresetView.h"
#include "screens/shell/ViewController.h"
#include "ui/ViewTestSupport.h"

namespace flow_test {

using namespace svc_test;

inline bool waitUntil(const std::function<bool()>& done) { return dispatch::runMainLoopUntil(done, kBound); }

// Every view of class T in the tree under `root`, depth first.
template <class T>
void collect(const std::shared_ptr<ui::View>& root, std::vector<std::shared_ptr<T>>& out) {
  if (!root) return;
  if (auto t = std::dynamic_pointer_cast<T>(root)) out.push_back(t);
  for (const auto& v : root->subviews()) collect(v, out);
}

template <class T>
std::vector<std::shared_ptr<T>> findAll(const std::shared_ptr<ui::View>& root) {
  std::vector<std::shared_ptr<T>> out;
  collect(root, out);
  return out;
}

// What a context menu showed: its items' titles and whether each could be
// chosen.
struct MenuSeen {
  std::vector<std::string> titles;
  std::vector<bool> enabled;
  bool isEnabled(const std::string& title) const {
    for (size_t i = 0; i < titles.size(); ++i)
      if (titles[i] == title) return enabled[i];
    return false;
  }
};

// Right-clicks `row` of `table` with the pointer and hands the context menu
// that opens to `answer`, which must close it. The menu runs its own loop; a
// timer answers it from inside (the timer fires in no other loop: it stops
// when the right-click returns). False when no menu opened.
inline bool answerContextMenu(ui::Window& window, ui::TableView& table, long row,
                              const std::function<void(QMenu&)>& answer) {
  table.scrollRowToVisible(row);
  window.layoutIfNeeded();
  const ui::Rect r = table.rectOfRow(row);
  const ui::Point at = table.convertPointToView({r.midX(), r.midY()}, nullptr);
  bool opened = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    timer.stop();
    opened = true;
    answer(*menu);
  });
  timer.start();
  ui::testing::Pointer pointer(window);
  pointer.move(at);
  pointer.press(at, Qt::RightButton);
  pointer.releasedElsewhere(Qt::RightButton);
  timer.stop();
  flushMainQueue();
  return opened;
}

class MainWindowDriver {
public:
  // Made before `rig` launches the program: the pop-up service is the
  // window's own, as the program installs it, so tips show in the window
  // and the unit's frames close open questions. Open panels are answered by
  // `openPanel` (cancelled while it is empty).
  explicit MainWindowDriver(ShellRig& rig)
      : rig_(rig),
        handlers_(ui::PlatformHandlers{
            [&rig](const ui::AlertRequest& r) {
              rig.alerts.push_back(r);
              return ui::AlertFirstButtonReturn;
            },
            [this](const ui::OpenPanelRequest& r) -> std::optional<std::vector<std::filesystem::path>> {
              openPanels.push_back(r);
              if (!openPanel) return std::nullopt;
              return openPanel(r);
            },
            nullptr, [&rig](int status) { rig.exits.push_back(status); }, nullptr}) {
    GGPopView::installAsPopUpService();
  }
  ~MainWindowDriver() {
    PopUpService::setShared(nullptr);
    if (rig_.app) rig_.window().close();
    flushMainQueue();
  }
  MainWindowDriver(const MainWindowDriver&) = delete;
  MainWindowDriver& operator=(const MainWindowDriver&) = delete;

  std::function<std::optional<std::vector<std::filesystem::path>>(const ui::OpenPanelRequest&)> openPanel;
  std::vector<ui::OpenPanelRequest> openPanels;

  ui::Window& window() const { return rig_.window(); }
  std::shared_ptr<ui::View> content() const { return window().contentView(); }
  TopView& top() const { return as<TopView>(rig_.vc().topView); }
  PresetView& list() const { return as<PresetView>(rig_.vc().presetView); }
  GGFunctionBottomView& bar() const { return as<GGFunctionBottomView>(rig_.vc().chainView); }
  EffectDataView& editor() const { return as<EffectDataView>(rig_.vc().moduleView); }
  // Whether the unit shows module m's page and the editor the same module:
  // its title, and the knobs of its type.
  bool showsModule(int m) const {
    const std::string name = EffectViewModel::moduleName(m);
    EffectDataView& e = editor();
    return rig_.sim.app->editBuffer().page == dev::kFirstModulePage + m && e.titleTF->stringValue() == name &&
           e.moduleParamViewModel->curModel && e.moduleParamViewModel->curModel->effectName == name;
  }

  // ---- the pointer
  static ui::Point inWindow(const ui::View& view, ui::Point local) { return view.convertPointToView(local, nullptr); }
  static ui::Point centreOf(const ui::View& view) {
    const ui::Rect b = view.bounds();
    return inWindow(view, {b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2});
  }
  // Moves over the point, clicks, moves away (buttons act on a release with
  // the pointer over them), then lets the main queue run.
  void clickAt(ui::Point p) {
    ui::testing::Pointer pointer(window());
    pointer.move(p);
    pointer.click(p);
    pointer.move({1, 1});
    flushMainQueue();
  }
  void click(const ui::View& view) { clickAt(centreOf(view)); }
  void click(const ui::View& view, ui::Point local) { clickAt(inWindow(view, local)); }
  // Presses at the first point, moves through the rest and releases at the last.
  void drag(const ui::View& view, const std::vector<ui::Point>& path) {
    ui::testing::Pointer pointer(window());
    pointer.press(inWindow(view, path.front()));
    for (size_t i = 1; i < path.size(); ++i) pointer.move(inWindow(view, path[i]));
    pointer.release(inWindow(view, path.back()));
    flushMainQueue();
  }

  // ---- tables
  // Scrolls the row into view and clicks its middle.
  void clickRow(ui::TableView& table, long row) {
    table.scrollRowToVisible(row);
    window().layoutIfNeeded();
    const ui::Rect r = table.rectOfRow(row);
    click(table, {r.midX(), r.midY()});
  }
  // Right-clicks the row and, in the context menu that opens, chooses the
  // item with that title (or closes the menu when `choose` is empty or the
  // item cannot be chosen). Returns what the menu showed.
  MenuSeen contextMenu(ui::TableView& table, long row, const std::string& choose) {
    MenuSeen seen;
    const bool opened = answerContextMenu(window(), table, row, [&](QMenu& menu) {
      QAction* chosen = nullptr;
      for (QAction* a : menu.actions()) {
        if (a->isSeparator()) continue;
        seen.titles.push_back(a->text().toStdString());
        seen.enabled.push_back(a->isEnabled());
        if (a->isEnabled() && a->text().toStdString() == choose) chosen = a;
      }
      if (chosen) menu.setActiveAction(chosen);
      QKeyEvent key(QEvent::KeyPress, chosen ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(&menu, &key);
    });
    EXPECT_TRUE(opened) << "no context menu opened on row " << row;
    return seen;
  }

  // ---- typing
  // Types into the line editor of a field being edited, key by key.
  static void typeInto(QWidget* editor, const std::string& text) {
    ASSERT_NE(editor, nullptr) << "the field is not being edited";
    for (char c : text) {
      const int key = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : static_cast<unsigned char>(c);
      QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c)));
      QCoreApplication::sendEvent(editor, &down);
      QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(QChar(c)));
      QCoreApplication::sendEvent(editor, &up);
    }
  }
  static void pressKey(QWidget* editor, int key) {
    ASSERT_NE(editor, nullptr) << "the field is not being edited";
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &down);
  }
  // Clicks into the field, selects all it holds and types `text` over it.
  void retype(ui::TextField& field, const std::string& text) {
    click(field);
    ASSERT_TRUE(field.fieldEditor()) << "a click did not start editing";
    QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(field.fieldEditor(), &all);
    typeInto(field.fieldEditor(), text);
    flushMainQueue();
  }
  // In the field being edited: moves the caret `back` characters left of the
  // end and types `text` there.
  void insertBeforeEnd(ui::TextField& field, int back, const std::string& text) {
    ASSERT_TRUE(field.fieldEditor()) << "the field is not being edited";
    pressKey(field.fieldEditor(), Qt::Key_End);
    for (int i = 0; i < back; ++i) pressKey(field.fieldEditor(), Qt::Key_Left);
    typeInto(field.fieldEditor(), text);
    flushMainQueue();
  }

  // ---- panels and tips
  // The open question panels in the window (their overlays not closed).
  std::vector<std::shared_ptr<SettingResetView>> questions() const {
    std::vector<std::shared_ptr<SettingResetView>> open;
    for (auto& panel : findAll<SettingResetView>(content())) {
      auto* overlay = dynamic_cast<GGPopView*>(panel->superview());
      if (overlay && !overlay->isFinished() && overlay->superview()) open.push_back(panel);
    }
    return open;
  }
  std::shared_ptr<SettingResetView> question() const {
    auto open = questions();
    return open.empty() ? nullptr : open.back();
  }
  // Clicks the open question's button with that title.
  void answer(const std::string& title) {
    auto panel = question();
    ASSERT_TRUE(panel) << "no question open to answer " << title;
    window().layoutIfNeeded();
    for (const auto& b : panel->buttons())
      if (b->defaultTitle() == title) return click(*b);
    ADD_FAILURE() << "the question has no button " << title;
  }
  std::vector<std::string> tipsShown() const {
    std::vector<std::string> out;
    for (const auto& tip : findAll<NSPopNormalView>(content())) out.push_back(tip->title());
    return out;
  }
  // Tips take the clicks on what they cover until they have faded.
  bool waitForTipsGone() const {
    return dispatch::runMainLoopUntil([&] { return tipsShown().empty(); }, GGPopView::kTipDuration * 2);
  }
  bool waitForTip(const std::string& text) const {
    return waitUntil([&] {
      for (const auto& t : tipsShown())
        if (t == text) return true;
      return false;
    });
  }

private:
  template <class T>
  static T& as(const std::shared_ptr<ui::View>& view) {
    auto t = std::dynamic_pointer_cast<T>(view);
    if (!t) throw std::runtime_error("the main window lacks a screen");
    return *t;
  }

  ShellRig& rig_;
  ui::ScopedPlatformHandlers handlers_;
};

}  // namespace flow_test
