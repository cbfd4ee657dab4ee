// The rotary knob (presses, drags, limits, value text at the ends, the lit
// dots, a press on the centre, an empty span), the on/off switch (picture
// size, clicks against code's sets) and the drawn button (looks by state,
// fall-backs, alignment, releases inside and outside, an action that closes
// the overlay holding the button, its tracking area).
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "controls/ControlsTestSupport.h"
#include "controls/GGCircularSlider.h"
#include "controls/EffectInsertButton.h"
#include "controls/GGCoustomButton.h"
#include "controls/GGFunctionButton.h"
#include "controls/GGPopView.h"
#include "controls/GGSwitch.h"
#include "platform/ui/TrackingArea.h"

namespace {

using ui::Point;
using ui::Rect;
constexpr double kPi = GGCircularSlider::kPi;

struct KnobFixture : ::testing::Test, controls_test::WindowFixture {
  void SetUp() override {
    knob = ui::View::create<GGCircularSlider>(Rect(10, 10, 90, 72));
    window->contentView()->addSubview(knob);
    knob->awakeFromNib();
    knob->circularValueChange = [this](double v, bool end) { calls.emplace_back(v, end); };
  }
  void TearDown() override { knob->circularValueChange = nullptr; }
  // Window point of a point in the knob.
  Point at(double x, double y) const { return {10 + x, 10 + y}; }
  std::shared_ptr<GGCircularSlider> knob;
  std::vector<std::pair<double, bool>> calls;
};

TEST_F(KnobFixture, APressTurnsTheNeedleTowardsThePointerWithinItsTravel) {
  ui::testing::Pointer p(*window);
  EXPECT_DOUBLE_EQ(knob->value(), 50);  // upright
  // Up and to the right of the centre: clockwise, above half.
  p.press(at(75, 60));
  EXPECT_NEAR(knob->currentAngle(), -kPi / 4, 1e-12);
  EXPECT_NEAR(knob->value(), 200.0 / 3, 1e-9);
  p.release(at(75, 60));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(calls[0].second);
  EXPECT_TRUE(calls[1].second);

  // Straight below: the lower right end, the whole span.
  p.wait(2000);
  p.click(at(45, 1));
  EXPECT_DOUBLE_EQ(knob->currentAngle(), -GGCircularSlider::kHalfTravel);
  EXPECT_DOUBLE_EQ(knob->value(), 100);
  // On the centre itself: no angle, nothing moves, the release still reports.
  calls.clear();
  p.wait(2000);
  p.click(at(45, 30));
  EXPECT_DOUBLE_EQ(knob->currentAngle(), -GGCircularSlider::kHalfTravel);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::pair<double, bool>{100, true}));
}

TEST_F(KnobFixture, DraggingTurnsByTheSweptAngleAndStopsAtTheEnd) {
  ui::testing::Pointer p(*window);
  p.press(at(45, 60));  // the top: no change
  EXPECT_TRUE(calls.empty());
  p.move(at(75, 30));  // a quarter turn clockwise
  EXPECT_NEAR(knob->currentAngle(), -kPi / 2, 1e-12);
  EXPECT_NEAR(knob->value(), 250.0 / 3, 1e-9);
  p.move(at(75, 0));
  p.move(at(46, 0));  // past the end: held there
  EXPECT_DOUBLE_EQ(knob->currentAngle(), -GGCircularSlider::kHalfTravel);
  EXPECT_DOUBLE_EQ(knob->value(), 100);
  p.move(at(75, 30));  // back again
  EXPECT_NEAR(knob->currentAngle(), -kPi / 2, 1e-12);
  p.release(at(75, 30));
  EXPECT_TRUE(calls.back().second);
  for (auto& [v, end] : calls) EXPECT_TRUE(std::isfinite(v));

  // Hidden in the middle of a turn: the end is still reported, once.
  calls.clear();
  p.wait(2000);
  p.press(at(75, 60));
  knob->setHidden(true);
  p.release(at(75, 60));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FALSE(calls[0].second);
  EXPECT_TRUE(calls[1].second);
}

