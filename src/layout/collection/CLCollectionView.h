#pragma once
// CLCollectionView: a scroll view of items (cells) and per-section
// supplementary views (headers, footers) placed where a pluggable layout
// says. Only the views that meet the visible rectangle exist as visible
// views; the others are recycled through pools keyed by reuse identifier.
//
//  - reloadData recounts everything, throws away every view and pool, and
//    shows the visible items again; before the first reloadData nothing is
//    counted, laid out or sized.
//  - The layout pass: with the visible size unchanged (a scroll) only the
//    visible set is brought up to date: leaving cells are hidden and pooled,
//    arriving ones asked of the data source; with a new size the geometry is
//    worked out again (re-preparing the layout when it asks for that).
//  - Paths the data no longer holds (it shrank without a reload) leave like
//    any cell that scrolled out.
//  - Selection by clicks (Shift extends, Command - the Ctrl key here -
//    toggles) and arrow keys, with the delegate's should/did messages, and
//    scrolling an item into sight at a chosen position.
//
// The data source and the delegate are held weakly; the layout strongly.
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/collection/CLCollectionViewCell.h"
#include "layout/collection/CLCollectionViewData.h"
#include "layout/collection/CLCollectionViewDataSource.h"
#include "layout/collection/CLCollectionViewDocumentView.h"
#include "layout/collection/CLCollectionViewLayout.h"
#include "layout/collection/CLCollectionViewReusableView.h"
#include "layout/collection/CLIndexPathOrderedSet.h"
#include "layout/collection/CLScrollView.h"

class CLCollectionView : public CLScrollView {
public:
  using CellFactory = std::function<std::shared_ptr<CLCollectionViewCell>()>;
  using SupplementaryFactory = std::function<std::shared_ptr<CLCollectionViewReusableView>()>;

  // Selection types.
  static constexpr int kSelectionTypeSingle = 0;
  static constexpr int kSelectionTypeExtend = 1;
  static constexpr int kSelectionTypeToggle = 2;
  // Scroll positions.
  static constexpr int kScrollPositionNone = 0;
  static constexpr int kScrollPositionNearest = 1;
  static constexpr int kScrollPositionTop = 2;
  static constexpr int kScrollPositionMiddle = 3;
  static constexpr int kScrollPositionBottom = 4;

  CLCollectionView() : CLCollectionView(ui::Rect()) {}
  explicit CLCollectionView(ui::Rect frame);
  ~CLCollectionView() override;
  std::string className() const override { return "CLCollectionView"; }
  std::string description() const override;

