#include "layout/collection/CLCollectionViewData.h"

#include <algorithm>

#include "layout/collection/CLCollectionView.h"
#include "layout/collection/CLCollectionViewLayout.h"

int64_t CLCollectionViewData::numberOfItemsInSection(int64_t section) const {
  if (section < 0 || section >= numberOfSections()) return 0;
  return sections_[size_t(section)].numberOfItems;
}

ui::Rect CLCollectionViewData::frameOfSection(int64_t section) const {
  if (section < 0 || section >= numberOfSections()) return ui::Rect::zero();
  return sections_[size_t(section)].frame;
}

void CLCollectionViewData::recalculateAndPrepareLayout(bool prepare) {
  CLCollectionView* cv = &collectionView_;
  auto layout = cv->collectionViewLayout();
  if (!layout) return;

  if (prepare) {
    sections_.clear();
    auto source = cv->dataSource();
    int64_t count = 1;
    if (source) {
      if (auto n = source->numberOfSectionsInCollectionView(*cv)) count = *n;
    }
    count = std::max<int64_t>(count, 0);
    sections_.resize(size_t(count));
    for (int64_t s = 0; s < count; ++s) {
      sections_[size_t(s)].index = s;
      sections_[size_t(s)].numberOfItems = source ? std::max<int64_t>(0, source->numberOfItemsInSection(*cv, s)) : 0;
    }
    layout->prepareLayout();
  }

  const auto supplementaryIds = cv->allSupplementaryViewIdentifiers();
  for (auto& rec : sections_) {
    ui::Rect frame = layout->rectForSectionAtIndex(rec.index);
    if (frame.isNull()) {
      for (int64_t i = 0; i < rec.numberOfItems; ++i) {
        auto a = layout->layoutAttributesForItemAtIndexPath(cl_indexPathForItem(i, rec.index));
        frame = frame.unionWith(a ? a->frame : ui::Rect::zero());
      }
      for (const auto& id : supplementaryIds) {
        auto a = layout->layoutAttributesForSupplementaryItemInSection(
            rec.index, CLCollectionView::kindForSupplementaryViewIdentifier(id));
        frame = frame.unionWith(a ? a->frame : ui::Rect::zero());
      }
    }
    rec.frame = frame;
  }
  encompassingSize_ = encompassingSizeWithLayout(*layout);
}

ui::Size CLCollectionViewData::encompassingSizeWithLayout(CLCollectionViewLayout& layout) const {
  ui::Size size = layout.contentSize();
  if (size == ui::Size{}) {
    ui::Rect all = ui::Rect::null();
    for (const auto& rec : sections_) all = all.unionWith(rec.frame);
    size = all.isNull() ? ui::Size{} : all.size;
  }
  const ui::Size visible = collectionView_.visibleSize();
  return {std::max(size.width, visible.width), std::max(size.height, visible.height)};
}
