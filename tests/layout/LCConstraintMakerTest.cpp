// The maker and the entry points: statements in order, composites made by
// attribute words, masks and groups, make, update and remake on views and
// arrays, the common superview and both distributions, solved.
#include <gtest/gtest.h>

#include "layout/LCCompositeConstraint.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewConstraint.h"
#include "layout/LayoutTestSupport.h"

using namespace lctest;
using ui::LayoutAttribute;

namespace {
LayoutAttribute firstAttributeOf(const std::shared_ptr<LCConstraint>& c) {
  auto v = std::dynamic_pointer_cast<LCViewConstraint>(c);
  return v ? v->firstViewAttribute().layoutAttribute() : LayoutAttribute::NotAnAttribute;
}
std::vector<LayoutAttribute> childAttributes(const std::shared_ptr<LCConstraint>& c) {
  std::vector<LayoutAttribute> out;
  if (auto comp = std::dynamic_pointer_cast<LCCompositeConstraint>(c))
    for (auto& k : comp->childConstraints()) out.push_back(firstAttributeOf(k));
  return out;
}
size_t activeCount(const ui::View& v) { return v.constraints().size(); }
}  // namespace

TEST(LCConstraintMaker, StatementsComeBackInOrderWithCompositesAsOne) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto a = addChild(content);
  auto b = addChild(content);
  b->setTranslatesAutoresizingMaskIntoConstraints(true);
  auto made = lc_makeConstraints(*a, [&](LCConstraintMaker& make) {
    make.width().equalTo(40);
    make.left().right().equalTo(b);
    make.attributes(LCAttributeLeft | LCAttributeHeight | 1 | (1u << 20)).equalTo(b);
    make.center().equalTo(content);
  });
  EXPECT_FALSE(a->translatesAutoresizingMaskIntoConstraints());
  ASSERT_EQ(made.size(), 4u);
  EXPECT_EQ(firstAttributeOf(made[0]), LayoutAttribute::Width);
  EXPECT_EQ(childAttributes(made[1]), (std::vector{LayoutAttribute::Left, LayoutAttribute::Right}));
  auto pair = std::dynamic_pointer_cast<LCCompositeConstraint>(made[1]);
  auto right = std::dynamic_pointer_cast<LCViewConstraint>(pair->childConstraints()[1]);
  EXPECT_EQ(right->secondViewAttribute()->layoutAttribute(), LayoutAttribute::Right);
  EXPECT_EQ(right->secondViewAttribute()->view(), b);
  EXPECT_EQ(childAttributes(made[2]), (std::vector{LayoutAttribute::Left, LayoutAttribute::Height}));
  EXPECT_EQ(childAttributes(made[3]), (std::vector{LayoutAttribute::CenterX, LayoutAttribute::CenterY}));

  // An empty block installs nothing, and still turns translation off.
  EXPECT_TRUE(lc_makeConstraints(*b, [](LCConstraintMaker&) {}).empty());
  EXPECT_FALSE(b->translatesAutoresizingMaskIntoConstraints());
  // A mask with no known bit gives an empty composite, listed all the same.
  auto odd = lc_makeConstraints(*b, [](LCConstraintMaker& make) { make.attributes(1u << 20); });
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_TRUE(childAttributes(odd[0]).empty());
}

TEST(LCConstraintMaker, GroupsReachEveryStatementAndInstallThemOnce) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto a = addChild(content);
  LCConstraintRef group;
  auto made = lc_makeConstraints(*a, [&](LCConstraintMaker& make) {
    make.width().equalTo(10);
    group = make.group([&] {
      make.left().equalTo(content).offset(4);
      make.top().equalTo(content).offset(6);
    });
    group.priority(900).key("g");
    make.height().equalTo(12);
  });
  ASSERT_EQ(made.size(), 4u);  // the group's statements, not the group
  EXPECT_EQ(firstAttributeOf(made[1]), LayoutAttribute::Left);
  auto left = std::dynamic_pointer_cast<LCViewConstraint>(made[1]);
  EXPECT_EQ(left->layoutPriority(), 900);
  EXPECT_EQ(left->lc_key(), "g[0]");
  EXPECT_EQ(left->layoutConstraint()->priority(), 900);
  EXPECT_EQ(activeCount(*content), 2u);
  window->layoutIfNeeded();
  EXPECT_EQ(a->frame(), ui::Rect(4, 6, 10, 12));
  // An empty group.
  lc_makeConstraints(*a, [&](LCConstraintMaker& make) { EXPECT_TRUE(make.group([] {})); });
}

