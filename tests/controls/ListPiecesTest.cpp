// The dark list pieces: a table that ignores keys, the row's hover and the
// owner's hold on it, the selection band, the drop-down row's hover, the
// scroll view that never scrolls sideways but still scrolls a slanted swipe,
// and the thin scroller's look.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "controls/ControlsTestSupport.h"
#include "controls/ZrTableView.h"
#include "platform/ui/ClipView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace {

using ui::Rect;

struct Rows : ui::TableViewDataSource, ui::TableViewDelegate {
  long numberOfRowsInTableView(ui::TableView&) override { return 3; }
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, long) override {
    return ui::View::create<ZrTableRowView>();
  }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView&, ui::TableColumn*, long) override {
    return ui::View::create<PresetListCell>();
  }
};

TEST(ZrTableView, KeysChangeNothingAndRowsHoverUnlessHeld) {
  controls_test::WindowFixture w;
  auto rows = std::make_shared<Rows>();
  auto table = ui::View::create<ZrTableView>(Rect(0, 0, 200, 72));
  table->addTableColumn(std::make_shared<ui::TableColumn>("name"));
  table->setDataSource(rows);
  table->setDelegate(rows);
  w.window->contentView()->addSubview(table);
  table->reloadData();
  table->selectRowIndexes({0}, false);
  w.window->makeFirstResponder(table.get());
  ui::testing::Pointer p(*w.window);
  p.key(Qt::Key_Down);
  p.key(Qt::Key_Return);
  p.key(Qt::Key_A, "a");
  EXPECT_EQ(table->selectedRow(), 0);

  auto row = std::static_pointer_cast<ZrTableRowView>(table->rowViewAtRow(1));
  QCoreApplication::processEvents();
  p.move({100, 36});  // the middle row (window y-up)
  EXPECT_EQ(row->backgroundColor(), ui::Color::grayColor().withAlphaComponent(0.7));
  p.move({100, 200});
  EXPECT_EQ(row->backgroundColor(), ui::Color::clearColor());

  row->isActionSelect = 1;
  row->setBackgroundColor(ui::Color::rgb255(3, 99, 211));
  p.move({100, 36});
  p.move({100, 200});
  EXPECT_EQ(row->backgroundColor(), ui::Color::rgb255(3, 99, 211));
  row->isActionSelect = 0;
  p.move({100, 36});
  EXPECT_EQ(row->backgroundColor(), ui::Color::grayColor().withAlphaComponent(0.7));
}

QImage draw(ui::Size size, const std::function<void(ui::GraphicsContext&)>& fn) {
  return ui::Image::render(size, fn, 1.0)->bitmap(1.0);
}

TEST(ZrTableRowView, TheSelectionIsAFlatBandOnePointInside) {
  auto row = ui::View::create<ZrTableRowView>(Rect(0, 0, 40, 20));
  row->selectColor = ui::Color::redColor();  // kept, not drawn
  const QImage img = draw({40, 20}, [&](ui::GraphicsContext& ctx) { row->drawSelectionInRect(ctx, row->bounds()); });
  EXPECT_EQ(img.pixelColor(0, 0).alpha(), 0);
  const QColor band = img.pixelColor(20, 10);
  EXPECT_NEAR(band.alphaF(), 0.5, 0.01);
  EXPECT_NEAR(band.red(), 180, 2);
  EXPECT_EQ(band.red(), band.green());
}

TEST(ZrTabelCellView, HoverLightsTheRowUnlessTurnedOff) {
  auto cell = ui::View::create<ZrTabelCellView>(Rect(0, 0, 120, 20));
  EXPECT_EQ(cell->titleLabel()->frame(), Rect(6, 0, 114, 20));
  EXPECT_EQ(cell->titleLabel()->stringValue(), "P001 PRESET1");
  ui::Event e(ui::EventType::MouseEntered, {}, nullptr);
  cell->mouseEntered(e);
  EXPECT_EQ(cell->layer().backgroundColor(), ui::Color::srgb(102 / 255.0, 102 / 255.0, 102 / 255.0));
  cell->mouseExited(e);
  EXPECT_EQ(cell->layer().backgroundColor(), ui::Color::clearColor());
  cell->isEnterColor = false;
  cell->mouseEntered(e);
  EXPECT_EQ(cell->layer().backgroundColor(), ui::Color::clearColor());
}

TEST(ZrScrollView, ASlantedSwipeScrollsOnlyVertically) {
  controls_test::WindowFixture w;
  auto scroll = ui::View::create<ZrScrollView>(Rect(0, 0, 200, 100));
  auto document = ui::View::create<ui::testing::RecordingView>(Rect(0, 0, 600, 1000));
  document->flipped = true;  // starts at its top
  scroll->setDocumentView(document);
  w.window->contentView()->addSubview(scroll);
  const ui::Point start = scroll->contentView()->bounds().origin;
  ui::Event swipe(ui::EventType::ScrollWheel, {50, 50}, w.window.get());
  swipe.setDeltas(3, -40, true);
  scroll->scrollWheel(swipe);
  const ui::Point after = scroll->contentView()->bounds().origin;
  EXPECT_EQ(after.x, start.x);  // never sideways
  EXPECT_EQ(std::abs(after.y - start.y), 40);
  EXPECT_EQ(scroll->verticalScroller(), scroll->ooScroller());
  EXPECT_EQ(scroll->ooScroller()->scrollerWidth(), 4);
}

TEST(myScroller, ADarkSlotUnlessColouredAndAThinGreyKnobAtTheLeft) {
  auto scroller = ui::View::create<myScroller>(Rect(0, 0, 4, 100));
  scroller->setKnobProportion(0.25);
  scroller->setDoubleValue(0.5);  // the knob in the middle, whichever way y runs
  QImage img = draw({4, 100}, [&](ui::GraphicsContext& ctx) {
    scroller->drawKnobSlotInRect(ctx, scroller->bounds(), false);
  });
  EXPECT_EQ(img.pixelColor(2, 50), QColor(3, 1, 1));
  scroller->setSsBgColor(ui::Color::rgb255(20, 30, 40));
  img = draw({4, 100}, [&](ui::GraphicsContext& ctx) { scroller->drawKnobSlotInRect(ctx, scroller->bounds(), false); });
  EXPECT_EQ(img.pixelColor(2, 50), QColor(20, 30, 40));
  const ui::Rect knob = scroller->rectForPart(ui::ScrollerPart::Knob);
  ASSERT_FALSE(knob.isEmpty());
  img = draw({4, 100}, [&](ui::GraphicsContext& ctx) { scroller->drawKnob(ctx); });
  EXPECT_EQ(img.pixelColor(1, int(knob.midY())), QColor(106, 106, 106));
  EXPECT_EQ(img.pixelColor(3, int(knob.midY())), QColor(106, 106, 106));
}

}  // namespace
