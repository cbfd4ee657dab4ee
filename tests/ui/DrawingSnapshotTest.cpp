// Draws the same scene into a y-up and a flipped view side by side, at twice
// the pixel ratio, and saves it as drawing-orientations.png in the build
// folder for a person to look at. Shapes follow each view's axes; text and
// pictures stay upright in both.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>

#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Gradient.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Shadow.h"

namespace ui {
namespace {

void drawScene(GraphicsContext& ctx, const char* label) {
  Color::rgb255(36, 35, 35).setFill();
  ctx.fillRect(ctx.bounds());

  Gradient(Color::rgb255(138, 214, 255), Color::rgb255(3, 99, 211)).drawInRect({10, 10, 200, 16}, 0);

  ctx.saveGState();
  Shadow s;
  s.shadowOffset = {3, -3};
  s.shadowColor = Color::blackColor();
  s.set();
  Color::rgb255(75, 75, 75).setFill();
  BezierPath::bezierPathWithRoundedRect({10, 40, 90, 60}, 6, 6).fill();
  ctx.restoreGState();
  Color::rgb255(99, 100, 100).setStroke();
  BezierPath border = BezierPath::bezierPathWithRoundedRect({10, 40, 90, 60}, 6, 6);
  border.setLineWidth(0.8);
  border.stroke();

  // A quarter pie from 0 to 90 degrees: up-right in y-up, down-right flipped.
  BezierPath pie;
  pie.moveTo({150, 70});
  pie.appendArc({150, 70}, 28, 0, 90);
  pie.closePath();
  Color::greenColor().setFill();
  pie.fill();
  BezierPath ring;
  ring.appendArc({150, 70}, 28, 90, 0, false);
  ring.setLineWidth(2);
  ring.setLineCapStyle(LineCapStyle::Round);
  ring.setLineDash({4, 3}, 0);
  Color::whiteColor().setStroke();
  ring.stroke();

  if (auto badge = Image::imageNamed("test_badge")) ctx.drawImage(*badge, {30, 110, 40, 40});
  if (auto frame = Image::imageNamed("test_frame")) {
    frame->setCapInsets({10, 10, 10, 10});
    ctx.drawImage(*frame, {120, 110, 90, 40});
    frame->setCapInsets({});
  }

  AttributedString text(std::string(label) + ": text stays upright and truncates at the end of its last line",
                        Font::systemFontOfSize(13), Color::whiteColor());
  text.drawInRect({12, 158, 196, 34}, UsesLineFragmentOrigin | TruncatesLastVisibleLine);
  AttributedString cjk("中文 Arial", Font::fontWithName("SourceHanSansCN-Regular", 12).value_or(Font::systemFontOfSize(12)),
                       Color::rgb255(138, 214, 255));
  cjk.drawInRect({12, 196, 196, 20}, UsesLineFragmentOrigin);
}

TEST(DrawingSnapshotTest, BothOrientationsSideBySide) {
  const double dpr = 2;
  const int w = 220, h = 220, gap = 10;
  QImage out(static_cast<int>((2 * w + gap) * dpr), static_cast<int>(h * dpr), QImage::Format_ARGB32_Premultiplied);
  out.setDevicePixelRatio(dpr);
  out.fill(Qt::white);
  QPainter painter(&out);
  {
    GraphicsContext yUp(painter, {0, 0, double(w), double(h)}, false);
    drawScene(yUp, "y-up");
  }
  painter.translate(w + gap, 0);
  {
    GraphicsContext flipped(painter, {0, 0, double(w), double(h)}, true);
    drawScene(flipped, "flipped");
  }
  painter.end();

  // Spot checks: the pie's quadrant mirrors, the picture does not.
  auto at = [&](double x, double y) { return out.pixelColor(int(x * dpr), int(y * dpr)); };
  EXPECT_EQ(at(165, h - 80), QColor(Qt::green));
  EXPECT_EQ(at(w + gap + 165, 80), QColor(Qt::green));
  const QColor badgeTipLeft = at(50, h - 150 + 6), badgeTipRight = at(w + gap + 50, 110 + 6);
  EXPECT_EQ(badgeTipLeft, badgeTipRight);

  const auto path = std::filesystem::path(QV450_RESOURCES_DIR).parent_path() / "drawing-orientations.png";
  EXPECT_TRUE(out.save(QString::fromStdString(path.string())));
}

}  // namespace
}  // namespace ui