TEST(LCConstraintMaker, UpdateChangesConstantsAndRemakeReplacesTheViewsOwnStatements) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto a = addChild(content);
  auto b = addChild(content);
  lc_makeConstraints(*a, [&](LCConstraintMaker& make) {
    make.left().top().equalTo(content).offset(10);
    make.size().equalTo(ui::Size{50, 50});
  });
  // b refers to a; remaking a keeps b's statement.
  lc_makeConstraints(*b, [&](LCConstraintMaker& make) {
    make.left().equalTo(lc_right(a)).offset(5);
    make.top().equalTo(a);
    make.size().equalTo(a);
  });
  window->layoutIfNeeded();
  EXPECT_EQ(b->frame(), ui::Rect(65, 10, 50, 50));

  lc_updateConstraints(*a, [&](LCConstraintMaker& make) {
    make.left().equalTo(content).offset(30);
    make.width().equalTo(80);
  });
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*a).size(), 4u);
  window->layoutIfNeeded();
  EXPECT_EQ(a->frame(), ui::Rect(30, 10, 80, 50));
  EXPECT_EQ(b->frame(), ui::Rect(115, 10, 80, 50));

  auto old = LCViewConstraint::installedConstraintsForView(*a);
  lc_remakeConstraints(*a, [&](LCConstraintMaker& make) {
    make.right().bottom().equalTo(content).offset(-20);
    make.size().equalTo(ui::Size{40, 30});
  });
  for (auto& c : old) EXPECT_FALSE(c->layoutConstraint()->isActive());
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*a).size(), 4u);
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*b).size(), 4u);
  window->layoutIfNeeded();
  EXPECT_EQ(a->frame(), ui::Rect(340, 250, 40, 30));
  EXPECT_EQ(b->frame(), ui::Rect(385, 250, 40, 30));

  // The array forms: every view in order, results joined.
  auto c = addChild(content);
  auto all = lc_makeConstraints(std::vector<std::shared_ptr<ui::View>>{c, nullptr, b},
                                [&](LCConstraintMaker& make) { make.height().equalTo(7); });
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(std::dynamic_pointer_cast<LCViewConstraint>(all[0])->firstViewAttribute().view(), c);
  EXPECT_EQ(std::dynamic_pointer_cast<LCViewConstraint>(all[1])->firstViewAttribute().view(), b);
  lc_remakeConstraints(std::vector<std::shared_ptr<ui::View>>{c}, [&](LCConstraintMaker& make) {
    make.height().equalTo(8);
  });
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*c).size(), 1u);
  lc_updateConstraints(std::vector<std::shared_ptr<ui::View>>{c}, [&](LCConstraintMaker& make) {
    make.height().equalTo(9);
  });
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*c).at(0)->layoutConstraint()->constant(), 9);
}

