// The split view's delegate limits, menus shown for real (a watchdog picks an
// item or dismisses them) with their open and close callbacks, the popover's
// callbacks for each way it closes, and pop-ups (menus, alerts, open and save
// panels) whose views or windows go while they run their own loops.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <utility>

#include "platform/dispatch/MainQueueDriver.h"
#include "platform/ui/Alert.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Popover.h"
#include "platform/ui/SplitView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "support/TempFolder.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;
using testing::RecordingView;
using Log = std::vector<std::string>;

// The main screen's limits: the left column between 220 and 280 points.
struct ColumnLimits : SplitViewDelegate {
  double splitViewConstrainMinCoordinateOfSubviewAt(SplitView&, double, int) override { return 220; }
  double splitViewConstrainMaxCoordinateOfSubviewAt(SplitView&, double, int) override { return 280; }
};

TEST(SplitView, DividersStayWithinTheDelegatesLimitsForDragsCallsAndResizes) {
  auto window = Window::create(Rect(0, 0, 800, 400));
  auto split = View::create<SplitView>(Rect(0, 0, 800, 400));
  split->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
  auto limits = std::make_shared<ColumnLimits>();
  split->setDelegate(limits);
  auto left = View::create(Rect(0, 0, 250, 400));
  auto right = View::create(Rect(0, 0, 100, 400));
  split->addSubview(left);
  split->addSubview(right);
  window->contentView()->addSubview(split);
  window->makeKeyAndOrderFront();
  EXPECT_EQ(left->frame(), Rect(0, 0, 250, 400));
  EXPECT_EQ(right->frame(), Rect(251, 0, 549, 400));

  Pointer p(*window);
  p.press({250, 200});  // on the divider
  p.move({100, 200});
  EXPECT_EQ(split->positionOfDividerAtIndex(0), 220);
  p.move({600, 200});
  EXPECT_EQ(split->positionOfDividerAtIndex(0), 280);
  p.move({260, 200});
  p.release({260, 200});
  EXPECT_EQ(split->positionOfDividerAtIndex(0), 260);
  EXPECT_EQ(right->frame(), Rect(261, 0, 539, 400));

  split->setPosition(10, 0);
  EXPECT_EQ(left->frame().size.width, 220);
  // A resize goes to the last pane; the column keeps its width.
  window->setContentSize({1000, 400});
  EXPECT_EQ(left->frame().size.width, 220);
  EXPECT_EQ(right->frame(), Rect(221, 0, 779, 400));
  window->close();
}

struct MenuLog : MenuDelegate {
  void menuWillOpen(Menu& m) override {
    log.push_back("willOpen");
    // Retitled and enabled as the preset list does on opening.
    m.itemAtIndex(1)->setTitle("Paste [P003]");
    m.itemAtIndex(1)->setEnabled(true);
  }
  void menuDidClose(Menu&) override { log.push_back("didClose"); }
  Log log;
};

// Acts on the menu once it shows, or gives up after a bound.
void whenMenuShows(std::function<void(QMenu&)> act) {
  auto* poll = new QTimer();
  auto start = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, act, start] {
    if (auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      poll->stop();
      poll->deleteLater();
      act(*m);
    } else if (++*start > 200) {  // about two seconds
      poll->stop();
      poll->deleteLater();
      ADD_FAILURE() << "no menu showed";
    }
  });
  poll->start(10);
}

// Picks an item as a user would: it becomes the active one, then Return.
void choose(QMenu& m, int index) {
  m.setActiveAction(m.actions()[index]);
  QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&m, &ret);
}

