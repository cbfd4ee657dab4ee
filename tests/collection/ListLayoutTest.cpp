// The list: rows stacked with spacing, sections with headers and footers
// shown as supplementary views (and skipped when the data source has none),
// sticky headers pushed up by the next one, and rows found by their edges.
#include <gtest/gtest.h>

#include "collection/CollectionTestSupport.h"
#include "layout/collection/CLCollectionViewListLayout.h"

namespace {

using cltest::Scene;
using List = CLCollectionViewListLayout;

class Heights : public CLCollectionViewListLayoutDelegate {
public:
  double heightForHeaderInSection(CLCollectionView&, int64_t) override { return header; }
  double heightForFooterInSection(CLCollectionView&, int64_t) override { return footer; }
  std::optional<double> heightForRowAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    if (p.item == 1 && tallSecondRow) return 100.0;
    return std::nullopt;
  }
  double header = 0, footer = 0;
  bool tallSecondRow = false;
};

// Supplies headers and footers; none for the footer of section `noFooterIn`.
class SupplementarySource : public cltest::Source {
public:
  using Source::Source;
  bool providesSupplementaryViews() const override { return true; }
  std::shared_ptr<CLCollectionViewReusableView> viewForSupplementaryViewOfKind(CLCollectionView& cv,
                                                                              const std::string& kind,
                                                                              int64_t section) override {
    if (kind == List::kFooterKind && section == noFooterIn) return nullptr;
    return cv.dequeueReusableSupplementaryViewOfKind(kind, "s");
  }
  int64_t noFooterIn = -1;
};

struct ListScene {
  explicit ListScene(std::vector<int64_t> counts, double height = 200) {
    list = std::make_shared<List>();
    heights = std::make_shared<Heights>();
    list->setDelegate(heights);
    scene = std::make_unique<Scene>(300, height, counts, list);
    source = std::make_shared<SupplementarySource>(counts);
    scene->cv->registerClassForSupplementaryView([] { return ui::View::create<CLCollectionViewReusableView>(); },
                                                 List::kHeaderKind, "s");
    scene->cv->registerClassForSupplementaryView([] { return ui::View::create<CLCollectionViewReusableView>(); },
                                                 List::kFooterKind, "s");
    scene->cv->setDataSource(source);
  }
  void reload() {
    scene->cv->reloadData();
    scene->settle();
  }
  ui::Rect header(int64_t section) {
    return scene->cv->rectForSupplementaryViewWithKind(List::kHeaderKind, section);
  }
  std::shared_ptr<List> list;
  std::shared_ptr<Heights> heights;
  std::unique_ptr<Scene> scene;
  std::shared_ptr<SupplementarySource> source;
};

TEST(ListLayout, RowsStackWithSpacingAndSectionsTakeTheirHeadersAndFooters) {
  ListScene s({3, 0, 2});
  s.list->setVerticalSpacing(4);
  s.reload();
  const auto& sec = s.list->sections();
  ASSERT_EQ(sec.size(), 3u);
  EXPECT_EQ(sec[0].height, 140);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(s.scene->cv->rectForItemAtIndexPath(cl_indexPathForItem(i, 0)), ui::Rect(0, 48.0 * i, 300, 44));

  s.heights->header = 20;
  s.heights->footer = 10.9;  // whole points only
  s.heights->tallSecondRow = true;
  s.reload();
  EXPECT_EQ(sec[0].height, 20 + 44 + 4 + 100 + 4 + 44 + 10);
  EXPECT_EQ(sec[1].height, 30);  // an empty section: header and footer
  EXPECT_EQ(sec[1].offset, sec[0].height);
  EXPECT_EQ(s.scene->cv->rectForItemAtIndexPath(cl_indexPathForItem(2, 0)), ui::Rect(0, 20 + 152, 300, 44));
  EXPECT_EQ(s.scene->cv->rectForSupplementaryViewWithKind(List::kFooterKind, 0), ui::Rect(0, 216, 300, 10));
  EXPECT_EQ(s.header(2), ui::Rect(0, sec[2].offset, 300, 20));
  // Supplementary views lie above cells.
  EXPECT_EQ(s.list->layoutAttributesForSupplementaryItemInSection(0, List::kHeaderKind)->zIndex, INT64_MAX);
  EXPECT_FALSE(s.list->layoutAttributesForItemAtIndexPath(cl_indexPathForItem(3, 0)));
  EXPECT_FALSE(s.list->layoutAttributesForItemAtIndexPath(cl_indexPathForItem(0, 3)));
}

