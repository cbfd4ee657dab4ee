// Views painting through the drawing context: the same scene (shapes, text,
// an image) in a y-up and a flipped view, the layer's background, corner
// radius and border, fading and hiding. The window is saved as a PNG under
// the build folder for a person to look at, also at a device scale of 2 (a
// second run of this program with QT_SCALE_FACTOR=2).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QWidget>

#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "ui/DrawingTestSupport.h"

namespace ui {
namespace {

using testing::near;
using testing::pixelAt;

// Red square at the origin, a blue oval, a green outline, a line of text and
// an image whose upper half is yellow and lower half magenta.
class Scene : public View {
public:
  Scene(Rect frame, bool flipped) : View(frame), flipped_(flipped) {}
  bool isFlipped() const override { return flipped_; }

  void drawRect(GraphicsContext& ctx, const Rect&) override {
    ctx.setFillColor(Color::redColor());
    ctx.fillRect(Rect(0, 0, 20, 20));
    ctx.setFillColor(Color::blueColor());
    ctx.fillPath(BezierPath::bezierPathWithOvalInRect(Rect(40, 10, 30, 30)));
    ctx.setStrokeColor(Color::greenColor());
    auto outline = BezierPath::bezierPathWithRoundedRect(Rect(100, 10, 60, 30), 6, 6);
    outline.setLineWidth(2);
    ctx.strokePath(outline);
    AttributedString text("QV450 Edit", Font::systemFontOfSize(14), Color::blackColor());
    ctx.drawString(text, Rect(10, 50, 120, 20), UsesLineFragmentOrigin);
    ctx.drawImage(*picture(), Rect(150, 60, 20, 20));
  }

  static std::shared_ptr<Image> picture() {
    static auto img = Image::render(Size{20, 20}, [](GraphicsContext& ctx) {
      ctx.setFillColor(Color::yellowColor());
      ctx.fillRect(Rect(0, 10, 20, 10));  // y-up: the upper half
      ctx.setFillColor(Color(1, 0, 1));
      ctx.fillRect(Rect(0, 0, 20, 10));
    });
    return img;
  }

private:
  bool flipped_;
};

QString outputDir() {
  const QString dir = QCoreApplication::applicationDirPath() + "/../test-output";
  QDir().mkpath(dir);
  return dir;
}

// Ink (dark pixels) of a region, as a string of 0s and 1s.
std::string inkOf(const QImage& img, double x, double y, double w, double h) {
  std::string bits;
  for (double yy = y; yy < y + h; yy += 1)
    for (double xx = x; xx < x + w; xx += 1) bits += pixelAt(img, xx, yy).lightness() < 128 ? '1' : '0';
  return bits;
}

TEST(ViewDrawing, SceneInBothOrientations) {
  auto window = Window::create(Rect(0, 0, 400, 150));
  auto up = View::create<Scene>(Rect(0, 0, 200, 150), false);
  auto down = View::create<Scene>(Rect(200, 0, 200, 150), true);
  for (auto& v : {up, down}) {
    v->layer().setBackgroundColor(Color::whiteColor());
    window->contentView()->addSubview(v);
  }
  window->contentView()->layer().setBackgroundColor(Color::calibratedWhite(0.8));
  window->makeKeyAndOrderFront();
  const QImage img = window->widget()->grab().toImage();
  const double dpr = img.devicePixelRatio();
  if (qgetenv("QT_SCALE_FACTOR") == "2") {
    EXPECT_EQ(dpr, 2);
  }
  ASSERT_TRUE(img.save(outputDir() + (dpr > 1 ? "/view-scene@2x.png" : "/view-scene.png")));

  // The y-up view's origin is its lower left, the flipped view's its upper left.
  EXPECT_TRUE(near(pixelAt(img, 10, 140), Qt::red));
  EXPECT_TRUE(near(pixelAt(img, 10, 10), Qt::white));
  EXPECT_TRUE(near(pixelAt(img, 210, 10), Qt::red));
  EXPECT_TRUE(near(pixelAt(img, 210, 140), Qt::white));
  EXPECT_TRUE(near(pixelAt(img, 55, 150 - 25), Qt::blue));
  EXPECT_TRUE(near(pixelAt(img, 255, 25), Qt::blue));
  // Images come out upright in both: yellow above magenta.
  EXPECT_TRUE(near(pixelAt(img, 160, 150 - 80 + 4), Qt::yellow));
  EXPECT_TRUE(near(pixelAt(img, 160, 150 - 60 - 4), Qt::magenta));
  EXPECT_TRUE(near(pixelAt(img, 360, 64), Qt::yellow));
  EXPECT_TRUE(near(pixelAt(img, 360, 76), Qt::magenta));
  // Text: the same upright ink in both views, only placed differently.
  const std::string upInk = inkOf(img, 10, 150 - 70, 120, 20);
  const std::string downInk = inkOf(img, 210, 50, 120, 20);
  EXPECT_NE(upInk.find('1'), std::string::npos);
  EXPECT_EQ(upInk, downInk);
  window->close();
}

TEST(ViewDrawing, AtADeviceScaleOfTwo) {
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "2");
  env.remove("GTEST_TOTAL_SHARDS");
  env.remove("GTEST_SHARD_INDEX");
  run.setProcessEnvironment(env);
  run.setProcessChannelMode(QProcess::MergedChannels);
  run.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ViewDrawing.SceneInBothOrientations"});
  ASSERT_TRUE(run.waitForFinished(120000)) << "the run at scale 2 did not finish";
  const QString out = QString::fromLocal8Bit(run.readAll());
  EXPECT_EQ(run.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}

TEST(ViewDrawing, LayerLookFadingAndHiding) {
  auto window = Window::create(Rect(0, 0, 200, 100));
  window->contentView()->layer().setBackgroundColor(Color::whiteColor());
  auto card = View::create(Rect(10, 10, 80, 80));
  card->layer().setBackgroundColor(Color::blueColor());
  card->layer().setCornerRadius(20);
  card->layer().setBorderWidth(4);
  card->layer().setBorderColor(Color::redColor());
  auto faded = View::create(Rect(100, 10, 40, 40));
  faded->layer().setBackgroundColor(Color::blackColor());
  faded->setAlphaValue(0.5);
  auto hidden = View::create(Rect(150, 10, 40, 40));
  hidden->layer().setBackgroundColor(Color::blackColor());
  hidden->setHidden(true);
  for (auto& v : {card, faded, hidden}) window->contentView()->addSubview(v);
  window->makeKeyAndOrderFront();
  const QImage img = window->widget()->grab().toImage();
  img.save(outputDir() + "/view-layer.png");

  EXPECT_TRUE(near(pixelAt(img, 50, 50), Qt::blue));
  EXPECT_TRUE(near(pixelAt(img, 50, 11), Qt::red));      // the border, inside the edge
  EXPECT_TRUE(near(pixelAt(img, 11, 11), Qt::white));    // outside the rounded corner
  EXPECT_TRUE(near(pixelAt(img, 120, 70), QColor(127, 127, 127), 12));
  EXPECT_TRUE(near(pixelAt(img, 170, 70), Qt::white));
  window->close();
}

}  // namespace
}  // namespace ui
