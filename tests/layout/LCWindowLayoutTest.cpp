// A window laid out with the language alone, as the editor's screens are: a
// top bar with a centred title sized by its text, a left column between 220
// and 280 wide holding a library, a main pane with a bar of nine equal module
// buttons, and an editor whose bottom is tied to the library's across the
// panes. Frames are checked at three window widths; the window is saved as a
// PNG (test-output/layout-window.png next to the test binaries).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "layout/LayoutTestSupport.h"
#include "platform/ui/Color.h"
#include "platform/ui/ConstraintEngine.h"

using namespace lctest;
using ui::Color;
using ui::Rect;

namespace {

std::shared_ptr<ui::View> coloured(const std::shared_ptr<ui::View>& parent, Color c,
                                   std::shared_ptr<ui::View> v = ui::View::create()) {
  v->setWantsLayer(true);
  v->layer().setBackgroundColor(c);
  parent->addSubview(v);
  return v;
}

struct EditorWindow {
  std::shared_ptr<ui::Window> window = ui::Window::create(Rect(0, 0, 1300, 700));
  std::shared_ptr<ui::View> content = window->contentView();
  std::shared_ptr<ui::View> topBar, title, column, library, pane, bar, editor;
  std::vector<std::shared_ptr<ui::View>> buttons;

  EditorWindow() {
    content->setWantsLayer(true);
    content->layer().setBackgroundColor(Color::rgb255(40, 40, 44));
    topBar = coloured(content, Color::rgb255(70, 70, 80));
    title = coloured(topBar, Color::rgb255(230, 200, 60), ui::View::create<Label>());
    static_cast<Label&>(*title).intrinsic = {160, 24};
    column = coloured(content, Color::rgb255(60, 90, 120));
    library = coloured(column, Color::rgb255(110, 160, 200));
    pane = coloured(content, Color::rgb255(55, 55, 60));
    bar = coloured(pane, Color::rgb255(90, 90, 100));
    editor = coloured(pane, Color::rgb255(80, 140, 90));
    for (int i = 0; i < 9; ++i)
      buttons.push_back(coloured(bar, Color::rgb(0.9, 0.35 + 0.05 * i, 0.2), ui::View::create<Button>()));

    lc_makeConstraints(*topBar, [&](LCConstraintMaker& make) {
      make.left().right().top().equalTo(content);
      make.height().equalTo(60);
    });
    lc_makeConstraints(*title, [&](LCConstraintMaker& make) { make.center().equalTo(topBar); });
    lc_makeConstraints(*column, [&](LCConstraintMaker& make) {
      make.top().equalTo(lc_bottom(topBar));
      make.left().bottom().equalTo(content);
      make.width().greaterThanOrEqualTo(220);
      make.width().lessThanOrEqualTo(280);
      make.width().equalTo(content).multipliedBy(0.25).priorityHigh();
    });
    lc_makeConstraints(*library, [&](LCConstraintMaker& make) {
      make.left().right().top().equalTo(column).inset(10);
      make.bottom().equalTo(column).offset(-40);
    });
    lc_makeConstraints(*pane, [&](LCConstraintMaker& make) {
      make.left().equalTo(lc_right(column));
      make.top().equalTo(lc_bottom(topBar));
      make.right().bottom().equalTo(content);
    });
    lc_makeConstraints(*bar, [&](LCConstraintMaker& make) {
      make.left().right().equalTo(pane);
      make.top().equalTo(pane).offset(10);
      make.height().equalTo(80);
    });
    lc_distributeViewsAlongAxisWithFixedItemLength(buttons, 0, 80, 30, 60);
    lc_makeConstraints(buttons, [&](LCConstraintMaker& make) {
      make.centerY().equalTo(bar);
      make.height().equalTo(60);
    });
    lc_makeConstraints(*editor, [&](LCConstraintMaker& make) {
      make.left().right().equalTo(pane).insets({0, 20, 0, 20});
      make.top().equalTo(lc_bottom(bar)).offset(10);
      make.bottom().equalTo(lc_bottom(library));  // across the panes
    });
    window->makeKeyAndOrderFront();
    window->layoutIfNeeded();
  }
};

}  // namespace

