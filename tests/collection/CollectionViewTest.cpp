// The collection view's data, reuse and layout pass: cells come back from the
// pool and never two for one item (a wheel's line is a row of items), reloads
// with fewer, more and no items, items that vanish without a reload, weakly
// held data source and delegate, a layout that answers nothing, and pictures
// of a scrolled grid, one of a document far taller than any widget may be.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWidget>

#include "collection/CollectionTestSupport.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "ui/ViewTestSupport.h"

namespace {

using cltest::CountingCell;
using cltest::Scene;
using cltest::visibleSetIsSound;

std::set<CLIndexPath> shown(const CLCollectionView& cv) {
  std::set<CLIndexPath> s;
  for (const auto& [p, c] : cv.visibleCellsMap()) s.insert(p);
  return s;
}

std::set<CLIndexPath> expectedVisible(const CLCollectionView& cv) {
  auto v = cv.indexPathsForItemsInRect(cv.visibleDocumentRect());
  return {v.begin(), v.end()};
}

TEST(CollectionView, NothingIsAskedOrLaidOutBeforeTheFirstReload) {
  auto window = ui::Window::create(ui::Rect(0, 0, 400, 300));
  auto cv = ui::View::create<CLCollectionView>(ui::Rect(0, 0, 400, 300));
  window->contentView()->addSubview(cv);
  auto source = std::make_shared<cltest::Source>(std::vector<int64_t>{10});
  cv->setDataSource(source);
  cv->setCollectionViewLayout(std::make_shared<CLCollectionViewGridLayout>());
  window->layoutIfNeeded();
  EXPECT_EQ(source->countQueries, 0);
  EXPECT_TRUE(cv->visibleCellsMap().empty());
  cv->reloadData();
  EXPECT_FALSE(cv->visibleCellsMap().empty());
  // A new layout after loading reloads at once.
  cv->setCollectionViewLayout(std::make_shared<CLCollectionViewGridLayout>());
  EXPECT_EQ(cv->collectionViewLayout()->collectionView(), cv);
  EXPECT_TRUE(visibleSetIsSound(*cv));
  window->close();
}

TEST(CollectionView, ScrollingReusesCellsAndKeepsOneLiveCellPerItem) {
  Scene s(560, 300, {200});  // 3 columns of 180 x 150; 2 to 3 rows in sight
  auto& cv = *s.cv;
  EXPECT_EQ(shown(cv), expectedVisible(cv));
  // A line of the wheel is a row of items.
  ui::Event line(ui::EventType::ScrollWheel, {50, 50}, s.window.get());
  line.setDeltas(0, -1, false);
  cv.scrollWheel(line);
  EXPECT_EQ(cv.visibleDocumentRect().origin.y, 150);

  for (double y = 0; y <= 3000; y += 37) {
    s.scrollTo(y);
    ASSERT_TRUE(visibleSetIsSound(cv)) << "at " << y;
    ASSERT_EQ(shown(cv), expectedVisible(cv)) << "at " << y;
  }
  // However far it went, the cells made are about what one screen needs.
  EXPECT_LE(cv.collectionViewDocumentView()->subviews().size(), 15u);

  // Row 0 scrolls out: its cells are hidden in place, pooled, and reused
  // for row 3; coming back, row 0 gets the same cells again, prepared each
  // time they were dequeued, and nothing new enters the document.
  s.scrollTo(0);
  std::set<CLCollectionViewCell*> before;
  for (const auto& c : cv.visibleCells()) before.insert(c.get());
  const size_t inDocument = cv.collectionViewDocumentView()->subviews().size();
  auto first = std::dynamic_pointer_cast<CountingCell>(cv.cellForItemAtIndexPath(CLIndexPath{0, 0}));
  ASSERT_TRUE(first);
  const int prepared = first->prepared;
  s.scrollTo(160);
  EXPECT_FALSE(cv.cellForItemAtIndexPath(CLIndexPath{0, 0}));
  EXPECT_TRUE(before.count(cv.cellForItemAtIndexPath(CLIndexPath{0, 9}).get()));
  s.scrollTo(0);
  std::set<CLCollectionViewCell*> after;
  for (const auto& c : cv.visibleCells()) after.insert(c.get());
  EXPECT_EQ(after, before);
  EXPECT_EQ(first->prepared, prepared + 2);
  EXPECT_FALSE(first->isHidden());
  EXPECT_EQ(cv.collectionViewDocumentView()->subviews().size(), inDocument);
  // The items that left were told about, with the paths they had.
  EXPECT_FALSE(s.delegate->ended.empty());
}

TEST(CollectionView, ReloadWithFewerMoreAndNoItems) {
  Scene s(560, 300, {12});
  auto& cv = *s.cv;
  s.scrollTo(300);
  EXPECT_EQ(shown(cv), expectedVisible(cv));

  // Fewer: the document shrinks, the offset follows, and no cell stays for
  // an item that left.
  s.source->counts = {4};
  cv.reloadData();
  s.settle();
  EXPECT_EQ(cv.numberOfItemsInSection(0), 4);
  EXPECT_TRUE(visibleSetIsSound(cv));
  EXPECT_EQ(shown(cv), expectedVisible(cv));
  EXPECT_EQ(cv.collectionViewDocumentView()->frame().size, (ui::Size{560, 300}));

  // More, in more sections.
  s.source->counts = {30, 2};
  cv.reloadData();
  s.scrollTo(2000);
  EXPECT_TRUE(visibleSetIsSound(cv));
  EXPECT_EQ(shown(cv), expectedVisible(cv));
  EXPECT_TRUE(shown(cv).count(CLIndexPath{1, 1}));

  // None at all, and no sections.
  for (auto counts : {std::vector<int64_t>{0}, std::vector<int64_t>{}}) {
    s.source->counts = counts;
    cv.reloadData();
    s.settle();
    EXPECT_TRUE(cv.visibleCellsMap().empty());
    EXPECT_EQ(cv.collectionViewDocumentView()->frame().size, (ui::Size{560, 300}));
    EXPECT_FALSE(cv.firstIndexPath());
    EXPECT_FALSE(cv.lastIndexPath());
    EXPECT_TRUE(visibleSetIsSound(cv));
  }
}

TEST(CollectionView, ItemsThatVanishWithoutAReloadLeaveAtTheNextPass) {
  Scene s(560, 600, {12});
  auto& cv = *s.cv;
  ASSERT_EQ(cv.visibleCellsMap().size(), 12u);
  s.delegate->ended.clear();
  // The data shrinks and the width changes (the grid prepares again with
  // the new count): the cells of the vanished items leave.
  s.source->counts = {5};
  s.window->setContentSize({400, 600});
  s.settle();
  EXPECT_EQ(cv.numberOfItemsInSection(0), 5);
  EXPECT_EQ(cv.visibleCellsMap().size(), 5u);
  EXPECT_EQ(s.delegate->ended.size(), 7u);
  EXPECT_TRUE(visibleSetIsSound(cv));
}

TEST(CollectionView, GapsFromTheDataSourceAndEmptyIdentifiers) {
  Scene s(560, 300, {6});
  auto& cv = *s.cv;
  s.source->gap = CLIndexPath{0, 1};
  cv.reloadData();
  EXPECT_FALSE(cv.cellForItemAtIndexPath(CLIndexPath{0, 1}));
  EXPECT_EQ(cv.visibleCellsMap().size(), 5u);
  // With no identifier there is no pool: every dequeue makes a new cell.
  auto a = cv.dequeueReusableCellWithIdentifier("");
  cv.enqueueReusableCell(a, "");
  EXPECT_NE(cv.dequeueReusableCellWithIdentifier(""), a);
  // Registrations replace one another; the default is the base cell.
  cv.registerNib([] { return ui::View::create<CLCollectionViewCell>(); }, cltest::kCellId);
  EXPECT_FALSE(std::dynamic_pointer_cast<CountingCell>(cv.dequeueReusableCellWithIdentifier("cell")));
  EXPECT_EQ(cv.dequeueReusableCellWithIdentifier("other")->reuseIdentifier(), "other");
}

// Reloads from inside the data source's and the delegate's calls.
class ReloadingSource : public cltest::Source {
public:
  using Source::Source;
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& p) override {
    if (reloadsLeft > 0 && p.item == 4) {
      --reloadsLeft;
      counts = {3};
      cv.reloadData();
    }
    return Source::cellForItemAtIndexPath(cv, p);
  }
  int reloadsLeft = 0;
};

