#include "layout/collection/CLCollectionViewLayout.h"

#include "layout/collection/CLCollectionView.h"

void CLCollectionViewLayout::invalidateLayout() {
  if (auto cv = collectionView()) cv->collectionViewLayoutWasInvalidated(*this);
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewLayout::layoutAttributesForItemAtIndexPath(
    const CLIndexPath&) {
  return std::nullopt;
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewLayout::layoutAttributesForSupplementaryItemInSection(
    int64_t, const std::string&) {
  return std::nullopt;
}

std::optional<std::vector<CLIndexPath>> CLCollectionViewLayout::indexPathsForItemsInRect(const ui::Rect&) {
  return std::nullopt;
}

ui::Rect CLCollectionViewLayout::rectForSectionAtIndex(int64_t) { return ui::Rect::null(); }

ui::Size CLCollectionViewLayout::contentSize() { return {}; }

CLOptionalIndexPath CLCollectionViewLayout::indexPathForNextItemInDirection(int64_t, CLOptionalIndexPath current) {
  return current;
}

bool CLCollectionViewLayout::shouldInvalidateLayoutForBoundsChange(const ui::Rect&) { return true; }
