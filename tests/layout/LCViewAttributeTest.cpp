// View attributes, the per-view additions and value boxing.
#include <gtest/gtest.h>

#include <unordered_set>

#include "layout/LCValue.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewAttribute.h"
#include "layout/LCViewConstraint.h"
#include "layout/LayoutTestSupport.h"

using namespace lctest;
using ui::LayoutAttribute;

TEST(LCViewAttribute, EqualityAndHashFollowViewIdentityAndAttribute) {
  auto a = ui::View::create();
  auto b = ui::View::create();
  EXPECT_TRUE(lc_width(a).isSizeAttribute());
  EXPECT_TRUE(lc_height(*a).isSizeAttribute());
  EXPECT_FALSE(lc_centerX(a).isSizeAttribute());
  EXPECT_EQ(lc_left(a), lc_left(a));
  EXPECT_EQ(lc_left(a).hash(), lc_left(*a).hash());
  EXPECT_FALSE(lc_left(a) == lc_left(b));
  EXPECT_FALSE(lc_left(a) == lc_right(a));
  EXPECT_EQ(lc_attribute(*a)(LayoutAttribute::Baseline), lc_baseline(a));
  std::unordered_set<LCViewAttribute> set{lc_top(a), lc_top(a), lc_top(b), lc_bottom(a)};
  EXPECT_EQ(set.size(), 3u);

  // Every attribute word names its own attribute.
  const std::pair<LCViewAttribute, LayoutAttribute> words[] = {
      {lc_left(a), LayoutAttribute::Left},          {lc_right(a), LayoutAttribute::Right},
      {lc_top(a), LayoutAttribute::Top},            {lc_bottom(a), LayoutAttribute::Bottom},
      {lc_leading(a), LayoutAttribute::Leading},    {lc_trailing(a), LayoutAttribute::Trailing},
      {lc_width(a), LayoutAttribute::Width},        {lc_height(a), LayoutAttribute::Height},
      {lc_centerX(a), LayoutAttribute::CenterX},    {lc_centerY(a), LayoutAttribute::CenterY},
      {lc_baseline(a), LayoutAttribute::Baseline}};
  for (auto& [attr, value] : words) {
    EXPECT_EQ(attr.layoutAttribute(), value);
    EXPECT_EQ(attr.view(), a);
    EXPECT_EQ(attr.item(), a);
  }

  // The view is held weakly: once gone, the attribute holds null, which
  // equals another null attribute of the same kind and hashes to the attribute.
  LCViewAttribute gone = lc_left(b);
  b.reset();
  EXPECT_EQ(gone.view(), nullptr);
  EXPECT_EQ(gone, LCViewAttribute(nullptr, LayoutAttribute::Left));
  EXPECT_EQ(gone.hash(), size_t(1));
  EXPECT_FALSE(gone == lc_left(a));
}

TEST(LCViewAdditions, ClosestCommonSuperviewKeyAndInstalledSet) {
  auto root = ui::View::create();
  auto parent = addChild(root);
  auto kid = addChild(parent);
  auto sibling = addChild(parent);
  auto grand = addChild(kid);
  auto other = ui::View::create();
  EXPECT_EQ(lc_closestCommonSuperview(kid.get(), kid.get()), kid.get());
  EXPECT_EQ(lc_closestCommonSuperview(grand.get(), parent.get()), parent.get());
  EXPECT_EQ(lc_closestCommonSuperview(parent.get(), grand.get()), parent.get());
  EXPECT_EQ(lc_closestCommonSuperview(kid.get(), sibling.get()), parent.get());
  EXPECT_EQ(lc_closestCommonSuperview(grand.get(), sibling.get()), parent.get());
  EXPECT_EQ(lc_closestCommonSuperview(kid.get(), nullptr), nullptr);
  EXPECT_EQ(lc_closestCommonSuperview(kid.get(), other.get()), nullptr);

  EXPECT_EQ(lc_key(*kid), "");
  setLc_key(*kid, "kid");
  EXPECT_EQ(lc_key(*kid), "kid");
  EXPECT_EQ(lc_key(*sibling), "");

  auto set = lc_installedConstraints(*kid);
  EXPECT_EQ(set, lc_installedConstraints(*kid));
  EXPECT_EQ(set->count(), 0u);
  EXPECT_NE(set, lc_installedConstraints(*sibling));
  // The set does not keep its view alive, and goes with it.
  std::weak_ptr<LCInstalledConstraints> weakSet = set;
  std::weak_ptr<ui::View> weakView = other;
  auto otherSet = lc_installedConstraints(*other);
  otherSet->add(LCViewConstraint::make(lc_width(other)));
  std::weak_ptr<LCInstalledConstraints> weakOther = otherSet;
  otherSet.reset();
  other.reset();
  EXPECT_TRUE(weakView.expired());
  EXPECT_TRUE(weakOther.expired());
}

