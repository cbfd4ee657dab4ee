#include "layout/collection/CLCollectionView.h"

#include <algorithm>
#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/ui/MainThreadCheck.h"

double CLCollectionViewDocumentView::lineScrollHeight() const {
  const ui::View* clip = superview();
  const auto* cv = clip ? dynamic_cast<const CLCollectionView*>(clip->superview()) : nullptr;
  if (!cv || !cv->collectionViewLayout()) return 0;
  CLCollectionViewLayout& layout = *cv->collectionViewLayout();
  for (int64_t section = 0; section < cv->numberOfSections(); ++section) {
    if (cv->numberOfItemsInSection(section) <= 0) continue;
    const auto first = layout.layoutAttributesForItemAtIndexPath(cl_indexPathForItem(0, section));
    return first ? first->frame.height() : 0;
  }
  return 0;
}

CLCollectionView::CLCollectionView(ui::Rect frame) : CLScrollView(frame) {
  UI_ASSERT_MAIN_THREAD();
  data_ = std::make_unique<CLCollectionViewData>(*this);
  setWantsLayer(true);
  documentView_ = ui::View::create<CLCollectionViewDocumentView>(ui::Rect());
  setDocumentView(documentView_);
  setBackgroundColor(ui::Color::whiteColor());
  setDrawsBackground(true);
}

CLCollectionView::~CLCollectionView() = default;

std::shared_ptr<CLCollectionView> CLCollectionView::self() {
  return std::static_pointer_cast<CLCollectionView>(sharedFromThis());
}

std::string CLCollectionView::description() const {
  const ui::Rect f = frame();
  const ui::Point o = visibleDocumentRect().origin;
  return fnd::format("<%s: %p; frame = {{%g, %g}, {%g, %g}}; layer = <Layer: %p>; content offset: {%g, %g}> "
                     "collection view layout: %p",
                     className().c_str(), static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                     f.size.height, static_cast<const void*>(&layer()), o.x, o.y,
                     static_cast<const void*>(layout_.get()));
}

// ---- wiring

void CLCollectionView::setDataSource(const std::shared_ptr<CLCollectionViewDataSource>& source) {
  UI_ASSERT_MAIN_THREAD();
  dataSource_ = source;
  dataSourceViewForSupplementaryView_ = source && source->providesSupplementaryViews();
}

void CLCollectionView::setDelegate(const std::shared_ptr<CLCollectionViewDelegate>& delegate) {
  UI_ASSERT_MAIN_THREAD();
  delegate_ = delegate;
  delegateObjectValueForCell_ = delegate && delegate->providesObjectValues();
}

void CLCollectionView::setCollectionViewLayout(std::shared_ptr<CLCollectionViewLayout> layout) {
  UI_ASSERT_MAIN_THREAD();
  if (layout == layout_) return;
  layout_ = std::move(layout);
  if (layout_) layout_->setCollectionView(self());
  if (wantsLayout_) reloadData();
}

ui::Size CLCollectionView::visibleSize() const { return contentView()->frame().size; }

ui::Rect CLCollectionView::visibleDocumentRect() const {
  // The whole clip area, also while the document is still smaller than it
  // (before the first sizing).
  return ui::Rect(contentView()->bounds().origin, visibleSize());
}

// ---- registration

void CLCollectionView::registerClass(CellFactory factory, const std::string& id) {
  cellClassMap_[id] = std::move(factory);
  cellNibMap_.erase(id);
}

void CLCollectionView::registerNib(CellFactory factory, const std::string& id) {
  cellNibMap_[id] = std::move(factory);
  cellClassMap_.erase(id);
}

void CLCollectionView::registerClassForSupplementaryView(SupplementaryFactory factory, const std::string& kind,
                                                         const std::string& id) {
  const auto key = supplementaryViewIdentifier(kind, id);
  supplementaryViewClassMap_[key] = std::move(factory);
  supplementaryViewNibMap_.erase(key);
}

void CLCollectionView::registerNibForSupplementaryView(SupplementaryFactory factory, const std::string& kind,
                                                       const std::string& id) {
  const auto key = supplementaryViewIdentifier(kind, id);
  supplementaryViewNibMap_[key] = std::move(factory);
  supplementaryViewClassMap_.erase(key);
}

// ---- reuse