// Both ends of the travel, mirrored about the vertical through the centre
// (45, 30): a press just beside straight below, and a drag from the top
// round past the end, hold the needle at that end; turning back moves it.
TEST_F(KnobFixture, EachEndOfTheTravelHoldsTheNeedle) {
  const struct {
    const char* name;
    double side;  // -1: the minimum, lower left; +1: the maximum, lower right
    double endAngle, endValue;
  } ends[] = {{"minimum", -1, GGCircularSlider::kHalfTravel, 0},
              {"maximum", +1, -GGCircularSlider::kHalfTravel, 100}};
  for (const auto& end : ends) {
    SCOPED_TRACE(end.name);
    ui::testing::Pointer p(*window);
    p.wait(2000);
    p.click(at(45 + end.side, 1));
    EXPECT_DOUBLE_EQ(knob->currentAngle(), end.endAngle);
    EXPECT_DOUBLE_EQ(knob->value(), end.endValue);

    knob->configValue(50);
    p.wait(2000);
    p.press(at(45, 60));
    p.move(at(45 + 30 * end.side, 30));  // a quarter turn towards the end
    EXPECT_NEAR(knob->currentAngle(), end.endAngle * 2 / 3, 1e-12);
    p.move(at(45 + 30 * end.side, 0));
    p.move(at(45 + end.side, 0));  // past the end, short of straight below: held
    EXPECT_DOUBLE_EQ(knob->currentAngle(), end.endAngle);
    EXPECT_DOUBLE_EQ(knob->value(), end.endValue);
    p.move(at(45 + 30 * end.side, 30));  // back again
    EXPECT_NEAR(knob->currentAngle(), end.endAngle * 2 / 3, 1e-12);
    p.release(at(45 + 30 * end.side, 30));
  }
}

TEST_F(KnobFixture, ValuesRoundUpAboveFourFifthsAndStayWithinTheSpan) {
  const double k = GGCircularSlider::kTravel / 100;
  knob->configValue(50);
  EXPECT_EQ(knob->currentAngle(), 0);
  knob->setCurrentAngle(GGCircularSlider::kHalfTravel - 49.85 * k);
  EXPECT_DOUBLE_EQ(knob->value(), 50);
  knob->setCurrentAngle(GGCircularSlider::kHalfTravel - 49.75 * k);
  EXPECT_NEAR(knob->value(), 49.75, 1e-9);

  knob->configValue(0);
  EXPECT_DOUBLE_EQ(knob->currentAngle(), GGCircularSlider::kHalfTravel);
  EXPECT_DOUBLE_EQ(knob->value(), 0);
  knob->configValue(150);  // held at the end of the travel
  EXPECT_DOUBLE_EQ(knob->currentAngle(), -GGCircularSlider::kHalfTravel);
  EXPECT_DOUBLE_EQ(knob->value(), 100);
  knob->configValue(std::nan(""));
  EXPECT_DOUBLE_EQ(knob->value(), 100);

  // An empty or reversed span: 0, at the start, never NaN.
  knob->setMinValue(5);
  knob->setMaxValue(5);
  knob->configValue(3);
  EXPECT_DOUBLE_EQ(knob->currentAngle(), GGCircularSlider::kHalfTravel);
  EXPECT_EQ(knob->value(), 0);
  knob->setMaxValue(1);
  knob->setCurrentAngle(0);
  EXPECT_EQ(knob->value(), 0);
}

TEST_F(KnobFixture, ATurnRedrawsTheRingOnlyWhenADotGoesOnOrOff) {
  // Angles as the ring counts them: s steps of 15 degrees from the start.
  auto angle = [](double s) { return (135 - 15 * s) * kPi / 180; };
  struct Case {
    double from, to;
    bool ring;
  } cases[] = {
      {3.2, 3.7, false},   // within one dot
      {3.7, 4.2, true},    // the next dot lights
      {4.2, 3.9, true},    // and goes off again
      {0.0, 0.5, true},    // the first dot
      {17.9, 18.0, true},  // the last
      {18.0, 18.0, false}, // no turn at all
  };
  for (const Case& c : cases) {
    knob->setCurrentAngle(angle(c.from));
    (void)window->widget()->grab();  // painted: nothing waits for display
    ASSERT_FALSE(knob->needsDisplay());
    knob->setCurrentAngle(angle(c.to));
    EXPECT_EQ(knob->needsDisplay(), c.ring) << c.from << " to " << c.to;
    EXPECT_TRUE(knob->needleImageView()->needsDisplay()) << c.from << " to " << c.to;
  }
}