TEST(LCWindowLayout, EditorWindowFramesAndPicture) {
  EditorWindow w;
  // The content view is y-up: frames below are measured from the bottom.
  EXPECT_EQ(w.topBar->frame(), Rect(0, 640, 1300, 60));
  EXPECT_EQ(w.title->frame(), Rect(570, 18, 160, 24));
  EXPECT_EQ(w.column->frame(), Rect(0, 0, 280, 640));  // a quarter is 325: held at 280
  EXPECT_EQ(w.library->frame(), Rect(10, 40, 260, 590));
  EXPECT_EQ(w.pane->frame(), Rect(280, 0, 1020, 640));
  EXPECT_EQ(w.bar->frame(), Rect(0, 550, 1020, 80));
  // The editor's bottom sits on the library's, 40 above the window's bottom.
  EXPECT_EQ(w.editor->frame(), Rect(20, 40, 980, 500));
  double previousRight = 0;
  for (size_t i = 0; i < 9; ++i) {
    const Rect f = w.buttons[i]->frame();
    EXPECT_DOUBLE_EQ(f.minX(), 30 + 106.25 * double(i)) << i;
    EXPECT_EQ(f.size, (ui::Size{80, 60})) << i;
    EXPECT_DOUBLE_EQ(f.minY(), 10) << i;
    if (i > 0) {
      EXPECT_DOUBLE_EQ(f.minX() - previousRight, 26.25) << i;
    }
    previousRight = f.maxX();
  }
  EXPECT_DOUBLE_EQ(previousRight, 1020 - 60);
  EXPECT_EQ(ui::ConstraintEngine::shared()->stats(*w.content).refused, 0u);

  const QString dir = QCoreApplication::applicationDirPath() + "/../test-output";
  QDir().mkpath(dir);
  const QImage img = w.window->widget()->grab().toImage();
  ASSERT_TRUE(img.save(dir + "/layout-window.png"));
  const double s = img.devicePixelRatio();
  auto at = [&](double x, double yDown) { return img.pixelColor(int(x * s), int(yDown * s)); };
  EXPECT_EQ(at(5, 5), QColor(70, 70, 80));        // top bar
  EXPECT_EQ(at(650, 30), QColor(230, 200, 60));   // title
  EXPECT_EQ(at(5, 300), QColor(60, 90, 120));     // column margin
  EXPECT_EQ(at(100, 300), QColor(110, 160, 200)); // library
  EXPECT_EQ(at(280 + 500, 400), QColor(80, 140, 90));  // editor
  EXPECT_EQ(at(280 + 10, 400), QColor(55, 55, 60));    // pane margin

  // Narrower: a quarter is 200, held at 220; wider within the range: 250.
  w.window->setContentSize({800, 700});
  w.window->layoutIfNeeded();
  EXPECT_EQ(w.column->frame(), Rect(0, 0, 220, 640));
  EXPECT_EQ(w.pane->frame(), Rect(220, 0, 580, 640));
  EXPECT_EQ(w.editor->frame(), Rect(20, 40, 540, 500));
  EXPECT_EQ(w.title->frame(), Rect(320, 18, 160, 24));
  w.window->setContentSize({1000, 500});
  w.window->layoutIfNeeded();
  EXPECT_EQ(w.column->frame(), Rect(0, 0, 250, 440));
  EXPECT_EQ(w.library->frame(), Rect(10, 40, 230, 390));
  EXPECT_EQ(w.editor->frame(), Rect(20, 40, 710, 300));
  EXPECT_DOUBLE_EQ(w.buttons[8]->frame().maxX(), 750 - 60);
  EXPECT_DOUBLE_EQ(w.buttons[4]->frame().minX(), 30 + 4 * (750.0 - 170) / 8);
  EXPECT_EQ(ui::ConstraintEngine::shared()->stats(*w.content).systemsMade, 1u);
}
