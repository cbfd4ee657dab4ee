// Pointer events from the X server (xvfb-run, QT_QPA_PLATFORM=xcb), where Qt
// makes its own double clicks and grabs: quick clicks and a second button
// pressed during a drag. Disabled in the offscreen run; the test_ui_real_events
// entry runs them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStyleHints>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "ui/RealPointer.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::RealPointer;
using testing::RecordingView;
using Log = std::vector<std::string>;
using Button = RealPointer::Button;

struct RealEvents : testing::WindowFixture {
  void SetUp() override {
    ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
    window = Window::create(Rect(40, 40, 300, 200));
    left = View::create<RecordingView>(Rect(0, 0, 150, 200));
    right = View::create<RecordingView>(Rect(150, 0, 150, 200));
    window->contentView()->addSubview(left);
    window->contentView()->addSubview(right);
    window->makeKeyAndOrderFront();
    pointer = std::make_unique<RealPointer>(*window);
    ASSERT_EQ(pointer->problem(), "");
    ASSERT_TRUE(pointer->waitUntilShown());
  }
  void TearDown() override {
    pointer.reset();
    WindowFixture::TearDown();
  }
  std::shared_ptr<RecordingView> left, right;
  std::unique_ptr<RealPointer> pointer;
};

TEST_F(RealEvents, DISABLED_EveryQuickClickReachesTheViewWithItsCount) {
  // The server stamps the clicks, 40 ms apart, by its own clock. On a loaded
  // machine it may stamp two further apart than the double-click interval,
  // and then they are two clicks for Qt too: such a round shows nothing and
  // is clicked again, each round at its own place.
  const double interval = QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0;
  for (int round = 0; round < 5; ++round) {
    left->log.clear();
    left->when.clear();
    ASSERT_TRUE(pointer->moveTo({30.0 + 25 * round, 100}));
    ASSERT_TRUE(pointer->quickClicks(5, 40));
    bool quick = true;
    for (size_t i = 2; i < left->when.size(); i += 2) quick = quick && left->when[i] - left->when[i - 2] <= interval;
    if (quick) break;
  }
  EXPECT_EQ(left->log, (Log{"down:1", "up:1", "down:2", "up:2", "down:3", "up:3", "down:4", "up:4", "down:5", "up:5"}));
}

TEST_F(RealEvents, DISABLED_ASecondButtonDuringADragLeavesTheDragAndItsRelease) {
  ASSERT_TRUE(pointer->moveTo({30, 160}));  // away from other tests' clicks: a plain press
  ASSERT_TRUE(pointer->press(Button::Left));
  ASSERT_TRUE(pointer->moveTo({70, 110}));
  ASSERT_TRUE(pointer->moveTo({200, 120}));  // over the right view, still dragging the left one
  const size_t dragged = left->log.size();
  ASSERT_TRUE(pointer->press(Button::Right));
  ASSERT_TRUE(pointer->release(Button::Right));
  ASSERT_TRUE(pointer->moveTo({210, 60}));
  ASSERT_TRUE(pointer->release(Button::Left));

  // The left view: its press, drags before and after the right click, and
  // one release, where the pointer let go (in its own coordinates).
  ASSERT_GE(dragged, 2u) << ::testing::PrintToString(left->log);
  ASSERT_GE(left->log.size(), dragged + 2) << "no drag after the right click: " << ::testing::PrintToString(left->log);
  EXPECT_EQ(left->log.front(), "down:1");
  EXPECT_EQ(left->log.back(), "up:1");
  EXPECT_EQ(left->where.back(), (Point{210, 60}));
  for (size_t i = 1; i + 1 < left->log.size(); ++i) EXPECT_EQ(left->log[i], "drag") << i;
  // The right button's down and up go to the view under the pointer.
  EXPECT_EQ(right->log, (Log{"rdown", "rup"}));

  // The window is free again: a click lands as usual.
  right->log.clear();
  ASSERT_TRUE(pointer->moveTo({220, 100}));
  ASSERT_TRUE(pointer->quickClicks(1, 0));
  EXPECT_EQ(right->log, (Log{"down:1", "up:1"}));
}

}  // namespace
}  // namespace ui
