// The collection view against Qt's own list view in icon mode. A grid of
// 10,000 items of 180 x 150 in an 800 x 600 view (four columns, no spacing),
// each cell painting a rounded rectangle, a title and a value. Qt's view is
// a QListView in icon mode with uniform item sizes and batched layout, the
// same grid, over a list model of 10,000 rows with a delegate painting the
// same cell.
//
//  - Reload: set the data and lay it out (for the list view, until its
//    batched layout has covered every item), then one paint of the view.
//  - Scroll: steps of 10 points from the top of the document to its end,
//    each followed by render() of the whole visible area into a QImage.
//
// reload_ratio and scroll_ratio = our time / the list view's, in the same run
// (goal: at most 1.0 for both). rss_ours_bytes and rss_qt_bytes: resident
// memory each view adds with its 10,000 items. Runs offscreen.
//
// Selection, in a grid of 1,000,000 items with a delegate that is asked and
// told about every item: select-all, deselect-all of all of them, and a
// Shift-extend from the first item to the last (select_all_1m_ms,
// deselect_all_1m_ms, shift_extend_1m_ms; goal: at most 100 each). The same
// at 100,000 items gives each its growth exponent, log10 of the ratio of the
// two times: 1 for work linear in the items, 2 for quadratic.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <chrono>
#include <cmath>
#include <memory>

#include "bench/BenchQt.h"
#include "bench/BenchSupport.h"
#include "layout/collection/CLCollectionView.h"
#include "layout/collection/CLCollectionViewGridLayout.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace {

constexpr int kItems = 10000;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kItemWidth = 180;
constexpr int kItemHeight = 150;
constexpr int kStep = 10;
constexpr int kColumns = kWidth / kItemWidth;
constexpr int kDocumentHeight = (kItems + kColumns - 1) / kColumns * kItemHeight;

std::string titleOf(int i) { return "Param " + std::to_string(i); }
std::string valueOf(int i) { return std::to_string(i * 37 % 1000); }

using bench::residentBytes;
using bench::seconds;

// ---- ours

class BenchCell : public CLCollectionViewCell {
public:
  using CLCollectionViewCell::CLCollectionViewCell;
  bool isFlipped() const override { return true; }
  void show(int item) {
    if (item == item_) return;
    item_ = item;
    title_ = ui::AttributedString(titleOf(item), ui::Font::systemFontOfSize(13), ui::Color::whiteColor());
    value_ = ui::AttributedString(valueOf(item), ui::Font::systemFontOfSize(24), ui::Color::whiteColor());
    setNeedsDisplay(true);
  }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect&) override {
    const ui::Rect b = bounds().insetBy(4, 4);
    ctx.setFillColor(ui::Color::rgb255(60, 60, 66));
    ctx.fillPath(ui::BezierPath::bezierPathWithRoundedRect(b, 10, 10));
    ctx.drawString(title_, ui::Rect(b.minX() + 10, b.minY() + 10, b.width() - 20, 20), ui::UsesLineFragmentOrigin);
    ctx.drawString(value_, ui::Rect(b.minX() + 10, b.midY() - 10, b.width() - 20, 36), ui::UsesLineFragmentOrigin);
  }

private:
  int item_ = -1;
  ui::AttributedString title_, value_;
};

class BenchSource : public CLCollectionViewDataSource, public CLCollectionViewGridLayoutDelegate {
public:
  int64_t numberOfItemsInSection(CLCollectionView&, int64_t) override { return kItems; }
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& p) override {
    auto cell = std::static_pointer_cast<BenchCell>(cv.dequeueReusableCellWithIdentifier("cell"));
    cell->show(int(p.item));
    return cell;
  }
  std::optional<ui::Size> sizeForItemInCollectionView(CLCollectionView&) override {
    return ui::Size{kItemWidth, kItemHeight};
  }
};

struct Ours {
  Ours() {
    cv = ui::View::create<CLCollectionView>(ui::Rect(0, 0, kWidth, kHeight));
    source = std::make_shared<BenchSource>();
    auto grid = std::make_shared<CLCollectionViewGridLayout>();
    grid->setDelegate(source);
    grid->setItemPaddingEnabled(false);
    cv->registerClass<BenchCell>("cell");
    cv->setCollectionViewLayout(grid);
    cv->setAutohidesScrollers(true);
  }
  void reload(QImage& image) {
    cv->setDataSource(source);
    cv->reloadData();
    cv->layoutSubtreeIfNeeded();
    cv->widget()->render(&image);
  }
  void scrollTo(int y, QImage& image) {
    cv->clipView()->scrollToPoint({0, double(y)});
    cv->layoutSubtreeIfNeeded();
    cv->widget()->render(&image);
  }
  std::shared_ptr<CLCollectionView> cv;
  std::shared_ptr<BenchSource> source;
};

// ---- Qt's

class Model : public bench::CountedRowsModel<QAbstractListModel> {
public:
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole) return QString::fromStdString(titleOf(index.row()));
    if (role == Qt::UserRole) return QString::fromStdString(valueOf(index.row()));
    return {};
  }
};

