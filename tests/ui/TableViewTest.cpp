// The view-based table: rows and cells from the delegate, selection by
// click, keys and code, hover rows, the context menu's clicked row, rows
// dragged from one table and dropped on another (Qt's drag events sent to
// the receiving table, as a windowing system would), and a long table in a
// scroll view that has views only for the rows in view and reuses them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QWindow>
#include <QWidget>
#include <memory>

#include "platform/ui/Menu.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;

// A table cell showing its text in a label.
std::shared_ptr<View> labelledCell() {
  auto cell = View::create<TableCellView>();
  auto label = TextField::labelWithString("");
  cell->addSubview(label);
  cell->setTextField(label);
  return cell;
}

// A list of names that can be dragged out of it and dropped into it.
struct NameList : TableViewDataSource, TableViewDelegate {
  std::vector<std::string> names;
  std::set<long> unselectable;
  int selectionChanges = 0;

  long numberOfRowsInTableView(TableView&) override { return long(names.size()); }
  std::shared_ptr<View> viewForTableColumn(TableView& t, TableColumn* c, long row) override {
    auto cell = std::static_pointer_cast<TableCellView>(t.makeViewWithIdentifier(c->identifier()));
    if (!cell) return nullptr;
    cell->textField()->setStringValue(names[size_t(row)]);
    return cell;
  }
  bool shouldSelectRow(TableView&, long row) override { return !unselectable.count(row); }
  void tableViewSelectionDidChange(TableView&) override { ++selectionChanges; }
  bool writeRowsWithIndexes(TableView&, const std::set<long>& rows, Pasteboard& pb) override {
    std::string joined;
    for (long r : rows) joined += names[size_t(r)] + "\n";
    pb.setString("drag", joined);
    return true;
  }
  unsigned validateDrop(TableView& t, const DraggingInfo& info, long row, TableViewDropOperation op) override {
    if (info.source.get() == &t) return DragOperationNone;  // no drops on itself
    if (op == TableViewDropOperation::On) t.setDropRow(row, TableViewDropOperation::Above);
    return DragOperationMove;
  }
  bool acceptDrop(TableView& t, const DraggingInfo& info, long row, TableViewDropOperation) override {
    const std::string* data = info.pasteboard.stringForType("drag");
    if (!data) return false;
    size_t start = 0;
    for (size_t end; (end = data->find('\n', start)) != std::string::npos; start = end + 1) {
      names.insert(names.begin() + row++, data->substr(start, end - start));
    }
    t.reloadData();
    return true;
  }
};

struct TableFixture : testing::WindowFixture {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 400, 300));
    left = makeTable(Rect(0, 0, 200, 300), leftList, {"a", "b", "c", "d"});
    right = makeTable(Rect(200, 0, 200, 300), rightList, {"x", "y"});
    window->makeKeyAndOrderFront();
  }
  std::shared_ptr<TableView> makeTable(Rect frame, const std::shared_ptr<NameList>& list,
                                       std::vector<std::string> names) {
    list->names = std::move(names);
    auto t = View::create<TableView>(frame);
    t->addTableColumn(std::make_shared<TableColumn>("name"));
    t->registerViewMaker("name", labelledCell);
    t->setDataSource(list);
    t->setDelegate(list);
    t->registerForDraggedTypes({"drag"});
    window->contentView()->addSubview(t);
    t->reloadData();
    return t;
  }
  // Window y-up point of a table row's middle (rows are 24 high from the top).
  Point rowPoint(const TableView& t, long row) const {
    return {t.frame().midX(), t.frame().maxY() - 24 * row - 12};
  }
  // Sends Qt's drag events for `mime` to `target` at a point in its
  // (flipped) bounds; returns whether the drop was accepted.
  bool drop(TableView& target, QMimeData* mime, QPointF at) {
    QWidget* w = target.widget();
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dropped);
    return dropped.isAccepted();
  }

  std::shared_ptr<NameList> leftList = std::make_shared<NameList>();
  std::shared_ptr<NameList> rightList = std::make_shared<NameList>();
  std::shared_ptr<TableView> left, right;
};

TEST_F(TableFixture, RowsAreStackedFromTheTopWithTheirCells) {
  EXPECT_EQ(left->numberOfRows(), 4);
  EXPECT_EQ(left->rectOfRow(2), Rect(0, 48, 200, 24));
  EXPECT_EQ(left->rowAtPoint({10, 50}), 2);
  EXPECT_EQ(left->rowAtPoint({10, 96}), -1);  // below the last row
  auto cell = std::dynamic_pointer_cast<TableCellView>(left->viewAtColumn(0, 3));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->textField()->stringValue(), "d");
  EXPECT_EQ(left->makeViewWithIdentifier("unknown"), nullptr);
}

