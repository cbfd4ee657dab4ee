// The view-based table: rows and cells from the delegate, selection by
// click, keys and code, hover rows, the context menu's clicked row, and rows
// dragged from one table and dropped on another (Qt's drag events sent to
// the receiving table, as a windowing system would).
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
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;

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

struct TableFixture : ::testing::Test {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 400, 300));
    left = makeTable(Rect(0, 0, 200, 300), leftList, {"a", "b", "c", "d"});
    right = makeTable(Rect(200, 0, 200, 300), rightList, {"x", "y"});
    window->makeKeyAndOrderFront();
  }
  void TearDown() override {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  std::shared_ptr<TableView> makeTable(Rect frame, const std::shared_ptr<NameList>& list,
                                       std::vector<std::string> names) {
    list->names = std::move(names);
    auto t = View::create<TableView>(frame);
    t->addTableColumn(std::make_shared<TableColumn>("name"));
    t->registerViewMaker("name", [] {
      auto cell = View::create<TableCellView>();
      auto label = TextField::labelWithString("");
      cell->addSubview(label);
      cell->setTextField(label);
      return cell;
    });
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

  std::shared_ptr<Window> window;
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

}  // namespace
}  // namespace ui