class Delegate : public QStyledItemDelegate {
public:
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {kItemWidth, kItemHeight};
  }
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRectF b = QRectF(option.rect).adjusted(4, 4, -4, -4);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::TextAntialiasing);
    p->setPen(Qt::NoPen);
    p->setBrush(QColor(60, 60, 66));
    p->drawRoundedRect(b, 10, 10);
    p->setPen(Qt::white);
    p->setFont(titleFont_);
    p->drawText(QRectF(b.left() + 10, b.top() + 10, b.width() - 20, 20), Qt::AlignLeft | Qt::AlignTop,
                index.data(Qt::DisplayRole).toString());
    p->setFont(valueFont_);
    p->drawText(QRectF(b.left() + 10, b.center().y() - 10, b.width() - 20, 36), Qt::AlignLeft | Qt::AlignTop,
                index.data(Qt::UserRole).toString());
    p->restore();
  }

private:
  QFont titleFont_ = ui::Font::systemFontOfSize(13).toQFont();
  QFont valueFont_ = ui::Font::systemFontOfSize(24).toQFont();
};

struct Theirs {
  Theirs() {
    view = std::make_unique<QListView>();
    view->setFrameShape(QFrame::NoFrame);
    view->setViewMode(QListView::IconMode);
    view->setMovement(QListView::Static);
    view->setResizeMode(QListView::Adjust);
    view->setUniformItemSizes(true);
    view->setLayoutMode(QListView::Batched);
    view->setGridSize(QSize(kItemWidth, kItemHeight));
    view->setSpacing(0);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Scroll bars over the content, as ours: the whole width holds items.
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setItemDelegate(&delegate);
    view->resize(kWidth, kHeight);
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->show();
    view->setModel(&model);
  }
  void reload(QImage& image) {
    model.setCount(kItems);
    // The batched layout runs in timer steps: wait until it covers the
    // whole document.
    view->doItemsLayout();
    const int wanted = kDocumentHeight - view->viewport()->height();
    for (int i = 0; i < 100000 && view->verticalScrollBar()->maximum() < wanted; ++i)
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    view->viewport()->render(&image);
  }
  void scrollTo(int y, QImage& image) {
    view->verticalScrollBar()->setValue(y);
    view->viewport()->render(&image);
  }
  Model model;
  Delegate delegate;
  std::unique_ptr<QListView> view;
};

// First, while the heap is fresh.
void BM_CollectionMemory(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  {
    // Fonts, the text engine and the style are loaded once for the process;
    // neither view is charged for them.
    Ours warmOurs;
    warmOurs.reload(image);
    Theirs warmTheirs;
    warmTheirs.reload(image);
  }
  for (auto _ : state) {
    const long before = residentBytes();
    Ours ours;
    ours.reload(image);
    const long withOurs = residentBytes();
    Theirs theirs;
    theirs.reload(image);
    const long withTheirs = residentBytes();
    state.counters["rss_ours_bytes"] = double(withOurs - before);
    state.counters["rss_qt_bytes"] = double(withTheirs - withOurs);
    state.counters["cells_made"] = double(ours.cv->collectionViewDocumentView()->subviews().size());
  }
}
BENCHMARK(BM_CollectionMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CollectionReload(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    Ours o;
    Theirs t;
    auto t0 = std::chrono::steady_clock::now();
    o.reload(image);
    auto t1 = std::chrono::steady_clock::now();
    t.reload(image);
    auto t2 = std::chrono::steady_clock::now();
    if (t.view->verticalScrollBar()->maximum() != kDocumentHeight - kHeight) state.SkipWithError("list view not laid out");
    ours += seconds(t1 - t0);
    theirs += seconds(t2 - t1);
  }
  state.counters["ours_ms"] = 1000 * ours / double(state.iterations());
  state.counters["qt_ms"] = 1000 * theirs / double(state.iterations());
  state.counters["reload_ratio"] = ours / theirs;
}
BENCHMARK(BM_CollectionReload)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CollectionScroll(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  Ours o;
  Theirs t;
  o.reload(image);
  t.reload(image);
  double ours = 0, theirs = 0;
  int steps = 0;
  for (auto _ : state) {
    steps = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int y = 0; y <= kDocumentHeight - kHeight; y += kStep, ++steps) o.scrollTo(y, image);
    auto t1 = std::chrono::steady_clock::now();
    for (int y = 0; y <= kDocumentHeight - kHeight; y += kStep) t.scrollTo(y, image);
    auto t2 = std::chrono::steady_clock::now();
    ours += seconds(t1 - t0);
    theirs += seconds(t2 - t1);
  }
  state.counters["steps"] = steps;
  state.counters["ours_us_per_step"] = 1e6 * ours / double(state.iterations()) / steps;
  state.counters["qt_us_per_step"] = 1e6 * theirs / double(state.iterations()) / steps;
  state.counters["scroll_ratio"] = ours / theirs;
  state.counters["cells_made"] = double(o.cv->collectionViewDocumentView()->subviews().size());
}
BENCHMARK(BM_CollectionScroll)->Iterations(1)->Unit(benchmark::kMillisecond);

