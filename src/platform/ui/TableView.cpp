#include "platform/ui/TableView.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/ClipView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/ViewWidget.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
constexpr const char* kMimePrefix = "application/x-qv450-";
constexpr const char* kSourceMime = "application/x-qv450-table-source";

std::map<uint64_t, std::weak_ptr<TableView>>& liveTables() {
  static std::map<uint64_t, std::weak_ptr<TableView>> tables;
  return tables;
}
std::atomic<uint64_t> nextSerial{1};
// Under this key a view made for reuse keeps its identifier.
const char kReuseIdentifierKey = 0;
// The pool of the table's own plain row views.
constexpr const char* kPlainRowViewIdentifier = "ui.TableView.plainRowView";
}  // namespace

// ---- Pasteboard

const std::string* Pasteboard::stringForType(const std::string& type) const {
  auto it = items.find(type);
  return it == items.end() ? nullptr : &it->second;
}

std::vector<std::string> Pasteboard::types() const {
  std::vector<std::string> out;
  for (auto& [type, data] : items) out.push_back(type);
  return out;
}

// ---- TableRowView

void TableRowView::setSelected(bool s) {
  if (s == selected_) return;
  selected_ = s;
  setNeedsDisplay(true);
}

void TableRowView::setHovered(bool h) {
  if (h == hovered_) return;
  hovered_ = h;
  setNeedsDisplay(true);
}

void TableRowView::setTargetForDropOperation(bool t) {
  if (t == dropTarget_) return;
  dropTarget_ = t;
  setNeedsDisplay(true);
}

void TableRowView::prepareForReuse() {
  setSelected(false);
  setHovered(false);
  setTargetForDropOperation(false);
}

void TableRowView::setBackgroundColor(std::optional<Color> c) {
  background_ = c;
  setNeedsDisplay(true);
}

void TableRowView::drawRect(GraphicsContext& ctx, const Rect& dirty) {
  drawBackgroundInRect(ctx, dirty);
  if (selected_) drawSelectionInRect(ctx, bounds());
  if (dropTarget_) {
    BezierPath ring;
    ring.appendRoundedRect(bounds().insetBy(1, 1), 3, 3);
    ring.setLineWidth(2);
    ctx.saveGState();
    ctx.setStrokeColor(Color::rgb255(60, 120, 220));
    ctx.strokePath(ring);
    ctx.restoreGState();
  }
}

void TableRowView::drawBackgroundInRect(GraphicsContext& ctx, const Rect& rect) {
  if (!background_) return;
  ctx.saveGState();
  ctx.setFillColor(*background_);
  ctx.fillRect(rect);
  ctx.restoreGState();
}

void TableRowView::drawSelectionInRect(GraphicsContext& ctx, const Rect& rect) {
  ctx.saveGState();
  ctx.setFillColor(Color::rgb255(0, 99, 225));
  ctx.fillRect(rect);
  ctx.restoreGState();
}

// ---- drop events from Qt

struct TableView::DropFilter : QObject {
  explicit DropFilter(TableView& t) : table(t) {}
  bool eventFilter(QObject*, QEvent* e) override {
    ViewWidget::DispatchScope scope;  // Qt goes on in the widget and its window
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
        table.dragEvent(*static_cast<QDropEvent*>(e), false);
        return true;
      case QEvent::Drop:
        table.dragEvent(*static_cast<QDropEvent*>(e), true);
        return true;
      case QEvent::DragLeave:
        table.clearDropFeedback();
        return true;
      default:
        return false;
    }
  }
  TableView& table;
};

// ---- TableView

std::string TableView::mimeTypeFor(const std::string& pasteboardType) { return kMimePrefix + pasteboardType; }

TableView::TableView() : TableView(Rect()) {}

TableView::TableView(Rect frame) : Control(frame), serial_(nextSerial++) {
  dropFilter_ = new DropFilter(*this);
  widget()->setAcceptDrops(true);
  widget()->installEventFilter(dropFilter_);
}

TableView::~TableView() {
  if (widget()) widget()->removeEventFilter(dropFilter_);
  delete dropFilter_;
  liveTables().erase(serial_);
}