TEST(ListLayout, RowsInARectangleAreFoundByItsTopAndBottomEdges) {
  struct Case {
    double y, height;
    std::vector<int64_t> rows;
  };
  struct Layout {
    double header, spacing;  // rows of 44 start at header + i * (44 + spacing)
    std::vector<Case> cases;
  };
  const Layout layouts[] = {
      {0,
       0,
       {
           {88, 10, {2}},                                // the top on a row's start
           {100, 50, {2, 3}},                            // both edges inside rows
           {0, 88, {0, 1}},                              // the bottom on a row's start: that row is out
           {0, 440, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},     // all of them, to the section's end
           {500, 50, {}},
       }},
      {20,
       4,
       {
           {116, 10, {2}},
           {130, 50, {2, 3}},
           {120, 44, {2}},     // the bottom on the start of row 3
           {120, 42, {2}},     // the bottom in the gap after row 2
           {0, 20, {}},        // the header only: the bottom on the start of row 0
           {0, 21, {0}},
       }},
  };
  for (const auto& layout : layouts) {
    ListScene s({10});
    s.heights->header = layout.header;
    s.list->setVerticalSpacing(layout.spacing);
    s.reload();
    for (const auto& c : layout.cases) {
      std::vector<CLIndexPath> expected;
      for (int64_t r : c.rows) expected.push_back({0, r});
      EXPECT_EQ(s.list->indexPathsForItemsInRect(ui::Rect(0, c.y, 300, c.height)).value(), expected)
          << "header " << layout.header << ", rectangle from " << c.y << " down " << c.height;
    }
  }
}

TEST(ListLayout, HeadersAndFootersAreShownAndAMissingOneIsSkipped) {
  ListScene s({2, 2}, 400);
  s.heights->header = 20;
  s.heights->footer = 10;
  s.source->noFooterIn = 0;
  s.reload();
  auto& cv = *s.scene->cv;
  // Three of the four: the data source had no footer for section 0.
  EXPECT_EQ(cv.visibleSupplementaryViewsMap().size(), 3u);
  EXPECT_FALSE(cv.supplementaryViewForKind(List::kFooterKind, "s", 0));
  auto header1 = cv.supplementaryViewForKind(List::kHeaderKind, "s", 1);
  ASSERT_TRUE(header1);
  EXPECT_EQ(header1->frame(), s.header(1));
  EXPECT_EQ(header1->kind(), List::kHeaderKind);
  EXPECT_EQ(header1->superview(), cv.collectionViewDocumentView().get());

  // Scrolled out, a header leaves the document view and waits in the pool.
  s.scene->window->setContentSize({300, 60});
  s.scene->settle();
  s.scene->scrollTo(s.header(1).minY() + 30);
  EXPECT_FALSE(cv.supplementaryViewForKind(List::kHeaderKind, "s", 0));
  EXPECT_EQ(cv.dequeueReusableSupplementaryViewOfKind(List::kHeaderKind, "s")->superview(), nullptr);
}

TEST(ListLayout, StickyHeadersStayOnTopUntilTheNextOnePushesThemUp) {
  ListScene s({5, 5, 5}, 100);
  s.heights->header = 20;
  s.list->setStickyHeaders(true);
  s.reload();
  auto& cv = *s.scene->cv;
  const double top1 = s.list->sections()[1].offset;  // 240
  s.scene->scrollTo(top1 + 50);
  // Section 1's header is pinned at the visible top, and its view follows.
  EXPECT_EQ(s.header(1).minY(), top1 + 50);
  EXPECT_EQ(cv.supplementaryViewForKind(List::kHeaderKind, "s", 1)->frame().minY(), top1 + 50);
  // Section 0's header went up ahead of it.
  EXPECT_LE(s.header(0).maxY(), s.header(1).minY());
  // Section 2's header arrives and pushes section 1's up.
  const double top2 = s.list->sections()[2].offset;
  s.scene->scrollTo(top2 - 5);
  EXPECT_EQ(s.header(2).minY(), top2);
  EXPECT_EQ(s.header(1).minY(), top2 - 20);
  // The last section's header stays pinned however far it goes.
  s.scene->scrollTo(10000);
  EXPECT_EQ(s.header(2).minY(), cv.visibleDocumentRect().minY());
}

}  // namespace
