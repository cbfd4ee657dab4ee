// Event delivery: presses to the view hitTest names, drags and releases to
// the pressed view, click counts, the wheel and keys through the responder
// chain, event monitors, press cancellation, and a view removing itself from
// its own mouse-up. Real X events: RealEventsTest.cpp.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStyleHints>

#include "platform/ui/Application.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;
using testing::RecordingView;
using Log = std::vector<std::string>;

struct EventsFixture : testing::WindowFixture {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 200, 200));
    left = View::create<RecordingView>(Rect(0, 0, 100, 200));
    right = View::create<RecordingView>(Rect(100, 0, 100, 200));
    window->contentView()->addSubview(left);
    window->contentView()->addSubview(right);
    window->makeKeyAndOrderFront();
  }
  std::shared_ptr<RecordingView> left, right;
};

TEST_F(EventsFixture, DragsAndTheReleaseGoToThePressedViewInItsOwnCoordinates) {
  Pointer p(*window);
  p.press({50, 150});
  p.move({150, 100});  // over the other view, still pressed
  p.release({160, 90});
  EXPECT_EQ(left->log, (Log{"down:1", "drag", "up:1"}));
  EXPECT_TRUE(right->log.empty());
  // Locations are y-up in the view: the release lies beyond its right edge.
  EXPECT_EQ(left->where[0], (Point{50, 150}));
  EXPECT_EQ(left->where[2], (Point{160, 90}));

  // A flipped view gets y-down locations.
  right->flipped = true;
  p.click({150, 150});
  EXPECT_EQ(right->where.back(), (Point{50, 50}));
}

// The view hitTest names takes the press, whatever widget lies on top; the
// drags, the release and the wheel follow it.
TEST_F(EventsFixture, APressGoesToTheViewHitTestNamesAndItsDragsAndReleaseFollow) {
  struct Case {
    const char* what;
    std::function<View*(Point)> hit;  // over the left view
    RecordingView* receiver;
  };
  auto over = View::create<RecordingView>(Rect(0, 0, 100, 200));
  window->contentView()->addSubview(over);
  const Case cases[] = {
      {"its own", nullptr, over.get()},
      {"nil: through to the view below", [](Point) -> View* { return nullptr; }, left.get()},
      {"another view", [this](Point) -> View* { return right.get(); }, right.get()},
  };
  Pointer p(*window);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto* v : {over.get(), left.get(), right.get()}) v->log.clear();
    over->hitTestOverride = c.hit;
    p.wait(1000);
    p.press({50, 150});
    p.move({60, 140});
    p.release({60, 140});
    p.wheel({50, 150}, QPoint(0, 120));
    EXPECT_EQ(c.receiver->log, (Log{"down:1", "drag", "up:1", "wheel"}));
    for (auto* v : {over.get(), left.get(), right.get()}) {
      if (v == c.receiver) continue;
      EXPECT_TRUE(v->log.empty()) << v->log.front();
    }
  }
}

// At every pixel on and beside a view's edges the press, the wheel and the
// pointer's entry into an area over its bounds go to the view whose widget Qt
// gives them to, in a y-up superview and a flipped one, with whole-pixel
// frames, a view at half pixels, and quarter pixels nested.
TEST_F(EventsFixture, OnTheEdgesOfAViewThePressGoesToTheViewWhoseWidgetCoversThePixel) {
  enum Edge { Top, Bottom, Left, Right };
  const struct {
    bool flipped;
    Edge edge;
    int outward;  // 0: the view's outermost pixel row or column; 1: the one beyond it
  } cases[] = {
      {false, Top, 0},    {false, Top, 1},   {false, Bottom, 0}, {false, Bottom, 1},
      {false, Left, 0},   {false, Left, 1},  {false, Right, 0},  {false, Right, 1},
      {true, Top, 0},     {true, Top, 1},    {true, Bottom, 0},  {true, Bottom, 1},
      {true, Left, 0},    {true, Left, 1},   {true, Right, 0},   {true, Right, 1},
  };
  const struct {
    Rect box, inner;  // the inner view's edges at whole pixels, at half ones, and at quarters nested in quarters
  } frames[] = {
      {Rect(0, 0, 100, 200), Rect(20, 60, 40, 30)},
      {Rect(0, 0, 100, 200), Rect(20.5, 60.5, 40, 30)},
      {Rect(10.25, 0.25, 100, 190), Rect(20.25, 60.25, 40, 30.25)},
  };
  Pointer p(*window);
  for (const auto& f : frames) {
    for (const auto& c : cases) {
      static const char* const kEdges[] = {"top", "bottom", "left", "right"};
      SCOPED_TRACE(std::string(c.outward ? "beside the " : "on the ") + kEdges[c.edge] + " edge, " +
                   (c.flipped ? "flipped" : "y-up") + ", frames " + std::to_string(&f - frames));
      auto box = View::create<RecordingView>(f.box);
      box->flipped = c.flipped;
      auto inner = View::create<RecordingView>(f.inner);
      box->addSubview(inner);
      const unsigned hover = TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveAlways;
      inner->addTrackingArea(TrackingArea::make(inner->bounds(), hover, inner));
      window->contentView()->addSubview(box);
      const QRect g(inner->widget()->mapTo(window->widget(), QPoint(0, 0)), inner->widget()->size());
      const QPoint mid = g.center();
      const QPoint pixel = c.edge == Top      ? QPoint(mid.x(), g.top() - c.outward)
                           : c.edge == Bottom ? QPoint(mid.x(), g.bottom() + c.outward)
                           : c.edge == Left   ? QPoint(g.left() - c.outward, mid.y())
                                              : QPoint(g.right() + c.outward, mid.y());
      ASSERT_EQ(window->widget()->childAt(pixel), c.outward ? box->widget() : inner->widget());
      const Point at{double(pixel.x()), window->widget()->height() - double(pixel.y())};
      p.wait(1000);
      p.move(at);
      p.click(at);
      p.wheel(at, QPoint(0, 120));
      EXPECT_EQ(inner->log, c.outward ? Log{} : (Log{"enter", "down:1", "up:1", "wheel"}));
      EXPECT_EQ(box->log, c.outward ? (Log{"down:1", "up:1", "wheel"}) : Log{});
      box->removeFromSuperview();
    }
  }
}