TEST(CollectionView, AReloadFromInsideTheDataSourceLeavesASoundVisibleSet) {
  Scene s(560, 600, {12});
  auto source = std::make_shared<ReloadingSource>(std::vector<int64_t>{12});
  s.cv->setDataSource(source);
  source->reloadsLeft = 1;
  s.cv->reloadData();
  EXPECT_EQ(s.cv->visibleCellsMap().size(), 3u);
  EXPECT_TRUE(visibleSetIsSound(*s.cv));
}

TEST(CollectionView, DataSourceAndDelegateAreHeldWeakly) {
  Scene s(560, 300, {6});
  std::weak_ptr<cltest::Source> weakSource = s.source;
  std::weak_ptr<cltest::Delegate> weakDelegate = s.delegate;
  s.source.reset();
  s.delegate.reset();
  EXPECT_TRUE(weakSource.expired());
  EXPECT_TRUE(weakDelegate.expired());
  // Without them the view keeps what it shows and answers no one.
  s.scrollTo(200);
  s.cv->selectItemAtIndexPath(CLIndexPath{0, 1}, false);
  s.cv->reloadData();
  EXPECT_EQ(s.cv->indexPathsForSelectedItems().size(), 0u);
}

TEST(CollectionView, ALayoutThatAnswersNothing) {
  Scene s(400, 300, {3, 2}, std::make_shared<CLCollectionViewLayout>());
  auto& cv = *s.cv;
  EXPECT_EQ(cv.rectForSection(0), ui::Rect::zero());
  EXPECT_TRUE(cv.indexPathsForItemsInRect(ui::Rect(0, 0, 400, 300)).empty());
  EXPECT_TRUE(cv.visibleCellsMap().empty());
  EXPECT_EQ(cv.collectionViewDocumentView()->frame().size, (ui::Size{400, 300}));
  // Arrows keep the selection where it is.
  cv.selectItemAtIndexPath(CLIndexPath{1, 1}, false);
  cv.moveDown();
  EXPECT_EQ(cv.indexPathForSelectedItem(), (CLIndexPath{1, 1}));
  // Index paths: section first, then item.
  EXPECT_LT(cl_indexPathForItem(5, 0), cl_indexPathForItem(0, 1));
  EXPECT_EQ(cl_section(cl_indexPathForItem(3, 1)), 1);
  EXPECT_FALSE(cv.validateIndexPath(CLIndexPath{2, 0}));
  EXPECT_FALSE(cv.validateIndexPath(CLIndexPath{0, 3}));
  EXPECT_FALSE(cv.validateIndexPath(CLIndexPath{-1, 0}));
  EXPECT_EQ(cv.numberOfItemsInSection(-1), 0);
  EXPECT_EQ(cv.rectForSupplementaryViewWithKind("k", 2), ui::Rect::zero());
}

