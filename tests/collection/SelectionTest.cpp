// Selection by clicks (plain, Shift, Ctrl standing for Command) and arrow
// keys through real window events, the delegate's messages and veto,
// scrolling an item into sight at each position, and the animated scroll of
// the clip view.
#include <gtest/gtest.h>

#include "collection/CollectionTestSupport.h"
#include "platform/ui/Animation.h"
#include "ui/ViewTestSupport.h"

namespace {

using cltest::Scene;
using Log = std::vector<std::string>;
using Paths = std::vector<CLIndexPath>;

struct Clicks : ::testing::Test {
  // Everything in sight: section 0 in three rows, section 1 empty, section 2
  // in one row below.
  Clicks() : s(560, 620, {9, 0, 3}), pointer(*s.window) { s.cv->setAnimatesSelection(false); }
  void click(const CLIndexPath& p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    pointer.modifiers = mods;
    pointer.wait(1000);  // no double clicks
    pointer.click(s.centreOf(p));
    s.settle();
  }
  Paths selected() const { return s.cv->indexPathsForSelectedItems(); }
  Scene s;
  ui::testing::Pointer pointer;
};

TEST_F(Clicks, PlainClicksReplaceTheSelectionAndTellTheDelegateInOrder) {
  click({0, 1});
  EXPECT_EQ(selected(), (Paths{{0, 1}}));
  EXPECT_EQ(s.window->firstResponder(), s.cv.get());
  EXPECT_TRUE(s.cv->cellForItemAtIndexPath(CLIndexPath{0, 1})->isSelected());
  s.delegate->log.clear();
  click({0, 1}, Qt::ControlModifier);
  click({0, 2}, Qt::ControlModifier);
  click({0, 4}, Qt::ControlModifier);
  EXPECT_EQ(selected(), (Paths{{0, 2}, {0, 4}}));
  s.delegate->log.clear();
  // Clicking a selected item alone: selects first (again), then deselects the rest.
  click({0, 4});
  EXPECT_EQ(s.delegate->log, (Log{"up (0, 4)", "should-select (0, 4)", "select (0, 4)", "should-deselect (0, 2)",
                                  "deselect (0, 2)"}));
  EXPECT_EQ(selected(), (Paths{{0, 4}}));
  EXPECT_FALSE(s.cv->cellForItemAtIndexPath(CLIndexPath{0, 2})->isSelected());
}

TEST_F(Clicks, ShiftExtendsFromTheOldestSelectedItemAndStopsAtAnEmptySection) {
  click({0, 2});
  click({0, 5}, Qt::ControlModifier);
  click({0, 7}, Qt::ShiftModifier);
  // Kept items keep their place; new ones follow in order.
  EXPECT_EQ(selected(), (Paths{{0, 2}, {0, 5}, {0, 3}, {0, 4}, {0, 6}, {0, 7}}));
  // Backwards works too.
  click({0, 4});
  click({0, 1}, Qt::ShiftModifier);
  EXPECT_EQ(selected(), (Paths{{0, 4}, {0, 1}, {0, 2}, {0, 3}}));
  // Section 1 is empty: the walk ends there, the clicked item is still added.
  click({0, 7});
  click({2, 1}, Qt::ShiftModifier);
  EXPECT_EQ(selected(), (Paths{{0, 7}, {0, 8}, {2, 1}}));
}

TEST_F(Clicks, TheDelegateCanVetoAndTheLastItemCanBeKept) {
  s.delegate->refuseSelect = {{0, 3}};
  click({0, 3});
  EXPECT_TRUE(selected().empty());
  click({0, 1});
  s.delegate->refuseDeselect = {{0, 1}};
  click({0, 2});
  EXPECT_EQ(selected(), (Paths{{0, 1}, {0, 2}}));
  s.delegate->refuseDeselect.clear();

  // Without empty selections, Ctrl-clicking the only selected item keeps it.
  s.cv->setAllowsEmptySelection(false);
  click({0, 2});
  click({0, 2}, Qt::ControlModifier);
  EXPECT_EQ(selected(), (Paths{{0, 2}}));
  // A reload clears the selection without asking, then selects the first item.
  s.delegate->log.clear();
  s.cv->reloadData();
  EXPECT_EQ(s.delegate->log.front(), "deselect (0, 2)");
  EXPECT_EQ(selected(), (Paths{{0, 0}}));
  // Selection switched off: clicks change nothing.
  s.cv->setAllowsSelection(false);
  click({0, 5});
  EXPECT_EQ(selected(), (Paths{{0, 0}}));
  s.cv->selectItemAtIndexPath(std::nullopt, 1, false);
  EXPECT_EQ(selected(), (Paths{{0, 0}}));
}

TEST_F(Clicks, SelectAllAndDeselectAllGoThroughEveryItemInOrder) {
  s.cv->selectAllItems();
  const Paths all = s.cv->allIndexPaths();
  EXPECT_EQ(selected(), all);
  EXPECT_EQ(s.delegate->log.size(), 2 * all.size());
  for (const auto& [path, cell] : s.cv->visibleCellsMap()) EXPECT_TRUE(cell->isSelected()) << describe(path);
  // Selected again: each is asked and told again, and keeps its place.
  click({2, 1}, Qt::ControlModifier);
  s.cv->selectAllItems();
  EXPECT_EQ(selected(), (Paths{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}, {0, 8}, {2, 0}, {2, 2},
                               {2, 1}}));
  s.cv->deselectAllItems();
  EXPECT_TRUE(selected().empty());
  EXPECT_FALSE(s.cv->cellForItemAtIndexPath(CLIndexPath{0, 4})->isSelected());
  // Without empty selections the last one stays.
  s.cv->selectAllItems();
  s.cv->setAllowsEmptySelection(false);
  s.cv->deselectAllItems();
  EXPECT_EQ(selected(), (Paths{{2, 2}}));
}