  // ---- wiring
  std::shared_ptr<CLCollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(const std::shared_ptr<CLCollectionViewDataSource>& source);
  std::shared_ptr<CLCollectionViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<CLCollectionViewDelegate>& delegate);
  const std::shared_ptr<CLCollectionViewLayout>& collectionViewLayout() const { return layout_; }
  void setCollectionViewLayout(std::shared_ptr<CLCollectionViewLayout> layout);

  bool animatesSelection() const { return animatesSelection_; }
  void setAnimatesSelection(bool a) { animatesSelection_ = a; }
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool a) { allowsSelection_ = a; }
  bool allowsEmptySelection() const { return allowsEmptySelection_; }
  void setAllowsEmptySelection(bool a) { allowsEmptySelection_ = a; }

  // The size of the visible part of the document: the clip view's size.
  ui::Size visibleSize() const;
  // The visible part of the document, in document coordinates.
  ui::Rect visibleDocumentRect() const;
  CLCollectionViewData& data() { return *data_; }
  const std::shared_ptr<CLCollectionViewDocumentView>& collectionViewDocumentView() const { return documentView_; }
  bool wantsLayout() const { return wantsLayout_; }

  // ---- registration (a class and a nib registration replace each other)
  void registerClass(CellFactory factory, const std::string& reuseIdentifier);
  template <class T>
  void registerClass(const std::string& reuseIdentifier) {
    registerClass([] { return ui::View::create<T>(); }, reuseIdentifier);
  }
  void registerNib(CellFactory factory, const std::string& reuseIdentifier);
  void registerClassForSupplementaryView(SupplementaryFactory factory, const std::string& kind,
                                         const std::string& reuseIdentifier);
  void registerNibForSupplementaryView(SupplementaryFactory factory, const std::string& kind,
                                       const std::string& reuseIdentifier);

  // ---- reuse. An empty identifier stands for none: such views are never
  // pooled, and dequeuing with it makes a fresh view each time.
  std::shared_ptr<CLCollectionViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
  std::shared_ptr<CLCollectionViewReusableView> dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                        const std::string& identifier);
  void enqueueReusableCell(std::shared_ptr<CLCollectionViewCell> cell, const std::string& identifier);
  void enqueueReusableSupplementaryView(std::shared_ptr<CLCollectionViewReusableView> view, const std::string& kind,
                                        const std::string& identifier);
  size_t pooledCellCount() const;

  // ---- identifiers: "kind/reuse" and "section/kind/reuse"
  static std::string supplementaryViewIdentifier(const std::string& kind, const std::string& reuseIdentifier);
  static std::string kindForSupplementaryViewIdentifier(const std::string& id);
  static std::string reuseIdentifierForSupplementaryViewIdentifier(const std::string& id);
  static std::string layoutIdentifier(int64_t section, const std::string& supplementaryId);
  static int64_t sectionForSupplementaryLayoutIdentifier(const std::string& layoutId);
  static std::string supplementaryViewIdentifierForLayoutIdentifier(const std::string& layoutId);
  std::vector<std::string> allSupplementaryViewIdentifiers() const;

  // ---- geometry and lookups
  int64_t numberOfSections() const { return data_->numberOfSections(); }
  int64_t numberOfItemsInSection(int64_t section) const { return data_->numberOfItemsInSection(section); }
  bool validateIndexPath(const CLOptionalIndexPath& path) const;
  ui::Rect rectForItemAtIndexPath(const CLOptionalIndexPath& path) const;
  ui::Rect rectForSupplementaryViewWithKind(const std::string& kind, int64_t section) const;
  ui::Rect rectForSection(int64_t section) const { return data_->frameOfSection(section); }
  CLOptionalIndexPath indexPathForItemAtPoint(ui::Point p) const;
  std::vector<CLIndexPath> indexPathsForItemsInRect(const ui::Rect& rect) const;
  std::vector<std::string> layoutIdentifiersForSupplementaryViewsInRect(const ui::Rect& rect) const;
  std::vector<int64_t> indexesForSectionsInRect(const ui::Rect& rect) const;
  std::vector<CLIndexPath> indexPathsForVisibleItems() const;
  std::vector<std::shared_ptr<CLCollectionViewCell>> visibleCells() const;
  const std::map<CLIndexPath, std::shared_ptr<CLCollectionViewCell>>& visibleCellsMap() const {
    return visibleCellsMap_;
  }
  const std::map<std::string, std::shared_ptr<CLCollectionViewReusableView>>& visibleSupplementaryViewsMap() const {
    return visibleSupplementaryViewsMap_;
  }
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(const CLOptionalIndexPath& path) const;
  std::shared_ptr<CLCollectionViewReusableView> supplementaryViewForKind(const std::string& kind,
                                                                         const std::string& reuseIdentifier,
                                                                         int64_t section) const;
  CLOptionalIndexPath indexPathForCell(const CLCollectionViewCell& cell) const { return cell.indexPath(); }
  std::vector<CLIndexPath> allIndexPaths() const;
  CLOptionalIndexPath firstIndexPath() const;
  CLOptionalIndexPath lastIndexPath() const;

  // ---- data and layout
  void reloadData();
  void collectionViewLayoutWasInvalidated(CLCollectionViewLayout& layout);
  void layout() override;
  void reflectScrolledClipView(ui::ClipView& clip) override;
  void performFullRelayoutForcingSubviewsReset(bool reset);
  void layoutCellsWithRedraw(bool redraw);
  void layoutSupplementaryViewsWithRedraw(bool redraw);

  // ---- selection: paths in the order they were selected, the newest last
  std::vector<CLIndexPath> selectedIndexes() const { return selection_.paths(); }
  CLOptionalIndexPath indexPathForSelectedItem() const;
  std::vector<CLIndexPath> indexPathsForSelectedItems() const { return selection_.paths(); }
  void selectItemAtIndexPath(const CLOptionalIndexPath& path, bool animated);
  void deselectItemAtIndexPath(const CLOptionalIndexPath& path, bool animated);
  void selectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool animated);
  void deselectItemsAtIndexPaths(const std::vector<CLIndexPath>& paths, bool animated);
  void selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated);
  void selectItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated, int selectionType);
  void selectAll() override;
  void selectAllItems() { selectAll(); }
  void deselectAllItems();
  CLOptionalIndexPath indexPathForNextSelectableItemAfterIndexPath(const CLOptionalIndexPath& path) const;
  CLOptionalIndexPath indexPathForNextSelectableItemBeforeIndexPath(const CLOptionalIndexPath& path) const;
  void scrollToItemAtIndexPath(const CLOptionalIndexPath& path, int scrollPosition, bool animated);
  void scrollToBeginningOfDocument() override;
  void scrollToEndOfDocument() override;
  std::shared_ptr<ui::Menu> menuForEvent(ui::Event& e) override;

  // ---- input
  bool canBecomeKeyView() const override { return true; }
  bool acceptsFirstResponder() const override { return true; }
  bool becomeFirstResponder() override { return true; }
  bool resignFirstResponder() override { return true; }
  void keyDown(ui::Event& e) override;
  void moveLeft() override;
  void moveRight() override;
  void moveUp() override;
  void moveDown() override;
  void moveLeftAndModifySelection() override;
  void moveRightAndModifySelection() override;
  void moveUpAndModifySelection() override;
  void moveDownAndModifySelection() override;
  void moveToBeginningOfDocument() override;
  void moveToEndOfDocument() override;

  // Sent by cells.
  void mouseDownInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void mouseUpInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void mouseMovedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void mouseDraggedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void mouseEnteredInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void mouseExitedInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void doubleClickInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);
  void rightClickInCollectionViewCell(CLCollectionViewCell& cell, ui::Event& e);