// Where a step's time goes: the layout pass alone, and rendering alone.
void BM_CollectionScrollParts(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  Ours o;
  o.reload(image);
  double layout = 0, render = 0, qtRender = 0;
  Theirs t;
  t.reload(image);
  int steps = 0;
  for (auto _ : state) {
    steps = 0;
    for (int y = 0; y <= kDocumentHeight - kHeight; y += 10 * kStep, ++steps) {
      auto t0 = std::chrono::steady_clock::now();
      o.cv->clipView()->scrollToPoint({0, double(y)});
      o.cv->layoutSubtreeIfNeeded();
      auto t1 = std::chrono::steady_clock::now();
      o.cv->widget()->render(&image);
      auto t2 = std::chrono::steady_clock::now();
      t.view->verticalScrollBar()->setValue(y);
      auto t3 = std::chrono::steady_clock::now();
      t.view->viewport()->render(&image);
      auto t4 = std::chrono::steady_clock::now();
      layout += seconds(t1 - t0);
      render += seconds(t2 - t1);
      qtRender += seconds(t4 - t3);
    }
  }
  const double n = double(state.iterations()) * steps;
  state.counters["layout_us"] = 1e6 * layout / n;
  state.counters["render_us"] = 1e6 * render / n;
  state.counters["qt_render_us"] = 1e6 * qtRender / n;
}
BENCHMARK(BM_CollectionScrollParts)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- selection

class CountedSource : public CLCollectionViewDataSource, public CLCollectionViewGridLayoutDelegate {
public:
  explicit CountedSource(int64_t n) : items(n) {}
  int64_t numberOfItemsInSection(CLCollectionView&, int64_t) override { return items; }
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv, const CLIndexPath&) override {
    return cv.dequeueReusableCellWithIdentifier("cell");
  }
  std::optional<ui::Size> sizeForItemInCollectionView(CLCollectionView&) override {
    return ui::Size{kItemWidth, kItemHeight};
  }
  int64_t items;
};

class CountingDelegate : public CLCollectionViewDelegate {
public:
  bool shouldSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) override { return true; }
  void didSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) override { ++selected; }
  bool shouldDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) override { return true; }
  void didDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) override { ++deselected; }
  int64_t selected = 0, deselected = 0;
};

struct SelectionTimes {
  double selectAll = 0, deselectAll = 0, shiftExtend = 0;
  bool ok = true;
};

SelectionTimes timeSelection(int64_t items) {
  auto cv = ui::View::create<CLCollectionView>(ui::Rect(0, 0, kWidth, kHeight));
  auto source = std::make_shared<CountedSource>(items);
  auto delegate = std::make_shared<CountingDelegate>();
  auto grid = std::make_shared<CLCollectionViewGridLayout>();
  grid->setDelegate(source);
  grid->setItemPaddingEnabled(false);
  cv->setCollectionViewLayout(grid);
  cv->setDataSource(source);
  cv->setDelegate(delegate);
  cv->reloadData();
  cv->layoutSubtreeIfNeeded();
  const CLIndexPath first{0, 0}, last{0, items - 1};

  SelectionTimes t;
  auto t0 = std::chrono::steady_clock::now();
  cv->selectAllItems();
  auto t1 = std::chrono::steady_clock::now();
  t.ok &= int64_t(cv->indexPathsForSelectedItems().size()) == items && delegate->selected == items;
  auto t2 = std::chrono::steady_clock::now();
  cv->deselectAllItems();
  auto t3 = std::chrono::steady_clock::now();
  t.ok &= cv->indexPathsForSelectedItems().empty() && delegate->deselected == items;
  cv->selectItemAtIndexPath(first, CLCollectionView::kScrollPositionNearest, false);
  auto t4 = std::chrono::steady_clock::now();
  cv->selectItemAtIndexPath(last, CLCollectionView::kScrollPositionNearest, false,
                            CLCollectionView::kSelectionTypeExtend);
  auto t5 = std::chrono::steady_clock::now();
  t.ok &= int64_t(cv->indexPathsForSelectedItems().size()) == items && cv->indexPathForSelectedItem() == last;
  t.selectAll = 1000 * seconds(t1 - t0);
  t.deselectAll = 1000 * seconds(t3 - t2);
  t.shiftExtend = 1000 * seconds(t5 - t4);
  return t;
}

void BM_CollectionSelection(benchmark::State& state) {
  SelectionTimes small, large;
  for (auto _ : state) {
    small = timeSelection(100'000);
    large = timeSelection(1'000'000);
    if (!small.ok || !large.ok) state.SkipWithError("selection came out wrong");
  }
  state.counters["select_all_1m_ms"] = large.selectAll;
  state.counters["deselect_all_1m_ms"] = large.deselectAll;
  state.counters["shift_extend_1m_ms"] = large.shiftExtend;
  state.counters["select_all_growth"] = std::log10(large.selectAll / small.selectAll);
  state.counters["deselect_all_growth"] = std::log10(large.deselectAll / small.deselectAll);
  state.counters["shift_extend_growth"] = std::log10(large.shiftExtend / small.shiftExtend);
}
BENCHMARK(BM_CollectionSelection)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runOffscreen(argc, argv, bench::Platform::Views); }