TEST_F(TableFixture, ClicksKeysAndCodeSelectRowsTheDelegateAllows) {
  Pointer p(*window);
  int actions = 0;
  left->setAction([&](Control&) { ++actions; });
  p.click(rowPoint(*left, 1));
  EXPECT_EQ(left->selectedRow(), 1);
  EXPECT_TRUE(left->rowViewAtRow(1)->isSelected());
  EXPECT_EQ(actions, 1);
  EXPECT_EQ(leftList->selectionChanges, 1);

  leftList->unselectable = {2};
  p.wait(2000);
  p.click(rowPoint(*left, 2));
  EXPECT_EQ(left->selectedRow(), 1);
  EXPECT_EQ(left->clickedRow(), 2);

  p.key(Qt::Key_Down);  // onto the unselectable row: refused
  EXPECT_EQ(left->selectedRow(), 1);
  leftList->unselectable.clear();
  p.key(Qt::Key_Down);
  p.key(Qt::Key_Down);
  p.key(Qt::Key_Down);  // stops at the last row
  EXPECT_EQ(left->selectedRow(), 3);
  EXPECT_FALSE(left->rowViewAtRow(1)->isSelected());

  left->selectRowIndexes({0, 2}, false);  // single selection keeps the last
  EXPECT_EQ(left->selectedRowIndexes(), (std::set<long>{2}));
  left->setAllowsMultipleSelection(true);
  left->selectRowIndexes({0}, true);
  EXPECT_EQ(left->selectedRowIndexes(), (std::set<long>{0, 2}));

  // Rows gone after a reload leave the selection.
  leftList->names.resize(1);
  left->reloadData();
  EXPECT_EQ(left->selectedRowIndexes(), (std::set<long>{0}));
  EXPECT_EQ(left->selectedRow(), 0);
}

TEST_F(TableFixture, TheRowUnderThePointerIsHoveredAndLeavingClearsIt) {
  Pointer p(*window);
  p.move(rowPoint(*left, 0));
  EXPECT_EQ(left->hoveredRow(), 0);
  EXPECT_TRUE(left->rowViewAtRow(0)->isHovered());
  p.move(rowPoint(*left, 3));
  EXPECT_EQ(left->hoveredRow(), 3);
  EXPECT_FALSE(left->rowViewAtRow(0)->isHovered());
  p.move({100, 150});  // a table outside a scroll view is as tall as its rows
  EXPECT_EQ(left->hoveredRow(), -1);
  EXPECT_FALSE(left->rowViewAtRow(3)->isHovered());
  p.move(rowPoint(*left, 2));
  p.move(rowPoint(*right, 0));  // out of the table
  EXPECT_EQ(left->hoveredRow(), -1);
  EXPECT_FALSE(left->rowViewAtRow(2)->isHovered());
  EXPECT_EQ(right->hoveredRow(), 0);
}

TEST_F(TableFixture, TheContextMenuSeesTheClickedRow) {
  auto menu = std::make_shared<Menu>();
  left->setMenu(menu);
  Event e(EventType::RightMouseDown, rowPoint(*left, 2), window.get());
  EXPECT_EQ(left->menuForEvent(e), menu);
  EXPECT_EQ(left->clickedRow(), 2);
}

TEST_F(TableFixture, RowsDraggedFromOneTableAreDroppedAboveARowOfTheOther) {
  left->setAllowsMultipleSelection(true);
  left->selectRowIndexes({1, 3}, false);
  QMimeData* mime = left->dragMimeData(left->selectedRowIndexes());
  ASSERT_NE(mime, nullptr);
  EXPECT_TRUE(mime->hasFormat(QString::fromStdString(TableView::mimeTypeFor("drag"))));

  // A drop on itself is refused by its data source.
  EXPECT_FALSE(drop(*left, mime, QPointF(50, 12)));
  EXPECT_EQ(leftList->names.size(), 4u);

  // On the middle of right's second row: retargeted above it.
  EXPECT_TRUE(drop(*right, mime, QPointF(50, 36)));
  EXPECT_EQ(rightList->names, (std::vector<std::string>{"x", "b", "d", "y"}));
  EXPECT_EQ(right->numberOfRows(), 4);
  EXPECT_EQ(right->dropRow(), -1);  // feedback cleared

  // Below every row: appended.
  EXPECT_TRUE(drop(*right, mime, QPointF(50, 250)));
  EXPECT_EQ(rightList->names.back(), "d");
  delete mime;

  // A drag of a type the table did not register is not even entered.
  QMimeData other;
  other.setData("text/plain", "x");
  EXPECT_FALSE(drop(*right, &other, QPointF(50, 12)));
}

