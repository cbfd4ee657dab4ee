// The gallery of the controls no screen places: each drawn in its states and
// saved as PNGs in the build folder (gallery-extra-*.png) for a person to
// look at, with a few spot checks of what the pictures must hold.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "controls/ControlsTestSupport.h"
#include "controls/DropCombox.h"
#include "controls/GGDrawSlider.h"
#include "controls/GGPopView.h"
#include "controls/GGStepSlider.h"
#include "controls/KKActivityIndicator.h"
#include "controls/GEProgressView.h"
#include "controls/LADSlider.h"
#include "controls/SettingResetFixedView.h"
#include "controls/ZrButton.h"
#include "controls/ZrLoadingView.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace {

using ui::Rect;

using controls_test::caption;
using controls_test::colourAt;
using controls_test::near;
using controls_test::put;
using controls_test::snapshot;

// The lightest lightness the picture shows within `view` (clear of its
// edges, where a neighbour's caption may reach).
int lightestIn(const QImage& image, const ui::View& view) {
  int best = 0;
  controls_test::eachColourIn(image, view, view.bounds().insetBy(3, 3),
                              [&](const QColor& c) { best = std::max(best, c.lightness()); });
  return best;
}

ui::View& darkContent(controls_test::WindowFixture& w) {
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 41, 44));
  return c;
}

// Pictures for the picture slider: a round knob and two bar strips.
std::shared_ptr<ui::Image> knobPicture() {
  return ui::Image::render(ui::Size{16, 16}, [](ui::GraphicsContext& ctx) {
    ctx.setFillColor(ui::Color::whiteColor());
    ctx.fillPath(ui::BezierPath::bezierPathWithOvalInRect(Rect(1, 1, 14, 14)));
    ctx.setStrokeColor(ui::Color::grayColor());
    ctx.strokePath(ui::BezierPath::bezierPathWithOvalInRect(Rect(1, 1, 14, 14)));
  });
}

std::shared_ptr<ui::Image> barPicture(const ui::Color& c) {
  return ui::Image::render(ui::Size{20, 6}, [c](ui::GraphicsContext& ctx) {
    ctx.setFillColor(c);
    ctx.fillRect(Rect(0, 1, 20, 4));
  });
}

TEST(ExtraGallery, Sliders) {
  controls_test::WindowFixture w(640, 300);
  auto& c = darkContent(w);
  // Drawn slider: minimum, middle, maximum, hovered, empty range.
  const double values[] = {0, 0.5, 1, 0.3, 0};
  for (int i = 0; i < 5; ++i) {
    auto s = put<GGDrawSlider>(c, Rect(20 + 120 * i, 250, 110, 24));
    s->setDoubleValue(values[i]);
    if (i == 3) s->sliderCell().setHighlighted(true);
    if (i == 4) s->setMaxValue(0);
  }
  caption(c, 20, 232, "drawn slider: min / half / max / hovered / empty range");
  // Stepped slider: nothing lit, step 0, step 3 of 5, three steps.
  for (int i = 0; i < 4; ++i) {
    auto s = put<GGStepSlider>(c, Rect(20 + 150 * i, 180, 140, 30));
    s->setNumberOfStep(i == 3 ? 3 : 5);
    if (i == 1) s->setSelectIndex(0);
    if (i == 2) s->setSelectIndex(3);
    if (i == 3) s->setSelectIndex(2);
  }
  caption(c, 20, 165, "stepped slider: unset / 0 / 3 of 5 / 2 of 3");
  // Picture slider: low, middle, high, plain cell; and a vertical one.
  const double pos[] = {0.1, 0.5, 0.9};
  for (int i = 0; i < 3; ++i) {
    auto s = LADSlider::initWithKnobImage(knobPicture(), Rect(20 + 150 * i, 110, 140, 24));
    s->setMinimumValueImage(barPicture(ui::Color::rgb255(138, 214, 255)));
    s->setMaximumValueImage(barPicture(ui::Color::rgb255(90, 92, 98)));
    s->setDoubleValue(pos[i]);
    c.addSubview(s);
  }
  auto plain = put<LADSlider>(c, Rect(470, 110, 140, 24));
  plain->awakeFromNib();
  plain->setDoubleValue(0.5);
  auto vertical = LADSlider::initWithKnobImage(knobPicture(), Rect(560, 10, 24, 90));
  vertical->setMinimumValueImage(barPicture(ui::Color::rgb255(138, 214, 255)));
  vertical->setMaximumValueImage(barPicture(ui::Color::rgb255(90, 92, 98)));
  vertical->setDoubleValue(0.3);
  c.addSubview(vertical);
  caption(c, 20, 95, "picture slider: 0.1 / 0.5 / 0.9 / plain cell, and vertical at 0.3");

  const QImage image = snapshot(*w.window, "gallery-extra-sliders.png");
  // The half-way drawn slider: brown fill on its left, green track on its right.
  const double dpr = image.devicePixelRatio();
  const auto at = [&](double x, double y) { return image.pixelColor(int(x * dpr), int((300 - y) * dpr)); };
  EXPECT_GT(at(140 + 15, 262).red(), 100);   // brown
  EXPECT_GT(at(140 + 95, 262).green(), 200);  // green
}

