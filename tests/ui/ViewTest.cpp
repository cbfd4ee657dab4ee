// Views: placement of widgets in y-up and flipped trees, coordinate
// conversion, autoresizing, the hierarchy and its hooks, the layout pass.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

class FlippedView : public View {
public:
  using View::View;
  bool isFlipped() const override { return true; }
};

QRect geometryOf(const View& v) { return v.widget()->geometry(); }

TEST(ViewPlacement, YUpSuperviewsHangChildrenFromTheBottomAndFlippedFromTheTop) {
  auto root = View::create(Rect(0, 0, 200, 100));
  auto child = View::create(Rect(10, 20, 30, 40));
  root->addSubview(child);
  // y-up: the child's top edge is 100 - (20 + 40) = 40 below the root's top.
  EXPECT_EQ(geometryOf(*child), QRect(10, 40, 30, 40));

  auto flipped = View::create<FlippedView>(Rect(0, 0, 200, 100));
  auto fchild = View::create(Rect(10, 20, 30, 40));
  flipped->addSubview(fchild);
  EXPECT_EQ(geometryOf(*fchild), QRect(10, 20, 30, 40));

  // A taller y-up superview moves its children's widgets down with its top.
  root->setFrameSize({200, 150});
  EXPECT_EQ(geometryOf(*child), QRect(10, 90, 30, 40));
  flipped->setFrameSize({200, 150});
  EXPECT_EQ(geometryOf(*fchild), QRect(10, 20, 30, 40));

  // Fractional frames give widgets rounded edges, not rounded sizes.
  child->setFrame(Rect(0.4, 0, 10.4, 10));
  EXPECT_EQ(geometryOf(*child).x(), 0);
  EXPECT_EQ(geometryOf(*child).width(), 11);

  // The bounds origin shifts what is shown (a scrolled clip view).
  flipped->setBoundsOrigin({5, 10});
  EXPECT_EQ(geometryOf(*fchild), QRect(5, 10, 30, 40));
}

TEST(ViewPlacement, PointsConvertAcrossMixedTreesAndBackAfterResizes) {
  auto window = Window::create(Rect(0, 0, 300, 200));
  auto content = window->contentView();
  auto flipped = View::create<FlippedView>(Rect(20, 30, 100, 100));  // top at y 130 in the window
  auto inner = View::create(Rect(10, 10, 50, 50));                   // y-up inside a flipped view
  content->addSubview(flipped);
  flipped->addSubview(inner);

  // The flipped view's (0, 0) is its top-left corner: window (20, 130).
  EXPECT_EQ(flipped->convertPointToView({0, 0}, nullptr), (Point{20, 130}));
  // The inner view's (0, 0) is its bottom-left: 10 + 50 down from the flipped top.
  EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), (Point{30, 70}));
  EXPECT_EQ(inner->convertPointToView({0, 0}, flipped.get()), (Point{10, 60}));
  EXPECT_EQ(flipped->convertPointFromView({30, 70}, nullptr), (Point{10, 60}));
  EXPECT_EQ(inner->convertRectToView(Rect(0, 0, 50, 50), flipped.get()), Rect(10, 10, 50, 50));

  // Every conversion is undone by its inverse.
  for (Point p : {Point{0, 0}, Point{3.5, 7.25}, Point{49, 1}}) {
    const Point w = inner->convertPointToView(p, nullptr);
    EXPECT_EQ(inner->convertPointFromView(w, nullptr), p);
  }

  // The window grows by 100 in height: the content's y-up coordinates keep the
  // flipped view 30 above the bottom, so the conversions stay as they were,
  // while its widget moves down.
  window->setContentSize({300, 300});
  EXPECT_EQ(content->frame(), Rect(0, 0, 300, 300));
  EXPECT_EQ(inner->convertPointToView({0, 0}, nullptr), (Point{30, 70}));
  EXPECT_EQ(geometryOf(*flipped), QRect(20, 170, 100, 100));
  EXPECT_EQ(inner->visibleRect(), Rect(0, 0, 50, 50));
}

TEST(ViewPlacement, VisibleRectIsClippedByAncestorsAndEmptyWhenHidden) {
  auto root = View::create(Rect(0, 0, 100, 100));
  auto child = View::create(Rect(80, -10, 40, 40));
  root->addSubview(child);
  EXPECT_EQ(child->visibleRect(), Rect(0, 10, 20, 30));
  root->setHidden(true);
  EXPECT_TRUE(child->visibleRect().isEmpty());
}

