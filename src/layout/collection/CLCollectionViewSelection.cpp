// CLCollectionView: selection, mouse and keys, scrolling to an item.
#include <algorithm>

#include "layout/collection/CLCollectionView.h"
#include "platform/foundation/Log.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/Window.h"

CLOptionalIndexPath CLCollectionView::indexPathForSelectedItem() const { return selection_.last(); }

void CLCollectionView::selectOne(const CLIndexPath& path, CLCollectionViewDelegate* d) {
  if (d && !d->shouldSelectItemAtIndexPath(*this, path)) return;
  if (auto cell = cellForItemAtIndexPath(path)) cell->setSelected(true, animatesSelection_);
  selection_.insert(path);
  if (d) d->didSelectItemAtIndexPath(*this, path);
}

void CLCollectionView::deselectOne(const CLIndexPath& path, CLCollectionViewDelegate* d) {
  if (d && !d->shouldDeselectItemAtIndexPath(*this, path)) return;
  if (!allowsEmptySelection_ && selection_.size() < 2) return;
  if (auto cell = cellForItemAtIndexPath(path)) cell->setSelected(false, animatesSelection_);
  selection_.erase(path);
  if (d) d->didDeselectItemAtIndexPath(*this, path);
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, bool animated) {
  UI_ASSERT_MAIN_THREAD();
  if (!path) return;
  selectItemsAtIndexPaths({*path}, animated);
}

void CLCollectionView::deselectItemAtIndexPath(const CLOptionalIndexPath& path, bool animated) {
  UI_ASSERT_MAIN_THREAD();
  if (!path) return;
  deselectItemsAtIndexPaths({*path}, animated);
}

// The view and the delegate are held once for the whole list (a delegate
// replaced by one of the messages gets the rest of them), and the
// selection's table is read a few paths ahead: in a large selection each
// lookup would otherwise wait for memory.
namespace {
constexpr size_t kLookAhead = 16;
}

void CLCollectionView::selectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool) {
  UI_ASSERT_MAIN_THREAD();
  if (!allowsSelection_ || paths.empty()) return;
  auto keep = self();
  auto d = delegate();
  selection_.reserve(selection_.size() + paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!allowsSelection_) return;
    if (i + kLookAhead < paths.size()) selection_.prefetch(paths[i + kLookAhead]);
    if (delegate_.owner_before(d) || d.owner_before(delegate_)) d = delegate();
    selectOne(paths[i], d.get());
  }
}

void CLCollectionView::deselectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool) {
  UI_ASSERT_MAIN_THREAD();
  if (!allowsSelection_ || paths.empty()) return;
  auto keep = self();
  auto d = delegate();
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!allowsSelection_) return;
    if (i + kLookAhead < paths.size()) selection_.prefetch(paths[i + kLookAhead]);
    if (delegate_.owner_before(d) || d.owner_before(delegate_)) d = delegate();
    deselectOne(paths[i], d.get());
  }
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated) {
  selectItemAtIndexPath(path, scrollPosition, animated, kSelectionTypeSingle);
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated,
                                             int selectionType) {
  UI_ASSERT_MAIN_THREAD();
  if (!path) return;
  auto keep = self();
  // The new selection, in index path order: it is selected in that order.
  std::vector<CLIndexPath> next;
  switch (selectionType) {
    case kSelectionTypeSingle:
      next.push_back(*path);
      break;
    case kSelectionTypeToggle: {
      next = selection_.paths();
      if (selection_.contains(*path)) {
        std::erase(next, *path);
      } else {
        next.push_back(*path);
      }
      std::sort(next.begin(), next.end());
      break;
    }
    case kSelectionTypeExtend: {
      const CLOptionalIndexPath anchor = selection_.first();  // the oldest selected item
      if (!anchor) {
        next.push_back(*path);
        break;
      }
      // From the anchor towards the clicked item, one item at a time in
      // reading order; the walk stops early at an empty section.
      next.push_back(*anchor);
      const bool forward = *anchor < *path;
      for (CLOptionalIndexPath walk = anchor; walk && *walk != *path;) {
        walk = forward ? indexPathForNextSelectableItemAfterIndexPath(walk)
                       : indexPathForNextSelectableItemBeforeIndexPath(walk);
        if (walk) next.push_back(*walk);
      }
      if (next.back() != *path) next.push_back(*path);
      if (!forward) std::reverse(next.begin(), next.end());
      break;
    }
    default:
      break;
  }
  std::vector<CLIndexPath> leaving;
  for (const auto& p : selection_.paths())
    if (!std::binary_search(next.begin(), next.end(), p)) leaving.push_back(p);
  selectItemsAtIndexPaths(next, animated);
  deselectItemsAtIndexPaths(leaving, animated);
  scrollToItemAtIndexPath(path, scrollPosition, animated);
}