std::shared_ptr<CLCollectionViewCell> CLCollectionView::dequeueReusableCellWithIdentifier(const std::string& id) {
  UI_ASSERT_MAIN_THREAD();
  std::shared_ptr<CLCollectionViewCell> cell;
  if (!id.empty()) {
    auto pool = reusableCells_.find(id);
    if (pool != reusableCells_.end() && !pool->second.empty()) {
      cell = std::move(pool->second.back());
      pool->second.pop_back();
    }
  }
  if (!cell) {
    auto nib = cellNibMap_.find(id);
    auto cls = cellClassMap_.find(id);
    if (nib != cellNibMap_.end() && nib->second) {
      cell = nib->second();
    } else if (cls != cellClassMap_.end() && cls->second) {
      cell = cls->second();
    } else {
      cell = ui::View::create<CLCollectionViewCell>();
    }
  }
  if (!cell) return nullptr;
  cell->setReuseIdentifier(id);
  cell->prepareForReuse();
  return cell;
}

std::shared_ptr<CLCollectionViewReusableView> CLCollectionView::dequeueReusableSupplementaryViewOfKind(
    const std::string& kind, const std::string& id) {
  const auto key = supplementaryViewIdentifier(kind, id);
  std::shared_ptr<CLCollectionViewReusableView> view;
  if (!id.empty()) {
    auto pool = reusableSupplementaryViews_.find(key);
    if (pool != reusableSupplementaryViews_.end() && !pool->second.empty()) {
      view = std::move(pool->second.back());
      pool->second.pop_back();
    }
  }
  if (!view) {
    auto nib = supplementaryViewNibMap_.find(key);
    auto cls = supplementaryViewClassMap_.find(key);
    if (nib != supplementaryViewNibMap_.end() && nib->second) {
      view = nib->second();
    } else if (cls != supplementaryViewClassMap_.end() && cls->second) {
      view = cls->second();
    } else {
      view = ui::View::create<CLCollectionViewReusableView>();
    }
  }
  if (!view) return nullptr;
  view->setReuseIdentifier(id);
  view->setKind(kind);
  return view;
}

void CLCollectionView::enqueueReusableCell(std::shared_ptr<CLCollectionViewCell> cell, const std::string& id) {
  if (!cell || id.empty()) return;
  reusableCells_[id].push_back(std::move(cell));
}

void CLCollectionView::enqueueReusableSupplementaryView(std::shared_ptr<CLCollectionViewReusableView> view,
                                                        const std::string& kind, const std::string& id) {
  if (!view || id.empty()) return;
  reusableSupplementaryViews_[supplementaryViewIdentifier(kind, id)].push_back(std::move(view));
}

size_t CLCollectionView::pooledCellCount() const {
  size_t n = 0;
  for (const auto& [id, pool] : reusableCells_) n += pool.size();
  return n;
}

// ---- identifiers

std::string CLCollectionView::supplementaryViewIdentifier(const std::string& kind, const std::string& reuseId) {
  return kind + "/" + reuseId;
}

std::string CLCollectionView::kindForSupplementaryViewIdentifier(const std::string& id) {
  return id.substr(0, id.find('/'));
}

std::string CLCollectionView::reuseIdentifierForSupplementaryViewIdentifier(const std::string& id) {
  const auto slash = id.find('/');
  if (slash == std::string::npos) return {};
  const auto end = id.find('/', slash + 1);
  return id.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
}

std::string CLCollectionView::layoutIdentifier(int64_t section, const std::string& supplementaryId) {
  return std::to_string(section) + "/" + supplementaryId;
}

int64_t CLCollectionView::sectionForSupplementaryLayoutIdentifier(const std::string& layoutId) {
  return std::strtoll(layoutId.c_str(), nullptr, 10);
}

std::string CLCollectionView::supplementaryViewIdentifierForLayoutIdentifier(const std::string& layoutId) {
  const auto slash = layoutId.find('/');
  return slash == std::string::npos ? std::string() : layoutId.substr(slash + 1);
}

std::vector<std::string> CLCollectionView::allSupplementaryViewIdentifiers() const {
  std::vector<std::string> ids;
  for (const auto& [key, f] : supplementaryViewClassMap_) ids.push_back(key);
  for (const auto& [key, f] : supplementaryViewNibMap_) ids.push_back(key);
  return ids;
}

// ---- geometry

bool CLCollectionView::validateIndexPath(const CLOptionalIndexPath& path) const {
  return path && path->section >= 0 && path->section < numberOfSections() && path->item >= 0 &&
         path->item < numberOfItemsInSection(path->section);
}

ui::Rect CLCollectionView::rectForItemAtIndexPath(const CLOptionalIndexPath& path) const {
  if (!layout_ || !validateIndexPath(path)) return ui::Rect::zero();
  auto a = layout_->layoutAttributesForItemAtIndexPath(*path);
  return a ? a->frame : ui::Rect::zero();
}

