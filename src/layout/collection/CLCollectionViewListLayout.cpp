#include "layout/collection/CLCollectionViewListLayout.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "layout/collection/CLCollectionView.h"

double CLCollectionViewListLayout::visibleWidth() const {
  auto cv = collectionView();
  return cv ? cv->visibleSize().width : 0;
}

const CLCollectionViewListLayoutSection* CLCollectionViewListLayout::section(int64_t index) const {
  if (index < 0 || index >= int64_t(sections_.size())) return nullptr;
  return &sections_[size_t(index)];
}

void CLCollectionViewListLayout::prepareLayout() {
  sections_.clear();
  auto cv = collectionView();
  if (!cv) return;
  auto d = delegate();
  const double width = cv->visibleSize().width;
  double total = 0;
  for (int64_t s = 0; s < cv->numberOfSections(); ++s) {
    CLCollectionViewListLayoutSection rec;
    rec.index = s;
    rec.offset = total;
    rec.headerHeight = d ? std::trunc(std::max(0.0, d->heightForHeaderInSection(*cv, s))) : 0;
    rec.footerHeight = d ? std::trunc(std::max(0.0, d->heightForFooterInSection(*cv, s))) : 0;
    const int64_t rows = cv->numberOfItemsInSection(s);
    rec.rowInfo.resize(size_t(rows));
    double height = rec.headerHeight;
    for (int64_t i = 0; i < rows; ++i) {
      double rowHeight = rowHeight_;
      if (d) {
        if (auto h = d->heightForRowAtIndexPath(*cv, cl_indexPathForItem(i, s))) rowHeight = *h;
      }
      rowHeight = std::max(0.0, rowHeight);
      rec.rowInfo[size_t(i)] = {rowHeight, height};
      height += rowHeight + verticalSpacing_;
    }
    if (rows > 0) height -= verticalSpacing_;
    height += rec.footerHeight;
    rec.height = height;
    rec.frame = ui::Rect(0, rec.offset, width, height);
    total += height;
    sections_.push_back(std::move(rec));
  }
}

ui::Rect CLCollectionViewListLayout::rectForItemAtIndex(int64_t item, int64_t index) const {
  const auto* s = section(index);
  if (!s || item < 0 || item >= s->numberOfRows()) return ui::Rect::zero();
  const auto [h, y] = s->rowInfo[size_t(item)];
  return ui::Rect(0, s->offset + y, visibleWidth(), h);
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewListLayout::layoutAttributesForItemAtIndexPath(
    const CLIndexPath& path) {
  const auto* s = section(path.section);
  if (!s || path.item < 0 || path.item >= s->numberOfRows()) return std::nullopt;
  CLCollectionViewLayoutAttributes a;
  a.frame = rectForItemAtIndex(path.item, path.section);
  a.alpha = 1;
  return a;
}

ui::Rect CLCollectionViewListLayout::rectForSectionAtIndex(int64_t index) {
  const auto* s = section(index);
  return s ? s->frame : ui::Rect::zero();
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewListLayout::layoutAttributesForSupplementaryItemInSection(
    int64_t index, const std::string& kind) {
  const auto* s = section(index);
  if (!s) return std::nullopt;
  CLCollectionViewLayoutAttributes a;
  a.alpha = 1;
  a.zIndex = kSupplementaryZIndex;
  const double width = visibleWidth();
  if (kind == kFooterKind) {
    a.frame = ui::Rect(0, s->offset + s->height - s->footerHeight, width, s->footerHeight);
  } else if (kind == kHeaderKind) {
    double y = s->offset;
    if (stickyHeaders_) {
      auto cv = collectionView();
      const double visibleTop = cv ? cv->visibleDocumentRect().minY() : 0;
      // Worked out from the last section up: each header is held above the
      // next one's pinned position.
      double nextY = double(FLT_MAX);
      for (int64_t k = int64_t(sections_.size()) - 1; k >= index; --k) {
        const auto& sk = sections_[size_t(k)];
        const double yk = std::min(std::max(sk.offset, visibleTop), nextY - sk.headerHeight);
        nextY = yk;
      }
      y = nextY;
    }
    a.frame = ui::Rect(0, y, width, s->headerHeight);
  }
  return a;
}

int64_t CLCollectionViewListLayout::nearestIntersectingRowInSection(const CLCollectionViewListLayoutSection& s,
                                                                    const ui::Rect& rect, int edge) const {
  const int64_t n = s.numberOfRows();
  if (n == 0) return 0;
  const double y = (edge == 0 ? rect.minY() : rect.maxY()) - s.offset;
  int64_t lo = 0, hi = n - 1, probe = 0;
  while (lo <= hi) {
    probe = lo + (hi - lo) / 2;
    const double rowY = s.rowInfo[size_t(probe)].second;
    if (rowY == y) {
      if (edge == 0) return probe;
      break;  // a row starting on the bottom edge: the one above ends there
    }
    if (rowY < y) {
      lo = probe + 1;
    } else {
      hi = probe - 1;
    }
  }
  if (edge == 0) {
    // The last row starting at or above y.
    while (probe > 0 && s.rowInfo[size_t(probe)].second > y) --probe;
    return probe;
  }
  // Forward while the row ends above y; then back off rows that start at or
  // below it, which the rectangle does not reach.
  while (probe < n - 1 && s.rowInfo[size_t(probe)].second + s.rowInfo[size_t(probe)].first < y) ++probe;
  while (probe > 0 && s.rowInfo[size_t(probe)].second >= y) --probe;
  return s.rowInfo[size_t(probe)].second < y ? probe : -1;
}

std::optional<std::vector<CLIndexPath>> CLCollectionViewListLayout::indexPathsForItemsInRect(const ui::Rect& rect) {
  std::vector<CLIndexPath> paths;
  for (const auto& s : sections_) {
    if (s.numberOfRows() == 0 || !s.frame.intersects(rect)) continue;
    const int64_t first = nearestIntersectingRowInSection(s, rect, 0);
    const int64_t last = nearestIntersectingRowInSection(s, rect, 1);
    for (int64_t i = first; i <= last; ++i) paths.push_back(cl_indexPathForItem(i, s.index));
  }
  return paths;
}

CLOptionalIndexPath CLCollectionViewListLayout::indexPathForNextItemInDirection(int64_t direction,
                                                                              CLOptionalIndexPath current) {
  auto cv = collectionView();
  if (!cv) return current;
  if (direction == kDirectionUp) return cv->indexPathForNextSelectableItemBeforeIndexPath(current);
  if (direction == kDirectionDown) return cv->indexPathForNextSelectableItemAfterIndexPath(current);
  return current;
}