TEST(ViewAutoresizing, FlexibleMarginsAndSizesShareTheChange) {
  auto root = View::create(Rect(0, 0, 100, 100));
  auto sizable = View::create(Rect(10, 10, 80, 80));
  sizable->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
  auto pinnedRightTop = View::create(Rect(70, 70, 20, 20));
  pinnedRightTop->setAutoresizingMask(ViewMinXMargin | ViewMinYMargin);
  auto centred = View::create(Rect(40, 40, 20, 20));
  centred->setAutoresizingMask(ViewMinXMargin | ViewMaxXMargin);
  auto fixed = View::create(Rect(5, 5, 10, 10));
  auto notTranslating = View::create(Rect(5, 5, 10, 10));
  notTranslating->setAutoresizingMask(ViewWidthSizable);
  notTranslating->setTranslatesAutoresizingMaskIntoConstraints(false);
  for (auto& v : {sizable, pinnedRightTop, centred, fixed, notTranslating}) root->addSubview(v);

  int notices = 0;
  auto token = fnd::NotificationCenter::defaultCenter().addObserver(
      kViewFrameDidChangeNotification, fnd::Value(sizable), [&](const fnd::Notification&) { ++notices; });
  root->setFrameSize({200, 150});
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(sizable->frame(), Rect(10, 10, 180, 130));
  // In a y-up superview the min-y margin is the bottom one: the view keeps
  // its distance to the top and right.
  EXPECT_EQ(pinnedRightTop->frame(), Rect(170, 120, 20, 20));
  // Equal margins grow equally.
  EXPECT_EQ(centred->frame(), Rect(90, 40, 20, 20));
  EXPECT_EQ(fixed->frame(), Rect(5, 5, 10, 10));
  EXPECT_EQ(notTranslating->frame(), Rect(5, 5, 10, 10));

  // Zero-size flexible parts share the change equally.
  auto zero = View::create(Rect(0, 0, 0, 0));
  zero->setAutoresizingMask(ViewMinXMargin | ViewWidthSizable);
  root->addSubview(zero);
  root->setFrameSize({210, 150});
  EXPECT_EQ(zero->frame(), Rect(5, 0, 5, 0));
}

class HookView : public View {
public:
  using View::View;
  void viewWillMoveToSuperview(View* s) override { log->push_back(name + ":willSuper:" + (s ? "set" : "nil")); }
  void viewDidMoveToSuperview() override { log->push_back(name + ":didSuper"); }
  void viewWillMoveToWindow(Window* w) override { log->push_back(name + ":willWindow:" + (w ? "set" : "nil")); }
  void viewDidMoveToWindow() override { log->push_back(name + ":didWindow"); }
  void updateTrackingAreas() override { log->push_back(name + ":areas"); }
  std::vector<std::string>* log = nullptr;
  std::string name;
};

TEST(ViewHierarchy, HooksRunInOrderAndTrackingAreasWaitForAWindowAndASize) {
  std::vector<std::string> log;
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto parent = View::create<HookView>(Rect(0, 0, 50, 50));
  auto child = View::create<HookView>(Rect(0, 0, 0, 0));
  parent->log = child->log = &log;
  parent->name = "p";
  child->name = "c";
  parent->addSubview(child);
  EXPECT_EQ(log, (std::vector<std::string>{"c:willSuper:set", "c:didSuper"}));
  log.clear();

  window->contentView()->addSubview(parent);
  // The empty child is told of the window but gets no areas yet.
  EXPECT_EQ(log, (std::vector<std::string>{"p:willSuper:set", "p:willWindow:set", "c:willWindow:set", "p:didSuper",
                                           "p:didWindow", "p:areas", "c:didWindow"}));
  log.clear();
  child->setFrameSize({10, 10});
  EXPECT_EQ(log, (std::vector<std::string>{"c:areas"}));
  log.clear();

  // Removal keeps the view alive for whoever holds it.
  std::weak_ptr<View> weakParent = parent;
  parent->removeFromSuperview();
  EXPECT_EQ(log, (std::vector<std::string>{"p:willSuper:nil", "p:willWindow:nil", "c:willWindow:nil", "p:didSuper",
                                           "p:didWindow", "c:didWindow"}));
  EXPECT_EQ(parent->window(), nullptr);
  EXPECT_EQ(child->window(), nullptr);
  EXPECT_FALSE(parent->widget()->isVisible());
  EXPECT_EQ(parent->widget()->parentWidget(), nullptr);
  parent.reset();
  EXPECT_TRUE(weakParent.expired());
  // The child lives on, detached, while the test holds it.
  EXPECT_EQ(child->superview(), nullptr);
  EXPECT_EQ(child->widget()->parentWidget(), nullptr);
}