TEST(Menu, OpensWithItsDelegateSettingItemsThenClosesBeforeTheChosenAction) {
  auto window = Window::create(Rect(0, 0, 300, 300));
  auto view = View::create<RecordingView>(Rect(0, 0, 300, 300));
  view->passRightMouse = true;
  window->contentView()->addSubview(view);
  window->makeKeyAndOrderFront();

  auto menu = std::make_shared<Menu>("devicePresetRightClick");
  menu->setAutoenablesItems(false);
  auto delegate = std::make_shared<MenuLog>();
  menu->setDelegate(delegate);
  menu->addItemWithTitle("Copy", [&](MenuItem&) { delegate->log.push_back("Copy"); });
  auto paste = menu->addItemWithTitle("Paste", [&](MenuItem& i) { delegate->log.push_back(i.title()); });
  paste->setEnabled(false);
  menu->addItemWithTitle("Clear", [&](MenuItem&) { delegate->log.push_back("Clear"); });
  view->setMenu(menu);

  QStringList shown;
  std::vector<bool> enabled;
  whenMenuShows([&](QMenu& m) {
    for (QAction* a : m.actions()) {
      shown << a->text();
      enabled.push_back(a->isEnabled());
    }
    choose(m, 1);
  });
  Pointer p(*window);
  // The default right-mouse handling shows the view's menu; the menu's own
  // loop takes the release.
  p.press({20, 20}, Qt::RightButton);
  p.releasedElsewhere(Qt::RightButton);
  EXPECT_EQ(shown, (QStringList{"Copy", "Paste [P003]", "Clear"}));
  EXPECT_EQ(enabled, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(delegate->log, (Log{"willOpen", "didClose", "Paste [P003]"}));
  EXPECT_FALSE(menu->isOpen());
  // The menu took the release; the next click is a click as usual.
  view->log.clear();
  p.wait(1000);
  p.click({20, 20});
  EXPECT_EQ(view->log, (Log{"down:1", "up:1"}));

  // Dismissed without a choice: closed and nothing run. Automatic enabling
  // shows items without an action disabled.
  delegate->log.clear();
  menu->setAutoenablesItems(true);
  menu->addItemWithTitle("Inert", nullptr);
  enabled.clear();
  whenMenuShows([&](QMenu& m) {
    for (QAction* a : m.actions()) enabled.push_back(a->isEnabled());
    m.close();
  });
  EXPECT_EQ(menu->popUpAt({5, 5}, *view), nullptr);
  EXPECT_EQ(delegate->log, (Log{"willOpen", "didClose"}));
  EXPECT_EQ(enabled.back(), false);
  window->close();
}

struct PopoverLog : PopoverDelegate {
  void popoverWillShow(Popover& p) override {
    log.push_back("willShow");
    if (onWillShow) onWillShow(p);
  }
  void popoverDidShow(Popover&) override { log.push_back("didShow"); }
  void popoverWillClose(Popover& p) override { log.push_back(p.isShown() ? "willClose" : "willClose:not shown"); }
  void popoverDidClose(Popover&) override { log.push_back("didClose"); }
  Log log;
  std::function<void(Popover&)> onWillShow;
};

TEST(Popover, ShowsBesideItsRectangleAndTellsEachShowingAndCloseOnce) {
  auto window = Window::create(Rect(100, 100, 400, 300));
  auto list = View::create(Rect(0, 0, 400, 300));
  window->contentView()->addSubview(list);
  window->makeKeyAndOrderFront();

  auto content = std::make_shared<ViewController>();
  auto popover = fnd::make<Popover>();
  auto log = std::make_shared<PopoverLog>();
  popover->setDelegate(log);
  popover->setBehavior(PopoverBehavior::Transient);
  popover->setContentViewController(content);
  popover->setContentSize({200, 21});
  // A row 20 high whose bottom is 100 above the list's bottom.
  popover->showRelativeToRect(Rect(0, 100, 150, 20), *list, RectEdge::MaxX);
  ASSERT_TRUE(popover->isShown());
  const QPoint listTop = window->widget()->mapToGlobal(QPoint(0, 0));
  // On the right edge, centred on the row: the row's top is 300 - 120 below the window's top.
  EXPECT_EQ(popover->lastOrigin(), (Point{listTop.x() + 150.0, listTop.y() + 180.0 + (20 - 21) / 2.0}));
  EXPECT_TRUE(popover->window()->isVisible());
  EXPECT_EQ(content->view()->window(), popover->window().get());

  popover->close();
  EXPECT_EQ(log->log, (Log{"willShow", "didShow", "willClose", "didClose"}));
  EXPECT_FALSE(popover->isShown());
  popover->close();  // a second close tells nothing
  EXPECT_EQ(log->log.size(), 4u);

  // Transient: a click outside closes it, once, and the window gets no click.
  log->log.clear();
  popover->showRelativeToRect(Rect(0, 100, 150, 20), *list, RectEdge::MaxX);
  auto popupWindow = popover->window();
  ASSERT_TRUE(popupWindow);
  Pointer outside(*popupWindow);
  outside.press({-300, -100});
  outside.release({-300, -100});
  QCoreApplication::processEvents();
  EXPECT_FALSE(popover->isShown());
  EXPECT_EQ(log->log, (Log{"willShow", "didShow", "willClose", "didClose"}));

  // One the application closes itself stays through clicks elsewhere.
  popover->setBehavior(PopoverBehavior::ApplicationDefined);
  popover->showRelativeToRect(Rect(0, 100, 150, 20), *list, RectEdge::MaxX);
  Pointer elsewhere(*popover->window());
  elsewhere.press({-300, -100});
  elsewhere.release({-300, -100});
  QCoreApplication::processEvents();
  EXPECT_TRUE(popover->isShown());
  popover->close();

  // Shown again from its own will-show notice: it shows once, in one window.
  log->log.clear();
  bool again = true;
  log->onWillShow = [&](Popover& p) {
    if (std::exchange(again, false)) p.showRelativeToRect(Rect(0, 100, 150, 20), *list, RectEdge::MaxX);
  };
  popover->showRelativeToRect(Rect(0, 100, 150, 20), *list, RectEdge::MaxX);
  EXPECT_EQ(log->log, (Log{"willShow", "willShow", "didShow"}));
  EXPECT_EQ(content->view()->window(), popover->window().get());
  popover->close();
  window->close();

  // Qt hides a transient one outside any event of ours (from a timer here;
  // it closes one as another program takes the focus under an X server), or
  // its parent window is let go from a timer: it closes once, and its window
  // goes only once Qt is out of it.
  log->onWillShow = nullptr;
  popover->setBehavior(PopoverBehavior::Transient);
  for (const bool parentGoes : {false, true}) {
    SCOPED_TRACE(parentGoes ? "parent let go" : "hidden");
    log->log.clear();
    auto parent = Window::create(Rect(100, 100, 400, 300));
    parent->makeKeyAndOrderFront();
    popover->showRelativeToRect(Rect(0, 100, 150, 20), *parent->contentView(), RectEdge::MaxX);
    ASSERT_TRUE(popover->isShown());
    QWidget* const shown = popover->window()->widget();
    QTimer::singleShot(0, [&] { parentGoes ? parent.reset() : shown->hide(); });
    EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return !popover->isShown(); }, std::chrono::seconds(5)));
    EXPECT_EQ(log->log, (Log{"willShow", "didShow", "willClose", "didClose"}));
    if (parent) parent->close();
  }
}