ui::Rect CLCollectionView::rectForSupplementaryViewWithKind(const std::string& kind, int64_t section) const {
  if (!layout_ || section < 0 || section >= numberOfSections()) return ui::Rect::zero();
  auto a = layout_->layoutAttributesForSupplementaryItemInSection(section, kind);
  return a ? a->frame : ui::Rect::zero();
}

CLOptionalIndexPath CLCollectionView::indexPathForItemAtPoint(ui::Point p) const {
  if (!layout_) return std::nullopt;
  for (const auto& rec : data_->sections()) {
    if (!rec.frame.contains(p)) continue;
    for (int64_t i = 0; i < rec.numberOfItems; ++i) {
      const auto path = cl_indexPathForItem(i, rec.index);
      auto a = layout_->layoutAttributesForItemAtIndexPath(path);
      if (a && a->frame.contains(p)) return path;
    }
  }
  return std::nullopt;
}

std::vector<CLIndexPath> CLCollectionView::indexPathsForItemsInRect(const ui::Rect& rect) const {
  if (!layout_ || rect == ui::Rect::zero()) return {};
  if (auto answer = layout_->indexPathsForItemsInRect(rect)) return std::move(*answer);
  std::vector<CLIndexPath> paths;
  for (const auto& rec : data_->sections()) {
    if (!rec.frame.intersects(rect)) continue;
    for (int64_t i = 0; i < rec.numberOfItems; ++i) {
      const auto path = cl_indexPathForItem(i, rec.index);
      auto a = layout_->layoutAttributesForItemAtIndexPath(path);
      if (a && a->frame.intersects(rect)) paths.push_back(path);
    }
  }
  return paths;
}

std::vector<std::string> CLCollectionView::layoutIdentifiersForSupplementaryViewsInRect(const ui::Rect& rect) const {
  std::vector<std::string> ids;
  if (!layout_ || rect == ui::Rect::zero()) return ids;
  const auto all = allSupplementaryViewIdentifiers();
  if (all.empty()) return ids;
  for (int64_t s = 0; s < numberOfSections(); ++s) {
    for (const auto& id : all) {
      auto a = layout_->layoutAttributesForSupplementaryItemInSection(s, kindForSupplementaryViewIdentifier(id));
      if (a && a->frame.intersects(rect)) ids.push_back(layoutIdentifier(s, id));
    }
  }
  return ids;
}

std::vector<int64_t> CLCollectionView::indexesForSectionsInRect(const ui::Rect& rect) const {
  std::vector<int64_t> out;
  if (rect == ui::Rect::zero()) return out;
  for (const auto& rec : data_->sections())
    if (rec.frame.intersects(rect)) out.push_back(rec.index);
  return out;
}

std::vector<CLIndexPath> CLCollectionView::indexPathsForVisibleItems() const {
  return indexPathsForItemsInRect(visibleDocumentRect());
}

std::vector<std::shared_ptr<CLCollectionViewCell>> CLCollectionView::visibleCells() const {
  std::vector<std::shared_ptr<CLCollectionViewCell>> cells;
  cells.reserve(visibleCellsMap_.size());
  for (const auto& [path, cell] : visibleCellsMap_) cells.push_back(cell);
  return cells;
}

std::shared_ptr<CLCollectionViewCell> CLCollectionView::cellForItemAtIndexPath(const CLOptionalIndexPath& path) const {
  if (!path) return nullptr;
  auto it = visibleCellsMap_.find(*path);
  return it == visibleCellsMap_.end() ? nullptr : it->second;
}

std::shared_ptr<CLCollectionViewReusableView> CLCollectionView::supplementaryViewForKind(const std::string& kind,
                                                                                         const std::string& reuseId,
                                                                                         int64_t section) const {
  auto it = visibleSupplementaryViewsMap_.find(layoutIdentifier(section, supplementaryViewIdentifier(kind, reuseId)));
  return it == visibleSupplementaryViewsMap_.end() ? nullptr : it->second;
}

std::vector<CLIndexPath> CLCollectionView::allIndexPaths() const {
  std::vector<CLIndexPath> paths;
  for (const auto& rec : data_->sections())
    for (int64_t i = 0; i < rec.numberOfItems; ++i) paths.push_back(cl_indexPathForItem(i, rec.index));
  return paths;
}

CLOptionalIndexPath CLCollectionView::firstIndexPath() const {
  if (numberOfItemsInSection(0) > 0) return cl_indexPathForItem(0, 0);
  return std::nullopt;
}

CLOptionalIndexPath CLCollectionView::lastIndexPath() const {
  const int64_t s = numberOfSections() - 1;
  if (s < 0) return std::nullopt;
  const int64_t n = numberOfItemsInSection(s);
  if (n <= 0) return std::nullopt;
  return cl_indexPathForItem(n - 1, s);
}

