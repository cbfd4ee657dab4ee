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

// The count of pixels darker than mid-grey whose colour is mostly `channel`
// (0 red, 1 green, 2 blue).
int inkOf(const QImage& img, int channel) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      const int v[3] = {c.red(), c.green(), c.blue()};
      if (v[channel] > 150 && v[(channel + 1) % 3] < 100 && v[(channel + 2) % 3] < 100) ++n;
    }
  }
  return n;
}

// Colour is not part of a reused layout: the same string in another colour,
// or with a shadow, comes out in that colour.
TEST(TextDrawingTest, ColourAndShadowFollowEachDraw) {
  const AttributedString red("MMMM", Font::boldSystemFontOfSize(24), Color::redColor());
  const AttributedString blue = AttributedString(red.string, red.font, Color::blueColor());
  const Rect rect{5, 5, 80, 40};
  for (bool flipped : {true, false}) {
    const auto draw = [&](const AttributedString& s) {
      return drawInto(kSide, kSide, flipped, 1,
                      [&](GraphicsContext& ctx) { ctx.drawString(s, rect, UsesLineFragmentOrigin); });
    };
    EXPECT_GT(inkOf(draw(red), 0), 20);
    const QImage second = draw(blue);
    EXPECT_EQ(inkOf(second, 0), 0) << flipped;
    EXPECT_GT(inkOf(second, 2), 20) << flipped;
    const QImage shadowed = drawInto(kSide, kSide, flipped, 1, [&](GraphicsContext& ctx) {
      Shadow s;
      s.shadowOffset = {3, -3};
      s.shadowColor = Color::greenColor();
      ctx.setShadow(s);
      ctx.drawString(blue, rect, UsesLineFragmentOrigin);
    });
    EXPECT_GT(inkOf(shadowed, 1), 5) << flipped;
    EXPECT_GT(inkOf(shadowed, 2), 20) << flipped;
  }
}

// Whatever the layout depends on gives a fresh layout when it changes: the
// font's size and weight, the box, the options and the paragraph style.
TEST(TextDrawingTest, ReusedLayoutsFollowWhatTheyDependOn) {
  AttributedString s("one two three four five six", Font::systemFontOfSize(12));
  const double w12 = s.boundingRect({0, 0}, UsesLineFragmentOrigin).width();
  EXPECT_NEAR(w12, s.font.widthOfString(s.string), 1e-6);
  s.font = Font::systemFontOfSize(20);
  EXPECT_NEAR(s.boundingRect({0, 0}, UsesLineFragmentOrigin).width(), s.font.widthOfString(s.string), 1e-6);
  s.font = Font::boldSystemFontOfSize(20);
  EXPECT_NEAR(s.boundingRect({0, 0}, UsesLineFragmentOrigin).width(), s.font.widthOfString(s.string), 1e-6);

  const double line = s.font.lineHeight();
  EXPECT_NEAR(s.boundingRect({0, 0}, UsesLineFragmentOrigin).height(), line, 1e-6);
  EXPECT_GT(s.boundingRect({90, 0}, UsesLineFragmentOrigin).height(), 2 * line);
  EXPECT_NEAR(s.boundingRect({90, line + 1}, UsesLineFragmentOrigin | TruncatesLastVisibleLine).height(), line, 1e-6);
  // Without the line-fragment origin the same box does not wrap.
  EXPECT_NEAR(s.boundingRect({90, 0}, 0).height(), line, 1e-6);

  const auto left = detail::cachedLayout(s, 400, 0, UsesLineFragmentOrigin);
  s.paragraphStyle.alignment = TextAlignment::Right;
  const auto right = detail::cachedLayout(s, 400, 0, UsesLineFragmentOrigin);
  EXPECT_EQ(left->lines.at(0).x, 0);
  EXPECT_NEAR(right->lines.at(0).x, 400 - right->lines.at(0).width, 1e-6);
  s.paragraphStyle.lineBreakMode = LineBreakMode::TruncatingTail;
  EXPECT_TRUE(detail::cachedLayout(s, 90, 0, UsesLineFragmentOrigin)->lines.at(0).text.endsWith(QChar(0x2026)));
  // Unlimited is unlimited however it is written.
  s.paragraphStyle = {};
  EXPECT_NEAR(s.boundingRect({-5, -1}, UsesLineFragmentOrigin).height(), line, 1e-6);
}

// A layout in hand stays whole while many others push it out of the cache,
// and comes back laid out afresh.
TEST(TextDrawingTest, HeldLayoutOutlivesEviction) {
  const AttributedString s("held line", Font::systemFontOfSize(14));
  const auto held = detail::cachedLayout(s, 300, 0, UsesLineFragmentOrigin);
  for (size_t i = 0; i < 2 * detail::kLayoutCacheCapacity; ++i)
    (void)detail::cachedLayout(AttributedString("filler " + std::to_string(i), s.font), 300, 0, UsesLineFragmentOrigin);
  ASSERT_EQ(held->lines.size(), 1u);
  EXPECT_EQ(held->lines[0].text, QStringLiteral("held line"));
  const auto again = detail::cachedLayout(s, 300, 0, UsesLineFragmentOrigin);
  EXPECT_NE(again.get(), held.get());
  EXPECT_EQ(again->lines.at(0).width, held->lines[0].width);
}

}  // namespace
}  // namespace ui
