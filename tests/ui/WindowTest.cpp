// Windows and the application object: windows in creation order, the main
// and key windows, work posted to the main thread, child popups, a view's
// end of life and associated objects, a content view replaced with a press
// in flight, and a window let go by its own handler as the pointer leaves.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <chrono>

#include "platform/dispatch/Queue.h"
#include "platform/ui/Application.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using namespace std::chrono_literals;

TEST(Application, KeepsWindowsInCreationOrderAndTheMainWindowRegistered) {
  auto& app = Application::shared();
  auto first = Window::create(Rect(0, 0, 50, 50));
  auto second = Window::create(Rect(0, 0, 50, 50));
  auto all = app.windows();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[all.size() - 2], first);
  EXPECT_EQ(all.back(), second);
  all.clear();

  second->makeMainWindow();
  first->makeKeyAndOrderFront();
  EXPECT_TRUE(second->isMainWindow());
  EXPECT_TRUE(first->isKeyWindow());
  EXPECT_EQ(app.mainWindow(), second.get());  // main whether or not it is key
  second.reset();
  EXPECT_EQ(app.mainWindow(), nullptr);
  first->close();
  EXPECT_FALSE(first->isKeyWindow());
}

TEST(Application, PerformOnMainThreadIsQueuedEvenOnTheMainThread) {
  bool ran = false;
  Application::performOnMainThread([&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return ran; }, 2s));
}

TEST(Window, ChildPopupFollowsItsParentAndReleasedContentGoesOnClose) {
  auto parent = Window::create(Rect(0, 0, 200, 200));
  parent->makeKeyAndOrderFront();
  auto child = Window::create(Rect(30, 40, 60, 20), Window::Borderless);
  parent->addChildWindow(child, WindowOrderingMode::Above);
  EXPECT_TRUE(child->isPopup());
  EXPECT_TRUE(child->isVisible());
  EXPECT_EQ(child->parentWindow(), parent.get());
  EXPECT_EQ(parent->childWindows(), (std::vector<std::shared_ptr<Window>>{child}));
  EXPECT_TRUE(child->widget()->windowFlags() & Qt::Popup);

  bool told = false;
  child->willClose = [&](Window&) { told = true; };
  child->setReleasedWhenClosed(true);
  std::weak_ptr<View> content = child->contentView();
  child->close();
  EXPECT_TRUE(told);
  EXPECT_FALSE(child->isVisible());
  EXPECT_TRUE(parent->childWindows().empty());
  EXPECT_TRUE(content.expired());

  // A child outliving its parent keeps a working window.
  auto orphan = Window::create(Rect(0, 0, 40, 40), Window::Borderless);
  parent->addChildWindow(orphan, WindowOrderingMode::Above);
  parent.reset();
  EXPECT_EQ(orphan->parentWindow(), nullptr);
  orphan->setContentSize({50, 50});
  EXPECT_EQ(orphan->contentView()->frame(), Rect(0, 0, 50, 50));
  orphan->close();
}

TEST(View, EndOfLifeHooksAndAssociatedObjectsGoWithTheView) {
  static const int kKey = 0;
  bool ended = false;
  std::weak_ptr<View> weakExtra;
  {
    auto window = Window::create(Rect(0, 0, 50, 50));
    auto view = View::create(Rect(0, 0, 10, 10));
    auto extra = View::create();
    weakExtra = extra;
    view->lifetime().setAssociatedObject(&kKey, fnd::Value(extra));
    view->lifetime().addHook([&] { ended = true; });
    window->contentView()->addSubview(view);
    extra.reset();
    view.reset();
    EXPECT_FALSE(ended);  // the window's tree still holds it
    EXPECT_FALSE(weakExtra.expired());
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(weakExtra.expired());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Window, ReplacingTheContentViewEndsItsPressAndFirstResponder) {
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto old = View::create<testing::RecordingView>(Rect(0, 0, 100, 100));
  old->acceptsFirst = true;
  window->setContentView(old);
  window->makeKeyAndOrderFront();
  ASSERT_TRUE(window->makeFirstResponder(old.get()));
  testing::Pointer p(*window);
  p.press({10, 10});
  window->setContentView(View::create());
  EXPECT_EQ(old->log, (std::vector<std::string>{"down:1", "cancel"}));
  EXPECT_EQ(window->firstResponder(), nullptr);
  EXPECT_EQ(old->window(), nullptr);
  p.release({10, 10});
  EXPECT_EQ(old->log.size(), 2u);
  window->close();
}

// A window let go by its own handler while Qt still has the event that ran
// it to hand on: an area's exit, run from the application's event filter as
// the pointer leaves, closes the window and lets it go. The filter goes on to
// hand the event to the window's Qt window, which must still be there.
TEST(Window, OneLetGoByItsHandlerAsThePointerLeavesLastsOutTheEvent) {
  struct ExitingView : View {
    using View::View;
    void mouseExited(Event&) override {
      if (auto w = std::move(owner)) w->close();
    }
    std::shared_ptr<Window> owner;
  };
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto view = View::create<ExitingView>(Rect(0, 0, 100, 100));
  view->addTrackingArea(
      TrackingArea::make(view->bounds(), TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveAlways, view));
  window->contentView()->addSubview(view);
  window->makeKeyAndOrderFront();
  const std::weak_ptr<Window> weak = window;
  testing::Pointer p(*window);
  p.move({50, 50});
  view->owner = std::move(window);  // its only owner
  p.leave();
  EXPECT_TRUE(weak.expired());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace ui
