// The grid: columns and padding at several widths, margins and item sizes,
// sections with headers, footers and insets, the rows and columns a
// rectangle meets, arrow neighbours, and what a resize re-prepares.
#include <gtest/gtest.h>

#include "collection/CollectionTestSupport.h"

namespace {

using cltest::Scene;

std::shared_ptr<CLCollectionViewGridLayout> gridOf(const Scene& s) {
  return std::static_pointer_cast<CLCollectionViewGridLayout>(s.cv->collectionViewLayout());
}

std::vector<double> firstRowX(const Scene& s, int n) {
  std::vector<double> xs;
  for (int i = 0; i < n; ++i) xs.push_back(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(i, 0)).minX());
  return xs;
}

TEST(GridLayout, ColumnsAndPaddingFollowWidthMarginAndItemSize) {
  struct Case {
    double width;
    double itemWidth;
    double margin;
    bool padding;
    uint64_t columns;
    double pad;
    std::vector<double> xs;
  };
  const Case cases[] = {
      {560, 180, 0, true, 3, 5, {5, 190, 375}},
      {560, 180, 0, false, 3, 0, {0, 180, 360}},
      {400, 90, 10, true, 3, 10, {10, 110, 210}},  // a margin turns the spreading off
      {593, 180, 0, false, 3, 0, {0, 180, 360}},   // the module editor's grid
      {100, 180, 0, true, 1, 0, {0}},              // narrower than one item
      {800, 180, 0, true, 4, 16, {16, 212, 408, 604}},
  };
  for (const auto& c : cases) {
    Scene s(c.width, 300, {20});
    auto grid = gridOf(s);
    s.gridDelegate->size = {c.itemWidth, 150};
    grid->setItemHorizontalMargin(c.margin);
    grid->setItemPaddingEnabled(c.padding);
    s.cv->reloadData();
    SCOPED_TRACE(c.width);
    EXPECT_EQ(grid->numberOfColumns(), c.columns);
    EXPECT_EQ(grid->itemPadding(), c.pad);
    EXPECT_EQ(firstRowX(s, int(c.xs.size())), c.xs);
    // The next item starts the second row.
    EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(int64_t(c.columns), 0)),
              ui::Rect(c.xs[0], 150, c.itemWidth, 150));
  }
}

TEST(GridLayout, DegenerateWidthsAndSizesGiveOneColumnAndNoNegativeGeometry) {
  // No width at all, a margin wider than the view, items of no width or of
  // a negative size: one column, finite frames, nothing negative.
  const ui::Size sizes[] = {{180, 150}, {0, 0}, {-40, -10}};
  for (double width : {0.0, 5.0}) {
    for (auto size : sizes) {
      Scene s(width, 200, {5});
      auto grid = gridOf(s);
      grid->setItemHorizontalMargin(10);
      grid->setVerticalSpacing(-500);
      s.gridDelegate->size = size;
      s.cv->reloadData();
      EXPECT_EQ(grid->numberOfColumns(), 1u);
      for (const auto& path : s.cv->allIndexPaths()) {
        const ui::Rect r = s.cv->rectForItemAtIndexPath(path);
        EXPECT_GE(r.width(), 0);
        EXPECT_GE(r.height(), 0);
        EXPECT_TRUE(std::isfinite(r.minX()) && std::isfinite(r.minY()));
      }
      EXPECT_GE(grid->sections()[0].height, 0);
      // Rows of no height: the rows in a rectangle are still bounded.
      const auto paths = s.cv->indexPathsForItemsInRect(ui::Rect(0, 0, 1000, 1e300));
      EXPECT_LE(paths.size(), 5u);
      EXPECT_TRUE(cltest::visibleSetIsSound(*s.cv));
    }
  }
}

TEST(GridLayout, SectionsStackInsetsHeadersRowsAndFooters) {
  Scene s(560, 400, {7, 0, 2});
  auto grid = gridOf(s);
  s.gridDelegate->header = 20.7;  // whole points only
  s.gridDelegate->footer = 10;
  s.gridDelegate->inset = {5, 3, 7, 0};
  grid->setVerticalSpacing(4);
  s.cv->reloadData();
  const auto& sec = grid->sections();
  ASSERT_EQ(sec.size(), 3u);
  // Seven items in three columns: three rows.
  EXPECT_EQ(sec[0].headerHeight, 20);
  EXPECT_EQ(sec[0].offset, 5 + 20);
  EXPECT_EQ(sec[0].height, 3 * 150 + 2 * 4);
  EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(6, 0)), ui::Rect(3 + 0, 25 + 2 * 154, 180, 150));
  // An empty section has no rows but keeps its header, footer and insets.
  const double afterFirst = 25 + 458 + 10 + 7;
  EXPECT_EQ(sec[1].height, 0);
  EXPECT_EQ(sec[1].offset, afterFirst + 5 + 20);
  EXPECT_EQ(sec[2].offset, sec[1].offset + 10 + 7 + 5 + 20);
  // Header above the rows, footer below them.
  EXPECT_EQ(s.cv->rectForSupplementaryViewWithKind(CLCollectionViewGridLayout::kHeaderKind, 0),
            ui::Rect(0, 5, 560, 20));
  EXPECT_EQ(s.cv->rectForSupplementaryViewWithKind(CLCollectionViewGridLayout::kFooterKind, 0),
            ui::Rect(0, 25 + 458, 560, 10));
  // Invalid sections and items answer nothing.
  EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(7, 0)), ui::Rect::zero());
  EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(0, 3)), ui::Rect::zero());
  EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(-1, 0)), ui::Rect::zero());
  EXPECT_FALSE(grid->layoutAttributesForItemAtIndexPath(cl_indexPathForItem(0, 9)));
  EXPECT_FALSE(grid->layoutAttributesForItemAtIndexPath(cl_indexPathForItem(9, 0)));
  EXPECT_FALSE(grid->layoutAttributesForSupplementaryItemInSection(-1, CLCollectionViewGridLayout::kHeaderKind));
}