void CLCollectionView::selectAll() { selectItemsAtIndexPaths(allIndexPaths(), true); }

void CLCollectionView::deselectAllItems() { deselectItemsAtIndexPaths(allIndexPaths(), true); }

CLOptionalIndexPath CLCollectionView::indexPathForNextSelectableItemAfterIndexPath(
    const CLOptionalIndexPath& path) const {
  if (!path) {
    const auto first = cl_indexPathForItem(0, 0);
    return validateIndexPath(first) ? CLOptionalIndexPath(first) : std::nullopt;
  }
  if (path->item + 1 < numberOfItemsInSection(path->section)) return cl_indexPathForItem(path->item + 1, path->section);
  const auto next = cl_indexPathForItem(0, path->section + 1);
  return validateIndexPath(next) ? CLOptionalIndexPath(next) : std::nullopt;
}

CLOptionalIndexPath CLCollectionView::indexPathForNextSelectableItemBeforeIndexPath(
    const CLOptionalIndexPath& path) const {
  if (!path) return std::nullopt;
  if (path->item >= 1) return cl_indexPathForItem(path->item - 1, path->section);
  if (path->section > 0) {
    const auto last = cl_indexPathForItem(numberOfItemsInSection(path->section - 1) - 1, path->section - 1);
    if (validateIndexPath(last)) return last;
  }
  return std::nullopt;
}

void CLCollectionView::scrollToItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated) {
  UI_ASSERT_MAIN_THREAD();
  if (!path) return;
  auto d = delegate();
  if (d && !d->shouldScrollToItemAtIndexPath(*this, *path)) return;
  ui::Rect r = rectForItemAtIndexPath(path);
  const ui::Rect v = visibleDocumentRect();
  switch (scrollPosition) {
    case kScrollPositionNone:
      return;
    case kScrollPositionTop:
      r.size.height = v.height();
      break;
    case kScrollPositionMiddle:
      r.size.height = bounds().height();
      r.origin.y = r.origin.y + v.height() * 0.5 - bounds().height();
      break;
    case kScrollPositionBottom:
      // The item's bottom on the visible bottom.
      r.origin.y = r.maxY() - v.height();
      r.size.height = v.height();
      break;
    default:
      break;
  }
  if (auto* clip = clipView()) clip->scrollRectToVisible(r, animated);
  if (d) d->didScrollToItemAtIndexPath(*this, *path);
}

void CLCollectionView::scrollToBeginningOfDocument() {
  if (auto* clip = clipView()) clip->scrollRectToVisible(ui::Rect::zero(), animatesSelection_);
}

void CLCollectionView::scrollToEndOfDocument() {
  const ui::Size doc = documentView_->frame().size;
  if (auto* clip = clipView()) clip->scrollRectToVisible(ui::Rect(doc.width, doc.height, 0, 0), animatesSelection_);
}

std::shared_ptr<ui::Menu> CLCollectionView::menuForEvent(ui::Event& e) {
  if (auto d = delegate()) return d->menuForEvent(*this, e);
  return nullptr;
}

// ---- keys

void CLCollectionView::keyDown(ui::Event& e) { interpretKeyEvents(e); }

