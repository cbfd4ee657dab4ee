#pragma once
// What a collection view asks of its data source, and what it tells its
// delegate. Both are held weakly by the collection view. Methods whose first
// keyword would only name the sender are named after their second keyword
// (numberOfItemsInSection, didSelectItemAtIndexPath, ...).
//
// Every delegate method is optional: the defaults behave as if the method
// were absent. The capabilities that change what the collection view does
// (supplementary views, object values) are read once, when the object is set.

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "layout/collection/CLIndexPath.h"

namespace ui {
class Event;
class Menu;
}  // namespace ui

class CLCollectionView;
class CLCollectionViewCell;
class CLCollectionViewReusableView;

class CLCollectionViewDataSource {
public:
  virtual ~CLCollectionViewDataSource() = default;

  virtual int64_t numberOfItemsInSection(CLCollectionView& cv, int64_t section) = 0;
  // Normally from cv.dequeueReusableCellWithIdentifier; null leaves a gap.
  virtual std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv,
                                                                       const CLIndexPath& path) = 0;
  // Empty: one section.
  virtual std::optional<int64_t> numberOfSectionsInCollectionView(CLCollectionView&) { return std::nullopt; }

  // Supplementary views are shown only when this answers true.
  virtual bool providesSupplementaryViews() const { return false; }
  virtual std::shared_ptr<CLCollectionViewReusableView> viewForSupplementaryViewOfKind(CLCollectionView&,
                                                                                      const std::string& /*kind*/,
                                                                                      int64_t /*section*/) {
    return nullptr;
  }
};

class CLCollectionViewDelegate {
public:
  virtual ~CLCollectionViewDelegate() = default;

  // Mouse; the forms with an event call the plain forms by default.
  virtual void mouseUpInItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}
  virtual void mouseUpInItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& p, ui::Event&) {
    mouseUpInItemAtIndexPath(cv, p);
  }
  virtual void mouseDownInItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}
  virtual void mouseDownInItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& p, ui::Event&) {
    mouseDownInItemAtIndexPath(cv, p);
  }
  virtual void mouseMovedInItemAtIndexPath(CLCollectionView&, const CLIndexPath&, ui::Event&) {}
  virtual void mouseDraggedInItemAtIndexPath(CLCollectionView&, const CLIndexPath&, ui::Event&) {}
  virtual void mouseEnteredInItemAtIndexPath(CLCollectionView&, const CLIndexPath&, ui::Event&) {}
  virtual void mouseExitedInItemAtIndexPath(CLCollectionView&, const CLIndexPath&, ui::Event&) {}

  // Selection.
  virtual bool shouldSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) { return true; }
  virtual void didSelectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}
  virtual bool shouldDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) { return true; }
  virtual void didDeselectItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}
  virtual void didDoubleClickItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}
  virtual void didRightClickItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}

  // Display and scrolling.
  virtual void didEndDisplayingCell(CLCollectionView&, CLCollectionViewCell&, const CLIndexPath&) {}
  virtual bool shouldScrollToItemAtIndexPath(CLCollectionView&, const CLIndexPath&) { return true; }
  virtual void didScrollToItemAtIndexPath(CLCollectionView&, const CLIndexPath&) {}

  virtual std::shared_ptr<ui::Menu> menuForEvent(CLCollectionView&, ui::Event&) { return nullptr; }

  // Cells get object values only when this answers true.
  virtual bool providesObjectValues() const { return false; }
  virtual std::any objectValueForItemAtIndexPath(CLCollectionView&, const CLIndexPath&) { return {}; }
};