TEST_F(Clicks, ArrowKeysMoveTheSelectionAndScrollItIntoSight) {
  click({0, 1});
  auto& keys = pointer;
  keys.modifiers = Qt::NoModifier;
  keys.key(Qt::Key_Down);
  EXPECT_EQ(s.cv->indexPathForSelectedItem(), (CLIndexPath{0, 4}));
  keys.key(Qt::Key_Right);
  EXPECT_EQ(s.cv->indexPathForSelectedItem(), (CLIndexPath{0, 5}));
  keys.key(Qt::Key_Down);
  keys.key(Qt::Key_Down);  // over the empty section into the next one
  EXPECT_EQ(selected(), (Paths{{2, 2}}));
  // Nothing further down, nothing after the last item: the selection stays.
  keys.key(Qt::Key_Down);
  keys.key(Qt::Key_Right);
  EXPECT_EQ(selected(), (Paths{{2, 2}}));
  keys.key(Qt::Key_Left, {}, Qt::ShiftModifier);
  EXPECT_EQ(selected(), (Paths{{2, 2}, {2, 1}}));
  // A refused target is not selected, but the others still go.
  s.delegate->refuseSelect = {{0, 7}};
  keys.key(Qt::Key_Up);
  EXPECT_TRUE(selected().empty());
  s.delegate->refuseSelect.clear();

  // In a shorter view, the item the keys reach glides into sight.
  s.window->setContentSize({560, 200});
  s.settle();
  click({0, 1});
  s.cv->setAnimatesSelection(true);
  keys.key(Qt::Key_Down);
  EXPECT_TRUE(s.cv->clipView()->isScrolling());
  for (int i = 0; i < 200 && s.cv->clipView()->isScrolling(); ++i) s.cv->clipView()->frameTimer().fire();
  s.settle();
  EXPECT_TRUE(s.cv->visibleDocumentRect().contains(s.cv->rectForItemAtIndexPath(CLIndexPath{0, 4})));
  EXPECT_TRUE(s.cv->cellForItemAtIndexPath(CLIndexPath{0, 4})->isSelected());
}

TEST(ScrollToItem, EachPositionPutsTheItemWhereItSays) {
  Scene s(560, 300, {60});  // rows of 150: item 30 is at y 1500
  auto& cv = *s.cv;
  auto originFor = [&](int position) {
    s.scrollTo(600);
    cv.scrollToItemAtIndexPath(CLIndexPath{0, 30}, position, false);
    s.settle();
    return cv.visibleDocumentRect().minY();
  };
  EXPECT_EQ(originFor(CLCollectionView::kScrollPositionNone), 600);
  EXPECT_EQ(originFor(CLCollectionView::kScrollPositionNearest), 1500 + 150 - 300);
  EXPECT_EQ(originFor(CLCollectionView::kScrollPositionTop), 1500);
  EXPECT_EQ(originFor(CLCollectionView::kScrollPositionMiddle), 1500 - 150);  // its top at the middle
  // Bottom: the item's bottom on the visible bottom.
  EXPECT_EQ(originFor(CLCollectionView::kScrollPositionBottom), 1650 - 300);
  // From below, nearest brings its top edge in.
  s.scrollTo(3000);
  cv.scrollToItemAtIndexPath(CLIndexPath{0, 30}, CLCollectionView::kScrollPositionNearest, false);
  EXPECT_EQ(cv.visibleDocumentRect().minY(), 1500);
  EXPECT_TRUE(cv.cellForItemAtIndexPath(CLIndexPath{0, 30}) || (s.settle(), cv.cellForItemAtIndexPath(CLIndexPath{0, 30})));
  // Ends of the document.
  cv.scrollToEndOfDocument();
  EXPECT_EQ(cv.visibleDocumentRect().maxY(), cv.collectionViewDocumentView()->frame().height());
  cv.scrollToBeginningOfDocument();
  EXPECT_EQ(cv.visibleDocumentRect().minY(), 0);
}