std::shared_ptr<TableView> TableView::tableWithSerial(uint64_t serial) {
  auto it = liveTables().find(serial);
  return it == liveTables().end() ? nullptr : it->second.lock();
}

void TableView::addTableColumn(std::shared_ptr<TableColumn> c) {
  UI_ASSERT_MAIN_THREAD();
  if (c) columns_.push_back(std::move(c));
}

void TableView::removeTableColumn(const std::shared_ptr<TableColumn>& c) {
  UI_ASSERT_MAIN_THREAD();
  columns_.erase(std::remove(columns_.begin(), columns_.end(), c), columns_.end());
}

void TableView::registerViewMaker(const std::string& identifier, std::function<std::shared_ptr<View>()> maker) {
  makers_[identifier] = std::move(maker);
}

std::shared_ptr<View> TableView::makeViewWithIdentifier(const std::string& identifier) {
  auto spare = spareViews_.find(identifier);
  if (spare != spareViews_.end() && !spare->second.empty()) {
    auto view = std::move(spare->second.back());
    spare->second.pop_back();
    return view;
  }
  auto it = makers_.find(identifier);
  if (it == makers_.end() || !it->second) return nullptr;
  auto view = it->second();
  if (view) view->lifetime().setAssociatedObject(&kReuseIdentifierKey, fnd::Value(identifier));
  return view;
}

void TableView::setRowHeight(double h) {
  UI_ASSERT_MAIN_THREAD();
  rowHeight_ = h > 0 ? h : 1;
  measureRows();
  tile();
}

// ---- row geometry

double TableViewDelegate::heightOfRow(TableView& table, long) {
  table.delegateGivesHeights_ = false;
  return 0;
}

void TableView::measureRows() {
  rowTops_.clear();
  uniformHeight_ = rowHeight_;
  auto dg = delegate();
  if (!dg || count_ == 0) return;
  delegateGivesHeights_ = true;
  const double first = dg->heightOfRow(*this, 0);
  if (!delegateGivesHeights_) return;
  auto heightOf = [this](double h) { return h > 0 ? h : rowHeight_; };
  uniformHeight_ = heightOf(first);
  std::vector<double> tops;
  for (long i = 1; i < count_; ++i) {
    const double h = heightOf(dg->heightOfRow(*this, i));
    if (tops.empty() && h == uniformHeight_) continue;
    if (tops.empty()) {
      // The first row of another height: from here on every top is kept.
      tops.reserve(size_t(count_) + 1);
      for (long j = 0; j <= i; ++j) tops.push_back(double(j) * uniformHeight_);
    }
    tops.push_back(tops.back() + h);
  }
  rowTops_ = std::move(tops);
}

double TableView::topOfRow(long row) const {
  return rowTops_.empty() ? double(row) * uniformHeight_ : rowTops_[size_t(row)];
}

double TableView::heightOfRowAt(long row) const {
  return rowTops_.empty() ? uniformHeight_ : rowTops_[size_t(row) + 1] - rowTops_[size_t(row)];
}

double TableView::rowsHeight() const { return rowTops_.empty() ? double(count_) * uniformHeight_ : rowTops_.back(); }

long TableView::rowAtY(double y) const {
  if (count_ == 0 || y < 0 || y >= rowsHeight()) return -1;
  if (rowTops_.empty()) return std::min(count_ - 1, long(std::floor(y / uniformHeight_)));
  auto it = std::upper_bound(rowTops_.begin(), rowTops_.end(), y);
  return std::min(count_ - 1, long(it - rowTops_.begin()) - 1);
}

Rect TableView::rectOfRow(long row) const {
  if (row < 0 || row >= count_) return Rect::zero();
  return {0, topOfRow(row), bounds().width(), heightOfRowAt(row)};
}

long TableView::rowAtPoint(Point p) const {
  if (p.x < 0 || p.x >= bounds().width()) return -1;
  return rowAtY(p.y);
}

Rect TableView::shownRect() const {
  Rect r = bounds();
  const View* v = this;
  for (View* s = superview(); s; v = s, s = s->superview()) {
    r = v->convertRectToView(r, s).intersection(s->bounds());
    if (r.isEmpty()) return Rect::zero();
  }
  if (v == this) return Rect::zero();
  return convertRectFromView(r, v);
}