// A drag started with the mouse, carried by the windowing system's drag loop
// to the other table and dropped there; the loop is driven by mouse events
// sent from a timer while it runs. The offscreen platform has no drag loop,
// so this test is left out of the offscreen runs and has a CTest entry of its
// own under a virtual X server.
TEST_F(TableFixture, DISABLED_ARowDraggedWithTheMouseLandsInTheOtherTable) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen");
  // The pressed row travels, not the selection, when it may not be selected.
  left->selectRowIndexes({0}, false);
  leftList->unselectable = {2};
  QCoreApplication::processEvents();
  Pointer p(*window);
  const Point from = rowPoint(*left, 2), to = rowPoint(*right, 1);
  QWindow* handle = window->widget()->windowHandle();
  auto send = [handle, this](QEvent::Type type, Point at, Qt::MouseButtons buttons) {
    const QPointF local(at.x, window->widget()->height() - at.y);
    QMouseEvent e(type, local, local, handle->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &e);
  };
  bool fed = false;
  QTimer::singleShot(20, [&] {
    fed = true;
    send(QEvent::MouseMove, {to.x, to.y + 4}, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  });
  p.press(from);
  p.move({from.x + 10, from.y});  // past the threshold: the drag loop runs until the release
  ASSERT_TRUE(fed) << "no drag loop ran";
  EXPECT_EQ(rightList->names, (std::vector<std::string>{"x", "c", "y"}));
  p.release(to);
}

// A long list in a scroll view that shows ten rows of 20 points. Its
// delegate counts what it is asked and makes its views through the table,
// so that views of rows gone out of view come back.
struct LongList : TableViewDataSource, TableViewDelegate {
  long rows = 10000;
  long countsAsked = 0;
  std::vector<long> cellsAsked;
  long rowViewsMade = 0;
  long cellsMade = 0;
  bool freshCells = false;  // cells made here each time, not through the table

  static std::string name(long row) { return "Preset " + std::to_string(row); }
  long numberOfRowsInTableView(TableView&) override {
    ++countsAsked;
    return rows;
  }
  std::shared_ptr<TableRowView> rowViewForRow(TableView& t, long) override {
    return std::static_pointer_cast<TableRowView>(t.makeViewWithIdentifier("row"));
  }
  std::shared_ptr<View> viewForTableColumn(TableView& t, TableColumn* c, long row) override {
    cellsAsked.push_back(row);
    auto cell = std::static_pointer_cast<TableCellView>(freshCells ? labelledCell()
                                                                   : t.makeViewWithIdentifier(c->identifier()));
    cell->textField()->setStringValue(name(row));
    return cell;
  }
};

struct LongTableFixture : testing::WindowFixture {
  static constexpr double kRow = 20;
  static constexpr long kInView = 10;

  LongTableFixture() = default;
  explicit LongTableFixture(std::shared_ptr<LongList> rows) : list(std::move(rows)) {}

  void SetUp() override {
    window = Window::create(Rect(0, 0, 240, 320));
    scroll = View::create<ScrollView>(Rect(0, 0, 240, kRow * kInView));
    table = View::create<TableView>(Rect(0, 0, 240, 0));
    table->setRowHeight(kRow);
    table->addTableColumn(std::make_shared<TableColumn>("name"));
    table->registerViewMaker("row", [this] {
      ++list->rowViewsMade;
      return View::create<TableRowView>();
    });
    table->registerViewMaker("name", [this] {
      ++list->cellsMade;
      return labelledCell();
    });
    table->setDataSource(list);
    table->setDelegate(list);
    table->setAllowsMultipleSelection(true);
    scroll->setDocumentView(table);
    window->contentView()->addSubview(scroll);
    window->makeKeyAndOrderFront();
    table->reloadData();
  }
  void scrollTo(double y) { scroll->contentView()->scrollToPoint({0, y}); }
  // The rows that should have views: those in view and kSpareRows more on
  // either side.
  std::pair<long, long> expectedRows() const {
    const Rect shown = scroll->documentVisibleRect();
    const long first = long(shown.minY() / kRow), last = long(std::ceil(shown.maxY() / kRow)) - 1;
    return {std::max(0L, first - TableView::kSpareRows), std::min(list->rows - 1, last + TableView::kSpareRows)};
  }
  // Every row with views has its own texts, is where its row is, and shows
  // whether its row is selected; there are no other views.
  void expectRowsShowTheirOwnData() {
    const auto [first, last] = table->rowsWithViews();
    EXPECT_EQ(long(table->subviews().size()), last - first + 1);
    for (long row = first; row <= last; ++row) {
      auto view = table->rowViewAtRow(row, false);
      ASSERT_TRUE(view) << row;
      EXPECT_EQ(view->subviews().size(), table->tableColumns().size()) << row;  // no cell of an earlier row
      EXPECT_EQ(view->frame(), table->rectOfRow(row)) << row;
      EXPECT_EQ(view->isSelected(), table->selectedRowIndexes().count(row) > 0) << row;
      EXPECT_EQ(view->isHovered(), row == table->hoveredRow()) << row;
      auto cell = std::static_pointer_cast<TableCellView>(table->viewAtColumn(0, row, false));
      ASSERT_TRUE(cell) << row;
      EXPECT_EQ(cell->superview(), view.get()) << row;
      EXPECT_EQ(cell->textField()->stringValue(), LongList::name(row)) << row;
    }
  }