TEST(GGCircularSlider, DotsAreLitUpToTheNeedle) {
  auto litAt = [](double s) { return GGCircularSlider::litDots((135 - 15 * s) * kPi / 180); };
  EXPECT_EQ(litAt(0), 0);
  EXPECT_EQ(litAt(2.5), 3);
  EXPECT_EQ(litAt(3), 4);
  EXPECT_EQ(litAt(15.3), 16);
  EXPECT_EQ(litAt(18), 19);
  EXPECT_EQ(litAt(20), 19);
  EXPECT_EQ(litAt(-2), 0);
  const Point first = GGCircularSlider::calcCircleCoordinateWithCenter({42, 27}, -90, 38);
  EXPECT_NEAR(first.x, 42, 1e-5);
  EXPECT_NEAR(first.y, 65, 1e-5);  // -90 degrees is the top
  EXPECT_EQ(GGCircularSlider::getAnglesWithThreePoint({1, 1}, {1, 1}, {5, 5}), 0);
}

TEST(GGSwitch, PicturesFillTheWidthUpToFifteenHigh) {
  auto sw = ui::View::create<GGSwitch>(Rect(0, 0, 40, 30));
  sw->OffImage = ui::Image::render(ui::Size{44, 22}, [](ui::GraphicsContext&) {});
  EXPECT_EQ(sw->pictureRect(), Rect(5, 7.5, 30, 15));
  sw->setFrameSize({20, 30});
  EXPECT_EQ(sw->pictureRect(), Rect(0, 10, 20, 10));
  sw->OffImage = ui::Image::render(ui::Size{44, 0}, [](ui::GraphicsContext&) {});
  EXPECT_TRUE(sw->pictureRect().isEmpty());  // nothing to scale
  ASSERT_NE(sw->OnImage, nullptr);  // the project's pictures
}

TEST(GGSwitch, ClicksFlipAndReportWhileCodeOnlyRedraws) {
  controls_test::WindowFixture w;
  auto sw = ui::View::create<GGSwitch>(Rect(10, 10, 30, 15));
  std::vector<bool> told;
  sw->ChangeSwitchStatus = [&](bool on) { told.push_back(on); };
  sw->setIsOn(true);  // not yet in a window: stored
  EXPECT_TRUE(sw->isOn());
  sw->setIsOn(false);
  w.window->contentView()->addSubview(sw);
  ui::testing::Pointer p(*w.window);
  p.click({20, 15});
  p.click({20, 15});
  sw->setIsOn(true);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  // A release away from the switch after a press on it still flips it.
  p.wait(2000);
  p.press({20, 15});
  p.move({200, 200});
  p.release({200, 200});
  EXPECT_FALSE(sw->isOn());
  sw->ChangeSwitchStatus = nullptr;
}

// A title narrower than its button is drawn on one line, whatever its
// alignment: the rows of the picture that hold its ink span one line.
TEST(GGCoustomButton, ATitleThatFitsIsDrawnOnOneLine) {
  controls_test::WindowFixture w(200, 60);
  auto& content = *w.window->contentView();
  content.setWantsLayer(true);
  content.layer().setBackgroundColor(ui::Color::blackColor());
  const struct {
    const char* title;
    double size, width;
  } cases[] = {{"RESET", 14, 120}, {"ATTACK", 13, 80}, {"F.BACK", 13, 80}, {"PEAK", 13, 80},
               {"TIME A", 13, 80}, {"LEVEL", 13, 80},  {"BACKUP", 14, 120}};
  for (const auto& c : cases)
    for (int32_t alignment : {0, 1, 2}) {
      SCOPED_TRACE(std::string(c.title) + " aligned " + std::to_string(alignment));
      auto b = ui::View::create<GGCoustomButton>(Rect(10, 10, c.width, 34));
      b->setDefaultTitle(c.title);
      b->setDefaultTitleColor(ui::Color::whiteColor());
      b->setDefaultFont(ui::Font::systemFontOfSize(c.size));
      b->setTextAlignment(alignment);
      content.addSubview(b);
      w.window->layoutIfNeeded();
      const QImage image = w.window->widget()->grab().toImage();
      int top = image.height(), bottom = -1;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 10; x < 10 + static_cast<int>(c.width); ++x)
          if (image.pixelColor(x, y).lightness() > 128) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
          }
      ASSERT_GE(bottom, top) << "nothing drawn";
      EXPECT_LT(bottom - top + 1, ui::Font::systemFontOfSize(c.size).lineHeight());
      b->removeFromSuperview();
    }
}