// A layout that only places items: the collection view unites their frames
// into sections and the document, and scans for the visible ones itself.
class RowsOnlyLayout : public CLCollectionViewLayout {
public:
  std::optional<CLCollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const CLIndexPath& p) override {
    CLCollectionViewLayoutAttributes a;
    a.frame = ui::Rect(10, 20 + 50.0 * double(p.section * 100 + p.item), 200, 50);
    a.alpha = 1;
    return a;
  }
};

class ValueDelegate : public cltest::Delegate {
public:
  bool providesObjectValues() const override { return true; }
  std::any objectValueForItemAtIndexPath(CLCollectionView&, const CLIndexPath& p) override {
    return "item " + describe(p);
  }
};

TEST(CollectionView, ALayoutThatOnlyPlacesItemsAndObjectValues) {
  Scene s(400, 300, {20, 3}, std::make_shared<RowsOnlyLayout>());
  auto& cv = *s.cv;
  auto delegate = std::make_shared<ValueDelegate>();
  cv.setDelegate(delegate);
  cv.reloadData();
  EXPECT_EQ(cv.rectForSection(0), ui::Rect(10, 20, 200, 1000));
  EXPECT_EQ(cv.rectForSection(1), ui::Rect(10, 5020, 200, 150));
  // The union's size, not its far corner, and never less than the view.
  EXPECT_EQ(cv.collectionViewDocumentView()->frame().size, (ui::Size{400, 5150}));
  EXPECT_EQ(shown(cv), (std::set<CLIndexPath>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}));
  auto cell = cv.cellForItemAtIndexPath(CLIndexPath{0, 2});
  EXPECT_EQ(std::any_cast<std::string>(cell->objectValue()), "item (0, 2)");
  EXPECT_EQ(cv.indexPathForItemAtPoint({50, 130}), (CLIndexPath{0, 2}));
  EXPECT_FALSE(cv.indexPathForItemAtPoint({300, 130}));
  s.scrollTo(5000);
  EXPECT_TRUE(shown(cv).count(CLIndexPath{1, 2}));
  // Cells that left hold no value any more; shown ones hold their own.
  for (const auto& v : cv.collectionViewDocumentView()->subviews()) {
    auto* c = dynamic_cast<CLCollectionViewCell*>(v.get());
    if (!c) continue;
    if (c->isHidden()) {
      EXPECT_FALSE(c->objectValue().has_value());
    } else {
      EXPECT_EQ(std::any_cast<std::string>(c->objectValue()), "item " + describe(*c->indexPath()));
    }
  }
  EXPECT_TRUE(visibleSetIsSound(cv));
}