void CLCollectionView::moveSelection(int64_t direction, int selectionType) {
  if (!layout_) return;
  auto next = layout_->indexPathForNextItemInDirection(direction, indexPathForSelectedItem());
  selectItemAtIndexPath(next, kScrollPositionNearest, true, selectionType);
}

void CLCollectionView::moveLeft() { moveSelection(CLCollectionViewLayout::kDirectionLeft, kSelectionTypeSingle); }
void CLCollectionView::moveRight() { moveSelection(CLCollectionViewLayout::kDirectionRight, kSelectionTypeSingle); }
void CLCollectionView::moveUp() { moveSelection(CLCollectionViewLayout::kDirectionUp, kSelectionTypeSingle); }
void CLCollectionView::moveDown() { moveSelection(CLCollectionViewLayout::kDirectionDown, kSelectionTypeSingle); }
void CLCollectionView::moveLeftAndModifySelection() {
  moveSelection(CLCollectionViewLayout::kDirectionLeft, kSelectionTypeExtend);
}
void CLCollectionView::moveRightAndModifySelection() {
  moveSelection(CLCollectionViewLayout::kDirectionRight, kSelectionTypeExtend);
}
void CLCollectionView::moveUpAndModifySelection() {
  moveSelection(CLCollectionViewLayout::kDirectionUp, kSelectionTypeExtend);
}
void CLCollectionView::moveDownAndModifySelection() {
  moveSelection(CLCollectionViewLayout::kDirectionDown, kSelectionTypeExtend);
}
void CLCollectionView::moveToBeginningOfDocument() {
  selectItemAtIndexPath(firstIndexPath(), kScrollPositionNearest, true, kSelectionTypeSingle);
}
void CLCollectionView::moveToEndOfDocument() {
  selectItemAtIndexPath(lastIndexPath(), kScrollPositionNearest, true, kSelectionTypeSingle);
}

// ---- mouse, from cells

void CLCollectionView::mouseDownInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto path = indexPathForCell(cell);
  auto d = delegate();
  if (d && path) d->mouseDownInItemAtIndexPath(*this, *path, e);
}

void CLCollectionView::mouseUpInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto keep = self();
  if (auto* w = window()) w->makeFirstResponder(this);
  const auto path = indexPathForCell(cell);
  if (!path) fnd::log("***index path not found for selection.");
  auto d = delegate();
  if (d && path) d->mouseUpInItemAtIndexPath(*this, *path, e);
  const unsigned flags = e.modifierFlags();
  if (flags & ui::CommandKeyMask) {
    selectItemAtIndexPath(path, kScrollPositionNearest, true, kSelectionTypeToggle);
  } else if (flags & ui::ShiftKeyMask) {
    selectItemAtIndexPath(path, kScrollPositionNearest, true, kSelectionTypeExtend);
  } else {
    selectItemAtIndexPath(path, kScrollPositionNearest, true);
  }
}

void CLCollectionView::mouseMovedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->mouseMovedInItemAtIndexPath(*this, *path, e);
}

void CLCollectionView::mouseDraggedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->mouseDraggedInItemAtIndexPath(*this, *path, e);
}

void CLCollectionView::mouseEnteredInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->mouseEnteredInItemAtIndexPath(*this, *path, e);
  for (auto& [p, c] : visibleCellsMap_) c->setHovered(false);
  cell.setHovered(true);
}

void CLCollectionView::mouseExitedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->mouseExitedInItemAtIndexPath(*this, *path, e);
  cell.setHovered(false);
}

void CLCollectionView::doubleClickInCollectionViewCell(CLCollectionViewCell& cell, ui::Event&) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->didDoubleClickItemAtIndexPath(*this, *path);
}

void CLCollectionView::rightClickInCollectionViewCell(CLCollectionViewCell& cell, ui::Event&) {
  auto path = indexPathForCell(cell);
  if (auto d = delegate(); d && path) d->didRightClickItemAtIndexPath(*this, *path);
}
