// CLCollectionView: selection, mouse and keys, scrolling to an item.
#include <algorithm>
#include <set>

#include "layout/collection/CLCollectionView.h"
#include "platform/foundation/Log.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/Window.h"

CLOptionalIndexPath CLCollectionView::indexPathForSelectedItem() const {
  if (selectedIndexes_.empty()) return std::nullopt;
  return selectedIndexes_.back();
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, bool) {
  UI_ASSERT_MAIN_THREAD();
  if (!path || !allowsSelection_) return;
  auto keep = self();
  auto d = delegate();
  if (d && !d->shouldSelectItemAtIndexPath(*this, *path)) return;
  if (auto cell = cellForItemAtIndexPath(path)) cell->setSelected(true, animatesSelection_);
  if (std::find(selectedIndexes_.begin(), selectedIndexes_.end(), *path) == selectedIndexes_.end())
    selectedIndexes_.push_back(*path);
  if (d) d->didSelectItemAtIndexPath(*this, *path);
}

void CLCollectionView::deselectItemAtIndexPath(const CLOptionalIndexPath& path, bool) {
  UI_ASSERT_MAIN_THREAD();
  if (!path || !allowsSelection_) return;
  auto keep = self();
  auto d = delegate();
  if (d && !d->shouldDeselectItemAtIndexPath(*this, *path)) return;
  if (!allowsEmptySelection_ && selectedIndexes_.size() < 2) return;
  if (auto cell = cellForItemAtIndexPath(path)) cell->setSelected(false, animatesSelection_);
  std::erase(selectedIndexes_, *path);
  if (d) d->didDeselectItemAtIndexPath(*this, *path);
}

void CLCollectionView::selectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool animated) {
  UI_ASSERT_MAIN_THREAD();
  for (const auto& p : paths) selectItemAtIndexPath(p, animated);
}

void CLCollectionView::deselectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool animated) {
  UI_ASSERT_MAIN_THREAD();
  for (const auto& p : paths) deselectItemAtIndexPath(p, animated);
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated) {
  selectItemAtIndexPath(path, scrollPosition, animated, kSelectionTypeSingle);
}

void CLCollectionView::selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated,
                                             int selectionType) {
  UI_ASSERT_MAIN_THREAD();
  if (!path) return;
  auto keep = self();
  std::set<CLIndexPath> next;
  switch (selectionType) {
    case kSelectionTypeSingle:
      next.insert(*path);
      break;
    case kSelectionTypeToggle:
      next.insert(selectedIndexes_.begin(), selectedIndexes_.end());
      if (!next.erase(*path)) next.insert(*path);
      break;
    case kSelectionTypeExtend: {
      if (selectedIndexes_.empty()) {
        next.insert(*path);
        break;
      }
      // From the oldest selected item (the anchor) towards the clicked one.
      const CLIndexPath anchor = selectedIndexes_.front();
      next.insert(anchor);
      if (anchor != *path) {
        const bool forward = anchor < *path;
        CLOptionalIndexPath walk = anchor;
        while (walk && *walk != *path) {
          walk = forward ? indexPathForNextSelectableItemAfterIndexPath(walk)
                         : indexPathForNextSelectableItemBeforeIndexPath(walk);
          if (walk) next.insert(*walk);
        }
      }
      next.insert(*path);
      break;
    }
    default:
      break;
  }
  std::vector<CLIndexPath> leaving;
  for (const auto& p : selectedIndexes_)
    if (!next.count(p)) leaving.push_back(p);
  selectItemsAtIndexPaths(std::vector<CLIndexPath>(next.begin(), next.end()), animated);
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
