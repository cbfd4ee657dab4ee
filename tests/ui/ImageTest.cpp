#include "platform/ui/Image.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "support/TempFolder.h"
#include "ui/DrawingTestSupport.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using testing::near;

// Points imageNamed at a fresh folder for one test.
class ScratchImages {
public:
  ScratchImages() : previous_(Image::searchDirectories()) { Image::setSearchDirectories({folder_.path()}); }
  ~ScratchImages() { Image::setSearchDirectories(previous_); }
  const fs::path& dir() const { return folder_.path(); }

private:
  TempFolder folder_;
  std::vector<fs::path> previous_;
};

void writePng(const fs::path& path, int w, int h, QColor colour) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(colour);
  ASSERT_TRUE(img.save(QString::fromStdString(path.string())));
}

TEST(ImageTest, NamedImagesFromTheResourcesFolder) {
  auto a = Image::imageNamed("test_two_tone");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->size(), (Size{20, 20}));
  EXPECT_EQ(a->name(), "test_two_tone");
  EXPECT_EQ(Image::imageNamed("test_two_tone"), a);  // cached: the same object
  // Rendered crisply at the scale asked for.
  EXPECT_EQ(a->bitmap(2).size(), QSize(40, 40));
  EXPECT_EQ(&a->bitmap(2), &a->bitmap(2));
  EXPECT_TRUE(near(a->bitmap(2).pixelColor(20, 5), Qt::red));

  EXPECT_EQ(Image::imageNamed("no_such_picture"), nullptr);
  EXPECT_EQ(Image::imageNamed("test_not_an_image"), nullptr);  // unreadable counts as missing
  EXPECT_EQ(Image::imageNamed("../images/test_two_tone"), nullptr);
  EXPECT_EQ(Image::imageNamed(""), nullptr);
}

TEST(ImageTest, BitmapsWithTheirDoubleSizeVersion) {
  ScratchImages scratch;
  writePng(scratch.dir() / "knob.png", 6, 6, Qt::red);
  writePng(scratch.dir() / "knob@2x.png", 12, 12, Qt::blue);
  writePng(scratch.dir() / "only@2x.png", 30, 10, Qt::green);
  auto knob = Image::imageNamed("knob");
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->size(), (Size{6, 6}));
  EXPECT_TRUE(near(knob->bitmap(1).pixelColor(0, 0), Qt::red));
  EXPECT_TRUE(near(knob->bitmap(2).pixelColor(0, 0), Qt::blue));
  EXPECT_EQ(knob->bitmap(2).size(), QSize(12, 12));
  auto only = Image::imageNamed("only");
  ASSERT_NE(only, nullptr);
  EXPECT_EQ(only->size(), (Size{15, 5}));
  // Drawing at another size rescales.
  only->setSize({30, 10});
  EXPECT_EQ(only->bitmap(1).size(), QSize(30, 10));
}

TEST(ImageTest, DrawingHandlersRunOncePerScale) {
  int calls = 0;
  auto img = Image::withDrawingHandler({10, 10}, false, [&](const Rect& r) {
    ++calls;
    Color::redColor().setFill();
    GraphicsContext::current()->fillRect({r.origin.x, r.origin.y, r.width(), r.height() / 2});  // lower half, y-up
    return true;
  });
  EXPECT_EQ(img->bitmap(1).size(), QSize(10, 10));
  img->bitmap(1);
  EXPECT_EQ(calls, 1);
  const QImage& big = img->bitmap(2);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(big.size(), QSize(20, 20));
  EXPECT_TRUE(near(big.pixelColor(10, 18), Qt::red));
  EXPECT_EQ(big.pixelColor(10, 2).alpha(), 0);

  // render() draws at once, y-up like the drawing handler.
  auto rendered = Image::render({8, 4}, [](GraphicsContext& ctx) {
    Color::greenColor().setFill();
    ctx.fillRect({0, 2, 8, 2});  // upper half
  });
  ASSERT_NE(rendered, nullptr);
  EXPECT_EQ(rendered->size(), (Size{8, 4}));
  const QImage& px = rendered->bitmap(2);
  EXPECT_TRUE(near(px.pixelColor(4, 1), Qt::green));
  EXPECT_EQ(px.pixelColor(4, 6).alpha(), 0);
  EXPECT_EQ(Image::render({0, 4}, nullptr), nullptr);
}

TEST(ImageTest, DrawingFractionAndMissingImages) {
  auto img = Image::imageNamed("test_two_tone");
  ASSERT_NE(img, nullptr);
  const QImage out = testing::drawInto(20, 20, true, 1, [&](GraphicsContext& ctx) {
    ctx.drawImage(*img, {0, 0, 20, 20}, Rect::zero(), CompositingOperation::SourceOver, 0.5);
  });
  EXPECT_TRUE(near(testing::pixelAt(out, 10, 5), QColor(255, 127, 127), 3));
  // Drawing through the current context without one, or an empty rectangle,
  // does nothing.
  img->drawInRect({0, 0, 10, 10});
  const QImage none = testing::drawInto(20, 20, true, 1, [&](GraphicsContext&) { img->drawInRect({5, 5, 0, 10}); });
  EXPECT_TRUE(near(testing::pixelAt(none, 5, 8), Qt::white));
}

}  // namespace
}  // namespace ui