TEST(ExtraGallery, ButtonsAndDropDown) {
  controls_test::WindowFixture w(640, 300);
  auto& c = darkContent(w);
  // Image button: normal, hovered, on, off with colours.
  for (int i = 0; i < 4; ++i) {
    auto b = put<ZrButton>(c, Rect(20 + 110 * i, 250, 100, 28));
    b->setTitle(i == 0 ? "Normal" : i == 1 ? "Hovered" : i == 2 ? "On" : "Off");
    b->buttonOnColor = ui::Color::rgb255(60, 110, 160);
    b->buttonOffColor = ui::Color::rgb255(70, 72, 78);
    if (i == 1) {
      ui::Event enter(ui::EventType::MouseEntered, {1, 1}, nullptr);
      b->mouseEntered(enter);
    }
    if (i >= 2) b->setOn(i == 2);
  }
  caption(c, 20, 232, "image button: normal / hovered / on / off");
  // Triangle button: types 0 to 3 in normal, hover and pressed colours.
  for (int t = 0; t < 4; ++t) {
    for (int s = 0; s < 3; ++s) {
      auto a = put<GGAngleButton>(c, Rect(20 + 150 * t + 40 * s, 180, 30, 30));
      a->setBordered(false);
      a->setTitle("");
      a->setTypeIndex(t);
      a->setDefaultHeight(8);
      a->pressColor = ui::Color::rgb255(255, 170, 60);
      if (s == 1) a->setIsHorver(true);
      if (s == 2) a->setIsPress(true);
    }
  }
  caption(c, 20, 165, "triangle types 0 / 1 / 2 / 3, each normal / hover / pressed");
  // Drop-down box: new, with an item, coloured, wider.
  auto fresh = put<DropCombox>(c, Rect(20, 110, 140, 24));
  auto chosen = put<DropCombox>(c, Rect(180, 110, 140, 24));
  chosen->setItemArray({"P01 Clean", "P02 Crunch", "P03 Lead"});
  chosen->setIndexOfSelectedItem(1);
  auto coloured = put<DropCombox>(c, Rect(340, 110, 140, 24));
  coloured->setItemArray({"Red", "Green", "Blue"});
  coloured->itemColorArray = {ui::Color::rgb255(150, 40, 40), ui::Color::rgb255(40, 120, 60),
                              ui::Color::rgb255(40, 70, 150)};
  coloured->setIndexOfSelectedItem(2);
  auto wide = put<DropCombox>(c, Rect(500, 106, 120, 32));
  wide->setItemArray({"Wide"});
  caption(c, 20, 95, "drop-down: new / chosen / coloured item / taller box");

  snapshot(*w.window, "gallery-extra-buttons.png");

  // The open list, in its own popup window.
  chosen->setItemArray({"P01 Clean", "P02 Crunch", "P03 Lead", "P04 Ambient", "P05 Solo"});
  ui::testing::Pointer p(*w.window);
  p.click({200, 120});
  ASSERT_TRUE(chosen->isShow());
  auto list = chosen->showPopover()->window();
  ASSERT_TRUE(list);
  list->layoutIfNeeded();
  const QImage open = snapshot(list->widget(), "gallery-extra-dropdown-list.png");
  EXPECT_EQ(open.height() / open.devicePixelRatio(), 100);
  chosen->closeList();
}