TEST(GridLayout, ItemsInARectangleAreThoseItMeetsInReadingOrder) {
  Scene s(560, 300, {10});  // padding off: columns at 0, 180, 360; rows every 150
  // The second row and the first two columns.
  EXPECT_EQ(s.cv->indexPathsForItemsInRect(ui::Rect(0, 160, 200, 100)),
            (std::vector<CLIndexPath>{{0, 3}, {0, 4}, {0, 6}, {0, 7}}));
  // The last row holds one item only.
  EXPECT_EQ(s.cv->indexPathsForItemsInRect(ui::Rect(0, 460, 560, 50)), (std::vector<CLIndexPath>{{0, 9}}));
  EXPECT_TRUE(s.cv->indexPathsForItemsInRect(ui::Rect(0, 700, 560, 50)).empty());
  EXPECT_TRUE(s.cv->indexPathsForItemsInRect(ui::Rect::zero()).empty());
}

TEST(GridLayout, ArrowNeighboursAcrossRowsSectionsAndRowSpacings) {
  // Sections of 7 and 5 items in three columns (x 0, 180, 360) of 180 x 150.
  // Up and down look one point past the item's edge, then an item height
  // further: rows spaced by more than one point are found by the second
  // look, rows spaced by more than an item height and a point are not.
  using D = CLCollectionViewLayout;
  const CLOptionalIndexPath none;
  struct Case {
    CLIndexPath from;
    int64_t direction;
    CLOptionalIndexPath to;
  };
  struct Spacing {
    double spacing;
    std::vector<Case> cases;
  };
  const Spacing spacings[] = {
      {0,
       {
           {{0, 1}, D::kDirectionDown, CLIndexPath{0, 4}},
           {{0, 4}, D::kDirectionUp, CLIndexPath{0, 1}},
           {{0, 2}, D::kDirectionRight, CLIndexPath{0, 3}},
           {{0, 3}, D::kDirectionLeft, CLIndexPath{0, 2}},
           {{0, 1}, D::kDirectionLeft, CLIndexPath{0, 0}},  // the second item of a section
           {{1, 1}, D::kDirectionLeft, CLIndexPath{1, 0}},
           {{1, 0}, D::kDirectionLeft, CLIndexPath{0, 6}},  // back into the previous section
           {{0, 6}, D::kDirectionRight, CLIndexPath{1, 0}},
           {{0, 0}, D::kDirectionLeft, none},
           {{1, 4}, D::kDirectionRight, none},
           {{0, 1}, D::kDirectionUp, none},
           {{0, 5}, D::kDirectionDown, CLIndexPath{1, 2}},  // nothing below in its section: one row further
           {{1, 4}, D::kDirectionDown, none},
           {{0, 0}, 9, none},
       }},
      {4,
       {
           {{0, 1}, D::kDirectionDown, CLIndexPath{0, 4}},
           {{0, 4}, D::kDirectionUp, CLIndexPath{0, 1}},
           {{1, 3}, D::kDirectionUp, CLIndexPath{1, 0}},
           {{0, 6}, D::kDirectionDown, CLIndexPath{1, 0}},  // sections are not spaced
           {{1, 0}, D::kDirectionUp, CLIndexPath{0, 6}},
       }},
      {150.5,
       {
           {{0, 1}, D::kDirectionDown, CLIndexPath{0, 4}},
           {{0, 4}, D::kDirectionUp, CLIndexPath{0, 1}},
       }},
      {151.5,
       {
           {{0, 1}, D::kDirectionDown, none},
           {{0, 4}, D::kDirectionUp, none},
       }},
  };
  for (const auto& group : spacings) {
    Scene s(560, 300, {7, 5});
    auto grid = gridOf(s);
    grid->setVerticalSpacing(group.spacing);
    s.cv->reloadData();
    for (const auto& c : group.cases)
      EXPECT_EQ(grid->indexPathForNextItemInDirection(c.direction, c.from), c.to)
          << "spacing " << group.spacing << ", from " << describe(c.from) << " in direction " << c.direction;
  }
}

TEST(GridLayout, OnlyAWidthChangePreparesAgain) {
  Scene s(560, 300, {8});
  auto grid = gridOf(s);
  EXPECT_EQ(grid->numberOfColumns(), 3u);
  // The first size change after loading has no width to compare with yet.
  s.window->setContentSize({560, 450});
  s.settle();
  const int queries = s.source->countQueries;
  s.window->setContentSize({560, 500});
  s.settle();
  // The frames and document follow, but nothing was recounted.
  EXPECT_EQ(s.source->countQueries, queries);
  EXPECT_EQ(s.cv->collectionViewDocumentView()->frame().size, (ui::Size{560, 500}));
  s.window->setContentSize({500, 500});
  s.settle();
  EXPECT_GT(s.source->countQueries, queries);
  EXPECT_EQ(grid->numberOfColumns(), 2u);
  EXPECT_EQ(s.cv->rectForItemAtIndexPath(cl_indexPathForItem(2, 0)).origin, (ui::Point{0, 150}));
  EXPECT_EQ(s.cv->collectionViewDocumentView()->frame().size, (ui::Size{500, 600}));
  EXPECT_TRUE(cltest::visibleSetIsSound(*s.cv));
}

}  // namespace
