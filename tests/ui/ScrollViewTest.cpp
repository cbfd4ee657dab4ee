// Scroll and clip views with the project's scroller: constraints on the
// offset, the least scroll that shows a rectangle, the wheel in flipped and
// y-up documents, scroller sizes and hiding, knob drags and paging.
#include <gtest/gtest.h>

#include <QCoreApplication>

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
};

struct ScrollFixture : ::testing::Test {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 200, 200));
    scroll = View::create<ScrollView>(Rect(0, 0, 100, 100));
    scroll->setHasVerticalScroller(true);
    doc = View::create<FlippedDocument>(Rect(0, 0, 100, 400));
    scroll->setDocumentView(doc);
    window->contentView()->addSubview(scroll);
    window->makeKeyAndOrderFront();
  }
  void TearDown() override {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  ClipView& clip() { return *scroll->contentView(); }
  std::shared_ptr<Window> window;
  std::shared_ptr<ScrollView> scroll;
  std::shared_ptr<View> doc;
};

TEST_F(ScrollFixture, ScrollsAreConstrainedAndShowRectanglesWithTheLeastMove) {
  clip().scrollToPoint({30, 500});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 300}));
  clip().scrollToPoint({0, -5});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 0}));

  EXPECT_FALSE(clip().scrollRectToVisible(Rect(0, 10, 10, 10)));  // already shown
  EXPECT_TRUE(clip().scrollRectToVisible(Rect(0, 150, 10, 20)));   // below: its bottom comes to the bottom
  EXPECT_EQ(clip().bounds().origin, (Point{0, 70}));
  EXPECT_TRUE(clip().scrollRectToVisible(Rect(0, 20, 10, 300)));   // taller than the view: its top shows
  EXPECT_EQ(clip().bounds().origin, (Point{0, 20}));
  EXPECT_EQ(scroll->documentVisibleRect(), Rect(0, 20, 100, 100));

  // A shrinking document pulls the offset back.
  clip().scrollToPoint({0, 300});
  doc->setFrameSize({100, 150});
  EXPECT_EQ(clip().bounds().origin, (Point{0, 50}));
}

TEST_F(ScrollFixture, TheWheelScrollsTowardsTheTopInFlippedAndYUpDocuments) {
  Pointer p(*window);
  // Flipped document: the top is y 0; turning the wheel towards the user
  // (negative delta) goes down the document.
  p.wheel({50, 50}, QPoint(0, -120 * 3));
  EXPECT_EQ(clip().bounds().origin.y, 30);
  p.wheel({50, 50}, QPoint(0, 120));
  EXPECT_EQ(clip().bounds().origin.y, 20);

  // A y-up document has its top at its maximum y, where it starts scrolled to
  // when shown from the top.
  auto upDoc = View::create(Rect(0, 0, 100, 400));
  scroll->setDocumentView(upDoc);
  clip().scrollToPoint({0, 300});
  p.wheel({50, 50}, QPoint(0, -120));
  EXPECT_EQ(clip().bounds().origin.y, 290);
  EXPECT_EQ(clip().isFlipped(), false);
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

}  // namespace
}  // namespace ui