TEST(AnimatedScroll, GlidesToTheDestinationAndCallsItsCompletionOnce) {
  Scene s(560, 300, {60});
  auto* clip = s.cv->clipView();
  int calls = 0;
  bool result = false;
  EXPECT_TRUE(clip->scrollRectToVisible(ui::Rect(0, 2000, 10, 10), true, [&](bool ok) {
    ++calls;
    result = ok;
  }));
  EXPECT_TRUE(clip->isScrolling());
  EXPECT_EQ(s.cv->visibleDocumentRect().minY(), 0);  // nothing moved yet
  double last = 0;
  int frames = 0;
  while (clip->isScrolling() && frames < 500) {
    clip->frameTimer().fire();
    const double y = s.cv->visibleDocumentRect().minY();
    EXPECT_GE(y, last);
    last = y;
    ++frames;
    // Each frame lays out the cells of where it is.
    s.settle();
    ASSERT_TRUE(cltest::visibleSetIsSound(*s.cv));
  }
  EXPECT_LT(frames, 100);
  EXPECT_EQ(s.cv->visibleDocumentRect().minY(), 2010 - 300);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(result);
  clip->frameTimer().fire();
  EXPECT_EQ(calls, 1);

  // Nothing to scroll: the completion comes at once with false, and the
  // animation request does not linger for the next scroll.
  EXPECT_FALSE(clip->scrollRectToVisible(ui::Rect(0, 1800, 10, 10), true, [&](bool ok) {
    ++calls;
    result = ok;
  }));
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(result);
  EXPECT_FALSE(clip->shouldAnimateOriginChange());
  clip->scrollToPoint({0, 100});
  EXPECT_FALSE(clip->isScrolling());
  EXPECT_EQ(s.cv->visibleDocumentRect().minY(), 100);

  // An immediate scroll stops a glide without its completion.
  clip->scrollRectToVisible(ui::Rect(0, 3000, 10, 10), true, [&](bool) { ++calls; });
  clip->frameTimer().fire();
  clip->scrollToPoint({0, 50});
  EXPECT_FALSE(clip->isScrolling());
  EXPECT_EQ(calls, 2);
}

TEST(AnimatedScroll, AGlideWhoseDocumentShrinksEndsAtTheNearestReachableOffset) {
  // Rows of 150 in a view 300 tall. The glide heads for y 1710; three frames
  // in, the data is reloaded with fewer items.
  struct Case {
    int64_t items;
    double end;
  };
  const Case cases[] = {
      {36, 1800 - 300},  // the new end is still ahead: the glide goes on to it
      {12, 600 - 300},   // the offset is past the new end already
      {3, 0},            // everything fits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.items);
    Scene s(560, 300, {60});
    auto* clip = s.cv->clipView();
    int calls = 0;
    bool result = false;
    clip->scrollRectToVisible(ui::Rect(0, 2000, 10, 10), true, [&](bool ok) {
      ++calls;
      result = ok;
    });
    for (int i = 0; i < 3; ++i) clip->frameTimer().fire();
    s.source->counts = {c.items};
    s.cv->reloadData();
    s.settle();
    for (int i = 0; i < 1000 && clip->isScrolling(); ++i) {
      clip->frameTimer().fire();
      s.settle();
    }
    EXPECT_FALSE(clip->isScrolling());
    EXPECT_EQ(s.cv->visibleDocumentRect().minY(), c.end);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(result);
    EXPECT_TRUE(cltest::visibleSetIsSound(*s.cv));
  }
}

