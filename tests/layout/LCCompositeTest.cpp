// Composite statements: fan-out of chain words by attribute, keys, the update
// flag, attribute words on a composite and on its children.
#include <gtest/gtest.h>

#include "layout/LCCompositeConstraint.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewConstraint.h"
#include "layout/LayoutTestSupport.h"

using namespace lctest;
using ui::LayoutAttribute;

namespace {
std::shared_ptr<LCCompositeConstraint> composite(const LCConstraintRef& r) {
  return std::dynamic_pointer_cast<LCCompositeConstraint>(r.get());
}
std::shared_ptr<LCViewConstraint> child(const std::shared_ptr<LCCompositeConstraint>& c, size_t i) {
  return std::dynamic_pointer_cast<LCViewConstraint>(c->childConstraints().at(i));
}
}  // namespace

TEST(LCCompositeConstraint, EdgesSizeAndCenterFanOutByAttribute) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto panel = addChild(content);
  auto inner = addChild(panel);
  auto badge = addChild(panel);
  auto maker = LCConstraintMaker::make(*panel);
  auto edges = composite(maker->edges().equalTo(content).insets({10, 20, 30, 40}));
  ASSERT_EQ(edges->childConstraints().size(), 4u);
  const LayoutAttribute order[] = {LayoutAttribute::Left, LayoutAttribute::Right, LayoutAttribute::Top,
                                   LayoutAttribute::Bottom};
  const double constants[] = {20, -40, 10, -30};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(child(edges, i)->firstViewAttribute().layoutAttribute(), order[i]);
    EXPECT_EQ(child(edges, i)->secondViewAttribute()->layoutAttribute(), order[i]);
    EXPECT_EQ(child(edges, i)->layoutConstant(), constants[i]);
  }
  // An offset on edges is the same everywhere, not inward.
  LCConstraintRef(edges).offset(5);
  EXPECT_EQ(child(edges, 1)->layoutConstant(), 5);
  LCConstraintRef(edges).insets({10, 20, 30, 40});
  maker->install();
  panel->setTranslatesAutoresizingMaskIntoConstraints(false);

  lc_makeConstraints(*inner, [&](LCConstraintMaker& make) {
    make.edges().equalTo(ui::EdgeInsets{5, 5, 5, 5});  // boxed insets: to the superview
  });
  std::shared_ptr<LCCompositeConstraint> size;
  lc_makeConstraints(*badge, [&](LCConstraintMaker& make) {
    size = composite(make.size().equalTo(ui::Size{40, 20}));
    make.center().equalTo(panel).centerOffset({10, -10});
  });
  EXPECT_FALSE(child(size, 0)->secondViewAttribute().has_value());
  window->layoutIfNeeded();
  EXPECT_EQ(panel->frame(), ui::Rect(20, 10, 340, 260));
  EXPECT_EQ(inner->frame(), ui::Rect(5, 5, 330, 250));
  // Centre 10 right of and 10 above the panel's (the panel is y-up).
  EXPECT_EQ(badge->frame(), ui::Rect(160, 130, 40, 20));

  // Multipliers reach both sizes.
  auto other = addChild(content);
  lc_makeConstraints(*other, [&](LCConstraintMaker& make) {
    make.size().equalTo(panel).multipliedBy(0.5);
    make.left().top().equalTo(content);
  });
  window->layoutIfNeeded();
  EXPECT_EQ(other->frame(), ui::Rect(0, 0, 170, 130));
}

TEST(LCCompositeConstraint, KeysUpdateFlagAndAttributeWords) {
  auto root = ui::View::create();
  auto v = addChild(root);
  auto maker = LCConstraintMaker::make(*v);
  auto edges = composite(maker->edges().key("box"));
  EXPECT_EQ(edges->lc_key(), "box");
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(child(edges, i)->lc_key(), "box[" + std::to_string(i) + "]");

  // An attribute word on a composite extends it and returns it; on one of its
  // children it adds a sibling and returns the new child.
  auto extended = maker->size().width();
  auto size = composite(extended);
  ASSERT_EQ(size->childConstraints().size(), 3u);
  auto added = LCConstraintRef(size->childConstraints()[0]).height();
  EXPECT_EQ(size->childConstraints().size(), 4u);
  EXPECT_EQ(added.get(), size->childConstraints()[3]);
  // A nested composite passes its key on.
  auto outer = LCCompositeConstraint::make({child(edges, 0), size});
  LCConstraintRef(outer).key("k");
  EXPECT_EQ(size->lc_key(), "k[1]");
  EXPECT_EQ(child(size, 0)->lc_key(), "k[1][0]");

  // install() hands the composite's update flag to every child.
  child(size, 0)->updateExisting = false;
  size->updateExisting = true;
  LCConstraintRef(size).equalTo(10);
  size->install();
  for (auto& c : size->childConstraints()) EXPECT_TRUE(c->updateExisting);

  // Empty composites accept every word and install nothing.
  auto empty = LCCompositeConstraint::make({});
  LCConstraintRef(empty).equalTo(LCValue::Array{}).offset(3).insets({1, 1, 1, 1}).priorityLow().key("e").animator();
  empty->install();
  empty->uninstall();
  EXPECT_TRUE(empty->childConstraints().empty());
  // A composite whose owner has gone cannot make children: it stays as it is.
  auto orphan = LCCompositeConstraint::make({LCViewConstraint::make(lc_left(v))});
  EXPECT_EQ(LCConstraintRef(orphan).top().get(), orphan);
  EXPECT_EQ(orphan->childConstraints().size(), 1u);
  EXPECT_FALSE(LCConstraintRef(orphan->childConstraints()[0]).top());
}