  std::shared_ptr<ScrollView> scroll;
  std::shared_ptr<TableView> table;
  std::shared_ptr<LongList> list = std::make_shared<LongList>();
};

TEST_F(LongTableFixture, TheDelegateIsAskedOnlyForRowsComingIntoView) {
  struct Step {
    const char* what;
    std::function<void(LongTableFixture&)> act;
    std::pair<long, long> rows;  // with views afterwards
    std::vector<long> asked;     // the rows whose cells were asked for, in order; empty: all of `rows`
    bool reloads = false;        // the number of rows is asked for again
  };
  const Step steps[] = {
      {"reload at the top", [](auto& f) { f.table->reloadData(); }, {0, 11}, {}, true},
      {"three rows down", [](auto& f) { f.scrollTo(3 * kRow); }, {1, 14}, {12, 13, 14}},
      {"half a row more", [](auto& f) { f.scrollTo(3.5 * kRow); }, {1, 15}, {15}},
      {"the middle", [](auto& f) { f.scrollTo(5000); }, {248, 261}, {}},
      {"the end", [](auto& f) { f.scrollTo(1e9); }, {9988, 9999}, {}},
      {"a row scrolled into view (up, to the top)", [](auto& f) { f.table->scrollRowToVisible(4321); }, {4319, 4332},
       {}},
      {"a taller scroll view", [](auto& f) { f.scroll->setFrameSize({240, 15 * kRow}); }, {4319, 4337},
       {4333, 4334, 4335, 4336, 4337}},
      {"a row already in view", [](auto& f) { f.table->scrollRowToVisible(4330); }, {4319, 4337}, {-1}},
      {"reloaded with five rows",
       [](auto& f) {
         f.list->rows = 5;
         f.table->reloadData();
       },
       {0, 4}, {}, true},
      {"reloaded empty",
       [](auto& f) {
         f.list->rows = 0;
         f.table->reloadData();
       },
       {0, -1}, {-1}, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    list->cellsAsked.clear();
    const long counts = list->countsAsked;
    step.act(*this);
    EXPECT_EQ(list->countsAsked - counts, step.reloads ? 1 : 0);
    EXPECT_EQ(table->rowsWithViews(), step.rows);
    EXPECT_EQ(table->rowsWithViews(), expectedRows());
    std::vector<long> asked = step.asked;
    if (asked.empty())
      for (long r = step.rows.first; r <= step.rows.second; ++r) asked.push_back(r);
    if (asked == std::vector<long>{-1}) asked.clear();
    EXPECT_EQ(list->cellsAsked, asked);
    expectRowsShowTheirOwnData();
  }
  EXPECT_EQ(table->numberOfRows(), 0);
  EXPECT_EQ(table->rowViewAtRow(0), nullptr);
}

TEST_F(LongTableFixture, ScrollingReusesTheViewsOfRowsThatLeft) {
  // Whatever the step, no more views are ever made than one view's worth of
  // rows (a part row at each edge) and the spare rows.
  const long most = kInView + 1 + 2 * TableView::kSpareRows;
  for (double step : {1.0, kRow, 5 * kRow, kRow * kInView, 7 * kRow * kInView}) {
    SCOPED_TRACE(step);
    scrollTo(0);
    for (int i = 1; i <= 60; ++i) {
      scrollTo(step * i);
      EXPECT_LE(table->subviews().size(), size_t(most));
    }
    EXPECT_LE(list->rowViewsMade, most);
    EXPECT_LE(list->cellsMade, most);
    expectRowsShowTheirOwnData();
  }
  // A reload makes no views either: the rows in view take their own back.
  const auto before = table->rowViewAtRow(table->rowsWithViews().first + 3, false);
  table->reloadData();
  EXPECT_EQ(table->rowViewAtRow(table->rowsWithViews().first + 3, false), before);
  EXPECT_LE(list->rowViewsMade, most);

  // A row view taken up again by a row whose cell is another view holds
  // that cell alone.
  list->freshCells = true;
  for (double y : {0.0, 7 * kRow, 500 * kRow}) {
    scrollTo(y);
    expectRowsShowTheirOwnData();
  }
}

TEST_F(LongTableFixture, SelectionStaysWithItsRowsAcrossScrolling) {
  struct Case {
    const char* what;
    std::set<long> rows;
  };
  const Case cases[] = {
      {"a row in view", {3}},
      {"rows in and out of view", {3, 4, 250}},
      {"a row out of view", {250}},
      {"the last row", {9999}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scrollTo(0);
    table->selectRowIndexes(c.rows, false);
    expectRowsShowTheirOwnData();
    for (double y : {5000.0, 1e9, 0.0}) {
      scrollTo(y);
      EXPECT_EQ(table->selectedRowIndexes(), c.rows) << y;
      EXPECT_EQ(table->selectedRow(), *c.rows.rbegin()) << y;
      expectRowsShowTheirOwnData();
    }
    table->deselectAll();
  }
  // A click on a row whose view was another row's before selects that row.
  Pointer p(*window);
  scrollTo(5000);
  p.click(table->convertPointToView({20, table->rectOfRow(253).midY()}, nullptr));
  EXPECT_EQ(table->selectedRowIndexes(), std::set<long>{253});
  expectRowsShowTheirOwnData();
  scrollTo(0);

  // The hovered row's view comes back hovered, and the view it had does not
  // carry the hover to another row.
  p.wait(1000);
  p.move(table->convertPointToView({20, table->rectOfRow(2).midY()}, nullptr));
  ASSERT_EQ(table->hoveredRow(), 2);
  scrollTo(kRow * kInView);
  expectRowsShowTheirOwnData();
}

// Rows the delegate gives heights of their own: asked once per row at each
// reload, stacked from those heights; the views still only for rows in view.
struct StepHeights : LongList {
  StepHeights() { rows = 1000; }
  long heightsAsked = 0;
  double heightOfRow(TableView&, long row) override {
    ++heightsAsked;
    return row < 100 ? 20 : 10 + double(row % 3) * 10;  // 20 (or the table's), then 10, 20, 30...
  }
};

struct StepHeightsFixture : LongTableFixture {
  StepHeightsFixture() : LongTableFixture(std::make_shared<StepHeights>()) {}
  long heightsAsked() const { return static_cast<const StepHeights&>(*list).heightsAsked; }
};

TEST_F(StepHeightsFixture, RowsOfTheirOwnHeightsAreStackedAndFound) {
  EXPECT_EQ(heightsAsked(), 1000);
  // Rows 0-99 are 20 high; from row 100 on they repeat 20 (100 % 3 == 1), 30, 10.
  const double end = 100 * 20 + 300 * (20 + 30 + 10);
  const struct {
    long row;
    double top, height;
  } rows[] = {{0, 0, 20}, {99, 1980, 20}, {100, 2000, 20}, {101, 2020, 30}, {102, 2050, 10}, {999, end - 10, 10}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.row);
    EXPECT_EQ(table->rectOfRow(r.row), Rect(0, r.top, 240, r.height));
    EXPECT_EQ(table->rowAtPoint({5, r.top}), r.row);
    EXPECT_EQ(table->rowAtPoint({5, r.top + r.height - 0.25}), r.row);
  }
  EXPECT_EQ(table->rowAtPoint({5, end}), -1);
  EXPECT_EQ(table->frame().size.height, end);
  scroll->contentView()->scrollToPoint({0, 2020});  // rows 101 (at 2020) to 110 (at 2200) fill the view
  EXPECT_EQ(table->rowsWithViews(), (std::pair<long, long>{101 - TableView::kSpareRows, 110 + TableView::kSpareRows}));
  EXPECT_EQ(heightsAsked(), 1000);  // a scroll asks for no heights
}

}  // namespace
}  // namespace ui
