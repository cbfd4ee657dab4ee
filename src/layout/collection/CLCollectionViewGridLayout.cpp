#include "layout/collection/CLCollectionViewGridLayout.h"

#include <algorithm>
#include <cmath>

#include "layout/collection/CLCollectionView.h"

double CLCollectionViewGridLayout::visibleWidth() const {
  auto cv = collectionView();
  return cv ? cv->visibleSize().width : 0;
}

const CLCollectionViewGridLayoutSection* CLCollectionViewGridLayout::section(int64_t index) const {
  if (index < 0 || index >= int64_t(sections_.size())) return nullptr;
  return &sections_[size_t(index)];
}

void CLCollectionViewGridLayout::prepareLayout() {
  sections_.clear();
  auto cv = collectionView();
  if (!cv) return;
  auto d = delegate();
  if (d) {
    if (auto size = d->sizeForItemInCollectionView(*cv)) itemSize_ = *size;
  }
  // Negative sizes from a delegate are taken as empty.
  const double w = std::max(0.0, itemSize_.width);
  const double h = std::max(0.0, itemSize_.height);
  const double spacing = std::max(0.0, verticalSpacing_);

  const double W = cv->visibleSize().width - itemHorizontalMargin_;
  const double perColumn = itemHorizontalMargin_ + w;
  // A width below the margin, or items with no width at all, make one column
  // (and never a division by zero or a negative count).
  uint64_t columns = 0;
  if (W > 0 && perColumn > 0 && std::isfinite(W / perColumn)) columns = uint64_t(std::min(W / perColumn, kMaxColumns));
  itemPadding_ = 0;
  if (columns == 0) {
    columns = 1;
  } else if (itemHorizontalMargin_ == 0 && itemPaddingEnabled_) {
    itemPadding_ = std::floor(float(W - double(columns) * w) / float(columns + 1));
  } else {
    itemPadding_ = itemHorizontalMargin_;
  }
  numberOfColumns_ = columns;

  double total = 0;
  const int64_t count = cv->numberOfSections();
  sections_.reserve(size_t(count));
  for (int64_t s = 0; s < count; ++s) {
    const int64_t n = cv->numberOfItemsInSection(s);
    const double header = d ? std::trunc(std::max(0.0, d->heightForHeaderInSection(*cv, s))) : 0;
    const double footer = d ? std::trunc(std::max(0.0, d->heightForFooterInSection(*cv, s))) : 0;
    const ui::EdgeInsets inset = d ? d->insetForSectionAtIndex(*cv, *this, s) : ui::EdgeInsets{};

    CLCollectionViewGridLayoutSection rec;
    rec.index = s;
    rec.numberOfItems = n;
    rec.offset = total + header + inset.top;
    rec.headerHeight = header;
    rec.footerHeight = footer;
    rec.itemInfo.resize(size_t(n));
    for (int64_t i = 0; i < n; ++i) {
      const uint64_t row = uint64_t(i) / columns, column = uint64_t(i) % columns;
      rec.itemInfo[size_t(i)] = {inset.left + itemPadding_ + double(column) * (itemPadding_ + w),
                                 double(row) * (h + spacing)};
    }
    const int64_t rows = int64_t(std::ceil(float(n) / float(columns)));
    rec.height = double(std::max<int64_t>(rows, 1) - 1) * spacing + double(rows) * h;
    total += rec.height + footer + header + inset.bottom + inset.top;
    sections_.push_back(std::move(rec));
  }
}