TEST(LCDistribution, FixedSpacingAndFixedItemLengthAlongEitherAxis) {
  auto window = flippedWindow(1000, 600);
  auto content = window->contentView();
  auto row = ui::View::create<FlippedView>();
  content->addSubview(row);
  lc_makeConstraints(*row, [&](LCConstraintMaker& make) {
    make.left().top().equalTo(content);
    make.size().equalTo(ui::Size{320, 100});
  });
  std::vector<std::shared_ptr<ui::View>> three{addChild(row), addChild(row), addChild(row)};
  lc_distributeViewsAlongAxisWithFixedSpacing(three, 0, 2, 2, 2);
  lc_makeConstraints(three, [](LCConstraintMaker& make) {
    make.top().equalTo(0);
    make.height().equalTo(10);
  });
  window->layoutIfNeeded();
  EXPECT_EQ(three[0]->frame(), ui::Rect(2, 0, 104, 10));
  EXPECT_EQ(three[1]->frame(), ui::Rect(108, 0, 104, 10));
  EXPECT_EQ(three[2]->frame(), ui::Rect(214, 0, 104, 10));

  // Fixed length, two and four views; the middle ones get multipliers of a
  // third and two thirds and lie on the line between the first and the last.
  auto bar = ui::View::create<FlippedView>();
  content->addSubview(bar);
  lc_makeConstraints(*bar, [&](LCConstraintMaker& make) {
    make.left().equalTo(content).offset(100);
    make.top().equalTo(content).offset(200);
    make.size().equalTo(ui::Size{800, 50});
  });
  std::vector<std::shared_ptr<ui::View>> two{addChild(bar), addChild(bar)};
  lc_distributeViewsAlongAxisWithFixedItemLength(two, 0, 80, 30, 60);
  std::vector<std::shared_ptr<ui::View>> four{addChild(bar), addChild(bar), addChild(bar), addChild(bar)};
  lc_distributeViewsAlongAxisWithFixedItemLength(four, 0, 80, 30, 60);
  for (auto& v : four) {
    auto mine = LCViewConstraint::installedConstraintsForView(*v);
    if (v == four[1] || v == four[2]) {
      ASSERT_EQ(mine.size(), 2u);
      EXPECT_DOUBLE_EQ(mine[1]->layoutConstraint()->multiplier(), v == four[1] ? 1.0 / 3 : 2.0 / 3);
    }
  }
  lc_makeConstraints(std::vector<std::shared_ptr<ui::View>>{two[0], two[1], four[0], four[1], four[2], four[3]},
                     [](LCConstraintMaker& make) {
                       make.top().equalTo(0);
                       make.height().equalTo(20);
                     });
  window->layoutIfNeeded();
  EXPECT_EQ(two[0]->frame(), ui::Rect(30, 0, 80, 20));
  EXPECT_EQ(two[1]->frame(), ui::Rect(800 - 60 - 80, 0, 80, 20));
  // Rights at 110 and 740, and equal gaps of (740 - 110 - 3 * 80) / 3 = 130.
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(four[size_t(i)]->frame().minX(), 30 + i * 210) << i;

  // Any axis but 0 is vertical.
  auto column = ui::View::create<FlippedView>();
  content->addSubview(column);
  lc_makeConstraints(*column, [&](LCConstraintMaker& make) {
    make.right().top().equalTo(content);
    make.size().equalTo(ui::Size{50, 300});
  });
  std::vector<std::shared_ptr<ui::View>> stack{addChild(column), addChild(column)};
  lc_distributeViewsAlongAxisWithFixedSpacing(stack, 5, 10, 20, 30);
  lc_makeConstraints(stack, [](LCConstraintMaker& make) { make.left().right().equalTo(0); });
  window->layoutIfNeeded();
  EXPECT_EQ(stack[0]->frame(), ui::Rect(0, 20, 50, 120));
  EXPECT_EQ(stack[1]->frame(), ui::Rect(0, 150, 50, 120));

  // One view, or views without a common superview: nothing.
  auto lone = addChild(column);
  lc_distributeViewsAlongAxisWithFixedSpacing({lone}, 0, 1, 1, 1);
  lc_distributeViewsAlongAxisWithFixedItemLength({lone}, 1, 1, 1, 1);
  EXPECT_TRUE(lone->translatesAutoresizingMaskIntoConstraints());
  LogCapture log;
  auto stranger = ui::View::create();
  lc_distributeViewsAlongAxisWithFixedItemLength({lone, stranger}, 0, 10, 1, 1);
  EXPECT_TRUE(log.has("no common superview"));
  EXPECT_TRUE(lone->translatesAutoresizingMaskIntoConstraints());
}

TEST(LCConstraintMaker, CommonSuperviewOfViews) {
  auto root = ui::View::create();
  auto a = addChild(root);
  auto b = addChild(root);
  auto a1 = addChild(a);
  EXPECT_EQ(lc_commonSuperviewOfViews({a, b}), root.get());
  EXPECT_EQ(lc_commonSuperviewOfViews({a, a1}), a.get());
  EXPECT_EQ(lc_commonSuperviewOfViews({a1, b}), root.get());
  EXPECT_EQ(lc_commonSuperviewOfViews({a1}), a1.get());
  EXPECT_EQ(lc_commonSuperviewOfViews({nullptr, a1}), a1.get());
  EXPECT_EQ(lc_commonSuperviewOfViews({}), nullptr);
  EXPECT_EQ(lc_commonSuperviewOfViews({a, ui::View::create()}), nullptr);
}

namespace {
class Text : public ui::View {
public:
  double baselineOffsetFromBottom() const override { return 4; }
};
}  // namespace

TEST(LCConstraintMaker, LeadingTrailingAndBaselineSolveAsTheirEdges) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto box = addChild(content);
  auto text = ui::View::create<Text>();
  content->addSubview(text);
  lc_makeConstraints(*box, [&](LCConstraintMaker& make) {
    make.leading().equalTo(content).offset(20);
    make.trailing().equalTo(content).offset(-30);
    make.centerY().equalTo(content).offset(-50);
    make.height().equalTo(40);
  });
  lc_makeConstraints(*text, [&](LCConstraintMaker& make) {
    make.baseline().equalTo(lc_bottom(box));
    make.centerX().equalTo(lc_leading(box));
    make.size().equalTo(ui::Size{20, 10});
  });
  window->layoutIfNeeded();
  EXPECT_EQ(box->frame(), ui::Rect(20, 80, 350, 40));
  // The text's bottom is 4 below its baseline, which sits on the box's bottom.
  EXPECT_EQ(text->frame(), ui::Rect(10, 114, 20, 10));
}