// A parameter cell as the module editor shows them.
class KnobCell : public CLCollectionViewCell {
public:
  using CLCollectionViewCell::CLCollectionViewCell;
  bool isFlipped() const override { return true; }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect&) override {
    const ui::Rect b = bounds().insetBy(4, 4);
    ctx.setFillColor(isSelected() ? ui::Color::rgb255(70, 110, 170) : ui::Color::rgb255(60, 60, 66));
    ctx.fillPath(ui::BezierPath::bezierPathWithRoundedRect(b, 10, 10));
    const auto item = indexPath() ? indexPath()->item : -1;
    ctx.drawString(ui::AttributedString("Param " + std::to_string(item), ui::Font::systemFontOfSize(14),
                                        ui::Color::whiteColor()),
                   ui::Rect(b.minX() + 10, b.minY() + 10, b.width() - 20, 20), ui::UsesLineFragmentOrigin);
    ctx.drawString(ui::AttributedString(std::to_string(item * 7 % 100), ui::Font::systemFontOfSize(28),
                                        ui::Color::whiteColor()),
                   ui::Rect(b.minX() + 10, b.midY() - 10, b.width() - 20, 40), ui::UsesLineFragmentOrigin);
  }
};

TEST(CollectionView, PictureOfAGridScrolledToTheMiddle) {
  Scene s(560, 400, {60});
  auto& cv = *s.cv;
  cv.registerClass<KnobCell>(cltest::kCellId);
  cv.setBackgroundColor(ui::Color::rgb255(30, 30, 34));
  cv.reloadData();
  const double middle = (cv.collectionViewDocumentView()->frame().height() - 400) / 2;  // row 9.5 of 20
  s.scrollTo(middle);
  cv.selectItemAtIndexPath(CLIndexPath{0, 31}, false);
  s.settle();
  const QImage img = s.window->widget()->grab().toImage();
  const QString dir = QCoreApplication::applicationDirPath() + "/../test-output";
  QDir().mkpath(dir);
  ASSERT_TRUE(img.save(dir + "/collection-grid-middle.png"));
  // The cells shown are those of the middle rows, and only they.
  EXPECT_EQ(shown(cv), expectedVisible(cv));
  EXPECT_TRUE(shown(cv).count(CLIndexPath{0, 30}));
  EXPECT_FALSE(shown(cv).count(CLIndexPath{0, 0}));
  // A cell's paint lands where the layout put it: the selected cell's inside.
  const ui::Point c = s.centreOf(CLIndexPath{0, 31});
  const double dpr = img.devicePixelRatio();
  const QColor px = img.pixelColor(int((c.x - 70) * dpr), int((400 - c.y + 50) * dpr));
  EXPECT_EQ(px, QColor(70, 110, 170));
}

