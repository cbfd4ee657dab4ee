// The drawn slider (fill at the ends of the range, hover, one tracking
// area), the image button (title colour and picture on hover, on/off look,
// sizes, clicks), the stepped slider (bars, pointer to step, reports) and
// the picture slider (turned pictures, caps, bar split at the knob).
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "controls/AccentColor.h"
#include "controls/ControlsTestSupport.h"
#include "controls/GGDrawSlider.h"
#include "controls/GGPopView.h"
#include "controls/GGStepSlider.h"
#include "controls/LADSlider.h"
#include "controls/ZrButton.h"
#include "platform/ui/Event.h"
#include "platform/ui/GraphicsContext.h"

namespace {

using ui::Rect;

std::shared_ptr<ui::Image> picture(double w, double h) {
  return ui::Image::render(ui::Size{w, h}, [&](ui::GraphicsContext& ctx) {
    ctx.setFillColor(ui::Color::redColor());
    ctx.fillRect(Rect(0, 0, w, h));
  });
}

ui::Event event(ui::EventType type) { return ui::Event(type, {1, 1}, nullptr); }

TEST(GGDrawSlider, FillCoversTheValueShareOfNinetyFivePercentWithinTheBar) {
  auto s = ui::View::create<GGDrawSlider>(Rect(0, 0, 200, 24));
  s->setMinValue(10);
  s->setMaxValue(20);
  auto& cell = dynamic_cast<GGDrawSliderCell&>(s->sliderCell());
  const Rect bar = cell.barRect();
  s->setDoubleValue(10);
  EXPECT_EQ(cell.fillWidth(bar, 200), 0);
  s->setDoubleValue(15);
  EXPECT_DOUBLE_EQ(cell.fillWidth(bar, 200), 0.5 * 200 * 0.95);
  s->setDoubleValue(20);
  EXPECT_DOUBLE_EQ(cell.fillWidth(bar, 200), std::min(bar.width(), 190.0));
  EXPECT_DOUBLE_EQ(cell.fillWidth(Rect(0, 0, 100, 4), 200), 100);  // never wider than the bar
  // An empty range has no fill, and draws.
  s->setMaxValue(10);
  EXPECT_EQ(cell.fillWidth(bar, 200), 0);
  controls_test::WindowFixture w(240, 60);
  w.window->contentView()->addSubview(s);
  w.window->contentView()->displayIfNeeded();
}

TEST(GGDrawSlider, PointerOverItLightsTheKnobAndOneAreaFollowsItsSize) {
  controls_test::WindowFixture w(300, 80);
  auto s = ui::View::create<GGDrawSlider>(Rect(10, 10, 200, 24));
  w.window->contentView()->addSubview(s);
  ui::testing::Pointer p(*w.window);
  p.move({100, 20});
  EXPECT_TRUE(s->sliderCell().isHighlighted());
  p.move({100, 70});
  EXPECT_FALSE(s->sliderCell().isHighlighted());
  for (int i = 0; i < 10; ++i) s->setFrameSize({200.0 + i, 24});
  EXPECT_EQ(s->trackingAreas().size(), 1u);
  EXPECT_EQ(s->trackingAreas().front()->rect(), s->bounds());
}

TEST(ZrButton, TitleColourAndPictureFollowThePointer) {
  auto b = ui::View::create<ZrButton>(Rect(0, 0, 80, 30));
  // An empty title turns into one blank when coloured, at set-up already.
  EXPECT_EQ(b->title(), " ");
  EXPECT_EQ(b->attributedTitle().foregroundColor, ui::Color::whiteColor());
  EXPECT_EQ(b->attributedTitle().paragraphStyle.alignment, ui::TextAlignment::Center);
  EXPECT_EQ(b->buttonCell().highlightsBy(), ui::NoCellMask);
  EXPECT_EQ(b->layer().cornerRadius(), 4.0);

  auto normal = picture(10, 10), hover = picture(10, 10);
  b->setDefaultImage(normal);
  auto enter = event(ui::EventType::MouseEntered), exit = event(ui::EventType::MouseExited);
  b->mouseEntered(enter);
  EXPECT_EQ(b->attributedTitle().foregroundColor, b->buttonEnterTitleColor);
  EXPECT_EQ(b->image(), normal);  // no hover picture: the picture stays
  b->mouseExited(exit);
  EXPECT_EQ(b->attributedTitle().foregroundColor, ui::Color::whiteColor());

  b->enterImage = hover;
  b->setTitle("GO");
  b->mouseEntered(enter);
  EXPECT_EQ(b->image(), hover);
  EXPECT_EQ(b->title(), "GO");
  b->mouseExited(exit);
  EXPECT_EQ(b->image(), normal);
}

TEST(ZrButton, OnOffLookSizesAndClicks) {
  auto b = ui::View::create<ZrButton>(Rect(10, 10, 30, 20));
  EXPECT_EQ(b->frame().size, (ui::Size{30, 20}));  // a frame's size is kept
  b->setOn(true);
  EXPECT_FALSE(b->layer().backgroundColor().has_value());
  EXPECT_EQ(b->layer().borderColor(), ui::Color::clearColor());
  b->buttonOffColor = ui::Color::grayColor();
  b->setOn(false);
  EXPECT_EQ(b->layer().backgroundColor(), ui::Color::grayColor());
  EXPECT_EQ(b->layer().borderColor(), ui::Color::whiteColor());
  b->setBtnWidth(80);
  EXPECT_EQ(b->frame().size, (ui::Size{80, 20}));
  EXPECT_EQ(b->btnWidth(), 80);

  controls_test::WindowFixture w(200, 100);
  w.window->contentView()->addSubview(b);
  int clicks = 0;
  b->setAction([&](ui::Control&) { ++clicks; });
  ui::testing::Pointer p(*w.window);
  p.press({20, 20});
  EXPECT_FALSE(b->isHighlighted() && b->buttonCell().highlightsBy() != ui::NoCellMask);
  p.release({20, 20});
  EXPECT_EQ(clicks, 1);
}

struct StepFixture : ::testing::Test, controls_test::WindowFixture {
  StepFixture() : controls_test::WindowFixture(300, 100) {
    s = ui::View::create<GGStepSlider>(Rect(40, 20, 216, 30));
    window->contentView()->addSubview(s);
    s->setNumberOfStep(5);
    s->StepChangeBlock = [this](GGStepSlider&, long i) { changes.push_back(i); };
    s->StepDragEndBlock = [this](GGStepSlider&, long i) { ends.push_back(i); };
  }
  // Window point at x in the slider.
  ui::Point at(double x) const { return {40 + x, 35}; }
  std::shared_ptr<GGStepSlider> s;
  std::vector<long> changes, ends;
};

TEST_F(StepFixture, BarsAreLaidOutAndCountsBelowTwoAreRefused) {
  ASSERT_EQ(s->viewArr().size(), 5u);
  const double xs[] = {8, 50, 92, 134, 176};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(s->viewArr()[i]->frame(), Rect(xs[i], 11, 32, 8));
  s->setNumberOfStep(1);
  s->setNumberOfStep(0);
  EXPECT_EQ(s->numberOfStep(), 5);
  EXPECT_EQ(s->viewArr().size(), 5u);
  s->setFrameSize({116, 30});  // bars follow the width
  EXPECT_EQ(s->viewArr()[4]->frame(), Rect(96, 11, 12, 8));
}

TEST_F(StepFixture, SelectionTakesOnlyRealStepsAndPaintsOneBar) {
  s->setSelectIndex(5);
  s->setSelectIndex(-1);
  EXPECT_EQ(s->selectIndex(), 0);
  EXPECT_EQ(s->viewArr()[0]->layer().backgroundColor(), s->defaultColor());  // nothing lit yet
  s->setSelectIndex(3);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(s->viewArr()[i]->layer().backgroundColor(), i == 3 ? accentColor() : s->defaultColor());
  EXPECT_TRUE(changes.empty());
}

TEST_F(StepFixture, ThePointerPicksTheBarUnderItAndReportsChangesAndEveryRelease) {
  ui::testing::Pointer p(*window);
  p.click(at(20));  // on bar 0, already selected
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(ends, (std::vector<long>{0}));
  p.click(at(60));  // bar 1
  p.click(at(45));  // in the gap, nearer bar 1
  EXPECT_EQ(changes, (std::vector<long>{1}));
  p.press(at(100));
  p.move(at(215));
  p.move(at(400));  // beyond the end: the last bar
  p.move(at(-300));  // far to the left: the first bar, reported once
  p.move(at(-320));
  p.release(at(-320));
  EXPECT_EQ(changes, (std::vector<long>{1, 2, 4, 0}));
  EXPECT_EQ(ends.size(), 4u);
  EXPECT_EQ(ends.back(), 0);
}

TEST(GGStepSlider, ClicksOnASliderInAnOverlayLeaveTheOverlayOpen) {
  controls_test::WindowFixture w(300, 200);
  auto s = ui::View::create<GGStepSlider>(Rect(0, 0, 216, 30));
  s->setNumberOfStep(5);
  auto overlay = GGPopView::ShowCoustomView(s, w.window->contentView());
  ASSERT_TRUE(overlay);
  int ends = 0;
  s->StepDragEndBlock = [&](GGStepSlider&, long) { ++ends; };
  ui::testing::Pointer p(*w.window);
  p.press({42 + 60, 85 + 15});
  p.move({42 + 100, 85 + 15});
  p.release({42 + 100, 85 + 15});
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(s->selectIndex(), 2);
  EXPECT_FALSE(overlay->isFinished());
}

TEST(imageRotated, TurnsBySidesOrIntoASquare) {
  auto img = picture(30, 10);
  EXPECT_EQ(imageRotated(img, 0), img);
  EXPECT_EQ(imageRotated(img, 360), img);
  EXPECT_EQ(imageRotated(img, -720), img);
  EXPECT_EQ(imageRotated(img, 90)->size(), (ui::Size{10, 30}));
  EXPECT_EQ(imageRotated(img, 450)->size(), (ui::Size{10, 30}));
  EXPECT_EQ(imageRotated(img, -90)->size(), (ui::Size{10, 30}));
  EXPECT_EQ(imageRotated(img, 180)->size(), (ui::Size{30, 10}));
  EXPECT_EQ(imageRotated(img, 45)->size(), (ui::Size{50, 50}));
  EXPECT_EQ(imageRotated(nullptr, 90), nullptr);
}

TEST(LADSlider, BarPicturesGetOnePointStretchOnCopies) {
  EXPECT_EQ(LADSlider::initWithKnobImage(nullptr), nullptr);
  EXPECT_EQ(LADSlider::initWithKnobImage(picture(10, 10), picture(40, 6), nullptr), nullptr);
  auto h = LADSlider::initWithKnobImage(picture(12, 12), Rect(0, 0, 200, 24));
  ASSERT_TRUE(h);
  auto bar = picture(40, 6);
  h->setMinimumValueImage(bar);
  h->setMaximumValueImage(bar);
  EXPECT_EQ(h->minimumValueImage()->capInsets(), (ui::EdgeInsets{0, 39, 0, 0}));
  EXPECT_EQ(h->maximumValueImage()->capInsets(), (ui::EdgeInsets{0, 0, 0, 39}));
  EXPECT_FALSE(bar->hasCapInsets());  // the caller's picture is left alone
  auto v = LADSlider::initWithKnobImage(picture(12, 12), Rect(0, 0, 24, 200));
  v->setMinimumValueImage(bar);
  EXPECT_EQ(v->minimumValueImage()->size(), (ui::Size{6, 40}));
  EXPECT_EQ(v->minimumValueImage()->capInsets(), (ui::EdgeInsets{0, 0, 39, 0}));
  auto capped = picture(40, 6);
  capped->setCapInsets({0, 2, 0, 2});
  v->setMaximumValueImage(capped);
  EXPECT_EQ(v->maximumValueImage(), capped);

  // Made from a layout: a plain cell until pictures are given.
  auto plain = ui::View::create<LADSlider>(Rect(0, 0, 100, 24));
  EXPECT_EQ(plain->ladCell(), nullptr);
  plain->awakeFromNib();
  ASSERT_NE(plain->ladCell(), nullptr);
  EXPECT_EQ(plain->knobImage(), nullptr);
}

TEST(LADSlider, TheBarSplitsAtTheKnobOfThisPaintAndEndsWithTheBar) {
  auto s = LADSlider::initWithKnobImage(picture(16, 16), picture(20, 4), picture(20, 4), Rect(0, 0, 200, 24));
  s->setMinValue(0);
  s->setMaxValue(1);
  s->setDoubleValue(0.5);
  auto& cell = *s->ladCell();
  QImage canvas(200, 24, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&canvas);
  ui::GraphicsContext ctx(painter, s->bounds(), true);
  const Rect bar = cell.barRect();
  cell.drawBarInside(ctx, bar, true);  // first paint: the knob is already known
  const double c = cell.knobRect().midX();
  EXPECT_DOUBLE_EQ(cell.currentKnobRect().midX(), c);
  EXPECT_DOUBLE_EQ(cell.beforeKnobRect(bar).maxX(), c);
  EXPECT_DOUBLE_EQ(cell.afterKnobRect(bar).minX(), c);
  EXPECT_DOUBLE_EQ(cell.afterKnobRect(bar).maxX(), bar.maxX());
  EXPECT_EQ(cell.currentKnobRect().size, (ui::Size{16, 16}));
}

}  // namespace
