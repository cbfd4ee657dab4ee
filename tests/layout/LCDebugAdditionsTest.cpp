// Constraint descriptions: items by class and key or address, attributes,
// relations and well-known priorities in words, constants with and without a
// second attribute.
#include <gtest/gtest.h>

#include <cstdio>

#include "layout/LCConstraintMaker.h"
#include "layout/LCDebugAdditions.h"
#include "layout/LCLayoutConstraint.h"
#include "layout/LCViewAdditions.h"
#include "layout/LayoutTestSupport.h"

using namespace lctest;
using ui::LayoutAttribute;
using ui::LayoutRelation;

namespace {
std::string address(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  return buf;
}
std::shared_ptr<LCLayoutConstraint> make(ui::View* a, LayoutAttribute a1, LayoutRelation r, ui::View* b,
                                         LayoutAttribute a2, double m, double c, float priority = 1000,
                                         const std::string& key = {}) {
  auto k = ui::LayoutConstraint::constraintWithItem<LCLayoutConstraint>(a, a1, r, b, a2, m, c);
  k->setPriority(priority);
  k->setLc_key(key);
  return k;
}
}  // namespace

TEST(LCDebugAdditions, DescriptionsOfConstraints) {
  LCDebugAdditions::install();
  auto button = ui::View::create<Button>();
  setLc_key(*button, "b");
  auto a = ui::View::create();
  setLc_key(*a, "a");
  auto c = ui::View::create();
  setLc_key(*c, "c");

  EXPECT_EQ(make(button.get(), LayoutAttribute::Width, LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute,
                 1, 44, 250, "w")
                ->description(),
            "<LCLayoutConstraint:w Button:b.width == 44 ^low>");
  EXPECT_EQ(make(a.get(), LayoutAttribute::Left, LayoutRelation::Equal, c.get(), LayoutAttribute::Right, 0.5, -8, 1000,
                 "k")
                ->description(),
            "<LCLayoutConstraint:k View:a.left == View:c.right * 0.5 - 8>");
  // No second attribute: the constant even when 0, with no sign word.
  EXPECT_EQ(make(a.get(), LayoutAttribute::Height, LayoutRelation::GreaterThanOrEqual, nullptr,
                 LayoutAttribute::NotAnAttribute, 1, 0, 1000, "h")
                ->description(),
            "<LCLayoutConstraint:h View:a.height >= 0>");
  // A second attribute and a zero constant: none printed; a positive one with +.
  EXPECT_EQ(make(a.get(), LayoutAttribute::Top, LayoutRelation::LessThanOrEqual, c.get(), LayoutAttribute::Bottom, 1, 0,
                 300, "t")
                ->description(),
            "<LCLayoutConstraint:t View:a.top <= View:c.bottom ^300>");
  EXPECT_EQ(make(a.get(), LayoutAttribute::CenterY, LayoutRelation::Equal, c.get(), LayoutAttribute::CenterY, 2, 1.5,
                 50, "y")
                ->description(),
            "<LCLayoutConstraint:y View:a.centerY == View:c.centerY * 2 + 1.5 ^fitting size>");
  EXPECT_EQ(make(a.get(), LayoutAttribute::Baseline, LayoutRelation::Equal, c.get(), LayoutAttribute::Leading, 1, 2,
                 499.5f, "z")
                ->description(),
            "<LCLayoutConstraint:z View:a.baseline == View:c.leading + 2 ^499.5>");

  // Unkeyed items and constraints print their class and address; platform
  // constraints made outside the language are described the same way.
  auto bare = ui::View::create();
  auto plain = ui::LayoutConstraint::constraintWithItem(bare.get(), LayoutAttribute::Trailing, LayoutRelation::Equal,
                                                        a.get(), LayoutAttribute::Trailing, 1, -3);
  EXPECT_EQ(plain->description(), "<LayoutConstraint:" + address(plain.get()) + " View:" + address(bare.get()) +
                                      ".trailing == View:a.trailing - 3>");
  EXPECT_EQ(LCDebugAdditions::descriptionForObject(nullptr), "(null)");

  // Tables.
  EXPECT_EQ(LCDebugAdditions::layoutAttributeDescriptionsByValue().size(), 11u);
  EXPECT_EQ(LCDebugAdditions::layoutPriorityDescriptionsByValue().at(510.f), "drag can resize window");
  EXPECT_EQ(LCDebugAdditions::layoutPriorityDescriptionsByValue().at(490.f), "drag cannot resize window");
  EXPECT_EQ(LCDebugAdditions::layoutPriorityDescriptionsByValue().at(500.f), "window size stay put");
  EXPECT_EQ(LCDebugAdditions::layoutRelationDescriptionsByValue().at(-1), "<=");
}

TEST(LCDebugAdditions, KeysFromStatementsReachTheLog) {
  LogCapture log;
  auto window = flippedWindow(200, 100);
  auto v = addChild(window->contentView());
  setLc_key(*v, "panel");
  lc_makeConstraints(*v, [](LCConstraintMaker& make) {
    make.width().equalTo(50).key("fixed");
    make.width().equalTo(60).key("clash");
  });
  window->layoutIfNeeded();
  EXPECT_TRUE(log.has("Unable to simultaneously satisfy constraints"));
  EXPECT_TRUE(log.has("<LCLayoutConstraint:clash View:panel.width == 60>"));
  EXPECT_TRUE(log.has("<LCLayoutConstraint:fixed View:panel.width == 50>"));
}
