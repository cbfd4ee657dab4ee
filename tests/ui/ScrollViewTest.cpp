// Scroll and clip views with the project's scroller: constraints on the
// offset, the least scroll that shows a rectangle, the wheel (lines and
// points, a notch at most a page) in flipped and y-up documents, scroller
// sizes and hiding, knob drags and paging, and documents longer than their
// widget may be.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QStyleHints>
#include <QWidget>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

#include "platform/ui/ScrollView.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;

class FlippedDocument : public View {
public:
  using View::View;
  bool isFlipped() const override { return true; }
  double lineScrollHeight() const override { return line; }
  double line = 0;  // a line of its own, as a table's row
};

struct ScrollFixture : testing::WindowFixture {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 200, 200));
    scroll = View::create<ScrollView>(Rect(0, 0, 100, 100));
    scroll->setHasVerticalScroller(true);
    doc = View::create<FlippedDocument>(Rect(0, 0, 100, 400));
    scroll->setDocumentView(doc);
    window->contentView()->addSubview(scroll);
    window->makeKeyAndOrderFront();
  }
  ClipView& clip() { return *scroll->contentView(); }
  std::shared_ptr<ScrollView> scroll;
  std::shared_ptr<View> doc;
};

TEST_F(ScrollFixture, ScrollsAreConstrainedAndShowRectanglesWithTheLeastMove) {
  clip().scrollToPoint({30, 500});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 300}));
  clip().scrollToPoint({0, -5});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 0}));

  // The clip shows 100 x 100 of a document 300 x 400.
  doc->setFrameSize({300, 400});
  struct Case {
    const char* what;
    Point from;
    Rect rect;
    Point to;
  };
  const Case cases[] = {
      {"shown already", {0, 0}, Rect(0, 10, 10, 10), {0, 0}},
      {"shown exactly", {0, 100}, Rect(0, 100, 10, 100), {0, 100}},
      {"below, shorter: its bottom comes to the bottom", {0, 0}, Rect(0, 150, 10, 20), {0, 70}},
      {"above, shorter: its top comes to the top", {0, 200}, Rect(0, 50, 10, 20), {0, 50}},
      {"across the top edge", {0, 200}, Rect(0, 150, 10, 100), {0, 150}},
      {"across the bottom edge", {0, 200}, Rect(0, 250, 10, 100), {0, 250}},
      {"taller than the view: its top shows", {0, 70}, Rect(0, 20, 10, 300), {0, 20}},
      {"taller, from below", {0, 300}, Rect(0, 20, 10, 300), {0, 20}},
      {"past the end: as far as the document goes", {0, 0}, Rect(0, 380, 10, 50), {0, 300}},
      {"right, shorter", {0, 0}, Rect(250, 10, 20, 10), {170, 0}},
      {"left, shorter", {150, 0}, Rect(40, 10, 20, 10), {40, 0}},
      {"both axes", {150, 200}, Rect(10, 20, 20, 10), {10, 20}},
      {"no rectangle", {0, 50}, Rect::null(), {0, 50}},
  };
  for (const auto& c : cases) {
    clip().scrollToPoint(c.from);
    ASSERT_EQ(clip().bounds().origin, c.from) << c.what;
    EXPECT_EQ(clip().scrollRectToVisible(c.rect), !(c.from == c.to)) << c.what;
    EXPECT_EQ(clip().bounds().origin, c.to) << c.what;
  }
  clip().scrollToPoint({0, 20});
  EXPECT_EQ(scroll->documentVisibleRect(), Rect(0, 20, 100, 100));

  // A shrinking document pulls the offset back.
  clip().scrollToPoint({0, 300});
  doc->setFrameSize({100, 150});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 50}));
}