// ---- data and layout

void CLCollectionView::reloadData() {
  UI_ASSERT_MAIN_THREAD();
  wantsLayout_ = true;
  const auto formerlySelected = selection_.paths();
  selection_.clear();
  if (auto d = delegate())
    for (const auto& p : formerlySelected) d->didDeselectItemAtIndexPath(*this, p);
  data_->recalculateAndPrepareLayout(true);
  performFullRelayoutForcingSubviewsReset(true);
  if (!allowsEmptySelection_) selectItemAtIndexPath(indexPathForNextSelectableItemAfterIndexPath(std::nullopt), false);
}

void CLCollectionView::collectionViewLayoutWasInvalidated(CLCollectionViewLayout&) {
  data_->recalculateAndPrepareLayout(true);
  performFullRelayoutForcingSubviewsReset(true);
}

void CLCollectionView::layout() {
  // Tiling and sizing the document report back through
  // reflectScrolledClipView; this pass already covers what they change.
  inLayout_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{inLayout_};
  CLScrollView::layout();
  if (!wantsLayout_) return;
  const ui::Size size = visibleSize();
  if (size == lastDrawnSize_) {
    layoutCellsWithRedraw(false);
    layoutSupplementaryViewsWithRedraw(false);
    return;
  }
  const bool prepare = layout_ && layout_->shouldInvalidateLayoutForBoundsChange(ui::Rect({0, 0}, size));
  data_->recalculateAndPrepareLayout(prepare);
  performFullRelayoutForcingSubviewsReset(false);
}

void CLCollectionView::reflectScrolledClipView(ui::ClipView& clip) {
  CLScrollView::reflectScrolledClipView(clip);
  if (!inLayout_) setNeedsLayout(true);
}

void CLCollectionView::performFullRelayoutForcingSubviewsReset(bool reset) {
  if (reset && wantsLayout_) resetAllCellsAndSupplementaryViews();
  layoutDocumentView();
  layoutCellsWithRedraw(true);
  layoutSupplementaryViewsWithRedraw(true);
  lastDrawnSize_ = visibleSize();
}

void CLCollectionView::resetAllCellsAndSupplementaryViews() {
  reusableCells_.clear();
  reusableSupplementaryViews_.clear();
  auto shown = std::move(visibleCellsMap_);
  visibleCellsMap_.clear();
  visibleSupplementaryViewsMap_.clear();
  if (auto d = delegate())
    for (auto& [path, cell] : shown) d->didEndDisplayingCell(*this, *cell, path);
  const auto subviews = documentView_->subviews();
  for (const auto& v : subviews) v->removeFromSuperview();
}

void CLCollectionView::layoutDocumentView() {
  if (!wantsLayout_) return;
  updateScrollDirection();
  documentView_->setFrameSize(data_->encompassingSize());
}

void CLCollectionView::updateScrollDirection() {
  const int64_t direction = layout_ ? layout_->scrollDirection() : 0;
  setHasVerticalScroller(direction != 1);
  setHasHorizontalScroller(direction != 0);
}

void CLCollectionView::applyLayoutAttributesToCell(const std::optional<CLCollectionViewLayoutAttributes>& attributes,
                                                   CLCollectionViewCell& cell) {
  const CLCollectionViewLayoutAttributes a = attributes.value_or(CLCollectionViewLayoutAttributes{});
  cell.willLayoutWithFrame(a.frame);
  cell.setFrame(a.frame);
  cell.setAlphaValue(a.alpha);
  cell.layer().setZPosition(double(a.zIndex));
  cell.didLayoutWithFrame(a.frame);
}

void CLCollectionView::applyLayoutAttributesToSupplementaryView(
    const std::optional<CLCollectionViewLayoutAttributes>& attributes, CLCollectionViewReusableView& view) {
  const CLCollectionViewLayoutAttributes a = attributes.value_or(CLCollectionViewLayoutAttributes{});
  view.setFrame(a.frame);
  view.setAlphaValue(a.alpha);
  view.layer().setZPosition(double(a.zIndex));
}

