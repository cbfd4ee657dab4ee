#pragma once
// ui::TableView: a list whose rows and cells are views, flipped (y down).
//
//  - Rows are stacked from the top, each as tall as the delegate says (or
//    rowHeight()). Each row is a TableRowView holding one cell view per
//    column, made by the delegate; the table sizes its height to its rows.
//  - A click selects the row under it (after shouldSelectRow), Command adds
//    to a multiple selection, and the release sends the action. clickedRow()
//    is the row clicked, or the row of the context menu while it is open.
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

private:
  bool selected_ = false;
  bool hovered_ = false;
  bool dropTarget_ = false;
  std::optional<Color> background_;
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
  virtual std::shared_ptr<View> viewForTableColumn(TableView&, TableColumn*, long) { return nullptr; }
  // Null: a plain TableRowView.
  virtual std::shared_ptr<TableRowView> rowViewForRow(TableView&, long) { return nullptr; }
  // 0 or less: the table's rowHeight().
  virtual double heightOfRow(TableView&, long) { return 0; }
  virtual bool shouldSelectRow(TableView&, long) { return true; }
  virtual void tableViewSelectionDidChange(TableView&) {}
};

class TableView : public Control {
public:
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

  // Cell views by identifier: null unless a maker was registered.
  void registerViewMaker(const std::string& identifier, std::function<std::shared_ptr<View>()> maker);
  std::shared_ptr<View> makeViewWithIdentifier(const std::string& identifier);

  // ---- rows
  // Asks the data source and delegate again; keeps the selection of rows that
  // still exist.
  void reloadData();
  long numberOfRows() const { return long(rows_.size()); }
  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double h);
  Rect rectOfRow(long row) const;
  // -1 outside every row.
  long rowAtPoint(Point p) const;
  std::shared_ptr<TableRowView> rowViewAtRow(long row) const;
  std::shared_ptr<View> viewAtColumn(long column, long row) const;
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

private:
  struct Row {
    double y = 0;
    double height = 0;
    std::shared_ptr<TableRowView> view;
    std::vector<std::shared_ptr<View>> cells;
  };
  struct DropFilter;
  void layoutRows();
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
  std::vector<Row> rows_;
  double rowHeight_ = 24;
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
