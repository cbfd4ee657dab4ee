#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <algorithm>

#include "platform/ui/AttributedString.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/TextLines.h"
#include "ui/DrawingTestSupport.h"

namespace ui {
namespace {

using testing::drawInto;

TEST(FontTest, LayoutNamesResolveThroughTheAliasTable) {
  auto arial = Font::fontWithName("Arial", 16);
  ASSERT_TRUE(arial.has_value());
  EXPECT_EQ(arial->fontName(), "Arial");
  EXPECT_TRUE(arial->familyName() == "Arial" || arial->familyName() == "Liberation Sans") << arial->familyName();
  // Metric-compatible: "Hello" advances 2.278 em in Arial.
  EXPECT_NEAR(arial->withSize(100).widthOfString("Hello"), 227.8, 1.0);

  auto cjk = Font::fontWithName("SourceHanSansCN-Regular", 10);
  ASSERT_TRUE(cjk.has_value());
  EXPECT_TRUE(cjk->familyName() == "Source Han Sans CN" || cjk->familyName() == "Noto Sans CJK SC")
      << cjk->familyName();
  EXPECT_TRUE(QFontMetricsF(cjk->toQFont()).inFont(QChar(0x4E2D)));  // 中

  // No substitute is made up for an unknown name: the caller falls back.
  EXPECT_FALSE(Font::fontWithName("NoSuchFace-Regular", 12).has_value());
  EXPECT_FALSE(Font::fontWithName("", 12).has_value());
}

TEST(FontTest, PixelSizesAndMetrics) {
  const Font f = Font::systemFontOfSize(18);
  EXPECT_EQ(f.toQFont().pixelSize(), 18);
  EXPECT_TRUE(Font::boldSystemFontOfSize(16).toQFont().bold());
  EXPECT_GT(f.ascender(), 0);
  EXPECT_LT(f.descender(), 0);
  EXPECT_NEAR(f.lineHeight(), f.ascender() - f.descender() + f.leading(), 1e-9);
  EXPECT_GT(f.lineHeight(), 18 * 0.9);
  EXPECT_LT(f.lineHeight(), 18 * 1.6);
  EXPECT_GT(Font::systemFontOfSize(20).widthOfString("Hello"), f.widthOfString("Hello"));
}

TEST(TextLayoutTest, HeightsAndSingleLineSizes) {
  const Font f = Font::systemFontOfSize(17);
  const double line = f.lineHeight();
  EXPECT_EQ(TextLayout::usedHeight("", f, 100), 0);
  EXPECT_NEAR(TextLayout::usedHeight("Save", f, 500), line, 1e-6);
  const std::string text = "The current preset data has been modified, would you like to save it?";
  const double narrow = TextLayout::usedHeight(text, f, 120), wide = TextLayout::usedHeight(text, f, 2000);
  EXPECT_NEAR(wide, line, 1e-6);
  EXPECT_GE(narrow, 3 * line - 1e-6);
  // Every line fits the width.
  const auto laid = detail::layOutText(AttributedString(text, f), 120, 0, UsesLineFragmentOrigin);
  for (const auto& l : laid.lines) EXPECT_LE(l.width, 120.0 + 1e-6) << l.text.toStdString();
  // A word longer than the width is broken rather than overflowing.
  const auto longWord = detail::layOutText(AttributedString(std::string(40, 'W'), f), 50, 0, UsesLineFragmentOrigin);
  EXPECT_GT(longWord.lines.size(), 1u);
  EXPECT_LE(longWord.width, 50.0 + 1e-6);

  const Size two = TextLayout::singleLineSize("EXP\nVOLUME", f);
  EXPECT_NEAR(two.height, 2 * line, 1e-6);
  EXPECT_NEAR(two.width, f.widthOfString("VOLUME"), 1e-6);
}

TEST(AttributedStringTest, BoundingRectsAndTruncation) {
  AttributedString s("one two three four five six seven eight nine ten", Font::systemFontOfSize(14));
  const double line = s.font.lineHeight();
  const Rect free = s.boundingRect({80, 0}, UsesLineFragmentOrigin);
  EXPECT_GT(free.height(), 2 * line);
  EXPECT_LE(free.width(), 80.0 + 1e-6);
  // Truncating the last visible line keeps to the lines that fit, and the
  // last one shown ends in an ellipsis.
  const Rect cut = s.boundingRect({80, line * 2 + 1}, UsesLineFragmentOrigin | TruncatesLastVisibleLine);
  EXPECT_NEAR(cut.height(), 2 * line, 1e-6);
  const auto laid = detail::layOutText(s, 80, line * 2 + 1, UsesLineFragmentOrigin | TruncatesLastVisibleLine);
  ASSERT_EQ(laid.lines.size(), 2u);
  EXPECT_TRUE(laid.lines[1].text.endsWith(QChar(0x2026))) << laid.lines[1].text.toStdString();
  EXPECT_LE(laid.lines[1].width, 80.0 + 1e-6);
  // Too low for even one line: the first still shows.
  EXPECT_NEAR(s.boundingRect({80, 3}, UsesLineFragmentOrigin | TruncatesLastVisibleLine).height(), line, 1e-6);
  // Without the line-fragment origin nothing wraps and the origin is the
  // baseline: the box reaches below it by the descent.
  const Rect baseline = s.boundingRect({80, 0}, 0);
  EXPECT_NEAR(baseline.height(), line, 1e-6);
  EXPECT_LT(baseline.origin.y, 0);
  EXPECT_GT(baseline.width(), 80);
  EXPECT_EQ(AttributedString("", s.font).boundingRect({80, 100}, UsesLineFragmentOrigin).height(), 0);

  AttributedString tail = s;
  tail.paragraphStyle.lineBreakMode = LineBreakMode::TruncatingTail;
  const auto one = detail::layOutText(tail, 80, 0, UsesLineFragmentOrigin);
  ASSERT_EQ(one.lines.size(), 1u);
  EXPECT_TRUE(one.lines[0].text.endsWith(QChar(0x2026)));
}

TEST(AttributedStringTest, AlignmentAndLineSpacing) {
  AttributedString s("ab\nabcdef", Font::systemFontOfSize(12));
  s.paragraphStyle.alignment = TextAlignment::Center;
  s.paragraphStyle.lineSpacing = 4;
  const auto laid = detail::layOutText(s, 200, 0, UsesLineFragmentOrigin);
  ASSERT_EQ(laid.lines.size(), 2u);
  EXPECT_NEAR(laid.lines[0].x, (200 - laid.lines[0].width) / 2, 1e-6);
  EXPECT_NEAR(laid.lines[1].top, s.font.lineHeight() + 4, 1e-6);
  EXPECT_NEAR(laid.height, 2 * s.font.lineHeight() + 4, 1e-6);
  s.paragraphStyle.alignment = TextAlignment::Right;
  EXPECT_NEAR(detail::layOutText(s, 200, 0, UsesLineFragmentOrigin).lines[1].x,
              200 - s.font.widthOfString("abcdef"), 1e-6);
}

// The rows of the image holding dark ink, in points from the top.
std::pair<int, int> inkRows(const QImage& img) {
  int first = -1, last = -1;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (img.pixelColor(x, y).lightness() < 100) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  const double dpr = img.devicePixelRatio();
  return {static_cast<int>(first / dpr), static_cast<int>(last / dpr)};
}

// Text starts at the top of its rectangle and reads upright in both kinds of
// view: a "T" has most ink in its top rows.
TEST(AttributedStringTest, TextIsDrawnUprightFromTheTop) {
  for (double dpr : {1.0, 2.0}) {
    for (bool flipped : {false, true}) {
      AttributedString t("T", Font::boldSystemFontOfSize(40));
      const double lh = t.font.lineHeight();
      // The rectangle is the upper part of an 80-point view in screen terms.
      const Rect rect = flipped ? Rect{10, 0, 60, lh + 10} : Rect{10, 80 - (lh + 10), 60, lh + 10};
      const QImage img = drawInto(80, 80, flipped, dpr, [&](GraphicsContext&) { t.drawInRect(rect); });
      const auto [first, last] = inkRows(img);
      ASSERT_GE(first, 0) << flipped << dpr;
      EXPECT_LT(last, lh) << flipped << dpr;
      // The bar of the T: the widest ink row is in the top quarter of the glyph.
      int widestRow = first, widest = 0;
      for (int y = static_cast<int>(first * dpr); y <= static_cast<int>(last * dpr); ++y) {
        int count = 0;
        for (int x = 0; x < img.width(); ++x) count += img.pixelColor(x, y).lightness() < 100;
        if (count > widest) widest = count, widestRow = static_cast<int>(y / dpr);
      }
      EXPECT_LT(widestRow - first, (last - first) / 4 + 1) << flipped << dpr;
    }
  }
}

}  // namespace
}  // namespace ui
