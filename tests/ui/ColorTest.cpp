#include "platform/ui/Color.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "platform/ui/GraphicsContext.h"

namespace ui {
namespace {

void expectColor(const Color& c, double r, double g, double b, double a) {
  EXPECT_NEAR(c.redComponent(), r, 1e-6);
  EXPECT_NEAR(c.greenComponent(), g, 1e-6);
  EXPECT_NEAR(c.blueComponent(), b, 1e-6);
  EXPECT_NEAR(c.alphaComponent(), a, 1e-6);
}

TEST(ColorTest, PackedFormsTakeTheAlphaFromTheRightByte) {
  expectColor(colorWithRGB(0x8AD6FF), 138 / 255.0, 214 / 255.0, 1, 1);
  expectColor(colorWithRGB(0x8AD6FF, 0.25), 138 / 255.0, 214 / 255.0, 1, 0.25);
  // 0xAARRGGBB: the top byte is the alpha, the rest the same colour.
  expectColor(colorWithRGBA(0x808AD6FF), 138 / 255.0, 214 / 255.0, 1, 128 / 255.0);
  // Bits above the 24 colour bits are ignored by the RGB forms.
  EXPECT_EQ(colorWithRGB(0xFF000000), Color::blackColor());
}

TEST(ColorTest, NamedColoursAndEquality) {
  expectColor(Color::clearColor(), 0, 0, 0, 0);
  expectColor(Color::lightGrayColor(), 2.0 / 3, 2.0 / 3, 2.0 / 3, 1);
  expectColor(Color::brownColor(), 0.6, 0.4, 0.2, 1);
  expectColor(Color::purpleColor(), 0.5, 0, 0.5, 1);
  EXPECT_EQ(Color::calibratedWhite(0.5), Color::grayColor());
  EXPECT_EQ(Color::deviceWhite(1), Color::whiteColor());
  EXPECT_EQ(Color::srgb(0, 1, 0), Color::greenColor());
  EXPECT_NE(Color::redColor(), Color::redColor().withAlphaComponent(0.5));
  EXPECT_EQ(Color::redColor().withAlphaComponent(0.5).alphaComponent(), 0.5);
  // Out-of-range input is held in [0, 1] rather than producing invalid colours.
  expectColor(Color(2, -1, 0.5, 3), 1, 0, 0.5, 1);
}

TEST(ColorTest, ConvertsToQColor) {
  const QColor q = Color::rgb255(3, 99, 211, 0.5).toQColor();
  EXPECT_EQ(q.red(), 3);
  EXPECT_EQ(q.green(), 99);
  EXPECT_EQ(q.blue(), 211);
  EXPECT_EQ(q.alpha(), 128);
  EXPECT_EQ(Color::fromQColor(q).toQColor(), q);
}

TEST(ColorTest, SetChangesTheInnermostContext) {
  Color::redColor().set();  // no context: nothing happens, no crash
  QImage canvas(4, 4, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&canvas);
  GraphicsContext outer(painter, {0, 0, 4, 4}, false);
  EXPECT_EQ(outer.fillColor(), Color::blackColor());
  {
    GraphicsContext inner(painter, {0, 0, 4, 4}, true);
    EXPECT_EQ(GraphicsContext::current(), &inner);
    Color::redColor().set();
    Color::greenColor().setStroke();
    EXPECT_EQ(inner.fillColor(), Color::redColor());
    EXPECT_EQ(inner.strokeColor(), Color::greenColor());
  }
  EXPECT_EQ(GraphicsContext::current(), &outer);
  EXPECT_EQ(outer.fillColor(), Color::blackColor());
}

}  // namespace
}  // namespace ui
