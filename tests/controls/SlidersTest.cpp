// The bar slider (reports only on whole-number changes while dragging and at
// every release, its bar at both ends, hover knob, values applied later) and
// the vertical slider view (its layout's parts, slider reports, steps of its
// buttons repeating on the test's clock, stopping however the press ends,
// never two repetitions at once).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>

#include "controls/ControlsTestSupport.h"
#include "controls/GGVerticalSliderView.h"
#include "platform/dispatch/ManualClock.h"
#include "platform/ui/Application.h"

namespace {

using namespace std::chrono_literals;
using ui::Rect;

TEST(GGSlider, ReportsWholeNumberChangesWhileDraggedAndEveryRelease) {
  auto slider = ui::View::create<GGSlider>(ui::FromLayout{});
  slider->setFrame(Rect(0, 0, 24, 120));
  slider->setMaxValue(100);
  std::vector<std::string> changes, ends;
  slider->SlideChangeBlock = [&](GGSlider&, const std::string& v) { changes.push_back(v); };
  slider->SlideEndDragBlock = [&](GGSlider&, const std::string& v) { ends.push_back(v); };
  auto at = [&](ui::EventType type, double value) {
    ui::Event e(type, {}, nullptr);
    ui::Application::CurrentEventScope scope(&e);
    slider->ui::Slider::setDoubleValue(value);
    return slider->sendAction();
  };
  EXPECT_FALSE(at(ui::EventType::LeftMouseDown, 10));  // a press reports nothing
  EXPECT_TRUE(at(ui::EventType::LeftMouseDragged, 37.2));
  EXPECT_FALSE(at(ui::EventType::LeftMouseDragged, 37.9));
  EXPECT_TRUE(at(ui::EventType::LeftMouseDragged, 38));
  EXPECT_TRUE(at(ui::EventType::LeftMouseUp, 38));
  // A later drag within the same whole number reports no change.
  EXPECT_FALSE(at(ui::EventType::LeftMouseDragged, 38.5));
  EXPECT_TRUE(at(ui::EventType::LeftMouseUp, 38.5));
  EXPECT_EQ(changes, (std::vector<std::string>{"37.2", "38"}));
  EXPECT_EQ(ends, (std::vector<std::string>{"38", "38.5"}));
}

TEST(GGSlider, TheBarRunsFromNothingToTheFullTrack) {
  auto slider = ui::View::create<GGSlider>(ui::FromLayout{});
  slider->setFrame(Rect(0, 0, 24, 120));
  slider->setMaxValue(100);
  auto& cell = slider->sliderCell();
  const Rect bar = cell.barRect();
  EXPECT_EQ(cell.filledBarRect(bar).height(), 0);
  slider->ui::Slider::setDoubleValue(100);
  EXPECT_EQ(cell.filledBarRect(bar), Rect(bar.minX(), 12, 8, 100));
  slider->setMaxValue(0);  // an empty range fills nothing
  EXPECT_EQ(cell.filledBarRect(bar).height(), 0);

  ui::Event e(ui::EventType::MouseEntered, {}, nullptr);
  slider->mouseEntered(e);
  EXPECT_TRUE(cell.isHighlighted());
  slider->mouseExited(e);
  EXPECT_FALSE(cell.isHighlighted());

  slider->setMaxValue(100);
  std::thread([slider] { slider->setFloatValue(42); }).join();
  EXPECT_EQ(slider->doubleValue(), 0);  // later, on the main queue
  EXPECT_TRUE(controls_test::runUntil([&] { return slider->doubleValue() == 42; }));
}

struct Recorder : GGVerticalSliderViewDelegate {
  void sliderDragAtCell(GGVerticalSliderView&, const std::string& value, bool isEnd) override {
    drags.push_back(value + (isEnd ? " end" : ""));
  }
  void addOrMinusActionAtCell(GGVerticalSliderView&, bool isAdd) override { (isAdd ? ups : downs)++; }
  std::vector<std::string> drags;
  int ups = 0, downs = 0;
};

struct SliderViewFixture : ::testing::Test, controls_test::WindowFixture {
  void SetUp() override {
    dispatch::setClockForTesting(clock);
    view = GGVerticalSliderView::createView();
    ASSERT_NE(view, nullptr);
    view->setFrameOrigin({20, 20});
    window->contentView()->addSubview(view);
    view->delegate = recorder;
    QCoreApplication::processEvents();
  }
  void TearDown() override { dispatch::setClockForTesting(nullptr); }
  // Moves the clock on and runs what became due, and the steps it posted.
  void advance(std::chrono::milliseconds by) {
    clock->advance(by);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  ui::Point centreOf(const std::weak_ptr<SWSTAnswerButton>& b) const {
    const Rect f = b.lock()->frame();
    return {20 + f.midX(), 20 + f.midY()};
  }
  std::shared_ptr<dispatch::ManualClock> clock = std::make_shared<dispatch::ManualClock>();
  std::shared_ptr<GGVerticalSliderView> view;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(SliderViewFixture, AClickStepsOnceAndAHoldRepeatsUntilTheRelease) {
  ASSERT_FALSE(view->valueSlider.expired());
  ASSERT_FALSE(view->valueTF.expired());
  ui::testing::Pointer p(*window);
  p.move(centreOf(view->upButton));
  p.click(centreOf(view->upButton));
  advance(1000ms);
  EXPECT_EQ(recorder->ups, 1);

  p.wait(2000);
  p.press(centreOf(view->downButton));
  advance(299ms);
  EXPECT_EQ(recorder->downs, 0);
  advance(1ms);
  EXPECT_EQ(recorder->downs, 1);  // at 0.3 s
  for (int i = 0; i < 7; ++i) advance(100ms);
  EXPECT_EQ(recorder->downs, 8);  // then every 0.1 s
  p.release(centreOf(view->downButton));
  advance(1000ms);
  EXPECT_EQ(recorder->downs, 9);  // one more at the release, then no more
  EXPECT_FALSE(view->isMouseDown());
}

TEST_F(SliderViewFixture, RepetitionEndsHoweverThePressEndsAndNeverRunsTwice) {
  ui::testing::Pointer p(*window);
  // Leaving the button stops it; the release still steps.
  p.move(centreOf(view->upButton));
  p.press(centreOf(view->upButton));
  advance(300ms);
  advance(100ms);
  EXPECT_EQ(recorder->ups, 2);
  p.move({300, 250});
  advance(500ms);
  EXPECT_EQ(recorder->ups, 2);
  p.release({300, 250});
  advance(100ms);
  EXPECT_EQ(recorder->ups, 3);

  // A second press soon after a click: only its own repetition, on its time.
  recorder->ups = 0;
  p.wait(2000);
  p.move(centreOf(view->upButton));
  p.press(centreOf(view->upButton));
  advance(100ms);
  p.release(centreOf(view->upButton));
  advance(100ms);
  p.wait(2000);
  p.press(centreOf(view->upButton));
  advance(100ms);  // the first press's start is due now: it must not run
  EXPECT_EQ(recorder->ups, 1);
  advance(200ms);  // the second press's own start
  EXPECT_EQ(recorder->ups, 2);
  advance(100ms);
  EXPECT_EQ(recorder->ups, 3);  // one step per interval: a single repetition

  // The button hidden while held: the repetition stops.
  view->upButton.lock()->setHidden(true);
  advance(100ms);
  const int afterHide = recorder->ups;
  advance(500ms);
  EXPECT_EQ(recorder->ups, afterHide);
  EXPECT_FALSE(view->isMouseDown());
  p.release(centreOf(view->upButton));
}

TEST_F(SliderViewFixture, SliderDragsReachTheDelegate) {
  auto slider = view->valueSlider.lock();
  slider->setMaxValue(100);
  const Rect f = slider->frame();
  ui::testing::Pointer p(*window);
  const double x = 20 + f.midX();
  p.press({x, 20 + f.minY() + 10});  // the bottom: 0
  p.move({x, 20 + f.midY()});
  p.release({x, 20 + f.midY()});
  advance(10ms);
  ASSERT_EQ(recorder->drags.size(), 2u);
  EXPECT_EQ(recorder->drags[0], "50");
  EXPECT_EQ(recorder->drags[1], "50 end");
  p.wait(2000);
  p.click({x, 20 + f.maxY() - 10});  // a click alone: the end only
  ASSERT_EQ(recorder->drags.size(), 3u);
  EXPECT_EQ(recorder->drags[2], "100 end");
}

}  // namespace