TEST(ExtraGallery, ActivityAndLoadingPanels) {
  controls_test::WindowFixture w(1120, 560);
  auto& c = darkContent(w);
  // Spinners: idle, after some ticks, fading, on a background colour.
  std::vector<std::shared_ptr<KKActivityIndicator>> spinners;
  for (int i = 0; i < 4; ++i) {
    auto s = put<KKActivityIndicator>(c, Rect(20 + 70 * i, 470, 60, 60));
    spinners.push_back(s);
    s->setColor(ui::Color::whiteColor());
    if (i == 3) s->setBackgroundColor(ui::Color::rgb255(75, 75, 75));
    if (i >= 1) {
      s->startAnimation();
      for (int t = 0; t < 5; ++t) s->updateFrame();
    }
    if (i == 2) {
      s->stopAnimation();
      for (int t = 0; t < 4; ++t) s->updateFrame();
    }
  }
  caption(c, 20, 455, "spinner: idle / running / fading / on a colour");
  // Activity panels: empty, short and long tips.
  auto a1 = GGPopActivityView::initWithTip("", ui::Color::whiteColor(), ui::Color::rgb255(75, 75, 75));
  a1->setFrameOrigin({320, 430});
  c.addSubview(a1);
  auto a2 = GGPopActivityView::initWithTip("Reading...", ui::Color::whiteColor(), std::nullopt);
  a2->setFrameOrigin({470, 410});
  c.addSubview(a2);
  auto a3 = GGPopActivityView::initWithTip("Reading every preset of the unit, one bank after the other",
                                           ui::Color::whiteColor(), ui::Color::rgb255(75, 75, 75));
  a3->setFrameOrigin({620, 380});
  c.addSubview(a3);
  put<PopTestView>(c, Rect(880, 430, 200, 60));
  // Loading panels at 0, 0.5 and 1 with a title, and the Cancel variant.
  const double progress[] = {0, 0.5, 1.0};
  std::vector<std::shared_ptr<ZrLoadingView>> panels;
  for (int i = 0; i < 3; ++i) {
    auto v = ZrLoadingView::initWithType(0, Rect(20 + (i % 2) * 550, 260 - 120 * (i / 2), 528, 100));
    if (i == 1) v->setLoadingTitle("Reading");
    v->setProgress(progress[i]);
    c.addSubview(v);
    panels.push_back(v);
  }
  // Taller than the plain panel: Cancel hangs 50 below the fill.
  auto cancel = ZrLoadingView::initWithType(1, Rect(570, 100, 528, 130));
  cancel->setProgress(0.25);
  c.addSubview(cancel);
  ASSERT_TRUE(controls_test::runUntil([&] { return cancel->progressLabel()->stringValue() == "25%"; }));
  const QImage image = snapshot(*w.window, "gallery-extra-panels.png");

  // A running spinner shows bright spokes; an idle one only dim ones.
  EXPECT_LT(lightestIn(image, *spinners[0]), 120);
  EXPECT_GT(lightestIn(image, *spinners[1]), 200);
  // Each loading panel says where it is, and its fill covers its share of
  // the band (a quarter and three quarters along it).
  const char* status[] = {"Loading...", "Reading", "Success!"};
  const char* percent[] = {"0%", "50%", "100%"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(percent[i]);
    const ZrLoadingView& v = *panels[size_t(i)];
    EXPECT_EQ(v.statusLabel()->stringValue(), status[i]);
    EXPECT_EQ(v.progressLabel()->stringValue(), percent[i]);
    const double y = v.bounds().midY(), from = 23, to = v.bounds().width() - 15;
    for (const double share : {0.25, 0.75}) {
      const QColor at = colourAt(image, v, {from + share * (to - from), y});
      const bool filled = at.blue() > at.red() + 60;
      EXPECT_EQ(filled, share < progress[i]) << share;
    }
  }
  EXPECT_TRUE(cancel->statusLabel()->stringValue().empty() || cancel->statusLabel()->frame().size.width == 0);
  ASSERT_TRUE(cancel->cancelButton());
  EXPECT_LT(cancel->cancelButton()->frame().maxY(), cancel->maskView()->frame().minY());  // under the fill
}

