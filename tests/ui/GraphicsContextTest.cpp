#include "platform/ui/GraphicsContext.h"

#include <gtest/gtest.h>

#include "platform/ui/BezierPath.h"
#include "platform/ui/Gradient.h"
#include "platform/ui/Image.h"
#include "platform/ui/Shadow.h"
#include "ui/DrawingTestSupport.h"

namespace ui {
namespace {

using testing::drawInto;
using testing::near;
using testing::pixelAt;

struct Orientation {
  bool flipped;
  double dpr;
};

class OrientationTest : public ::testing::TestWithParam<Orientation> {};

// A square at the user origin lands at the bottom-left of a y-up view and at
// the top-left of a flipped one, at any device pixel ratio.
TEST_P(OrientationTest, OriginCornerFollowsFlipping) {
  const bool flipped = GetParam().flipped;
  const double dpr = GetParam().dpr;
  const QImage img = drawInto(40, 30, flipped, dpr, [](GraphicsContext& ctx) {
    ctx.setFillColor(Color::redColor());
    ctx.fillRect({0, 0, 10, 10});
  });
  const double originRow = flipped ? 5 : 25, otherRow = flipped ? 25 : 5;
  EXPECT_TRUE(near(pixelAt(img, 5, originRow), Qt::red));
  EXPECT_TRUE(near(pixelAt(img, 5, otherRow), Qt::white));
  EXPECT_TRUE(near(pixelAt(img, 15, originRow), Qt::white));
  // The edge is sharp at whole points also at ratio 2.
  EXPECT_TRUE(near(pixelAt(img, 9.6, originRow), Qt::red));
  EXPECT_TRUE(near(pixelAt(img, 10.1, originRow), Qt::white));
}

// Pictures come out upright in both kinds of view: the red top half of the
// test picture is on top on screen.
TEST_P(OrientationTest, ImagesAreDrawnUpright) {
  const bool flipped = GetParam().flipped;
  const double dpr = GetParam().dpr;
  auto img = Image::imageNamed("test_two_tone");
  ASSERT_NE(img, nullptr);
  const QImage out = drawInto(40, 40, flipped, dpr, [&](GraphicsContext& ctx) {
    ctx.drawImage(*img, {10, 10, 20, 20});
  });
  EXPECT_TRUE(near(pixelAt(out, 20, 12), Qt::red));
  EXPECT_TRUE(near(pixelAt(out, 20, 28), Qt::blue));
  EXPECT_TRUE(near(pixelAt(out, 20, 5), Qt::white));
  // Part of the picture: its lower half (y-up source rectangle) fills the
  // whole destination.
  const QImage part = drawInto(40, 40, flipped, dpr, [&](GraphicsContext& ctx) {
    ctx.drawImage(*img, {10, 10, 20, 20}, {0, 0, 20, 10});
  });
  EXPECT_TRUE(near(pixelAt(part, 20, 12), Qt::blue));
  EXPECT_TRUE(near(pixelAt(part, 20, 28), Qt::blue));
}

// Arc angles turn counter-clockwise in the view's own coordinates: a
// quarter from 0 to 90 degrees is the top-right quadrant of a y-up view and
// the bottom-right of a flipped one; clockwise takes the other three.
TEST_P(OrientationTest, ArcDirection) {
  const bool flipped = GetParam().flipped;
  const double dpr = GetParam().dpr;
  auto pie = [&](bool clockwise) {
    return drawInto(40, 40, flipped, dpr, [&](GraphicsContext& ctx) {
      BezierPath p;
      p.moveTo({20, 20});
      p.appendArc({20, 20}, 15, 0, 90, clockwise);
      p.closePath();
      ctx.setFillColor(Color::blackColor());
      p.fill();
    });
  };
  const double rightTop = flipped ? 28 : 12, rightBottom = flipped ? 12 : 28;
  const QImage ccw = pie(false);
  EXPECT_TRUE(near(pixelAt(ccw, 28, rightTop), Qt::black));
  EXPECT_TRUE(near(pixelAt(ccw, 28, rightBottom), Qt::white));
  EXPECT_TRUE(near(pixelAt(ccw, 12, 12), Qt::white));
  const QImage cw = pie(true);
  EXPECT_TRUE(near(pixelAt(cw, 28, rightTop), Qt::white));
  EXPECT_TRUE(near(pixelAt(cw, 28, rightBottom), Qt::black));
  EXPECT_TRUE(near(pixelAt(cw, 12, 12), Qt::black));
  EXPECT_TRUE(near(pixelAt(cw, 12, 28), Qt::black));
}

// The shadow's offset is in screen terms (height up) and the copy lies
// beneath the shape.
TEST_P(OrientationTest, ShadowIsAnOffsetCopyBeneath) {
  const bool flipped = GetParam().flipped;
  const double dpr = GetParam().dpr;
  const QImage out = drawInto(40, 40, flipped, dpr, [](GraphicsContext& ctx) {
    Shadow s;
    s.shadowOffset = {4, -4};
    s.shadowColor = Color::blueColor();
    ctx.saveGState();
    s.set();
    ctx.setFillColor(Color::redColor());
    ctx.fillRect({10, 10, 10, 10});
    ctx.restoreGState();
    ctx.fillRect({30, 30, 5, 5});  // after the restore: no shadow
  });
  const double top = flipped ? 10 : 20;  // screen row of the square's top
  EXPECT_TRUE(near(pixelAt(out, 15, top + 5), Qt::red));
  EXPECT_TRUE(near(pixelAt(out, 22, top + 12), Qt::blue));  // right of and below the square
  EXPECT_TRUE(near(pixelAt(out, 12, top - 2), Qt::white));
  const double lateTop = flipped ? 30 : 5;
  EXPECT_TRUE(near(pixelAt(out, 36, lateTop + 7), Qt::white));
  EXPECT_TRUE(near(pixelAt(out, 32, lateTop + 2), Qt::black));  // the colour was restored too
}

// Gradient angle 90 runs from minY to maxY: bottom to top on screen in a
// y-up view.
TEST_P(OrientationTest, GradientFollowsTheViewsAxes) {
  const bool flipped = GetParam().flipped;
  const double dpr = GetParam().dpr;
  const QImage out = drawInto(40, 40, flipped, dpr, [](GraphicsContext&) {
    Gradient(Color::redColor(), Color::blueColor()).drawInRect({0, 0, 40, 40}, 90);
  });
  const QColor top = pixelAt(out, 20, 1), bottom = pixelAt(out, 20, 39);
  if (flipped) {
    EXPECT_GT(top.red(), 240);
    EXPECT_GT(bottom.blue(), 240);
  } else {
    EXPECT_GT(top.blue(), 240);
    EXPECT_GT(bottom.red(), 240);
  }
  EXPECT_NEAR(pixelAt(out, 20, 20).red(), 128, 12);
  // Between two points it fills the whole clip, the end colours continuing
  // past the ends.
  const QImage open = drawInto(40, 40, flipped, dpr, [](GraphicsContext&) {
    Gradient(Color::redColor(), Color::blueColor()).drawFromPoint({10, 0}, {30, 0});
  });
  EXPECT_TRUE(near(pixelAt(open, 2, 2), Qt::red));
  EXPECT_TRUE(near(pixelAt(open, 39.5, 39.5), Qt::blue));
}

INSTANTIATE_TEST_SUITE_P(Views, OrientationTest,
                         ::testing::Values(Orientation{false, 1}, Orientation{true, 1}, Orientation{false, 2},
                                           Orientation{true, 2}));

TEST(GraphicsContextTest, FillsComposeOverWhatIsThere) {
  const QImage out = drawInto(30, 10, true, 1, [](GraphicsContext& ctx) {
    Color::clearColor().setFill();
    ctx.fillRect({0, 0, 10, 10});
    Color::blackColor().withAlphaComponent(0.5).setFill();
    ctx.fillRect({10, 0, 10, 10});
    Color::clearColor().setFill();
    ctx.fillRect({20, 0, 10, 10}, CompositingOperation::Copy);
  });
  EXPECT_TRUE(near(pixelAt(out, 5, 5), Qt::white));
  EXPECT_TRUE(near(pixelAt(out, 15, 5), QColor(127, 127, 127), 2));
  EXPECT_EQ(pixelAt(out, 25, 5).alpha(), 0);
}

TEST(GraphicsContextTest, StateIsSavedAndRestored) {
  QImage canvas(10, 10, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  {
    GraphicsContext ctx(painter, {0, 0, 10, 10}, true);
    ctx.saveGState();
    Color::redColor().set();
    ctx.translate(5, 5);
    ctx.clipToRect({0, 0, 2, 2});
    ctx.restoreGState();
    ctx.restoreGState();  // one too many: ignored
    EXPECT_EQ(ctx.fillColor(), Color::blackColor());
    ctx.fillRect({0, 0, 1, 1});
    // Unbalanced saves are undone when the context ends.
    ctx.saveGState();
    ctx.translate(3, 3);
  }
  EXPECT_TRUE(near(canvas.pixelColor(0, 0), Qt::black));
  EXPECT_FALSE(painter.hasClipping());
  EXPECT_TRUE(painter.worldTransform().isIdentity());
  EXPECT_EQ(GraphicsContext::current(), nullptr);
}

TEST(GraphicsContextTest, ClippingToAPathAndRotation) {
  const QImage out = drawInto(40, 40, false, 1, [](GraphicsContext& ctx) {
    ctx.saveGState();
    BezierPath::bezierPathWithOvalInRect({0, 0, 40, 40}).addClip();
    ctx.fillRect({0, 0, 40, 40});
    ctx.restoreGState();
    // A bar rotated a quarter turn about the origin lies along +y.
    ctx.translate(30, 0);
    ctx.rotate(90);
    Color::redColor().setFill();
    ctx.fillRect({2, -4, 10, 2});
  });
  EXPECT_TRUE(near(pixelAt(out, 20, 20), Qt::black));
  EXPECT_TRUE(near(pixelAt(out, 2, 2), Qt::white));
  EXPECT_TRUE(near(pixelAt(out, 38, 38), Qt::white));
  // x in [32, 34] after the turn, y (up) in [2, 12]: screen rows 28 to 38.
  EXPECT_TRUE(near(pixelAt(out, 33, 33), Qt::red));
}

TEST(GraphicsContextTest, StrokesUseWidthCapsAndDashes) {
  const QImage out = drawInto(60, 20, true, 1, [](GraphicsContext&) {
    BezierPath solid;
    solid.moveTo({10, 5});
    solid.lineTo({50, 5});
    solid.setLineWidth(4);
    solid.setLineCapStyle(LineCapStyle::Square);
    solid.stroke();
    BezierPath dashed;
    dashed.moveTo({10, 15});
    dashed.lineTo({50, 15});
    dashed.setLineWidth(2);
    dashed.setLineDash({5, 5}, 0);
    dashed.stroke();
  });
  EXPECT_TRUE(near(pixelAt(out, 30, 6), Qt::black));
  EXPECT_TRUE(near(pixelAt(out, 8.5, 5), Qt::black));  // the square cap reaches past the end
  EXPECT_TRUE(near(pixelAt(out, 30, 9), Qt::white));
  EXPECT_TRUE(near(pixelAt(out, 12, 15), Qt::black));
  EXPECT_TRUE(near(pixelAt(out, 17, 15), Qt::white));
  EXPECT_TRUE(near(pixelAt(out, 22, 15), Qt::black));
}

TEST(GraphicsContextTest, RoundedRectsAndFullCircles) {
  BezierPath r = BezierPath::bezierPathWithRoundedRect({0, 0, 20, 10}, 50, 50);  // radii held to 10 and 5
  EXPECT_TRUE(r.containsPoint({10, 5}));
  EXPECT_FALSE(r.containsPoint({0.5, 0.5}));
  BezierPath circle;
  circle.appendArc({10, 10}, 5, 30, 30);
  EXPECT_NEAR(circle.bounds().width(), 10, 0.01);
  EXPECT_NEAR(circle.bounds().height(), 10, 0.01);
  BezierPath empty;
  EXPECT_TRUE(empty.isEmpty());
  empty.lineTo({3, 4});  // no current point: starts there
  EXPECT_EQ(empty.currentPoint(), (Point{3, 4}));
}

// Cap insets keep the corners at their size and stretch the rest.
TEST(GraphicsContextTest, NineSliceKeepsTheCorners) {
  auto frame = Image::imageNamed("test_frame");
  ASSERT_NE(frame, nullptr);
  frame->setCapInsets({10, 10, 10, 10});
  for (bool flipped : {false, true}) {
    const QImage out = drawInto(100, 60, flipped, 2, [&](GraphicsContext& ctx) { ctx.drawImage(*frame, {0, 0, 100, 60}); });
    EXPECT_TRUE(near(pixelAt(out, 5, 5), Qt::green)) << flipped;
    EXPECT_TRUE(near(pixelAt(out, 95, 55), Qt::green));
    EXPECT_TRUE(near(pixelAt(out, 50, 5), Qt::red));   // top edge, stretched
    EXPECT_TRUE(near(pixelAt(out, 5, 30), Qt::red));   // left edge
    EXPECT_TRUE(near(pixelAt(out, 12, 30), Qt::blue));  // the middle starts right after the cap
    EXPECT_TRUE(near(pixelAt(out, 88, 48), Qt::blue));
    EXPECT_TRUE(near(pixelAt(out, 88, 51), Qt::red));
  }
  frame->setCapInsets({});
  // Without insets the whole picture stretches: the corner grows with it.
  const QImage plain = drawInto(100, 60, true, 1, [&](GraphicsContext& ctx) { ctx.drawImage(*frame, {0, 0, 100, 60}); });
  EXPECT_TRUE(near(pixelAt(plain, 30, 15), Qt::green));
}

TEST(GraphicsContextTest, PatternFillsTileFromThePhase) {
  // A 4x4 tile: top row dark, the rest light.
  QImage tile(4, 4, QImage::Format_ARGB32_Premultiplied);
  tile.fill(Qt::yellow);
  for (int x = 0; x < 4; ++x) tile.setPixelColor(x, 0, Qt::black);
  auto pattern = Image::fromQImage(tile);
  for (bool flipped : {false, true}) {
    const QImage out = drawInto(8, 8, flipped, 1, [&](GraphicsContext& ctx) {
      ctx.setPatternPhase({0, 0});
      ctx.setShouldAntialias(false);
      Color::patternImage(pattern).setFill();
      ctx.fillRect({0, 0, 8, 8});
    });
    // y-up: the tile's bottom-left sits at the phase, so the dark rows are
    // the screen rows 0 and 4 either way for an 8-high view.
    EXPECT_TRUE(near(pixelAt(out, 1, 0.5), Qt::black)) << flipped;
    EXPECT_TRUE(near(pixelAt(out, 1, 4.5), Qt::black)) << flipped;
    EXPECT_TRUE(near(pixelAt(out, 1, 2.5), Qt::yellow)) << flipped;
  }
  const QImage shifted = drawInto(8, 8, true, 1, [&](GraphicsContext& ctx) {
    ctx.setPatternPhase({0, 1});
    ctx.setShouldAntialias(false);
    Color::patternImage(pattern).setFill();
    ctx.fillRect({0, 0, 8, 8});
  });
  EXPECT_TRUE(near(pixelAt(shifted, 1, 1.5), Qt::black));
  EXPECT_TRUE(near(pixelAt(shifted, 1, 0.5), Qt::yellow));
}

}  // namespace
}  // namespace ui