TEST_F(EventsFixture, EachButtonsPressDragAndReleaseReachTheirOwnHandlers) {
  const struct {
    Qt::MouseButton button;
    Log log;
  } cases[] = {
      {Qt::LeftButton, {"down:1", "drag", "up:1"}},
      {Qt::RightButton, {"rdown", "rdrag", "rup"}},
      {Qt::MiddleButton, {"odown", "odrag", "oup"}},
      {Qt::BackButton, {"odown", "odrag", "oup"}},
  };
  Pointer p(*window);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log.front());
    left->log.clear();
    p.wait(1000);
    p.press({50, 150}, c.button);
    p.move({150, 100});  // over the other view: the drag stays with the pressed one
    p.release({150, 100}, c.button);
    EXPECT_EQ(left->log, c.log);
    EXPECT_TRUE(right->log.empty()) << right->log.front();
  }
}

TEST_F(EventsFixture, ClicksCountUpToThreeAndRestartAfterAPauseAMoveOrAnotherButton) {
  Pointer p(*window);
  p.click({10, 10});
  p.click({11, 10});
  p.click({11, 11});
  EXPECT_EQ(left->log, (Log{"down:1", "up:1", "down:2", "up:2", "down:3", "up:3"}));
  left->log.clear();
  p.wait(5000);
  p.click({11, 11});
  p.click({80, 80});  // far from the last press
  p.click({80, 80}, Qt::RightButton);
  p.click({80, 80});  // after another button's click
  EXPECT_EQ(left->log, (Log{"down:1", "up:1", "down:1", "up:1", "rdown", "rup", "down:1", "up:1"}));
}

TEST_F(EventsFixture, UnhandledEventsClimbTheResponderChain) {
  // The wheel over a child that passes it on reaches its superview.
  auto child = View::create<RecordingView>(Rect(10, 10, 20, 20));
  child->passWheel = true;
  left->addSubview(child);
  Pointer p(*window);
  p.wheel({15, 15}, QPoint(0, 120));
  EXPECT_EQ(child->log, (Log{"wheel"}));
  EXPECT_EQ(left->log, (Log{"wheel"}));
  // One notch away from the user: positive, in the system's lines a notch.
  EXPECT_DOUBLE_EQ(left->lastDeltaY, QGuiApplication::styleHints()->wheelScrollLines());

  // Keys go to the first responder, then up.
  child->acceptsFirst = true;
  child->passKeys = true;
  ASSERT_TRUE(window->makeFirstResponder(child.get()));
  p.key(Qt::Key_A, "a");
  EXPECT_EQ(child->log.back(), "key:a");
  EXPECT_EQ(left->log.back(), "key:a");

  // A view refusing first responder is not made one.
  EXPECT_FALSE(window->makeFirstResponder(right.get()));
  EXPECT_EQ(window->firstResponder(), child.get());

  // Arrow keys become actions through interpretKeyEvents.
  struct Arrows : RecordingView {
    using RecordingView::RecordingView;
    void keyDown(Event& e) override { interpretKeyEvents(e); }
  };
  auto arrows = View::create<Arrows>(Rect(0, 0, 5, 5));
  arrows->acceptsFirst = true;
  left->addSubview(arrows);
  window->makeFirstResponder(arrows.get());
  p.key(Qt::Key_Left);
  EXPECT_EQ(arrows->log, (Log{"moveLeft"}));
}