TEST(ExtraGallery, ExtraOverlays) {
  controls_test::WindowFixture w(640, 400);
  auto& c = darkContent(w);
  auto content = w.window->contentView();
  GGPopView::showActivityWithTip("Please wait", content);
  const QImage activity = snapshot(*w.window, "gallery-extra-overlay-activity.png");
  // The window dimmed, and the panel in its middle, not closed by a click.
  auto overlay = GGPopView::HUDForView(content.get());
  ASSERT_TRUE(overlay);
  EXPECT_TRUE(overlay->dontTouchDissmiss());
  EXPECT_TRUE(near(colourAt(activity, *content, {5, 5}), QColor(28, 29, 31), 2));
  ASSERT_EQ(overlay->subviews().size(), 1u);
  EXPECT_DOUBLE_EQ(overlay->subviews()[0]->frame().midX(), 320);
  EXPECT_DOUBLE_EQ(overlay->subviews()[0]->frame().midY(), 200);
  overlay.reset();
  GGPopView::hideViewInView(content.get());
  GGPopView::showTestView();
  auto reference = put<ui::Button>(c, Rect(420, 300, 120, 28));
  reference->setTitle("Reference");
  auto custom = ui::View::create<ui::View>(Rect(0, 0, 160, 80));
  custom->setWantsLayer(true);
  custom->layer().setBackgroundColor(ui::Color::rgb255(75, 75, 75));
  custom->layer().setCornerRadius(6);
  GGPopView::ShowCoustomView(custom, content, reference);
  const QImage image = snapshot(*w.window, "gallery-extra-overlay-test.png");
  // Right of the window's middle: under the reference, right edges lined up,
  // and not dimmed.
  const Rect placed(custom->convertPointToView({0, 0}, nullptr), custom->frame().size);
  EXPECT_DOUBLE_EQ(placed.maxX(), reference->frame().maxX());
  EXPECT_DOUBLE_EQ(placed.maxY(), reference->frame().minY());
  EXPECT_TRUE(near(colourAt(image, *custom, {80, 40}), QColor(75, 75, 75)));
}

TEST(ExtraGallery, FixedQuestionPanels) {
  controls_test::WindowFixture w(640, 240);
  auto& c = darkContent(w);
  auto withMessage = SettingResetFixedView::initWithTitle("The device will be reset. Please make a data backup");
  withMessage->configFrame();
  withMessage->setFrameOrigin({20, 40});
  c.addSubview(withMessage);
  auto captioned = SettingResetFixedView::initWithTitle("", Rect(320, 40, 280, 140));
  c.addSubview(captioned);
  auto colour = put<GGNormalView>(c, Rect(20, 10, 80, 20));
  colour->setBackBgColor(ui::Color::rgb255(138, 214, 255));
  caption(c, 110, 12, "plain colour view");
  const QImage image = snapshot(*w.window, "gallery-extra-fixed-panels.png");
  EXPECT_DOUBLE_EQ(withMessage->frame().size.width, 280);
  // The message drawn as text (no caption picture); the captioned panel's
  // picture drawn white; grey buttons on both.
  EXPECT_FALSE(withMessage->titleImageView());
  ASSERT_TRUE(captioned->titleImageView());
  EXPECT_GT(lightestIn(image, *captioned->titleImageView()), 240);
  for (const auto* panel : {withMessage.get(), captioned.get()}) {
    EXPECT_TRUE(near(colourAt(image, *panel->cancelButton(), {3, 3}), QColor(99, 100, 100)));
    EXPECT_TRUE(near(colourAt(image, *panel->confirmButton(), {3, 3}), QColor(99, 100, 100)));
  }
  EXPECT_TRUE(near(colourAt(image, *colour, {40, 10}), QColor(138, 214, 255)));
}

}  // namespace
