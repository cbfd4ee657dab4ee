// Text drawing reuses laid-out and shaped lines between calls: what it draws
// must not depend on what was drawn or measured before.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "platform/ui/AttributedString.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextLines.h"
#include "ui/DrawingTestSupport.h"

namespace ui {
namespace {

using testing::drawInto;

constexpr int kSide = 90;

// `text` drawn with a bare painter, its first line's top-left at (x, top)
// in top-down points.
QImage paintedDirectly(const AttributedString& text, double x, double top, double dpr) {
  QImage img(static_cast<int>(kSide * dpr), static_cast<int>(kSide * dpr), QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QFont font = text.font.toQFont();
  p.setFont(font);
  p.setPen(text.foregroundColor.toQColor());
  p.drawText(QPointF(x, top + QFontMetricsF(font).ascent()), QString::fromStdString(text.string));
  return img;
}

// The same through the drawing context, in a rectangle wide enough for one
// line whose top-left corner is at (x, top) on screen.
QImage paintedInContext(const AttributedString& text, double x, double top, double dpr, bool flipped) {
  const Size s = text.size();
  const double h = s.height;
  const Rect rect = flipped ? Rect{x, top, s.width + 20, h} : Rect{x, kSide - top - h, s.width + 20, h};
  return drawInto(kSide, kSide, flipped, dpr,
                  [&](GraphicsContext& ctx) { ctx.drawString(text, rect, UsesLineFragmentOrigin); });
}

int differingPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// A line that fits is drawn exactly as the painter draws that string, in
// both orientations, at both pixel ratios, at fractional places, and again
// after the same line was drawn under another transform.
TEST(TextDrawingTest, OneLineLooksAsThePainterDrawsIt) {
  const std::vector<AttributedString> texts = {
      AttributedString("Amp 12", Font::systemFontOfSize(9)),
      AttributedString("Volume -3.5 dB", Font::boldSystemFontOfSize(13), Color::redColor()),
      AttributedString("Wg", Font::systemFontOfSize(31), Color::blueColor()),
      AttributedString("a\tb", Font::systemFontOfSize(12)),
      AttributedString("\xE4\xB8\xAD\xE6\x96\x87 fx", Font::fontWithName("SourceHanSansCN-Regular", 14).value()),
  };
  for (int round = 0; round < 2; ++round) {
    for (double dpr : {1.0, 2.0}) {
      for (bool flipped : {true, false}) {
        for (const auto& text : texts) {
          for (double x : {4.0, 7.25}) {
            const double top = 20.5;
            const QImage expected = paintedDirectly(text, x, top, dpr);
            ASSERT_GT(differingPixels(expected, paintedDirectly(AttributedString(), x, top, dpr)), 0);
            const QImage actual = paintedInContext(text, x, top, dpr, flipped);
            EXPECT_EQ(differingPixels(expected, actual), 0)
                << text.string << " dpr " << dpr << " flipped " << flipped << " x " << x << " round " << round;
          }
        }
      }
    }
  }
}

// Pixels where `channel` (0 red, 1 green, 2 blue) is strong and the others weak.
int inkOf(const QImage& img, int channel) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      const int v[3] = {c.red(), c.green(), c.blue()};
      n += v[channel] > 150 && v[(channel + 1) % 3] < 100 && v[(channel + 2) % 3] < 100;
    }
  }
  return n;
}

// Colour is no part of a reused layout: the same string drawn red, then blue
// with a green shadow, comes out blue and green.
TEST(TextDrawingTest, ColourAndShadowFollowEachDraw) {
  const AttributedString red("MMMM", Font::boldSystemFontOfSize(24), Color::redColor());
  const AttributedString blue(red.string, red.font, Color::blueColor());
  for (bool flipped : {true, false}) {
    drawInto(kSide, kSide, flipped, 1,
             [&](GraphicsContext& ctx) { ctx.drawString(red, {5, 5, 80, 40}, UsesLineFragmentOrigin); });
    const QImage img = drawInto(kSide, kSide, flipped, 1, [&](GraphicsContext& ctx) {
      Shadow shadow;
      shadow.shadowOffset = {3, -3};
      shadow.shadowColor = Color::greenColor();
      ctx.setShadow(shadow);
      ctx.drawString(blue, {5, 5, 80, 40}, UsesLineFragmentOrigin);
    });
    EXPECT_EQ(inkOf(img, 0), 0) << flipped;
    EXPECT_GT(inkOf(img, 1), 5) << flipped;
    EXPECT_GT(inkOf(img, 2), 20) << flipped;
  }
}

// The same text in another font is laid out afresh (the box, the options and
// the paragraph style are exercised by the measuring tests), and a box side
// of 0 or less is unlimited however it is written.
TEST(TextDrawingTest, ReusedLayoutsFollowTheFont) {
  AttributedString s("one two three four five six");
  for (const Font& f : {Font::systemFontOfSize(12), Font::systemFontOfSize(20), Font::boldSystemFontOfSize(20)}) {
    s.font = f;
    EXPECT_NEAR(s.boundingRect({0, 0}, UsesLineFragmentOrigin).width(), f.widthOfString(s.string), 1e-6);
    EXPECT_NEAR(s.boundingRect({-5, -1}, UsesLineFragmentOrigin).height(), f.lineHeight(), 1e-6);
  }
}

// A layout in hand stays whole while others push it out of the cache.
TEST(TextDrawingTest, HeldLayoutOutlivesEviction) {
  const AttributedString s("held line", Font::systemFontOfSize(14));
  const auto held = detail::cachedLayout(s, 300, 0, UsesLineFragmentOrigin);
  for (size_t i = 0; i < 2 * detail::kLayoutCacheCapacity; ++i)
    (void)detail::cachedLayout(s.withString(std::to_string(i)), 300, 0, UsesLineFragmentOrigin);
  ASSERT_EQ(held->lines.size(), 1u);
  EXPECT_EQ(held->lines[0].text, QStringLiteral("held line"));
  EXPECT_EQ(detail::cachedLayout(s, 300, 0, UsesLineFragmentOrigin)->lines.at(0).width, held->lines[0].width);
}

}  // namespace
}  // namespace ui
