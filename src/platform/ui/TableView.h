#pragma once
// ui::TableView: a list whose rows and cells are views, flipped (y down).
//
//  - Rows are stacked from the top, each rowHeight() tall unless the delegate
//    answers heightOfRow. A delegate that does not override heightOfRow is
//    never asked per row, so a table of any length costs nothing per row it
//    does not show; one that does is asked for every row at each reload.
//  - Views exist only for the rows the table shows (what its clip view and
//    the other ancestors leave visible) and kSpareRows beyond each edge: the
//    delegate is asked for a row's row view and cells when the row comes into
//    view, after a reload, a scroll or a resize, and never for rows out of
//    view. A row that leaves the view gives its views back: those made by
//    makeViewWithIdentifier (and the table's own plain row views) wait in a
//    pool and come back out of makeViewWithIdentifier for the next row that
//    needs one, so scrolling makes no new views once the pool holds enough.
//    Views the delegate keeps itself are only taken out of the table.
//  - A click selects the row under it (after shouldSelectRow), Command adds
//    to a multiple selection, and the release sends the action. clickedRow()
//    is the row clicked, or the row of the context menu while it is open.
//    The selection is a set of row numbers: a row view coming into view is
//    told whether its row is selected.
//  - Hover: the row under the pointer is hoveredRow(), and its row view
//    knows it is hovered.
//  - Drag and drop: dragging selected rows asks the data source to write
//    them to a pasteboard, which travels as MIME data; a drop on a table that
//    registered the pasteboard's type is validated and accepted by its data
//    source, on a row or above it.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/ClipView.h"
#include "platform/ui/Control.h"

class QDropEvent;
class QMimeData;

namespace ui {

class TableView;
class TextField;
class ImageView;

inline constexpr const char* TableViewSelectionDidChangeNotification = "TableViewSelectionDidChangeNotification";

class TableColumn {
public:
  explicit TableColumn(std::string identifier) : identifier_(std::move(identifier)) {}
  const std::string& identifier() const { return identifier_; }
  double width() const { return width_; }
  void setWidth(double w) { width_ = w < 0 ? 0 : w; }
  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }

private:
  std::string identifier_;
  double width_ = 100;
  std::string title_;
};

class TableRowView : public View {
public:
  using View::View;
  std::string className() const override { return "TableRowView"; }
  bool isFlipped() const override { return true; }

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool s);
  bool isHovered() const { return hovered_; }
  virtual void setHovered(bool h);
  // Drawn with the drop feedback while a drop would land on the row.
  bool isTargetForDropOperation() const { return dropTarget_; }
  void setTargetForDropOperation(bool t);
  std::optional<Color> backgroundColor() const { return background_; }
  void setBackgroundColor(std::optional<Color> c);

  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
  virtual void drawBackgroundInRect(GraphicsContext& ctx, const Rect& rect);
  // Only called while the row is selected.
  virtual void drawSelectionInRect(GraphicsContext& ctx, const Rect& rect);
  // The row left the view and the table keeps this view for another row:
  // forget what belonged to the old row (selected, hovered, drop target).
  virtual void prepareForReuse();

private:
  friend class TableView;
  bool selected_ = false;
  bool hovered_ = false;
  bool dropTarget_ = false;
  std::optional<Color> background_;
  // The cell views the table put in this row view, one per column.
  std::vector<std::shared_ptr<View>> cells_;
};

// A cell view with the usual outlets.
class TableCellView : public View {
public:
  using View::View;
  std::string className() const override { return "TableCellView"; }
  bool isFlipped() const override { return true; }
  std::shared_ptr<TextField> textField() const { return textField_.lock(); }
  void setTextField(const std::shared_ptr<TextField>& f) { textField_ = f; }
  std::shared_ptr<ImageView> imageView() const { return imageView_.lock(); }
  void setImageView(const std::shared_ptr<ImageView>& v) { imageView_ = v; }
  const fnd::Value& objectValue() const { return objectValue_; }
  void setObjectValue(fnd::Value v) { objectValue_ = std::move(v); }

private:
  std::weak_ptr<TextField> textField_;
  std::weak_ptr<ImageView> imageView_;
  fnd::Value objectValue_;
};

// What a drag carries: data by type.
struct Pasteboard {
  std::map<std::string, std::string> items;
  void setString(const std::string& type, std::string data) { items[type] = std::move(data); }
  const std::string* stringForType(const std::string& type) const;
  std::vector<std::string> types() const;
};

enum DragOperation : unsigned { DragOperationNone = 0, DragOperationCopy = 1, DragOperationMove = 16,
                                DragOperationEvery = ~0u };
enum class TableViewDropOperation { On = 0, Above = 1 };

struct DraggingInfo {
  Pasteboard pasteboard;
  // The table the rows come from, when it is one of ours.
  std::shared_ptr<TableView> source;
  // In the receiving table's coordinates.
  Point location;
};