TEST(ViewHierarchy, OrderAndZPositionDecideStackingAndHitTesting) {
  auto root = View::create<FlippedView>(Rect(0, 0, 100, 100));
  auto a = View::create(Rect(0, 0, 50, 50));
  auto b = View::create(Rect(0, 0, 50, 50));
  auto c = View::create(Rect(0, 0, 50, 50));
  root->addSubview(a);
  root->addSubview(b);
  root->addSubview(c, WindowOrderingMode::Below, a.get());
  EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{c, a, b}));
  EXPECT_EQ(root->hitTest({10, 10}), b.get());
  EXPECT_EQ(root->widget()->childAt(10, 10), b->widget());

  a->layer().setZPosition(5);
  EXPECT_EQ(root->hitTest({10, 10}), a.get());
  EXPECT_EQ(root->widget()->childAt(10, 10), a->widget());
  // The order of subviews does not change with z.
  EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{c, a, b}));

  a->setHidden(true);
  EXPECT_EQ(root->hitTest({10, 10}), b.get());
  EXPECT_EQ(root->hitTest({60, 60}), root.get());
  EXPECT_EQ(root->hitTest({160, 60}), root.get());  // a root tests no frame of its own

  // Common ancestors and refusal of cycles.
  auto deep = View::create();
  b->addSubview(deep);
  EXPECT_EQ(deep->ancestorSharedWith(c.get()), root.get());
  EXPECT_EQ(deep->ancestorSharedWith(b.get()), b.get());
  deep->addSubview(root);
  EXPECT_EQ(root->superview(), nullptr);
}

TEST(ViewHierarchy, AViewDestroyedWithSubviewsHeldElsewhereLeavesThemWhole) {
  auto keep = View::create(Rect(0, 0, 10, 10));
  {
    auto parent = View::create(Rect(0, 0, 50, 50));
    parent->addSubview(keep);
  }
  EXPECT_EQ(keep->superview(), nullptr);
  EXPECT_EQ(keep->widget()->parentWidget(), nullptr);
  auto other = View::create(Rect(0, 0, 50, 50));
  other->addSubview(keep);
  EXPECT_EQ(keep->widget()->parentWidget(), other->widget());
}

class CountingLayout : public View {
public:
  using View::View;
  void layout() override {
    ++count;
    if (onLayout) onLayout(*this);
  }
  int count = 0;
  std::function<void(CountingLayout&)> onLayout;
};

TEST(ViewLayout, PassRunsSuperviewsFirstAndStopsAtItsCap) {
  auto window = Window::create(Rect(0, 0, 100, 100));
  auto outer = View::create<CountingLayout>(Rect(0, 0, 100, 100));
  auto inner = View::create<CountingLayout>(Rect(0, 0, 10, 10));
  std::vector<std::string> order;
  outer->onLayout = [&](CountingLayout&) {
    order.push_back("outer");
    inner->setFrameSize({20, 20});  // a size change asks for the inner's layout
  };
  inner->onLayout = [&](CountingLayout&) { order.push_back("inner"); };
  outer->addSubview(inner);
  window->contentView()->addSubview(outer);
  window->layoutIfNeeded();
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_FALSE(inner->needsLayout());
  window->layoutIfNeeded();
  EXPECT_EQ(outer->count, 1);

  // A view that asks again every time is cut off after the cap, with a log line.
  std::vector<std::string> lines;
  auto previous = fnd::setLogSink([&](const std::string& l) { lines.push_back(l); });
  inner->onLayout = [](CountingLayout& v) { v.setNeedsLayout(true); };
  inner->setNeedsLayout(true);
  window->layoutIfNeeded();
  fnd::setLogSink(previous);
  EXPECT_EQ(inner->count, 1 + Window::kMaxLayoutRounds);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("did not settle"), std::string::npos);

  // Detached trees lay out on request too.
  auto detached = View::create<CountingLayout>(Rect(0, 0, 5, 5));
  auto leaf = View::create<CountingLayout>(Rect(0, 0, 5, 5));
  detached->addSubview(leaf);
  leaf->setNeedsLayout(true);
  leaf->layoutSubtreeIfNeeded();
  EXPECT_EQ(detached->count, 1);  // adding a subview asked for the parent's layout
  EXPECT_EQ(leaf->count, 1);
}

}  // namespace
}  // namespace ui