TEST(LCWrapTypedValue, BoxesByTypeAndByEncoding) {
  LCValue d = LCWrapTypedValue(44.5);
  ASSERT_NE(d.number(), nullptr);
  EXPECT_EQ(d.number()->doubleValue(), 44.5);
  EXPECT_EQ(d.objCType(), "d");
  EXPECT_EQ(LCWrapTypedValue(ui::Size{3, 4}).objCType(), "{CGSize=dd}");
  EXPECT_EQ(LCWrapTypedValue(ui::Point{3, 4}).objCType(), "{CGPoint=dd}");
  EXPECT_EQ(LCWrapTypedValue(ui::EdgeInsets{1, 2, 3, 4}).objCType(), "{NSEdgeInsets=dddd}");
  EXPECT_TRUE(LCWrapTypedValue(std::shared_ptr<ui::View>()).isNil());
  auto v = ui::View::create();
  EXPECT_EQ(LCWrapTypedValue(v).view(), v);
  EXPECT_EQ(LCWrapTypedValue(true).objCType(), "B");
  EXPECT_EQ(LCWrapTypedValue(short(-3)).objCType(), "s");
  EXPECT_EQ(LCWrapTypedValue(uint64_t(1) << 60).number()->doubleValue(), double(uint64_t(1) << 60));
  EXPECT_EQ(LCWrapTypedValue(2.5f).objCType(), "f");

  // Keyed by encoding, with the conversions a call through that type makes.
  EXPECT_EQ(LCWrapTypedValue("d", 44.5).number()->doubleValue(), 44.5);
  EXPECT_TRUE(LCWrapTypedValue("B", 2).number()->boolValue());
  EXPECT_EQ(LCWrapTypedValue("B", 2).objCType(), "B");
  EXPECT_EQ(LCWrapTypedValue("s", 70000).number()->doubleValue(), double(int16_t(70000)));
  EXPECT_EQ(LCWrapTypedValue("c", 300).number()->doubleValue(), 44);
  EXPECT_EQ(LCWrapTypedValue("C", -1).number()->doubleValue(), 255);
  EXPECT_EQ(LCWrapTypedValue("i", 7.9).number()->doubleValue(), 7);
  EXPECT_EQ(LCWrapTypedValue("@", v).view(), v);
  EXPECT_TRUE(LCWrapTypedValue("@", std::shared_ptr<ui::View>()).isNil());
  EXPECT_TRUE(LCWrapTypedValue("*", 5).isNil());
  EXPECT_TRUE(LCWrapTypedValue("dd", 5.0).isNil());
  EXPECT_TRUE(LCWrapTypedValue("@", 5).isNil());
  EXPECT_TRUE(LCWrapTypedValue("{CGPoint=dd}", ui::Size{1, 2}).isNil());
  EXPECT_EQ(LCWrapTypedValue("{CGSize=dd}", ui::Size{1, 2}).size()->height, 2);
  // A value too large for any integer does not become undefined behaviour.
  EXPECT_EQ(LCWrapTypedValue("q", 1e300).number()->doubleValue(), 0);
}
