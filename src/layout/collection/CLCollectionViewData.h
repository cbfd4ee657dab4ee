#pragma once
// CLCollectionViewData: the collection view's cache of counts and section
// geometry. recalculateAndPrepareLayout(true) recounts sections and items from
// the data source and has the layout prepare; with false only the section
// frames and the document size are worked out again (a resize that keeps the
// layout). Every count the collection view reports comes from here.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

class CLCollectionView;
class CLCollectionViewLayout;

struct CLCollectionViewSectionRecord {
  int64_t index = 0;
  ui::Rect frame;
  int64_t numberOfItems = 0;
};

class CLCollectionViewData {
public:
  // Owned by the collection view, which outlives it.
  explicit CLCollectionViewData(CLCollectionView& cv) : collectionView_(cv) {}

  int64_t numberOfSections() const { return int64_t(sections_.size()); }
  const std::vector<CLCollectionViewSectionRecord>& sections() const { return sections_; }
  // 0 for any section outside [0, numberOfSections).
  int64_t numberOfItemsInSection(int64_t section) const;
  // The cached frame; zero for a section outside the data.
  ui::Rect frameOfSection(int64_t section) const;

  void recalculateAndPrepareLayout(bool prepare);
  // The layout's content size, or the size of the union of all sections when
  // it has none; never smaller than the visible area.
  ui::Size encompassingSizeWithLayout(CLCollectionViewLayout& layout) const;
  ui::Size encompassingSize() const { return encompassingSize_; }
  void setEncompassingSize(ui::Size s) { encompassingSize_ = s; }

private:
  CLCollectionView& collectionView_;
  std::vector<CLCollectionViewSectionRecord> sections_;
  ui::Size encompassingSize_;
};