class TableViewDataSource {
public:
  virtual ~TableViewDataSource() = default;
  virtual long numberOfRowsInTableView(TableView&) = 0;
  // True when the rows were written and may be dragged.
  virtual bool writeRowsWithIndexes(TableView&, const std::set<long>&, Pasteboard&) { return false; }
  virtual unsigned validateDrop(TableView&, const DraggingInfo&, long, TableViewDropOperation) {
    return DragOperationNone;
  }
  virtual bool acceptDrop(TableView&, const DraggingInfo&, long, TableViewDropOperation) { return false; }
};

class TableViewDelegate {
public:
  virtual ~TableViewDelegate() = default;
  // Asked only for rows coming into view.
  virtual std::shared_ptr<View> viewForTableColumn(TableView&, TableColumn*, long) { return nullptr; }
  // Null: a plain TableRowView. Asked only for rows coming into view.
  virtual std::shared_ptr<TableRowView> rowViewForRow(TableView&, long) { return nullptr; }
  // 0 or less: the table's rowHeight(). A delegate that overrides this is
  // asked for every row at each reload; this base version tells the table
  // that the rows are all rowHeight() tall, and is then not asked again.
  virtual double heightOfRow(TableView& table, long row);
  virtual bool shouldSelectRow(TableView&, long) { return true; }
  virtual void tableViewSelectionDidChange(TableView&) {}
};

class TableView : public Control, public ClipViewDocument {
public:
  // Rows beyond each edge of the view that keep their views, so that a
  // small scroll brings rows in that are ready.
  static constexpr long kSpareRows = 2;

  enum GridStyle : unsigned { GridNone = 0, SolidVerticalGridLineMask = 1, SolidHorizontalGridLineMask = 2 };
  // The MIME type a pasteboard type travels as.
  static std::string mimeTypeFor(const std::string& pasteboardType);

  TableView();
  explicit TableView(Rect frame);
  ~TableView() override;
  std::string className() const override { return "TableView"; }
  bool isFlipped() const override { return true; }

  // ---- columns, data source, delegate
  void addTableColumn(std::shared_ptr<TableColumn> c);
  void removeTableColumn(const std::shared_ptr<TableColumn>& c);
  const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
  void setDataSource(std::weak_ptr<TableViewDataSource> d) { dataSource_ = std::move(d); }
  std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDelegate(std::weak_ptr<TableViewDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }

  // Views by identifier: one that a row out of view gave back, else a new
  // one from the maker registered for it, else null. Views made here go back
  // to the pool of their identifier when their row leaves the view.
  void registerViewMaker(const std::string& identifier, std::function<std::shared_ptr<View>()> maker);
  std::shared_ptr<View> makeViewWithIdentifier(const std::string& identifier);

  // ---- rows
  // Asks the data source for the number of rows, and the delegate for the
  // views of the rows in view; keeps the selection of rows that still exist.
  void reloadData();
  long numberOfRows() const { return count_; }
  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double h);
  Rect rectOfRow(long row) const;
  // -1 outside every row.
  long rowAtPoint(Point p) const;
  // The first and last rows that have views now (first > last: none). They
  // are the rows in view and the spare rows, and any row made out of view
  // since the last tile, so rows in between may have none.
  std::pair<long, long> rowsWithViews() const;
  // The views of a row. A row out of view has none, unless makeIfNecessary
  // asks the delegate for them now; they then stay until the next scroll,
  // resize or reload leaves them out.
  std::shared_ptr<TableRowView> rowViewAtRow(long row, bool makeIfNecessary = true);
  std::shared_ptr<View> viewAtColumn(long column, long row, bool makeIfNecessary = true);
  void scrollRowToVisible(long row);

  // ---- selection
  const std::set<long>& selectedRowIndexes() const { return selection_; }
  // The last row selected, or -1.
  long selectedRow() const { return selectedRow_; }
  void selectRowIndexes(const std::set<long>& rows, bool extend);
  void deselectAll();
  bool allowsMultipleSelection() const { return allowsMultiple_; }
  void setAllowsMultipleSelection(bool a) { allowsMultiple_ = a; }
  bool allowsEmptySelection() const { return allowsEmpty_; }
  void setAllowsEmptySelection(bool a) { allowsEmpty_ = a; }
  long clickedRow() const { return clickedRow_; }
  long hoveredRow() const { return hoveredRow_; }

  // ---- look
  unsigned gridStyleMask() const { return gridStyle_; }
  void setGridStyleMask(unsigned m);
  Color gridColor() const { return gridColor_; }
  void setGridColor(const Color& c);
  Color backgroundColor() const { return background_; }
  void setBackgroundColor(const Color& c);
  void setFocusRingType(int t) { focusRingType_ = t; }
  int focusRingType() const { return focusRingType_; }

  // ---- drag and drop
  void registerForDraggedTypes(std::vector<std::string> types) { draggedTypes_ = std::move(types); }
  const std::vector<std::string>& registeredDraggedTypes() const { return draggedTypes_; }
  // During validation: where the drop would go.
  void setDropRow(long row, TableViewDropOperation op);
  long dropRow() const { return dropRow_; }
  TableViewDropOperation dropOperation() const { return dropOp_; }
  // The MIME data a drag of these rows carries, or null when the data source
  // does not write them.
  QMimeData* dragMimeData(const std::set<long>& rows);
  // Starts a drag of the rows with the windowing system; returns the
  // operation done (None when there was nothing to drag).
  unsigned dragRows(const std::set<long>& rows);
  // How far the pointer must move with the button down before a drag starts.
  double dragThreshold = 4;

  // ---- events
  bool acceptsFirstResponder() const override { return true; }
  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;
  void mouseMoved(Event& e) override;
  void mouseEntered(Event& e) override;
  void mouseExited(Event& e) override;
  void rightMouseDown(Event& e) override;
  std::shared_ptr<Menu> menuForEvent(Event& e) override;
  void keyDown(Event& e) override;
  void updateTrackingAreas() override;
  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
  void resizeSubviewsWithOldSize(Size oldSize) override;
  void viewDidMoveToSuperview() override;
  void clipViewVisibleRectDidChange(ClipView& clip) override;
  // A wheel's line is a row (rowHeight() when the rows differ).
  double lineScrollHeight() const override { return rowTops_.empty() ? uniformHeight_ : rowHeight_; }