TEST(AnimatedScroll, RatesAreClampedAndAViewOutOfAWindowStops) {
  Scene s(560, 300, {60});
  auto* clip = s.cv->clipView();
  EXPECT_EQ(clip->decelerationRate(), 0.78);
  clip->setDecelerationRate(1.5);
  EXPECT_EQ(clip->decelerationRate(), 1);
  // A rate of 1 never moves: the glide ends at once where it is, with true.
  bool result = false;
  clip->scrollRectToVisible(ui::Rect(0, 1000, 10, 10), true, [&](bool ok) { result = ok; });
  clip->frameTimer().fire();
  EXPECT_TRUE(result);
  EXPECT_FALSE(clip->isScrolling());
  EXPECT_EQ(s.cv->visibleDocumentRect().minY(), 0);
  // A rate of 0 jumps at the first frame and ends at the next.
  clip->setDecelerationRate(-1);
  EXPECT_EQ(clip->decelerationRate(), 0);
  clip->scrollRectToVisible(ui::Rect(0, 1000, 10, 10), true);
  clip->frameTimer().fire();
  EXPECT_EQ(s.cv->visibleDocumentRect().minY(), 1010 - 300);
  EXPECT_TRUE(clip->isScrolling());
  clip->frameTimer().fire();
  EXPECT_FALSE(clip->isScrolling());

  // Out of its window the glide stops at the first frame, without completion.
  clip->setDecelerationRate(0.78);
  int calls = 0;
  clip->scrollRectToVisible(ui::Rect(0, 3000, 10, 10), true, [&](bool) { ++calls; });
  s.cv->removeFromSuperview();
  clip->frameTimer().fire();
  EXPECT_FALSE(clip->isScrolling());
  EXPECT_EQ(calls, 0);
}

TEST(Cells, SelectionCrossFadesOnlyOnAChangeAndHoverFollowsThePointer) {
  Scene s(560, 320, {9});
  auto cell = s.cv->cellForItemAtIndexPath(CLIndexPath{0, 0});
  ASSERT_TRUE(cell);
  cell->setSelected(true, true);
  EXPECT_TRUE(cell->backgroundView()->hasFadeTransition());
  cell->prepareForReuse();
  EXPECT_FALSE(cell->backgroundView()->hasFadeTransition());
  cell->setSelected(true, true);  // no change, no fade
  EXPECT_FALSE(cell->backgroundView()->hasFadeTransition());
  // A fade ends after its duration; a cell dropped mid-fade takes it along.
  auto& clock = ui::AnimationClock::shared();
  clock.setManual(true);
  const size_t listeners = clock.subscriberCount();
  cell->setSelected(false, true);
  clock.advance(0.1);
  EXPECT_TRUE(cell->backgroundView()->hasFadeTransition());
  clock.advance(0.2);
  EXPECT_FALSE(cell->backgroundView()->hasFadeTransition());
  {
    auto loose = ui::View::create<CLCollectionViewCell>(ui::Rect(0, 0, 50, 50));
    loose->setSelected(true, true);
    EXPECT_EQ(clock.subscriberCount(), listeners + 1);
  }
  EXPECT_EQ(clock.subscriberCount(), listeners);
  clock.advance(0.5);
  clock.setManual(false);

  // Content view made once, replaced cleanly, always above the background.
  auto content = cell->contentView();
  EXPECT_EQ(cell->contentView(), content);
  cell->setContentView(ui::View::create<ui::View>());
  EXPECT_EQ(content->superview(), nullptr);
  EXPECT_EQ(cell->subviews().front(), cell->backgroundView());
  EXPECT_EQ(cell->backgroundView()->frame(), cell->bounds());
  // With nothing to paint the background stays out of the repaints.
  EXPECT_TRUE(cell->backgroundView()->isHidden());
  cell->setBackgroundColor(ui::Color::redColor());
  EXPECT_FALSE(cell->backgroundView()->isHidden());
  EXPECT_EQ(cell->backgroundView()->layer().backgroundColor(), ui::Color::redColor());

  // Hover: entering a cell sets it and clears it on the others.
  ui::testing::Pointer pointer(*s.window);
  pointer.move(s.centreOf({0, 0}));
  pointer.move(s.centreOf({0, 1}));
  int hovered = 0;
  for (const auto& c : s.cv->visibleCells()) hovered += c->isHovered();
  EXPECT_EQ(hovered, 1);
  EXPECT_TRUE(s.cv->cellForItemAtIndexPath(CLIndexPath{0, 1})->isHovered());

  // A triple click: one double-click message.
  pointer.wait(1000);
  for (int i = 0; i < 3; ++i) pointer.click(s.centreOf({0, 1}));
  int doubles = 0;
  for (const auto& line : s.delegate->log) doubles += line == "double (0, 1)";
  EXPECT_EQ(doubles, 1);
}

}  // namespace
