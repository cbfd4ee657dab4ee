// The progress bar: values outside 0 to 1 (or not numbers) refused, the
// fill's extent, the stripes' strip, the border and highlight widths, one
// stripes clock however often animation is switched on, and fades that
// start only when the state changes.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/ControlsTestSupport.h"
#include "controls/ITProgressBar.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"

namespace {

using ui::Rect;

TEST(ITProgressBar, RefusesValuesOutsideItsRangeAndFillsToTheValue) {
  auto bar = ui::View::create<ITProgressBar>(Rect(0, 0, 200, 20));
  std::vector<std::string> logged;
  auto previous = fnd::setLogSink([&](const std::string& line) { logged.push_back(line); });
  EXPECT_TRUE(bar->setFloatValue(0.5));
  EXPECT_FALSE(bar->setFloatValue(1.5));
  EXPECT_FALSE(bar->setFloatValue(-0.1));
  EXPECT_FALSE(bar->setFloatValue(std::nan("")));
  fnd::setLogSink(previous);
  EXPECT_EQ(bar->floatValue(), 0.5);
  EXPECT_EQ(logged.size(), 3u);
  EXPECT_EQ(bar->innerClipRect(), Rect(1, 1, 99, 18));
  bar->setFloatValue(1.0);
  EXPECT_EQ(bar->innerClipRect(), Rect(1, 1, 198, 18));
  bar->setFloatValue(0.0);
  EXPECT_EQ(bar->innerClipRect().width(), 0);
  EXPECT_EQ(bar->stripesRect(), Rect(-30, 0, 240, 20));
}

TEST(ITProgressBar, TheHighlightIsNeverWiderThanTheBorder) {
  auto bar = ui::View::create<ITProgressBar>(Rect(0, 0, 200, 20));
  std::vector<std::string> logged;
  auto previous = fnd::setLogSink([&](const std::string& line) { logged.push_back(line); });
  bar->setShadowWidth(2.0);
  fnd::setLogSink(previous);
  EXPECT_EQ(bar->shadowWidth(), 1.0);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], "Warning: Line width must be at least as large as shadow width");
  bar->setBorderWidth(0.5);
  EXPECT_EQ(bar->shadowWidth(), 0.5);
}

TEST(ITProgressBar, OneStripesClockAndFadesOnlyOnChanges) {
  controls_test::WindowFixture w;
  auto& clock = ui::AnimationClock::shared();
  clock.setManual(true);
  const size_t before = clock.subscriberCount();
  auto bar = ui::View::create<ITProgressBar>(Rect(10, 10, 200, 20));
  EXPECT_FALSE(bar->stripesRunning());  // not in a window yet
  w.window->contentView()->addSubview(bar);
  EXPECT_TRUE(bar->stripesRunning());
  bar->setAnimates(true);
  bar->setAnimates(false);
  bar->setAnimates(true);
  EXPECT_EQ(clock.subscriberCount(), before + 1);
  clock.advance(0.15);
  EXPECT_NEAR(bar->stripesOffset(), 15, 1.0);  // half a tile in half a period

  const size_t fades = ui::runningFadeCount();
  bar->setHidden(false);  // already shown: no fade
  EXPECT_EQ(ui::runningFadeCount(), fades);
  bar->setHidden(true);
  bar->setHidden(true);
  EXPECT_EQ(ui::runningFadeCount(), fades + 1);
  clock.advance(1.0);
  EXPECT_TRUE(bar->isHidden());
  EXPECT_FALSE(bar->stripesRunning());
  EXPECT_EQ(clock.subscriberCount(), before);
  clock.setManual(false);
}

}  // namespace
