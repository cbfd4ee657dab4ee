#include "platform/ui/GraphicsContext.h"

#include <gtest/gtest.h>

#include "platform/ui/BezierPath.h"
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
  const auto [flipped, dpr] = GetParam();
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

INSTANTIATE_TEST_SUITE_P(Views, OrientationTest,
                         ::testing::Values(Orientation{false, 1}, Orientation{true, 1}, Orientation{false, 2},
                                           Orientation{true, 2}));

}  // namespace
}  // namespace ui