TEST(GGCoustomButton, LooksFollowTheStateWithTheirFallbacks) {
  auto b = ui::View::create<GGCoustomButton>(Rect(0, 0, 100, 40));
  auto look = b->currentLook();
  EXPECT_EQ(look.title, "按钮");
  EXPECT_EQ(look.titleColor, ui::Color::blackColor());
  EXPECT_EQ(look.font.pointSize(), 15);
  EXPECT_EQ(look.backgroundColor, ui::Color::clearColor());
  EXPECT_NEAR(b->titleRect().midX(), 50, 1e-9);

  auto normal = ui::Image::render(ui::Size{10, 10}, [](ui::GraphicsContext&) {});
  auto selected = ui::Image::render(ui::Size{10, 10}, [](ui::GraphicsContext&) {});
  b->setDefaultTitle("YES");
  b->setDefaultBackgroundImage(normal);
  b->enterTitleColor = ui::Color::redColor();
  b->setDefaultBackgroundColor(ui::Color::grayColor());
  ui::Event enter(ui::EventType::MouseEntered, {50, 20}, nullptr);
  b->mouseEntered(enter);  // (a detached view's points are its own)
  EXPECT_TRUE(b->mouseEnter());
  look = b->currentLook();
  EXPECT_EQ(look.backgroundImage, nullptr);  // no image while hovered without a selected one
  EXPECT_EQ(look.titleColor, ui::Color::redColor());
  b->setSelectedTitleColor(ui::Color::whiteColor());
  EXPECT_EQ(b->currentLook().titleColor, ui::Color::whiteColor());  // wins over the hover colour

  b->setSelectedBackgroundImage(selected);
  b->setIsOn(true);
  ui::Event exit(ui::EventType::MouseExited, {500, 20}, nullptr);
  b->mouseExited(exit);
  EXPECT_EQ(b->currentLook().backgroundImage, selected);
  EXPECT_EQ(b->currentLook().backgroundColor, ui::Color::grayColor());

  b->setTextAlignment(2);
  EXPECT_NEAR(b->titleRect().maxX(), 100, 1e-9);
  b->setTextAlignment(1);
  EXPECT_EQ(b->titleRect().minX(), 0);
}

TEST(GGCoustomButton, OnlyAReleaseInsideActsAndTheActionMayCloseItsOverlay) {
  controls_test::WindowFixture w;
  auto content = w.window->contentView();
  auto panel = ui::View::create<ui::View>(Rect(0, 0, 200, 100));
  auto b = ui::View::create<GGCoustomButton>(Rect(20, 20, 88, 34));
  b->setDefaultTitle("NO");
  panel->addSubview(b);
  auto overlay = GGPopView::ShowCoustomView(panel, content);
  overlay->setDontTouchDissmiss(true);
  std::vector<std::string> pressed;
  b->setTarget(content);
  b->action = [&](GGCoustomButton& sender) {
    pressed.push_back(sender.defaultTitle());
    GGPopView::hideViewInView(content.get());
  };
  // The button sits at (100 + 20, 100 + 20) in the 400 × 300 window.
  const Point inside{150, 137};
  ui::testing::Pointer p(*w.window);
  p.press(inside);
  EXPECT_TRUE(b->mouseDown());
  p.move({10, 10});
  p.release({10, 10});
  EXPECT_FALSE(b->mouseDown());
  EXPECT_TRUE(pressed.empty());

  std::weak_ptr<GGCoustomButton> weak = b;
  std::weak_ptr<GGPopView> weakOverlay = overlay;
  b.reset();
  panel.reset();
  overlay.reset();
  p.wait(2000);
  p.click(inside);
  EXPECT_EQ(pressed, (std::vector<std::string>{"NO"}));
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(weakOverlay.expired());
}