std::pair<long, long> TableView::rowsWithViews() const {
  if (shown_.empty()) return {0, -1};
  return {shown_.begin()->first, shown_.rbegin()->first};
}

// ---- views of the rows in view

void TableView::reloadData() {
  UI_ASSERT_MAIN_THREAD();
  if (tiling_) {
    // Asked from inside a delegate call: done once that pass ends.
    reloadAgain_ = true;
    return;
  }
  auto keep = sharedFromThis();
  hoveredRow_ = -1;
  auto ds = dataSource();
  const long n = ds ? std::max(0L, ds->numberOfRowsInTableView(*this)) : 0;
  count_ = n;
  measureRows();
  // Every row is asked again: the views go back first, last row first, so
  // that rows still in view take their own views up again.
  std::vector<std::shared_ptr<TableRowView>> leaving;
  while (!shown_.empty()) releaseRow(shown_.rbegin()->first, leaving);
  // Keep the selection of rows that are still there.
  std::set<long> kept(selection_.begin(), selection_.lower_bound(n));
  const bool changed = kept != selection_;
  selection_ = std::move(kept);
  if (!selection_.count(selectedRow_)) selectedRow_ = selection_.empty() ? -1 : *selection_.rbegin();
  if (dropTargetRow_ >= n) dropTargetRow_ = -1;
  tile();
  sweep(leaving);
  setNeedsDisplay(true);
  if (changed) {
    if (auto dg = delegate()) dg->tableViewSelectionDidChange(*this);
    fnd::NotificationCenter::defaultCenter().post(TableViewSelectionDidChangeNotification,
                                                  fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
  }
}

void TableView::tile() {
  if (tiling_) {
    tileAgain_ = true;
    return;
  }
  auto keep = sharedFromThis();
  tiling_ = true;
  // A pass may move the table (its new height), which comes back here; and
  // a delegate may reload from inside a pass. Both are done after it, a few
  // times at most.
  for (int pass = 0; pass < 4; ++pass) {
    tileAgain_ = false;
    tileOnce();
    if (reloadAgain_) break;
    if (!tileAgain_) break;
  }
  tiling_ = false;
  if (reloadAgain_) {
    reloadAgain_ = false;
    reloadData();
  }
}

void TableView::tileOnce() {
  // The table is as tall as its rows, and at least as tall as what shows it.
  double minHeight = 0;
  if (auto* clip = dynamic_cast<ClipView*>(superview())) minHeight = clip->bounds().height();
  const Size want{frame().size.width, std::max(rowsHeight(), minHeight)};
  if (!(want == frame().size)) Control::setFrameSize(want);

  long first = 0, last = -1;
  const Rect shown = shownRect();
  if (count_ > 0 && !shown.isEmpty()) {
    const long top = rowAtY(std::max(0.0, shown.minY()));
    const long bottom = rowAtY(std::min(rowsHeight(), shown.maxY()) - 0.5);
    if (top >= 0) {
      first = std::max(0L, top - kSpareRows);
      last = std::min(count_ - 1, (bottom >= top ? bottom : top) + kSpareRows);
    }
  }
  std::vector<std::shared_ptr<TableRowView>> leaving;
  for (auto it = shown_.begin(); it != shown_.end();) {
    const long row = (it++)->first;
    if (row < first || row > last) releaseRow(row, leaving);
  }
  for (long row = first; row <= last; ++row) {
    if (!shown_.count(row)) realizeRow(row);
  }
  for (auto& [row, view] : shown_) placeRow(row, *view);
  sweep(leaving);
}

void TableView::recycleView(const std::shared_ptr<View>& view) {
  if (!view) return;
  const fnd::Value id = view->lifetime().associatedObject(&kReuseIdentifierKey);
  if (!id.isString()) return;
  spareViews_[id.asString()].push_back(view);
}

void TableView::releaseRow(long row, std::vector<std::shared_ptr<TableRowView>>& leaving) {
  auto it = shown_.find(row);
  if (it == shown_.end()) return;
  std::shared_ptr<TableRowView> view = std::move(it->second);
  shown_.erase(it);
  if (hoveredRow_ == row) view->setHovered(false);
  if (view->lifetime().associatedObject(&kReuseIdentifierKey).isString()) {
    view->prepareForReuse();
    recycleView(view);
  }
  for (auto& cell : view->cells_) recycleView(cell);
  leaving.push_back(std::move(view));
}

std::shared_ptr<TableRowView> TableView::realizeRow(long row) {
  auto dg = delegate();
  std::shared_ptr<TableRowView> view = dg ? dg->rowViewForRow(*this, row) : nullptr;
  if (!view) {
    view = std::dynamic_pointer_cast<TableRowView>(makeViewWithIdentifier(kPlainRowViewIdentifier));
    if (!view) {
      view = View::create<TableRowView>();
      view->setPostsFrameChangedNotifications(false);
      view->lifetime().setAssociatedObject(&kReuseIdentifierKey, fnd::Value(std::string(kPlainRowViewIdentifier)));
    }
  }
  std::vector<std::shared_ptr<View>> cells;
  cells.reserve(columns_.size());
  for (auto& col : columns_) cells.push_back(dg ? dg->viewForTableColumn(*this, col.get(), row) : nullptr);
  // Cells the row view held for an earlier row and did not get back leave it.
  for (auto& old : view->cells_) {
    if (old && old->superview() == view.get() && std::find(cells.begin(), cells.end(), old) == cells.end())
      old->removeFromSuperview();
  }
  for (auto& cell : cells) {
    if (cell && cell->superview() != view.get()) view->addSubview(cell);
  }
  view->cells_ = std::move(cells);
  view->setSelected(selection_.count(row) > 0);
  view->setHovered(row == hoveredRow_);
  view->setTargetForDropOperation(row == dropTargetRow_);
  shown_[row] = view;
  placeRow(row, *view);
  if (view->superview() != this) addSubview(view);
  return view;
}

void TableView::placeRow(long row, TableRowView& view) {
  const double width = bounds().width();
  const double height = heightOfRowAt(row);
  view.setFrame(Rect(0, topOfRow(row), width, height));
  double x = 0;
  for (size_t c = 0; c < view.cells_.size() && c < columns_.size(); ++c) {
    const bool last = c + 1 == view.cells_.size();
    const double w = last ? std::max(0.0, width - x) : columns_[c]->width();
    if (view.cells_[c]) view.cells_[c]->setFrame(Rect(x, 0, w, height));
    x += w;
  }
}

void TableView::sweep(const std::vector<std::shared_ptr<TableRowView>>& leaving) {
  for (auto& view : leaving) {
    if (view->superview() != this) continue;
    bool inUse = false;
    for (auto& [row, shown] : shown_) inUse = inUse || shown == view;
    if (!inUse) view->removeFromSuperview();
  }
}

void TableView::resizeSubviewsWithOldSize(Size oldSize) {
  Control::resizeSubviewsWithOldSize(oldSize);
  if (!(oldSize == frame().size)) tile();
}

void TableView::viewDidMoveToSuperview() {
  Control::viewDidMoveToSuperview();
  tile();
}

void TableView::clipViewVisibleRectDidChange(ClipView&) { tile(); }

std::shared_ptr<TableRowView> TableView::shownRowView(long row) const {
  auto it = shown_.find(row);
  return it == shown_.end() ? nullptr : it->second;
}

std::shared_ptr<TableRowView> TableView::rowViewAtRow(long row, bool makeIfNecessary) {
  if (row < 0 || row >= count_) return nullptr;
  if (auto view = shownRowView(row)) return view;
  if (!makeIfNecessary || tiling_) return nullptr;
  auto keep = sharedFromThis();
  tiling_ = true;
  auto view = realizeRow(row);
  tiling_ = false;
  if (reloadAgain_) {
    reloadAgain_ = false;
    reloadData();
    return shownRowView(row);
  }
  // Nothing here moves the table; a tile now would take the row away again.
  tileAgain_ = false;
  return view;
}

std::shared_ptr<View> TableView::viewAtColumn(long column, long row, bool makeIfNecessary) {
  if (column < 0 || size_t(column) >= columns_.size()) return nullptr;
  auto view = rowViewAtRow(row, makeIfNecessary);
  if (!view || size_t(column) >= view->cells_.size()) return nullptr;
  return view->cells_[size_t(column)];
}

void TableView::scrollRowToVisible(long row) {
  UI_ASSERT_MAIN_THREAD();
  if (row < 0 || row >= numberOfRows()) return;
  if (auto* clip = dynamic_cast<ClipView*>(superview())) {
    clip->scrollRectToVisible(convertRectToView(rectOfRow(row), clip->documentView().get()));
  }
}

// ---- selection

void TableView::applySelection(std::set<long> rows, long last) {
  if (rows == selection_ && last == selectedRow_) return;
  auto keep = sharedFromThis();
  const bool changed = rows != selection_;
  for (long r : selection_) {
    if (!rows.count(r))
      if (auto view = shownRowView(r)) view->setSelected(false);
  }
  for (long r : rows) {
    if (auto view = shownRowView(r)) view->setSelected(true);
  }
  selection_ = std::move(rows);
  selectedRow_ = last;
  if (!changed) return;
  if (auto dg = delegate()) dg->tableViewSelectionDidChange(*this);
  fnd::NotificationCenter::defaultCenter().post(TableViewSelectionDidChangeNotification,
                                                fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
}

void TableView::selectRowIndexes(const std::set<long>& rows, bool extend) {
  UI_ASSERT_MAIN_THREAD();
  std::set<long> next = extend ? selection_ : std::set<long>{};
  long last = extend ? selectedRow_ : -1;
  for (long r : rows) {
    if (r < 0 || r >= numberOfRows()) continue;
    if (!allowsMultiple_) next.clear();
    next.insert(r);
    last = r;
  }
  if (next.empty()) last = -1;
  applySelection(std::move(next), last);
}

void TableView::deselectAll() { applySelection({}, -1); }

// ---- look

void TableView::setGridStyleMask(unsigned m) {
  gridStyle_ = m;
  setNeedsDisplay(true);
}

void TableView::setGridColor(const Color& c) {
  gridColor_ = c;
  setNeedsDisplay(true);
}

void TableView::setBackgroundColor(const Color& c) {
  background_ = c;
  setNeedsDisplay(true);
}

void TableView::drawRect(GraphicsContext& ctx, const Rect& dirty) {
  ctx.saveGState();
  ctx.setFillColor(background_);
  ctx.fillRect(dirty);
  if ((gridStyle_ & SolidHorizontalGridLineMask) && count_ > 0) {
    // Only the lines of the rows being painted.
    ctx.setFillColor(gridColor_);
    const long first = std::max(0L, rowAtY(std::max(0.0, dirty.minY())));
    long last = rowAtY(std::min(rowsHeight(), dirty.maxY() + 1) - 0.5);
    if (last < 0) last = count_ - 1;
    for (long r = first; r <= last; ++r)
      ctx.fillRect(Rect(0, topOfRow(r) + heightOfRowAt(r) - 1, bounds().width(), 1));
  }
  if ((gridStyle_ & SolidVerticalGridLineMask) && !columns_.empty()) {
    ctx.setFillColor(gridColor_);
    double x = 0;
    for (size_t c = 0; c + 1 < columns_.size(); ++c) {
      x += columns_[c]->width();
      ctx.fillRect(Rect(x - 1, 0, 1, bounds().height()));
    }
  }
  // A drop between rows: a line above the target row.
  if (dropRow_ >= 0 && dropOp_ == TableViewDropOperation::Above) {
    const double y = dropRow_ < count_ ? topOfRow(dropRow_) : rowsHeight();
    ctx.setFillColor(Color::rgb255(60, 120, 220));
    ctx.fillRect(Rect(0, std::max(0.0, y - 1), bounds().width(), 2));
  }
  ctx.restoreGState();
}

// ---- hover

void TableView::updateTrackingAreas() {
  if (hoverArea_) removeTrackingArea(hoverArea_);
  hoverArea_ = TrackingArea::make(Rect::zero(),
                                  TrackingArea::MouseEnteredAndExited | TrackingArea::MouseMoved |
                                      TrackingArea::ActiveAlways | TrackingArea::InVisibleRect,
                                  sharedFromThis());
  addTrackingArea(hoverArea_);
}

void TableView::setHoveredRow(long row) {
  if (row == hoveredRow_) return;
  if (auto old = shownRowView(hoveredRow_)) old->setHovered(false);
  hoveredRow_ = row;
  if (auto now = shownRowView(row)) now->setHovered(true);
}

void TableView::mouseMoved(Event& e) { setHoveredRow(rowAtPoint(e.locationInView(*this))); }
void TableView::mouseEntered(Event& e) { setHoveredRow(rowAtPoint(e.locationInView(*this))); }
void TableView::mouseExited(Event&) { setHoveredRow(-1); }

// ---- clicks, menu, keys

void TableView::mouseDown(Event& e) {
  if (!isEnabled()) {
    Control::mouseDown(e);
    return;
  }
  auto keep = sharedFromThis();
  if (Window* w = window()) w->makeFirstResponder(this);
  const Point p = e.locationInView(*this);
  const long row = rowAtPoint(p);
  clickedRow_ = row;
  pressed_ = true;
  dragging_ = false;
  pressPoint_ = p;
  if (row < 0) {
    if (allowsEmpty_) deselectAll();
    return;
  }
  auto dg = delegate();
  if (dg && !dg->shouldSelectRow(*this, row)) return;
  const bool extend = allowsMultiple_ && (e.modifierFlags() & (CommandKeyMask | ShiftKeyMask));
  if (extend && selection_.count(row) && (e.modifierFlags() & CommandKeyMask)) {
    std::set<long> next = selection_;
    next.erase(row);
    if (next.empty() && !allowsEmpty_) return;
    applySelection(std::move(next), next.empty() ? -1 : *next.rbegin());
    return;
  }
  selectRowIndexes({row}, extend);
}

void TableView::mouseDragged(Event& e) {
  if (!pressed_) {
    Control::mouseDragged(e);
    return;
  }
  if (dragging_) return;
  const Point p = e.locationInView(*this);
  if (std::hypot(p.x - pressPoint_.x, p.y - pressPoint_.y) < dragThreshold) return;
  // The pressed row travels with the selection it belongs to, or alone when
  // it is not selected (its delegate may refuse to select it); a press
  // beside the rows drags nothing.
  if (clickedRow_ < 0) return;
  const std::set<long> rows = selection_.count(clickedRow_) ? selection_ : std::set<long>{clickedRow_};
  dragging_ = true;
  auto keep = sharedFromThis();
  dragRows(rows);
}

void TableView::mouseUp(Event& e) {
  if (!pressed_) {
    Control::mouseUp(e);
    return;
  }
  pressed_ = false;
  auto keep = sharedFromThis();
  if (!dragging_) sendAction();
  dragging_ = false;
}

std::shared_ptr<Menu> TableView::menuForEvent(Event& e) {
  clickedRow_ = rowAtPoint(e.locationInView(*this));
  return menu();
}

void TableView::rightMouseDown(Event& e) {
  auto keep = sharedFromThis();
  View::rightMouseDown(e);
  // The menu has closed and its choice has run.
  clickedRow_ = -1;
}

void TableView::keyDown(Event& e) {
  const long n = numberOfRows();
  if (n == 0) return;
  long row = selectedRow_;
  if (e.keyCode() == kKeyCodeDown) {
    row = row < 0 ? 0 : std::min(n - 1, row + 1);
  } else if (e.keyCode() == kKeyCodeUp) {
    row = row < 0 ? n - 1 : std::max(0L, row - 1);
  } else {
    Control::keyDown(e);
    return;
  }
  auto dg = delegate();
  if (dg && !dg->shouldSelectRow(*this, row)) return;
  selectRowIndexes({row}, false);
  scrollRowToVisible(row);
}

// ---- drag and drop

QMimeData* TableView::dragMimeData(const std::set<long>& rows) {
  auto ds = dataSource();
  if (!ds || rows.empty()) return nullptr;
  Pasteboard pb;
  if (!ds->writeRowsWithIndexes(*this, rows, pb) || pb.items.empty()) return nullptr;
  auto* mime = new QMimeData;
  for (auto& [type, data] : pb.items) {
    mime->setData(QString::fromStdString(mimeTypeFor(type)), QByteArray(data.data(), qsizetype(data.size())));
  }
  liveTables()[serial_] = std::static_pointer_cast<TableView>(sharedFromThis());
  mime->setData(kSourceMime, QByteArray::number(qulonglong(serial_)));
  return mime;
}

unsigned TableView::dragRows(const std::set<long>& rows) {
  UI_ASSERT_MAIN_THREAD();
  QMimeData* mime = dragMimeData(rows);
  if (!mime) return DragOperationNone;
  auto keep = sharedFromThis();
  auto* drag = new QDrag(widget());
  drag->setMimeData(mime);
  const Qt::DropAction done = drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
  pressed_ = false;
  switch (done) {
    case Qt::MoveAction: return DragOperationMove;
    case Qt::CopyAction: return DragOperationCopy;
    default: return DragOperationNone;
  }
}

void TableView::setDropRow(long row, TableViewDropOperation op) {
  UI_ASSERT_MAIN_THREAD();
  dropRow_ = row;
  dropOp_ = op;
}

void TableView::clearDropFeedback() {
  for (auto& [row, view] : shown_) view->setTargetForDropOperation(false);
  dropTargetRow_ = -1;
  if (dropRow_ != -1) setNeedsDisplay(true);
  dropRow_ = -1;
}

bool TableView::updateDrop(const DraggingInfo& info, bool commit) {
  auto ds = dataSource();
  if (!ds) return false;
  // On a row when the point is in its middle half; between rows otherwise.
  const long n = numberOfRows();
  long row = rowAtPoint(info.location);
  TableViewDropOperation op = TableViewDropOperation::On;
  if (row < 0) {
    row = (info.location.y < 0) ? 0 : n;
    op = TableViewDropOperation::Above;
  } else {
    const Rect r = rectOfRow(row);
    const double quarter = r.height() / 4;
    if (info.location.y < r.minY() + quarter) {
      op = TableViewDropOperation::Above;
    } else if (info.location.y >= r.maxY() - quarter) {
      op = TableViewDropOperation::Above;
      ++row;
    }
  }
  setDropRow(row, op);
  const unsigned allowed = ds->validateDrop(*this, info, row, op);
  const long target = dropRow_;
  const TableViewDropOperation targetOp = dropOp_;
  bool ok = allowed != DragOperationNone && target >= 0 && target <= n;
  if (ok && commit) ok = ds->acceptDrop(*this, info, target, targetOp);
  dropTargetRow_ = !commit && ok && targetOp == TableViewDropOperation::On ? target : -1;
  for (auto& [row, view] : shown_) view->setTargetForDropOperation(row == dropTargetRow_);
  if (commit || !ok) dropRow_ = -1;
  setNeedsDisplay(true);
  return ok;
}

void TableView::dragEvent(QDropEvent& e, bool drop) {
  auto keep = sharedFromThis();
  const QMimeData* mime = e.mimeData();
  DraggingInfo info;
  if (mime) {
    for (auto& type : draggedTypes_) {
      const QString m = QString::fromStdString(mimeTypeFor(type));
      if (mime->hasFormat(m)) {
        const QByteArray data = mime->data(m);
        info.pasteboard.setString(type, std::string(data.constData(), size_t(data.size())));
      }
    }
    if (mime->hasFormat(kSourceMime)) info.source = tableWithSerial(mime->data(kSourceMime).toULongLong());
  }
  if (info.pasteboard.items.empty() || !isEnabled()) {
    e.ignore();
    clearDropFeedback();
    return;
  }
  const QPointF pos = e.position();
  info.location = Point{pos.x(), pos.y()} + bounds().origin;
  const bool ok = updateDrop(info, drop);
  if (ok) {
    e.setDropAction((e.possibleActions() & Qt::MoveAction) ? Qt::MoveAction : e.proposedAction());
    e.accept();
  } else {
    e.ignore();
  }
  if (drop) clearDropFeedback();
}

}  // namespace ui