bool CLCollectionViewGridLayout::shouldInvalidateLayoutForBoundsChange(const ui::Rect& bounds) {
  if (bounds.width() == lastInvalidatedBounds_.width()) return false;
  lastInvalidatedBounds_ = bounds;
  return true;
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewGridLayout::layoutAttributesForItemAtIndexPath(
    const CLIndexPath& path) {
  const auto* s = section(path.section);
  if (!s || path.item < 0 || path.item >= int64_t(s->itemInfo.size())) return std::nullopt;
  const ui::Point o = s->itemInfo[size_t(path.item)];
  CLCollectionViewLayoutAttributes a;
  a.frame = ui::Rect(o.x, o.y + s->offset, std::max(0.0, itemSize_.width), std::max(0.0, itemSize_.height));
  a.alpha = 1;
  return a;
}

std::optional<CLCollectionViewLayoutAttributes> CLCollectionViewGridLayout::layoutAttributesForSupplementaryItemInSection(
    int64_t index, const std::string& kind) {
  const auto* s = section(index);
  if (!s) return std::nullopt;
  CLCollectionViewLayoutAttributes a;
  a.alpha = 1;
  if (kind == kHeaderKind) {
    a.frame = ui::Rect(0, s->offset - s->headerHeight, visibleWidth(), s->headerHeight);
  } else if (kind == kFooterKind) {
    a.frame = ui::Rect(0, s->offset + s->height, visibleWidth(), s->footerHeight);
  }
  return a;
}

ui::Rect CLCollectionViewGridLayout::rectForSectionAtIndex(int64_t index) {
  const auto* s = section(index);
  if (!s) return ui::Rect::zero();
  return ui::Rect(0, s->offset, visibleWidth(), s->height + s->headerHeight + s->footerHeight);
}

std::pair<uint64_t, uint64_t> CLCollectionViewGridLayout::columnsInRect(const ui::Rect& rect) const {
  const double w = std::max(0.0, itemSize_.width);
  uint64_t location = 0, length = 0;
  for (uint64_t c = 0; c < numberOfColumns_; ++c) {
    const ui::Point p{double(c + 1) * itemPadding_ + double(c) * w, rect.minY()};
    if (!rect.contains(p)) continue;
    if (length == 0) location = c;
    ++length;
  }
  return {location, length};
}

std::pair<uint64_t, uint64_t> CLCollectionViewGridLayout::rowsInRect(const ui::Rect& rect,
                                                                     const CLCollectionViewGridLayoutSection& s) const {
  if (rect.minY() > s.offset + s.height || s.offset > rect.maxY()) return {0, 0};
  const double step = std::max(0.0, itemSize_.height) + std::max(0.0, verticalSpacing_);
  const uint64_t rows = (uint64_t(std::max<int64_t>(s.numberOfItems, 0)) + numberOfColumns_ - 1) / numberOfColumns_;
  // Rows of no height: every row is at the section's top.
  if (!(step > 0)) return {0, rows};
  // Counts beyond the section's rows mean nothing; they are cut there before
  // any conversion to an integer.
  const double location = std::min(std::trunc(std::max(rect.minY() - s.offset, 0.0) / step), double(rows));
  const double length = std::ceil(rect.height() / step) + 1;
  const double end = std::min(double(float(location + length)), double(rows));
  return {uint64_t(location), end > location ? uint64_t(end - location) : 0};
}

std::optional<std::vector<CLIndexPath>> CLCollectionViewGridLayout::indexPathsForItemsInRect(const ui::Rect& rect) {
  std::vector<CLIndexPath> paths;
  const auto [col0, cols] = columnsInRect(rect);
  for (const auto& s : sections_) {
    const auto [row0, rows] = rowsInRect(rect, s);
    const uint64_t sectionRows = (uint64_t(std::max<int64_t>(s.numberOfItems, 0)) + numberOfColumns_ - 1) / numberOfColumns_;
    const uint64_t rowEnd = std::min(row0 + rows, sectionRows);
    for (uint64_t r = row0; r < rowEnd; ++r) {
      for (uint64_t c = col0; c < col0 + cols; ++c) {
        const uint64_t item = numberOfColumns_ * r + c;
        if (item >= uint64_t(s.numberOfItems)) break;
        paths.push_back(cl_indexPathForItem(int64_t(item), s.index));
      }
    }
  }
  return paths;
}

CLOptionalIndexPath CLCollectionViewGridLayout::indexPathForNextItemInDirection(int64_t direction,
                                                                              CLOptionalIndexPath current) {
  auto cv = collectionView();
  if (!cv) return std::nullopt;
  const double h = std::max(0.0, itemSize_.height);
  const ui::Rect r = current ? cv->rectForItemAtIndexPath(current) : ui::Rect::zero();
  switch (direction) {
    case kDirectionLeft:
      return cv->indexPathForNextSelectableItemBeforeIndexPath(current);
    case kDirectionRight:
      return cv->indexPathForNextSelectableItemAfterIndexPath(current);
    case kDirectionUp: {
      if (auto p = cv->indexPathForItemAtPoint({r.minX(), r.minY() - 1})) return p;
      return cv->indexPathForItemAtPoint({r.minX(), r.minY() - (h + 1)});
    }
    case kDirectionDown: {
      if (auto p = cv->indexPathForItemAtPoint({r.minX(), r.minY() + r.height() + 1})) return p;
      return cv->indexPathForItemAtPoint({r.minX(), r.minY() + r.height() + h + 1});
    }
    default:
      return std::nullopt;
  }
}