TEST_F(ScrollFixture, TheWheelScrollsLinesAndPointsTowardsTheTopANotchAtMostAPage) {
  Pointer p(*window);
  // A notch is the system's lines, each the document's line or else the
  // scroll view's (sideways always the scroll view's); a touchpad's points
  // stay points. The view shows 100 x 100 of a document 400 x 400.
  const double lines = QGuiApplication::styleHints()->wheelScrollLines();
  const double step = scroll->lineScroll();
  scroll->setHasHorizontalScroller(true);
  auto flipped = View::create<FlippedDocument>(Rect(0, 0, 400, 400));
  auto upDoc = View::create(Rect(0, 0, 400, 400));
  struct Case {
    const char* what;
    std::shared_ptr<View> doc;
    double docLine, viewLine;
    Point from;
    QPoint notches, points;
    Point to;
  };
  // Turning the wheel towards the user (negative delta) goes down a flipped
  // document, whose top is y 0; a y-up document's top is its maximum y.
  const Case cases[] = {
      {"three notches down", flipped, 0, step, {0, 0}, {0, -360}, {}, {0, std::min(100.0, 3 * lines * step)}},
      {"a notch up", flipped, 0, step, {0, 50}, {0, 120}, {}, {0, 50 - lines * step}},
      {"a touchpad's points", flipped, 0, step, {0, 50}, {0, -120}, {0, -7}, {0, 57}},
      {"y-up: a notch down", upDoc, 0, step, {0, 300}, {0, -120}, {}, {0, 300 - lines * step}},
      {"sideways: the scroll view's line", flipped, 25, step, {0, 0}, {-120, 0}, {}, {lines * step, 0}},
      {"a document's line past a page", flipped, 150, step, {0, 50}, {0, -120}, {}, {0, 150}},
      {"sideways past a page", flipped, 0, 150, {200, 0}, {120, 0}, {}, {100, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    flipped->line = c.docLine;
    scroll->setLineScroll(c.viewLine);
    scroll->setDocumentView(c.doc);
    clip().scrollToPoint(c.from);
    ASSERT_EQ(clip().bounds().origin, c.from);
    p.wheel({50, 50}, c.notches, c.points);
    EXPECT_EQ(clip().bounds().origin, c.to);
  }
}

TEST_F(ScrollFixture, ScrollerFollowsTheClipAndHidesWhenTheDocumentFits) {
  Scroller& s = *scroll->verticalScroller();
  EXPECT_FALSE(s.isHidden());
  EXPECT_DOUBLE_EQ(s.knobProportion(), 0.25);
  EXPECT_EQ(s.frame(), Rect(100 - s.scrollerWidth(), 0, s.scrollerWidth(), 100));
  clip().scrollToPoint({0, 150});
  EXPECT_DOUBLE_EQ(s.doubleValue(), 0.5);
  // The scroller lies over the document: it takes no room from it.
  EXPECT_EQ(scroll->documentVisibleRect().size.width, 100);
  doc->setFrameSize({100, 80});
  EXPECT_TRUE(s.isHidden());
  scroll->setAutohidesScrollers(false);
  EXPECT_FALSE(s.isHidden());
  EXPECT_DOUBLE_EQ(s.knobProportion(), 1);

  // A y-up document's top is its maximum y: scrolled to its bottom, the
  // scroller sits at the end.
  auto upDoc = View::create(Rect(0, 0, 100, 400));
  scroll->setDocumentView(upDoc);
  clip().scrollToPoint({0, 0});
  EXPECT_DOUBLE_EQ(s.doubleValue(), 1);
}

TEST_F(ScrollFixture, DraggingTheKnobAndClickingTheSlotScroll) {
  // A slim scroller of the editor's own look.
  struct Slim : Scroller {
    double scrollerWidth() const override { return 4; }
  };
  scroll->setVerticalScroller(View::create<Slim>());
  Scroller& s = *scroll->verticalScroller();
  EXPECT_EQ(s.frame().size.width, 4);
  ASSERT_EQ(s.rectForPart(ScrollerPart::Knob), Rect(0, 0, 4, 25));

  Pointer p(*window);
  // Window y-up: the scroll view spans window y 0..100, its top at 100.
  p.press({98, 90});    // on the knob, 10 below its top
  p.move({98, 52.5});   // 37.5 down: half of the knob's travel (75)
  p.release({98, 52.5});
  EXPECT_DOUBLE_EQ(s.doubleValue(), 0.5);
  EXPECT_EQ(clip().bounds().origin.y, 150);

  p.wait(1000);
  p.click({98, 5});  // the slot below the knob: one page down
  EXPECT_NEAR(clip().bounds().origin.y, 250, 1e-9);
  p.wait(1000);
  p.click({98, 95});  // above the knob: a page up
  EXPECT_NEAR(clip().bounds().origin.y, 150, 1e-9);
}

// A cell with an area over its visible part, made again whenever asked.
class DocumentRow : public testing::RecordingView {
public:
  using RecordingView::RecordingView;
  void updateTrackingAreas() override {
    for (auto& a : std::vector<std::shared_ptr<TrackingArea>>(trackingAreas())) removeTrackingArea(a);
    addTrackingArea(TrackingArea::make(Rect(), TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveAlways |
                                                   TrackingArea::InVisibleRect,
                                       sharedFromThis()));
    ++updates;
  }
  int updates = 0;
};

TEST_F(ScrollFixture, ContentScrolledFromUnderAStillPointerExitsAndEnters) {
  auto cell = View::create<DocumentRow>(Rect(0, 0, 100, 50));  // at the document's top
  auto lower = View::create<DocumentRow>(Rect(0, 50, 100, 50));
  doc->addSubview(cell);
  doc->addSubview(lower);
  Pointer p(*window);
  p.move({50, 80});  // 20 below the scroll view's top: over the first cell
  EXPECT_EQ(cell->log, (std::vector<std::string>{"enter"}));
  const int before = cell->updates;
  clip().scrollToPoint({0, 40});  // the second cell slides under the pointer
  EXPECT_EQ(cell->log, (std::vector<std::string>{"enter", "exit"}));
  EXPECT_EQ(lower->log, (std::vector<std::string>{"enter"}));
  EXPECT_GT(cell->updates, before);
  EXPECT_EQ(cell->trackingAreas().size(), 1u);
}

TEST_F(ScrollFixture, ReplacingTheClipViewKeepsItsFrame) {
  clip().scrollToPoint({0, 40});
  auto fresh = View::create<ClipView>();
  scroll->setContentView(fresh);
  scroll->setDocumentView(doc);
  EXPECT_EQ(scroll->contentView(), fresh);
  EXPECT_EQ(fresh->frame(), Rect(0, 0, 100, 100));
  EXPECT_EQ(doc->superview(), fresh.get());
  EXPECT_EQ(fresh->enclosingScrollView(), scroll.get());
}

// Stripes of 100 points in four colours down the document's y axis (up or
// down as it is flipped): the first two painted by the document itself, the
// others by subviews.
const QColor kStripes[] = {QColor(200, 40, 40), QColor(40, 160, 40), QColor(40, 40, 200), QColor(200, 180, 40)};

template <bool Flipped>
class StripedDocument : public View {
public:
  using View::View;
  bool isFlipped() const override { return Flipped; }
  void drawRect(GraphicsContext& ctx, const Rect&) override {
    for (int i = 0; i < 2; ++i) {
      ctx.setFillColor(Color::fromQColor(kStripes[i]));
      ctx.fillRect(Rect(0, 100.0 * i, bounds().width(), 100));
    }
  }
};

// The colour of the window's pixel at (x, y) in points from its top-left.
std::string colourAt(const QImage& img, double x, double y) {
  const double dpr = img.devicePixelRatio();
  return img.pixelColor(int(x * dpr), int(y * dpr)).name().toStdString();
}

std::shared_ptr<View> stripe(int i) {
  auto v = View::create(Rect(0, 100.0 * i, 100, 100));
  v->layer().setBackgroundColor(Color::fromQColor(kStripes[i]));
  return v;
}

TEST_F(ScrollFixture, ADocumentLongerThanItsWidgetMayBeShowsEveryPartOfIt) {
  for (const bool flipped : {true, false}) {
    SCOPED_TRACE(flipped ? "flipped" : "y-up");
    const Rect frame(0, 0, 100, 400);
    std::shared_ptr<View> striped;
    if (flipped) {
      striped = View::create<StripedDocument<true>>(frame);
    } else {
      striped = View::create<StripedDocument<false>>(frame);
    }
    striped->addSubview(stripe(2));
    scroll->setDocumentView(striped);
    clip().setMaximumDocumentWidgetLength(150);
    for (const double offset : {0.0, 120.0, 300.0, 170.0, 40.0, 260.0}) {
      SCOPED_TRACE(offset);
      clip().scrollToPoint({0, offset});
      // One subview arrives while the document is shown in a band.
      if (offset == 300 && striped->subviews().size() == 1) striped->addSubview(stripe(3));
      EXPECT_LE(striped->widget()->height(), 150);
      const QImage img = window->widget()->grab().toImage();
      // The scroll view fills the window's lower half (y-up 0..100).
      for (double y = 2; y < 100; y += 4) {
        const Point docPoint = striped->convertPointFromView({50, y}, nullptr);
        const double within = std::fmod(docPoint.y, 100);
        if (within < 3 || within > 97) continue;  // no edges
        const int index = int(docPoint.y / 100);
        if (index == 3 && striped->subviews().size() == 1) continue;
        EXPECT_EQ(colourAt(img, 50, 200 - y), kStripes[index].name().toStdString()) << "document y " << docPoint.y;
      }
    }
    // Short enough again, or out of the clip view: one widget for all of it.
    clip().setMaximumDocumentWidgetLength(ClipView::kMaximumDocumentWidgetLength);
    EXPECT_EQ(striped->widget()->height(), 400);
    clip().setMaximumDocumentWidgetLength(150);
    window->contentView()->addSubview(striped);
    EXPECT_EQ(striped->widget()->height(), 400);
  }

  // Longer than 2^32 points: a subview near the top, more than 2^32 pixels
  // above the band, stays out of sight at the end.
  const double length = 4294967296.0 + 200;
  auto endless = View::create<FlippedDocument>(Rect(0, 0, 100, length));
  auto atEnd = stripe(2);
  atEnd->setFrameOrigin({0, length - 100});
  endless->addSubview(atEnd);
  auto nearTop = stripe(0);
  nearTop->setFrameOrigin({0, 100});
  endless->addSubview(nearTop);
  scroll->setDocumentView(endless);
  clip().scrollToPoint({0, length});
  EXPECT_EQ(colourAt(window->widget()->grab().toImage(), 50, 150), kStripes[2].name().toStdString());
}

}  // namespace
}  // namespace ui