private:
  std::shared_ptr<CLCollectionView> self();
  void resetAllCellsAndSupplementaryViews();
  void layoutDocumentView();
  void updateScrollDirection();
  void applyLayoutAttributesToCell(const std::optional<CLCollectionViewLayoutAttributes>& attributes,
                                   CLCollectionViewCell& cell);
  void applyLayoutAttributesToSupplementaryView(const std::optional<CLCollectionViewLayoutAttributes>& attributes,
                                                CLCollectionViewReusableView& view);
  void moveSelection(int64_t direction, int selectionType);
  // One select or deselect, for callers that hold the view and the delegate
  // already (a select-all makes a million of them).
  void selectOne(const CLIndexPath& path, CLCollectionViewDelegate* delegate);
  void deselectOne(const CLIndexPath& path, CLCollectionViewDelegate* delegate);

  std::weak_ptr<CLCollectionViewDataSource> dataSource_;
  std::weak_ptr<CLCollectionViewDelegate> delegate_;
  std::shared_ptr<CLCollectionViewLayout> layout_;
  std::unique_ptr<CLCollectionViewData> data_;
  std::shared_ptr<CLCollectionViewDocumentView> documentView_;

  bool animatesSelection_ = false;
  bool allowsSelection_ = true;
  bool allowsEmptySelection_ = true;
  bool wantsLayout_ = false;
  bool inLayout_ = false;
  // Capabilities read when the data source and delegate were set.
  bool dataSourceViewForSupplementaryView_ = false;
  bool delegateObjectValueForCell_ = false;
  ui::Size lastDrawnSize_;

  CLIndexPathOrderedSet selection_;
  std::map<std::string, std::vector<std::shared_ptr<CLCollectionViewCell>>> reusableCells_;
  std::map<CLIndexPath, std::shared_ptr<CLCollectionViewCell>> visibleCellsMap_;
  std::map<std::string, CellFactory> cellClassMap_;
  std::map<std::string, CellFactory> cellNibMap_;
  std::map<std::string, std::vector<std::shared_ptr<CLCollectionViewReusableView>>> reusableSupplementaryViews_;
  std::map<std::string, std::shared_ptr<CLCollectionViewReusableView>> visibleSupplementaryViewsMap_;
  std::map<std::string, SupplementaryFactory> supplementaryViewClassMap_;
  std::map<std::string, SupplementaryFactory> supplementaryViewNibMap_;
};