private:
  friend class TableViewDelegate;
  struct DropFilter;
  // What the delegate answers for row heights, asked again at each reload.
  void measureRows();
  double topOfRow(long row) const;
  double heightOfRowAt(long row) const;
  double rowsHeight() const;
  // The row at y in the bounds, or -1.
  long rowAtY(double y) const;
  // The part of the bounds the ancestors leave visible; empty without a
  // superview.
  Rect shownRect() const;
  // Sizes the table to its rows and brings the views up to date with the
  // rows in view: rows leaving give their views back, rows coming in get
  // theirs from the delegate.
  void tile();
  void tileOnce();
  // Gives the views of `row` back (to the pools, or to no one) and records
  // its row view in `leaving`.
  void releaseRow(long row, std::vector<std::shared_ptr<TableRowView>>& leaving);
  std::shared_ptr<TableRowView> realizeRow(long row);
  void placeRow(long row, TableRowView& view);
  // Takes out of the table the leaving row views no row took up again.
  void sweep(const std::vector<std::shared_ptr<TableRowView>>& leaving);
  void recycleView(const std::shared_ptr<View>& view);
  std::shared_ptr<TableRowView> shownRowView(long row) const;
  void setHoveredRow(long row);
  void applySelection(std::set<long> rows, long last);
  void clearDropFeedback();
  bool updateDrop(const DraggingInfo& info, bool commit);
  // Qt's drag-enter, drag-move and drop events on the table's widget.
  void dragEvent(QDropEvent& e, bool drop);
  static std::shared_ptr<TableView> tableWithSerial(uint64_t serial);

  std::vector<std::shared_ptr<TableColumn>> columns_;
  std::weak_ptr<TableViewDataSource> dataSource_;
  std::weak_ptr<TableViewDelegate> delegate_;
  std::map<std::string, std::function<std::shared_ptr<View>()>> makers_;
  // Views given back by rows that left the view, by identifier.
  std::map<std::string, std::vector<std::shared_ptr<View>>> spareViews_;
  long count_ = 0;
  // The row views in use, by row.
  std::map<long, std::shared_ptr<TableRowView>> shown_;
  // The tops of the rows and the end of the last, when the delegate gave
  // rows of different heights; empty when every row is uniformHeight_ tall.
  std::vector<double> rowTops_;
  double uniformHeight_ = 24;
  bool delegateGivesHeights_ = false;
  double rowHeight_ = 24;
  // Tiling runs again when something it did (a new frame) asked for it.
  bool tiling_ = false;
  bool tileAgain_ = false;
  bool reloadAgain_ = false;
  long dropTargetRow_ = -1;
  std::set<long> selection_;
  long selectedRow_ = -1;
  bool allowsMultiple_ = false;
  bool allowsEmpty_ = true;
  long clickedRow_ = -1;
  long hoveredRow_ = -1;
  unsigned gridStyle_ = GridNone;
  Color gridColor_ = Color::calibratedWhite(0.8);
  Color background_ = Color::whiteColor();
  int focusRingType_ = 0;
  std::vector<std::string> draggedTypes_;
  long dropRow_ = -1;
  TableViewDropOperation dropOp_ = TableViewDropOperation::On;
  std::shared_ptr<TrackingArea> hoverArea_;
  bool pressed_ = false;
  bool dragging_ = false;
  Point pressPoint_;
  uint64_t serial_;
  DropFilter* dropFilter_ = nullptr;
};

}  // namespace ui