QImage grabAndSave(ui::Window& window, const char* name) {
  const QImage img = window.widget()->grab().toImage();
  const QString dir = QCoreApplication::applicationDirPath() + "/../test-output";
  QDir().mkpath(dir);
  EXPECT_TRUE(img.save(dir + "/" + name));
  return img;
}

// The colour painted at a point of the document, where a cell has no text.
std::string paintedInCell(const Scene& s, const QImage& img, const CLIndexPath& p) {
  const ui::Rect r = s.cv->rectForItemAtIndexPath(p);
  const ui::Point w = s.inWindow({r.maxX() - 10, r.maxY() - 30});
  const double dpr = img.devicePixelRatio();
  return img.pixelColor(int(w.x * dpr), int((s.window->contentSize().height - w.y) * dpr)).name().toStdString();
}

TEST(CollectionView, AMillionItemsArePaintedDownToTheLast) {
  // 333,334 rows of 150: a document of 50,000,100 points, three times what
  // one widget may be tall.
  Scene s(560, 400, {1'000'000});
  auto& cv = *s.cv;
  cv.registerClass<KnobCell>(cltest::kCellId);
  cv.setBackgroundColor(ui::Color::rgb255(30, 30, 34));
  cv.reloadData();
  const CLIndexPath last{0, 999'999};
  cv.scrollToItemAtIndexPath(last, CLCollectionView::kScrollPositionNearest, false);
  s.settle();
  EXPECT_EQ(cv.visibleDocumentRect().maxY(), 50'000'100);
  ASSERT_TRUE(cv.cellForItemAtIndexPath(last));
  QImage img = grabAndSave(*s.window, "collection-grid-million-end.png");
  for (const auto& p : {last, CLIndexPath{0, 999'996}, CLIndexPath{0, 999'995}})
    EXPECT_EQ(paintedInCell(s, img, p), QColor(60, 60, 66).name().toStdString()) << describe(p);
  // A click there reaches that cell.
  ui::testing::Pointer pointer(*s.window);
  pointer.click(s.centreOf(last));
  s.settle();
  EXPECT_EQ(cv.indexPathForSelectedItem(), last);
  img = s.window->widget()->grab().toImage();
  EXPECT_EQ(paintedInCell(s, img, last), QColor(70, 110, 170).name().toStdString());
  // And back at the top, the first rows.
  cv.scrollToBeginningOfDocument();
  s.settle();
  img = s.window->widget()->grab().toImage();
  EXPECT_EQ(paintedInCell(s, img, CLIndexPath{0, 0}), QColor(60, 60, 66).name().toStdString());
}

}  // namespace