// Runs the steps one a tick of whatever loop turns (a pop-up's own too),
// from the first tick on which a pop-up is up; gives up after a bound.
class PopUpTicks {
public:
  explicit PopUpTicks(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (next_ == 0 && !QApplication::activePopupWidget() && !QApplication::activeModalWidget()) {
        if (++idle_ > 500) {  // about five seconds
          timer_.stop();
          ADD_FAILURE() << "no pop-up showed";
        }
        return;
      }
      if (next_ < steps_.size()) steps_[next_++]();
      if (next_ == steps_.size()) timer_.stop();
    });
    timer_.start(10);
  }

private:
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  int idle_ = 0;
  QTimer timer_;
};

// A pop-up runs its own loop, and a tick of that loop lets something go. A
// right press on a row opens the row's menu: a view passing clicks through
// over the row is let go (the rest of the press, Qt's context-menu event,
// still goes to that view's widget), or the row leaves its window as its
// Delete is chosen (no action runs). An alert or a panel runs over the active
// window, as the main queue or a click in another window or in that one opens
// one, and that window is closed (or not) and let go: they read as cancelled,
// an alert never as its first button, also while the event that opened them
// still holds the window. So does one that a field's Return opens from its
// action, as the window is taking the focus back from the field, or the row's
// menu's Delete. The row's menu closes with its window, choosing nothing.
TEST(PopUpLoops, WhatGoesWhileAPopUpRunsItsLoopIsLeftAlone) {
  enum class PopUp { Menu, MenuViewOverGoes, MenuRowLeaves, MenuAlert, Alert, OpenPanel, SavePanel, FieldAlert };
  enum class From { Queue, ClickElsewhere, ClickInIt };  // a click in another window, or in the one that goes
  const struct {
    const char* what;
    PopUp popUp;
    From from;
    const char* answer;
    bool closed = true;  // before it is let go
  } cases[] = {
      {"menu, its window let go", PopUp::Menu, From::Queue, "none"},
      {"menu, a view over the row let go", PopUp::MenuViewOverGoes, From::Queue, "Delete"},
      {"menu, the row left its window", PopUp::MenuRowLeaves, From::Queue, "none"},
      {"alert from the menu's Delete, its window let go", PopUp::MenuAlert, From::Queue, "Cancel"},
      {"alert, its window let go", PopUp::Alert, From::Queue, "Cancel"},
      {"alert from a click, its window let go", PopUp::Alert, From::ClickElsewhere, "Cancel"},
      {"open panel, its window let go", PopUp::OpenPanel, From::Queue, "cancelled"},
      {"save panel, its window let go", PopUp::SavePanel, From::Queue, "cancelled"},
      {"save panel from a click, its window let go unclosed", PopUp::SavePanel, From::ClickElsewhere, "cancelled",
       false},
      {"save panel from a click in its window, the window let go", PopUp::SavePanel, From::ClickInIt, "cancelled"},
      {"alert from a field's Return, its window let go", PopUp::FieldAlert, From::Queue, "Cancel"},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Dialogs show over the active window.
    const auto activated = [](Window& w) {
      w.makeKeyAndOrderFront();
      return dispatch::runMainLoopUntil([&] { return QApplication::activeWindow() == w.widget(); },
                                        std::chrono::seconds(5));
    };
    std::shared_ptr<Window> clicked;
    auto button = View::create<RecordingView>(Rect(0, 100, 100, 100));
    if (c.from == From::ClickElsewhere) {
      clicked = Window::create(Rect(0, 0, 100, 200));
      clicked->contentView()->addSubview(button);
      ASSERT_TRUE(activated(*clicked));
    }
    auto window = Window::create(Rect(0, 0, 300, 300));
    auto row = View::create<RecordingView>(Rect(0, 0, 300, 40));
    row->passRightMouse = true;
    auto over = View::create<RecordingView>(Rect(0, 0, 300, 40));
    over->hitTestOverride = [](Point) -> View* { return nullptr; };
    window->contentView()->addSubview(row);
    window->contentView()->addSubview(over);
    if (c.from == From::ClickInIt) window->contentView()->addSubview(button);
    ASSERT_TRUE(activated(*window));
    std::string answer = "none";
    auto menu = std::make_shared<Menu>("row");
    menu->addItemWithTitle("Delete", [&](MenuItem& i) { answer = i.title(); });
    row->setMenu(menu);

    // How the pop-up opens, and the steps its loop runs.
    const auto rightPress = [&] {
      Pointer p(*window);
      p.press({150, 20}, Qt::RightButton);
      p.releasedElsewhere(Qt::RightButton);
    };
    const auto chooseDelete = [] {
      auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!m) return ADD_FAILURE() << "the menu closed";
      choose(*m, 0);
    };
    const auto windowGoes = [&] {
      const QPointer<QDialog> dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (c.closed) window->close();
      window.reset();
      // One still up is answered as a user would, with its first item or button.
      if (auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        ADD_FAILURE() << "the menu stayed up";
        return choose(*m, 0);
      }
      if (dialog && dialog->isVisible()) {
        ADD_FAILURE() << "the dialog stayed up";
        if (auto* box = qobject_cast<QMessageBox*>(dialog.data())) return box->buttons().front()->click();
        dialog->reject();
      }
    };
    const auto runAlert = [&] {
      Alert alert;
      alert.addButtonWithTitle("Delete");
      alert.addButtonWithTitle("Cancel");
      answer = alert.runModal() == AlertFirstButtonReturn ? "Delete" : "Cancel";
    };
    std::function<void()> open = rightPress;
    std::vector<std::function<void()>> steps = {windowGoes};
    switch (c.popUp) {
      case PopUp::Menu:
        break;
      case PopUp::MenuViewOverGoes:
        steps = {[&] {
                   over->removeFromSuperview();
                   over.reset();
                 },
                 chooseDelete};
        break;
      case PopUp::MenuRowLeaves:
        steps = {[&] {
          chooseDelete();
          row->removeFromSuperview();
        }};
        break;
      case PopUp::MenuAlert:
        menu->itemAtIndex(0)->setAction([&](MenuItem&) { runAlert(); });
        steps = {chooseDelete, windowGoes};
        break;
      case PopUp::Alert:
        open = runAlert;
        break;
      case PopUp::OpenPanel:
        open = [&] {
          OpenPanel panel;
          panel.setDirectory(folder.path());
          answer = panel.runModal() == ModalResponseOK ? "chosen" : "cancelled";
        };
        break;
      case PopUp::SavePanel:
        open = [&] {
          SavePanel panel;
          panel.setDirectory(folder.path());
          panel.setNameFieldStringValue("backup");
          answer = panel.runModal() == ModalResponseOK ? "chosen" : "cancelled";
        };
        break;
      case PopUp::FieldAlert: {
        auto field = View::create<TextField>(Rect(0, 200, 200, 24));
        window->contentView()->addSubview(field);
        field->setAction([&](Control&) { runAlert(); });
        open = [&, field] {
          window->makeFirstResponder(field.get());
          QLineEdit* editor = field->fieldEditor();
          ASSERT_NE(editor, nullptr);
          QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
          QCoreApplication::sendEvent(editor, &ret);
        };
        break;
      }
    }
    PopUpTicks ticks(std::move(steps));
    if (c.from == From::Queue) {
      open();
    } else {
      button->onMouseUp = open;
      Pointer(clicked ? *clicked : *window).click({50, 150});
    }
    if (clicked) clicked->close();
    EXPECT_EQ(answer, c.answer);
    if (window) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
}  // namespace ui
