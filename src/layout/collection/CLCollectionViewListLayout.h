#pragma once
// CLCollectionViewListLayout: full-width rows, section after section, each
// section with an optional header above and footer below. With sticky
// headers a section's header stays at the top of the visible area while the
// section scrolls past, and the next section's header pushes it up.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "layout/collection/CLCollectionViewLayout.h"

class CLCollectionView;

class CLCollectionViewListLayoutDelegate {
public:
  virtual ~CLCollectionViewListLayoutDelegate() = default;
  // Empty: the layout's rowHeight.
  virtual std::optional<double> heightForRowAtIndexPath(CLCollectionView&, const CLIndexPath&) { return std::nullopt; }
  virtual double heightForHeaderInSection(CLCollectionView&, int64_t /*section*/) { return 0; }
  virtual double heightForFooterInSection(CLCollectionView&, int64_t /*section*/) { return 0; }
};

struct CLCollectionViewListLayoutSection {
  int64_t index = 0;
  double offset = 0;  // top of the section, header included
  double height = 0;  // header + rows + footer
  double headerHeight = 0;
  double footerHeight = 0;
  ui::Rect frame;
  // Per row: (height, y relative to offset).
  std::vector<std::pair<double, double>> rowInfo;
  int64_t numberOfRows() const { return int64_t(rowInfo.size()); }
};

class CLCollectionViewListLayout : public CLCollectionViewLayout {
public:
  static constexpr const char* kHeaderKind = "CLCollectionViewListLayoutHeader";
  static constexpr const char* kFooterKind = "CLCollectionViewListLayoutFooter";
  static constexpr int64_t kSupplementaryZIndex = INT64_MAX;

  std::shared_ptr<CLCollectionViewListLayoutDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<CLCollectionViewListLayoutDelegate>& d) { delegate_ = d; }
  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double h) { rowHeight_ = h; }
  double verticalSpacing() const { return verticalSpacing_; }
  void setVerticalSpacing(double s) { verticalSpacing_ = s; }
  bool stickyHeaders() const { return stickyHeaders_; }
  void setStickyHeaders(bool s) { stickyHeaders_ = s; }
  const std::vector<CLCollectionViewListLayoutSection>& sections() const { return sections_; }

  void prepareLayout() override;
  ui::Rect rectForItemAtIndex(int64_t item, int64_t section) const;
  std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const CLIndexPath& path) override;
  ui::Rect rectForSectionAtIndex(int64_t section) override;
  std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForSupplementaryItemInSection(
      int64_t section, const std::string& kind) override;
  std::optional<std::vector<CLIndexPath>> indexPathsForItemsInRect(const ui::Rect& rect) override;
  // edge 0: the row at the rectangle's top (row 0 at the least); 1: the last
  // row starting above its bottom (a row starting on the bottom edge is not
  // in the rectangle), or -1 when none does.
  int64_t nearestIntersectingRowInSection(const CLCollectionViewListLayoutSection& s, const ui::Rect& rect,
                                          int edge) const;
  CLOptionalIndexPath indexPathForNextItemInDirection(int64_t direction, CLOptionalIndexPath current) override;
  bool shouldInvalidateLayoutForBoundsChange(const ui::Rect&) override { return false; }
  bool shouldApplyExistingLayoutAttributesOnLayout() override { return stickyHeaders_; }

private:
  double visibleWidth() const;
  const CLCollectionViewListLayoutSection* section(int64_t index) const;

  std::weak_ptr<CLCollectionViewListLayoutDelegate> delegate_;
  double rowHeight_ = 44;
  double verticalSpacing_ = 0;
  bool stickyHeaders_ = false;
  std::vector<CLCollectionViewListLayoutSection> sections_;
};
