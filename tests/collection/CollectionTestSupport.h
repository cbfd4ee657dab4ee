// A data source with adjustable counts that dequeues cells and counts what it
// is asked, a delegate that records its messages and can veto, and a
// collection view in a window.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "layout/collection/CLCollectionView.h"
#include "layout/collection/CLCollectionViewGridLayout.h"
#include "platform/ui/Window.h"

inline void PrintTo(const CLIndexPath& p, std::ostream* os) { *os << describe(p); }

namespace cltest {

inline const std::string kCellId = "cell";

class CountingCell : public CLCollectionViewCell {
public:
  using CLCollectionViewCell::CLCollectionViewCell;
  void prepareForReuse() override {
    CLCollectionViewCell::prepareForReuse();
    ++prepared;
  }
  int prepared = 0;
};

class Source : public CLCollectionViewDataSource {
public:
  explicit Source(std::vector<int64_t> counts) : counts(std::move(counts)) {}
  int64_t numberOfItemsInSection(CLCollectionView&, int64_t section) override {
    ++countQueries;
    return section < int64_t(counts.size()) ? counts[size_t(section)] : 0;
  }
  std::optional<int64_t> numberOfSectionsInCollectionView(CLCollectionView&) override {
    return int64_t(counts.size());
  }
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& p) override {
    asked.push_back(p);
    if (gap && *gap == p) return nullptr;
    return cv.dequeueReusableCellWithIdentifier(kCellId);
  }
  std::vector<int64_t> counts;
  std::vector<CLIndexPath> asked;
  std::optional<CLIndexPath> gap;
  int countQueries = 0;
};

class Delegate : public CLCollectionViewDelegate {
public:
  bool shouldSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("should-select " + describe(p));
    return !refuseSelect.count(p);
  }
  void didSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("select " + describe(p));
  }
  bool shouldDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("should-deselect " + describe(p));
    return !refuseDeselect.count(p);
  }
  void didDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("deselect " + describe(p));
  }
  void didEndDisplayingCell(CLCollectionView&, CLCollectionViewCell&, const CLIndexPath& p) override {
    ended.push_back(p);
  }
  void mouseUpInItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("up " + describe(p));
  }
  void didDoubleClickItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    log.push_back("double " + describe(p));
  }
  std::vector<std::string> log;
  std::vector<CLIndexPath> ended;
  std::set<CLIndexPath> refuseSelect, refuseDeselect;
};

class GridDelegate : public CLCollectionViewGridLayoutDelegate {
public:
  std::optional<ui::Size> sizeForItemInCollectionView(CLCollectionView&) override { return size; }
  double heightForHeaderInSection(CLCollectionView&, int64_t) override { return header; }
  double heightForFooterInSection(CLCollectionView&, int64_t) override { return footer; }
  ui::EdgeInsets insetForSectionAtIndex(CLCollectionView&, CLCollectionViewLayout&, int64_t) override { return inset; }
  ui::Size size{180, 150};
  double header = 0, footer = 0;
  ui::EdgeInsets inset;
};

// A collection view filling a window's content, laid out.
struct Scene {
  Scene(double width, double height, std::vector<int64_t> counts,
        std::shared_ptr<CLCollectionViewLayout> layout = nullptr) {
    window = ui::Window::create(ui::Rect(0, 0, width, height));
    cv = ui::View::create<CLCollectionView>(ui::Rect(0, 0, width, height));
    cv->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
    window->contentView()->addSubview(cv);
    source = std::make_shared<Source>(std::move(counts));
    delegate = std::make_shared<Delegate>();
    if (!layout) {
      auto grid = std::make_shared<CLCollectionViewGridLayout>();
      gridDelegate = std::make_shared<GridDelegate>();
      grid->setDelegate(gridDelegate);
      grid->setItemPaddingEnabled(false);
      layout = grid;
    }
    cv->registerClass<CountingCell>(kCellId);
    cv->setCollectionViewLayout(layout);
    cv->setDataSource(source);
    cv->setDelegate(delegate);
    window->makeKeyAndOrderFront();
    cv->reloadData();
    settle();
  }
  ~Scene() {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  void settle() { window->layoutIfNeeded(); }
  void scrollTo(double y) {
    cv->clipView()->scrollToPoint({0, y});
    settle();
  }
  // Window coordinates (y-up) of a point of the document.
  ui::Point inWindow(ui::Point doc) const {
    return cv->collectionViewDocumentView()->convertPointToView(doc, nullptr);
  }
  ui::Point centreOf(const CLIndexPath& p) const {
    const ui::Rect r = cv->rectForItemAtIndexPath(p);
    return inWindow({r.midX(), r.midY()});
  }

  std::shared_ptr<ui::Window> window;
  std::shared_ptr<CLCollectionView> cv;
  std::shared_ptr<Source> source;
  std::shared_ptr<Delegate> delegate;
  std::shared_ptr<GridDelegate> gridDelegate;
};

// No two visible entries share a cell, every visible cell shows, and every
// other cell in the document is hidden.
inline ::testing::AssertionResult visibleSetIsSound(const CLCollectionView& cv) {
  std::set<const ui::View*> live;
  for (const auto& [path, cell] : cv.visibleCellsMap()) {
    if (!live.insert(cell.get()).second) return ::testing::AssertionFailure() << "cell shown twice";
    if (cell->isHidden()) return ::testing::AssertionFailure() << "visible cell hidden at " << describe(path);
    if (!cell->indexPath() || *cell->indexPath() != path)
      return ::testing::AssertionFailure() << "cell at " << describe(path) << " thinks it is elsewhere";
    if (!cv.validateIndexPath(path)) return ::testing::AssertionFailure() << "stale path " << describe(path);
  }
  for (const auto& v : cv.collectionViewDocumentView()->subviews())
    if (!live.count(v.get()) && dynamic_cast<CLCollectionViewCell*>(v.get()) && !v->isHidden())
      return ::testing::AssertionFailure() << "a cell not in the visible set shows";
  return ::testing::AssertionSuccess();
}

}  // namespace cltest
