#pragma once
// CLCollectionViewGridLayout: equal items in rows of as many columns as fit
// the visible width, section after section downwards. A section is, top to
// bottom: its top inset, header, item rows, footer, bottom inset.
//
// Columns: W = visible width - itemHorizontalMargin; columns = W / (margin +
// item width), at least 1. With no margin and padding enabled the spare width
// is spread evenly (itemPadding = floor((W - columns * w) / (columns + 1)));
// otherwise the padding is the margin. Only a width change re-prepares.
// Negative item sizes and row spacing count as 0.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "layout/collection/CLCollectionViewLayout.h"
#include "platform/ui/Geometry.h"

class CLCollectionView;

class CLCollectionViewGridLayoutDelegate {
public:
  virtual ~CLCollectionViewGridLayoutDelegate() = default;
  virtual std::optional<ui::Size> sizeForItemInCollectionView(CLCollectionView&) { return std::nullopt; }
  virtual double heightForHeaderInSection(CLCollectionView&, int64_t /*section*/) { return 0; }
  virtual double heightForFooterInSection(CLCollectionView&, int64_t /*section*/) { return 0; }
  virtual ui::EdgeInsets insetForSectionAtIndex(CLCollectionView&, CLCollectionViewLayout&, int64_t /*section*/) {
    return {};
  }
};

struct CLCollectionViewGridLayoutSection {
  int64_t index = 0;
  int64_t numberOfItems = 0;
  double offset = 0;  // y of the first item row
  double height = 0;  // of the item rows
  double headerHeight = 0;
  double footerHeight = 0;
  std::vector<ui::Point> itemInfo;  // item origins relative to (0, offset)
};

class CLCollectionViewGridLayout : public CLCollectionViewLayout {
public:
  static constexpr const char* kHeaderKind = "CLCollectionViewGridLayoutHeader";
  static constexpr const char* kFooterKind = "CLCollectionViewGridLayoutFooter";
  static constexpr double kMaxColumns = 1e6;

  std::shared_ptr<CLCollectionViewGridLayoutDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<CLCollectionViewGridLayoutDelegate>& d) { delegate_ = d; }
  ui::Size itemSize() const { return itemSize_; }
  void setItemSize(ui::Size s) { itemSize_ = s; }
  bool itemPaddingEnabled() const { return itemPaddingEnabled_; }
  void setItemPaddingEnabled(bool e) { itemPaddingEnabled_ = e; }
  double verticalSpacing() const { return verticalSpacing_; }
  void setVerticalSpacing(double s) { verticalSpacing_ = s; }
  double itemHorizontalMargin() const { return itemHorizontalMargin_; }
  void setItemHorizontalMargin(double m) { itemHorizontalMargin_ = m; }
  uint64_t numberOfColumns() const { return numberOfColumns_; }
  double itemPadding() const { return itemPadding_; }
  ui::Rect lastInvalidatedBounds() const { return lastInvalidatedBounds_; }
  const std::vector<CLCollectionViewGridLayoutSection>& sections() const { return sections_; }

  void prepareLayout() override;
  bool shouldInvalidateLayoutForBoundsChange(const ui::Rect& bounds) override;
  std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const CLIndexPath& path) override;
  std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForSupplementaryItemInSection(
      int64_t section, const std::string& kind) override;
  ui::Rect rectForSectionAtIndex(int64_t section) override;
  std::optional<std::vector<CLIndexPath>> indexPathsForItemsInRect(const ui::Rect& rect) override;
  CLOptionalIndexPath indexPathForNextItemInDirection(int64_t direction, CLOptionalIndexPath current) override;

  // Ranges as (location, length).
  std::pair<uint64_t, uint64_t> columnsInRect(const ui::Rect& rect) const;
  std::pair<uint64_t, uint64_t> rowsInRect(const ui::Rect& rect, const CLCollectionViewGridLayoutSection& s) const;

private:
  double visibleWidth() const;
  const CLCollectionViewGridLayoutSection* section(int64_t index) const;

  std::weak_ptr<CLCollectionViewGridLayoutDelegate> delegate_;
  ui::Size itemSize_{44, 44};
  bool itemPaddingEnabled_ = true;
  double verticalSpacing_ = 0;
  double itemHorizontalMargin_ = 0;
  uint64_t numberOfColumns_ = 1;
  double itemPadding_ = 0;
  ui::Rect lastInvalidatedBounds_;
  std::vector<CLCollectionViewGridLayoutSection> sections_;
};