TEST(GGCoustomButton, ItsTrackingAreaFollowsItsSizeWithoutPilingUp) {
  controls_test::WindowFixture w;
  auto b = ui::View::create<GGCoustomButton>(Rect(10, 10, 60, 20));
  w.window->contentView()->addSubview(b);
  QCoreApplication::processEvents();
  ASSERT_EQ(b->trackingAreas().size(), 1u);
  b->setFrameSize({120, 40});
  b->setFrameSize({90, 30});
  ASSERT_EQ(b->trackingAreas().size(), 1u);
  EXPECT_EQ(b->trackingAreas()[0]->rect(), Rect(0, 0, 90, 30));
  b->removeFromSuperview();
  EXPECT_TRUE(b->trackingAreas().empty());
}

TEST(EffectInsertButton, TheReleaseDecidesBetweenAddAndDelete) {
  controls_test::WindowFixture w;
  auto b = ui::View::create<EffectInsertButton>(Rect(100, 100, 40, 20));
  b->index = 7;
  w.window->contentView()->addSubview(b);
  std::vector<std::string> done;
  b->AddActionBlock = [&](EffectInsertButton& s) { done.push_back("add " + std::to_string(s.index)); };
  b->DeleteActionBlock = [&](EffectInsertButton& s) { done.push_back("delete " + std::to_string(s.index)); };
  ui::testing::Pointer p(*w.window);
  p.press({105, 110});
  EXPECT_TRUE(b->isMouseDown());
  EXPECT_EQ(b->pressedRect(), Rect(0, 0, 20, 20));  // the left half, by the press
  p.release({135, 110});
  EXPECT_FALSE(b->isMouseDown());
  p.wait(2000);
  p.click({120, 110});  // the middle line adds
  p.wait(2000);
  p.press({130, 110});
  p.release({300, 250});  // outside, to the right: still by its x
  EXPECT_EQ(done, (std::vector<std::string>{"delete 7", "add 7", "delete 7"}));
  b->AddActionBlock = nullptr;
  b->DeleteActionBlock = nullptr;
  p.wait(2000);
  p.click({105, 110});  // no blocks: nothing but a redraw
  EXPECT_EQ(done.size(), 3u);
}

TEST(GGFunctionButton, HoverUnlessCoveredAFrameWhenSelectedAndReleasesInsideOnly) {
  controls_test::WindowFixture w;
  auto content = w.window->contentView();
  int clicks = 0;
  auto b = GGFunctionButton::initWithTitle("FX", "FX", content, [&](GGFunctionButton& s) { clicks += int(s.index); });
  b->index = 3;
  ASSERT_NE(b->defaultImage, nullptr);
  ASSERT_NE(b->offImage, nullptr);
  b->setFrame(Rect(100, 100, 75, 90));
  EXPECT_EQ(b->pictureRect(), Rect(3, 5, 69, 80));
  content->addSubview(b);
  QCoreApplication::processEvents();
  ui::testing::Pointer p(*w.window);
  p.move({130, 140});
  EXPECT_TRUE(b->isHlight());
  p.press({130, 140});
  p.move({20, 20});
  p.release({20, 20});  // outside: nothing
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(b->isHlight());
  p.wait(2000);
  p.click({130, 140});
  EXPECT_EQ(clicks, 3);

  b->setIsSelect(true);
  p.move({20, 20});
  EXPECT_TRUE(b->isSelect());  // the owner's; leaving keeps it

  // Under an open pop-up the pointer lights nothing (areas fire under it).
  auto overlay = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 50, 50)), content);
  overlay->setDontTouchDissmiss(true);
  p.move({130, 140});
  EXPECT_FALSE(b->isHlight());
  overlay->hideAnimated(true);

  // The hover area follows a resize.
  b->setFrame(Rect(100, 100, 150, 90));
  ASSERT_EQ(b->trackingAreas().size(), 1u);
  EXPECT_EQ(b->trackingAreas()[0]->rect(), Rect(0, 0, 150, 90));
  p.move({20, 20});
  p.move({240, 140});
  EXPECT_TRUE(b->isHlight());
}

}  // namespace
