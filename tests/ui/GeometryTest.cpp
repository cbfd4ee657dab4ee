// Rectangles: the null rectangle, half-open containment, unions, overlaps.
#include <gtest/gtest.h>

#include "platform/ui/Geometry.h"

namespace ui {
namespace {

TEST(Geometry, NullRectIsTheIdentityOfUnionAndOverlapsNothing) {
  const Rect a(10, 20, 30, 40);
  EXPECT_EQ(rectUnion(Rect::null(), a), a);
  EXPECT_EQ(rectUnion(a, Rect::null()), a);
  EXPECT_TRUE(rectUnion(Rect::null(), Rect::null()).isNull());
  EXPECT_FALSE(rectIntersects(Rect::null(), a));
  EXPECT_FALSE(rectIntersects(Rect::null(), Rect::infinite()));
  EXPECT_TRUE(rectIntersection(a, Rect::null()).isNull());
  EXPECT_FALSE(Rect::null().contains(Point{0, 0}));
  // The zero rectangle is not null: a union with it takes in the origin.
  EXPECT_EQ(rectUnion(Rect::zero(), a), Rect(0, 0, 40, 60));
}

TEST(Geometry, ContainmentIsMinInclusiveMaxExclusive) {
  const Rect r(0, 0, 10, 10);
  EXPECT_TRUE(rectContainsPoint(r, {0, 0}));
  EXPECT_TRUE(rectContainsPoint(r, {9.999, 9.999}));
  EXPECT_FALSE(rectContainsPoint(r, {10, 5}));
  EXPECT_FALSE(rectContainsPoint(r, {5, 10}));
  EXPECT_FALSE(rectContainsPoint(Rect(5, 5, 0, 10), {5, 6}));
  // A point on the shared edge of two neighbours belongs to one of them only.
  const Rect right(10, 0, 10, 10);
  EXPECT_NE(r.contains(Point{10, 3}), right.contains(Point{10, 3}));
  EXPECT_TRUE(r.contains(Rect(0, 0, 10, 10)));
  EXPECT_FALSE(r.contains(Rect(1, 1, 10, 1)));
}

TEST(Geometry, OverlapsAndUnionsOfStandardisedRectangles) {
  const Rect a(0, 0, 10, 10);
  EXPECT_EQ(rectIntersection(a, Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
  EXPECT_FALSE(rectIntersects(a, Rect(10, 0, 5, 5)));  // shares an edge only
  EXPECT_TRUE(rectIntersection(a, Rect(20, 20, 1, 1)).isNull());
  // A negative size stands for the same area on the other side of the origin.
  const Rect neg(10, 10, -10, -10);
  EXPECT_EQ(neg, a);
  EXPECT_EQ(neg.minX(), 0);
  EXPECT_EQ(neg.maxY(), 10);
  EXPECT_EQ(rectUnion(neg, Rect(20, 0, 5, 5)), Rect(0, 0, 25, 10));
}

TEST(Geometry, InsetOffsetAndIntegral) {
  const Rect a(0, 0, 100, 50);
  EXPECT_EQ(a.insetBy(10, 5), Rect(10, 5, 80, 40));
  EXPECT_TRUE(a.insetBy(60, 0).isNull());
  EXPECT_EQ(a.offsetBy(3, -4), Rect(3, -4, 100, 50));
  // The top inset sits at the low y edge only in a flipped frame of reference.
  const EdgeInsets in{1, 2, 3, 4};
  EXPECT_EQ(a.inset(in, true), Rect(2, 1, 94, 46));
  EXPECT_EQ(a.inset(in, false), Rect(2, 3, 94, 46));
  EXPECT_EQ(Rect(0.5, 0.2, 1, 1).integral(), Rect(0, 0, 2, 2));
  EXPECT_EQ(a.midX(), 50);
  EXPECT_EQ(a.midY(), 25);
}

}  // namespace
}  // namespace ui