TEST_F(EventsFixture, TabMovesBetweenKeyViewsInTreeOrder) {
  left->acceptsFirst = right->acceptsFirst = true;
  left->passKeys = right->passKeys = true;  // Tab reaches the window
  Pointer p(*window);
  p.key(Qt::Key_Tab, "\t");
  EXPECT_EQ(window->firstResponder(), left.get());
  p.key(Qt::Key_Tab, "\t");
  EXPECT_EQ(window->firstResponder(), right.get());
  p.key(Qt::Key_Tab, "\t");
  EXPECT_EQ(window->firstResponder(), left.get());
  // Shift-Tab goes back, round to the last, and from no key view to the last.
  p.key(Qt::Key_Backtab, "\t", Qt::ShiftModifier);
  EXPECT_EQ(window->firstResponder(), right.get());
  p.key(Qt::Key_Backtab, "\t", Qt::ShiftModifier);
  EXPECT_EQ(window->firstResponder(), left.get());
  window->makeFirstResponder(nullptr);
  p.key(Qt::Key_Backtab, "\t", Qt::ShiftModifier);
  EXPECT_EQ(window->firstResponder(), right.get());
}

TEST_F(EventsFixture, MonitorsSeeEventsFirstAndMaySwallowThem) {
  std::vector<EventType> seen;
  const uint64_t token = Application::shared().addLocalMonitorForEvents(
      eventMaskFor(EventType::LeftMouseDown) | eventMaskFor(EventType::LeftMouseUp), [&](Event& e) -> Event* {
        seen.push_back(e.type());
        return e.type() == EventType::LeftMouseDown ? nullptr : &e;
      });
  Pointer p(*window);
  p.click({10, 10});
  Application::shared().removeMonitor(token);
  EXPECT_EQ(seen, (std::vector<EventType>{EventType::LeftMouseDown, EventType::LeftMouseUp}));
  // The press was swallowed, so the release reaches nobody either.
  EXPECT_TRUE(left->log.empty());
  p.click({10, 10});
  EXPECT_EQ(left->log.size(), 2u);
}

TEST_F(EventsFixture, TheCurrentEventIsSetOnlyDuringDispatch) {
  EventType during = EventType::KeyUp;
  left->onMouseUp = [&] {
    ASSERT_NE(Application::shared().currentEvent(), nullptr);
    during = Application::shared().currentEvent()->type();
  };
  Pointer p(*window);
  p.click({10, 10});
  EXPECT_EQ(during, EventType::LeftMouseUp);
  EXPECT_EQ(Application::shared().currentEvent(), nullptr);
}

TEST_F(EventsFixture, AViewMayRemoveItselfAndItsSuperviewFromItsOwnMouseUp) {
  auto holder = View::create(Rect(0, 0, 100, 100));
  auto button = View::create<RecordingView>(Rect(10, 10, 30, 30));
  holder->addSubview(button);
  right->addSubview(holder);
  std::weak_ptr<View> weakButton = button;
  std::weak_ptr<View> weakHolder = holder;
  View* h = holder.get();
  button->onMouseUp = [h] { h->removeFromSuperview(); };
  holder.reset();
  button.reset();  // only the tree holds them now

  Pointer p(*window);
  p.click({120, 20});
  EXPECT_TRUE(weakButton.expired());
  EXPECT_TRUE(weakHolder.expired());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // The window still works.
  p.wait(1000);
  p.click({120, 20});
  EXPECT_EQ(right->log, (Log{"down:1", "up:1"}));
}

TEST_F(EventsFixture, HidingOrRemovingThePressedViewCancelsThePress) {
  Pointer p(*window);
  p.press({10, 10});
  left->setHidden(true);
  p.move({20, 20});
  p.release({20, 20});
  EXPECT_EQ(left->log, (Log{"down:1", "cancel"}));

  left->setHidden(false);
  left->log.clear();
  p.wait(1000);
  p.press({10, 10});
  left->removeFromSuperview();
  p.release({10, 10});
  EXPECT_EQ(left->log, (Log{"down:1", "cancel"}));
  // A new press elsewhere works as usual.
  p.click({150, 10});
  EXPECT_EQ(right->log, (Log{"down:1", "up:1"}));
}

}  // namespace
}  // namespace ui
