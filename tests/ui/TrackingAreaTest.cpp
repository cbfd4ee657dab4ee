// Tracking areas: geometric entries and exits under an overlay, exits during
// a press-drag with the entry told at the release, areas made again after a
// resize without piling up, visible-rect areas, activity filters.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;
using testing::RecordingView;
using Log = std::vector<std::string>;

// A control that makes one area over its bounds whenever asked, dropping the
// old one first, as the controls do.
class Hover : public RecordingView {
public:
  using RecordingView::RecordingView;
  void updateTrackingAreas() override {
    if (area) removeTrackingArea(area);
    area = TrackingArea::make(bounds(), options, sharedFromThis());
    addTrackingArea(area);
    ++updates;
  }
  unsigned options = TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveAlways;
  std::shared_ptr<TrackingArea> area;
  int updates = 0;
};

struct TrackingFixture : testing::WindowFixture {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 200, 200));
    hover = View::create<Hover>(Rect(50, 50, 50, 50));
    window->contentView()->addSubview(hover);
    window->makeKeyAndOrderFront();
  }
  std::shared_ptr<Hover> hover;
};

TEST_F(TrackingFixture, AreasFireUnderAnOverlayAndLeavingTheWindowExitsThem) {
  // An overlay over the whole window, as a pop-up's dimming view.
  auto overlay = View::create<RecordingView>(Rect(0, 0, 200, 200));
  window->contentView()->addSubview(overlay);
  Pointer p(*window);
  p.move({10, 10});
  p.move({60, 60});
  p.move({70, 70});
  EXPECT_EQ(hover->log, (Log{"enter"}));
  p.leave();
  EXPECT_EQ(hover->log, (Log{"enter", "exit"}));
  EXPECT_TRUE(overlay->log.empty());
  // The event names the area.
  p.move({60, 60});
  ASSERT_EQ(hover->log.size(), 3u);
}

TEST_F(TrackingFixture, DuringADragExitsComeAtOnceAndEntriesAtTheRelease) {
  Pointer p(*window);
  p.move({60, 60});
  p.press({60, 60});
  p.move({10, 10});  // out while pressed
  EXPECT_EQ(hover->log, (Log{"enter", "down:1", "exit", "drag"}));
  p.move({60, 60});  // back in, still pressed: nothing yet
  p.move({70, 70});
  EXPECT_EQ(hover->log.back(), "drag");
  p.release({70, 70});
  EXPECT_EQ(hover->log.back(), "enter");
  EXPECT_EQ(std::count(hover->log.begin(), hover->log.end(), "enter"), 2);

  // An entry during a drag that ends outside is never told.
  hover->log.clear();
  p.press({10, 10});
  p.move({60, 60});
  p.move({10, 10});
  p.release({10, 10});
  EXPECT_EQ(std::count(hover->log.begin(), hover->log.end(), "enter"), 0);
}

TEST_F(TrackingFixture, AResizeRemakesTheAreaWithoutPilingUp) {
  Pointer p(*window);
  EXPECT_EQ(hover->updates, 1);
  for (int i = 0; i < 5; ++i) hover->setFrameSize({60.0 + i, 60.0 + i});
  EXPECT_EQ(hover->updates, 6);
  EXPECT_EQ(hover->trackingAreas().size(), 1u);
  EXPECT_EQ(hover->area->rect(), Rect(0, 0, 64, 64));
  p.move({105, 105});  // inside only the grown area
  EXPECT_EQ(hover->log, (Log{"enter"}));
  p.move({106, 106});
  hover->setFrameSize({100, 100});
  p.move({107, 107});
  p.move({10, 10});
  // One entry and one exit, whatever the areas made in between.
  EXPECT_EQ(hover->log, (Log{"enter", "exit"}));
}

TEST_F(TrackingFixture, VisibleRectAreasFollowClippingAndActivityFiltersApply) {
  auto clipper = View::create(Rect(0, 0, 100, 100));
  auto wide = View::create<Hover>();
  wide->options = TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveInKeyWindow | TrackingArea::InVisibleRect;
  clipper->addSubview(wide);
  window->contentView()->addSubview(clipper);
  wide->setFrame(Rect(0, 0, 300, 20));  // sticks out of its superview
  Pointer p(*window);
  p.move({150, 10});  // over the part clipped away
  EXPECT_TRUE(wide->log.empty());
  p.move({90, 10});
  EXPECT_EQ(wide->log, (Log{"enter"}));
  p.move({95, 10});

  // In a window that is not key, a key-window area stays quiet.
  auto other = Window::create(Rect(0, 0, 50, 50));
  other->makeKeyWindow();
  EXPECT_FALSE(window->isKeyWindow());
  p.move({10, 150});
  p.move({90, 10});
  EXPECT_EQ(wide->log, (Log{"enter"}));
  window->makeKeyWindow();
  other->close();
}

TEST_F(TrackingFixture, AnAreaRemovedOrItsOwnerGoneDuringDispatchIsSafe) {
  auto second = View::create<RecordingView>(Rect(50, 50, 50, 50));
  auto area = TrackingArea::make(second->bounds(), TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveAlways,
                                 second);
  second->addTrackingArea(area);
  window->contentView()->addSubview(second);
  // The first area's owner removes the second view as the pointer enters.
  struct Remover : Hover {
    using Hover::Hover;
    std::shared_ptr<View> victim;
    void mouseEntered(Event& e) override {
      Hover::mouseEntered(e);
      if (victim) victim->removeFromSuperview();
      victim.reset();
    }
  };
  auto remover = View::create<Remover>(Rect(50, 50, 50, 50));
  remover->victim = second;
  window->contentView()->addSubview(remover, WindowOrderingMode::Below, nullptr);
  std::weak_ptr<View> weakSecond = second;
  second.reset();
  Pointer p(*window);
  p.move({60, 60});
  EXPECT_EQ(remover->log, (Log{"enter"}));
  p.move({10, 10});
  EXPECT_EQ(remover->log, (Log{"enter", "exit"}));
}

}  // namespace
}  // namespace ui
