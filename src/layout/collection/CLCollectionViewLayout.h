#pragma once
// CLCollectionViewLayout: the geometry of a collection view. The collection
// view never places anything itself; it asks its layout for item and
// supplementary frames, the items in a rectangle, section rectangles, the
// content size and keyboard neighbours. This base answers every question
// neutrally so that a subclass overrides only what it supports:
//
//   item / supplementary attributes   none (zero frames)
//   items in a rectangle              none: the collection view scans itself
//   section rectangle                 null: the union of the section's frames
//   content size                      zero: the union of all sections
//   scroll direction                  0 vertical, 1 horizontal, other both
//   next item in a direction          the current one (0 left 1 right 2 up 3 down)
//
// prepareLayout runs after every full recount of the data; queries in between
// answer from what it cached. Queries for index paths the data does not hold
// answer nothing.
//
// Main thread only.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/collection/CLCollectionViewLayoutAttributes.h"
#include "layout/collection/CLIndexPath.h"

class CLCollectionView;

class CLCollectionViewLayout {
public:
  virtual ~CLCollectionViewLayout() = default;

  // Set by CLCollectionView::setCollectionViewLayout (weak).
  std::shared_ptr<CLCollectionView> collectionView() const { return collectionView_.lock(); }
  void setCollectionView(std::weak_ptr<CLCollectionView> cv) { collectionView_ = std::move(cv); }

  // Tells the collection view to recount and relay everything.
  void invalidateLayout();

  virtual void prepareLayout() {}
  virtual std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const CLIndexPath& path);
  virtual std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForSupplementaryItemInSection(
      int64_t section, const std::string& kind);
  virtual std::optional<std::vector<CLIndexPath>> indexPathsForItemsInRect(const ui::Rect& rect);
  virtual ui::Rect rectForSectionAtIndex(int64_t section);
  virtual ui::Size contentSize();
  virtual int64_t scrollDirection() { return 0; }
  virtual CLOptionalIndexPath indexPathForNextItemInDirection(int64_t direction, CLOptionalIndexPath current);
  virtual bool shouldInvalidateLayoutForBoundsChange(const ui::Rect& bounds);
  virtual bool shouldApplyExistingLayoutAttributesOnLayout() { return true; }

  // Arrow directions.
  static constexpr int64_t kDirectionLeft = 0;
  static constexpr int64_t kDirectionRight = 1;
  static constexpr int64_t kDirectionUp = 2;
  static constexpr int64_t kDirectionDown = 3;

private:
  std::weak_ptr<CLCollectionView> collectionView_;
};