void CLCollectionView::layoutCellsWithRedraw(bool redraw) {
  auto source = dataSource();
  if (!source || !wantsLayout_ || !layout_) return;
  // Held for the pass: the data source or the delegate may drop the last
  // outside reference.
  auto keep = self();

  if (redraw || layout_->shouldApplyExistingLayoutAttributesOnLayout()) {
    for (auto& [path, cell] : visibleCellsMap_)
      if (validateIndexPath(path)) applyLayoutAttributesToCell(layout_->layoutAttributesForItemAtIndexPath(path), *cell);
  }

  // Paths the data no longer holds are never in the new set, so they leave.
  // The lists are local: a data source or delegate may reload from inside.
  std::vector<CLIndexPath> arriving = indexPathsForItemsInRect(visibleDocumentRect());
  std::erase_if(arriving, [this](const CLIndexPath& p) { return !validateIndexPath(p); });
  std::vector<CLIndexPath> sortedNew = arriving;
  std::sort(sortedNew.begin(), sortedNew.end());
  std::vector<CLIndexPath> leaving;
  for (const auto& [path, cell] : visibleCellsMap_)
    if (!std::binary_search(sortedNew.begin(), sortedNew.end(), path)) leaving.push_back(path);

  auto delegateRef = delegate();
  for (const auto& path : leaving) {
    auto it = visibleCellsMap_.find(path);
    if (it == visibleCellsMap_.end()) continue;
    auto cell = std::move(it->second);
    visibleCellsMap_.erase(it);
    enqueueReusableCell(cell, cell->reuseIdentifier());
    cell->setHidden(true);
    cell->setObjectValue({});
    if (delegateRef) delegateRef->didEndDisplayingCell(*this, *cell, path);
  }

  for (const auto& path : arriving) {
    if (visibleCellsMap_.count(path) || !validateIndexPath(path)) continue;
    auto cell = source->cellForItemAtIndexPath(*this, path);
    if (!cell) continue;
    if (visibleCellsMap_.count(path) || !validateIndexPath(path)) {
      // A reload from inside the data source has shown this item already,
      // or the item is gone: the cell goes back unless it is shown.
      bool shown = false;
      for (const auto& [p, c] : visibleCellsMap_) shown |= c == cell;
      if (!shown) {
        cell->setHidden(true);
        enqueueReusableCell(cell, cell->reuseIdentifier());
      }
      continue;
    }
    cell->setIndexPath(path);
    cell->setCollectionView(keep);
    applyLayoutAttributesToCell(layout_->layoutAttributesForItemAtIndexPath(path), *cell);
    cell->setHidden(false);
    if (cell->superview() != documentView_.get()) documentView_->addSubview(cell);
    cell->setSelected(selection_.contains(path));
    if (delegateObjectValueForCell_ && delegateRef)
      cell->setObjectValue(delegateRef->objectValueForItemAtIndexPath(*this, path));
    visibleCellsMap_[path] = std::move(cell);
  }
}

void CLCollectionView::layoutSupplementaryViewsWithRedraw(bool redraw) {
  auto source = dataSource();
  if (!source || !dataSourceViewForSupplementaryView_ || !wantsLayout_ || !layout_) return;
  auto keep = self();

  if (redraw || layout_->shouldApplyExistingLayoutAttributesOnLayout()) {
    for (auto& [id, view] : visibleSupplementaryViewsMap_) {
      const int64_t section = sectionForSupplementaryLayoutIdentifier(id);
      if (section < 0 || section >= numberOfSections()) continue;
      const auto kind = kindForSupplementaryViewIdentifier(supplementaryViewIdentifierForLayoutIdentifier(id));
      applyLayoutAttributesToSupplementaryView(layout_->layoutAttributesForSupplementaryItemInSection(section, kind),
                                               *view);
    }
  }

  const auto now = layoutIdentifiersForSupplementaryViewsInRect(visibleDocumentRect());
  std::vector<std::string> leaving;
  for (const auto& [id, view] : visibleSupplementaryViewsMap_)
    if (std::find(now.begin(), now.end(), id) == now.end()) leaving.push_back(id);
  for (const auto& id : leaving) {
    auto it = visibleSupplementaryViewsMap_.find(id);
    auto view = std::move(it->second);
    visibleSupplementaryViewsMap_.erase(it);
    view->removeFromSuperview();
    enqueueReusableSupplementaryView(view, view->kind(), view->reuseIdentifier());
  }
  for (const auto& id : now) {
    if (visibleSupplementaryViewsMap_.count(id)) continue;
    const int64_t section = sectionForSupplementaryLayoutIdentifier(id);
    const auto kind = kindForSupplementaryViewIdentifier(supplementaryViewIdentifierForLayoutIdentifier(id));
    auto view = source->viewForSupplementaryViewOfKind(*this, kind, section);
    if (!view) continue;  // nothing to show for this one
    applyLayoutAttributesToSupplementaryView(layout_->layoutAttributesForSupplementaryItemInSection(section, kind),
                                             *view);
    documentView_->addSubview(view);
    visibleSupplementaryViewsMap_[id] = std::move(view);
  }
}
