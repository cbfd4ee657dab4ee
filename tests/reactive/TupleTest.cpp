#include <gtest/gtest.h>

#include "ReactiveTestSupport.h"
#include "reactive/RSEvent.h"
#include "reactive/RSTuple.h"

using rstest::Values;

namespace {

TEST(TupleTest, NilElementsPackingGrowthAndEquality) {
  auto tuple = RSTuple::tupleWithObjects({"a", fnd::Value(), "b"});
  EXPECT_TRUE(tuple->objectAtIndex(1).isNil());
  EXPECT_TRUE(tuple->allObjects()[1].isNull());
  EXPECT_TRUE(tuple->objectAtIndex(3).isNil());
  EXPECT_TRUE(RSTuple::tupleWithObjects({})->last().isNil());
  fnd::Array withNull{1, fnd::Value::null()};
  EXPECT_TRUE(RSTuple::tupleWithObjectsFromArray(withNull, true)->second().isNil());
  EXPECT_TRUE(RSTuple::tupleWithObjectsFromArray(withNull, false)->second().isNull());

  auto grown = RSOneTuple::pack(1)->tupleByAddingObject(2);
  EXPECT_NE(std::dynamic_pointer_cast<RSTwoTuple>(grown), nullptr);
  EXPECT_EQ(grown->last(), fnd::Value(2));
  auto six = RSFiveTuple::pack(1, 2, 3, 4, 5)->tupleByAddingObject(fnd::Value());
  ASSERT_NE(std::dynamic_pointer_cast<RSFiveTuple>(six), nullptr);
  EXPECT_EQ(six->count(), 6u);

  // Equal elements make equal tuples whatever their classes.
  auto plain = RSTuple::tupleWithObjects({fnd::Value(), 1});
  auto fixed = RSTwoTuple::pack(fnd::Value(), 1.0);
  EXPECT_TRUE(plain->isEqual(*fixed) && fixed->isEqual(*plain));
  EXPECT_EQ(plain->hash(), fixed->hash());
  EXPECT_FALSE(plain->isEqual(*RSTuple::tupleWithObjects({fnd::Value(), 2})));

  fnd::Value a, b, c = "untouched";
  RSTupleUnpackingTrampoline::trampoline().setObject(RSTwoTuple::pack("x", "y"), {a, b, c});
  EXPECT_EQ((Values{a, b}), (Values{"x", "y"}));
  EXPECT_TRUE(c.isNil());
}

TEST(EventTest, EqualityAndHash) {
  EXPECT_EQ(RSEvent::completedEvent(), RSEvent::completedEvent());
  auto five = RSEvent::eventWithValue(5);
  EXPECT_TRUE(five->isEqual(*RSEvent::eventWithValue(5.0)));
  EXPECT_EQ(five->hash(), RSEvent::eventWithValue(5.0)->hash());
  EXPECT_FALSE(five->isEqual(*RSEvent::eventWithValue(6)));
  auto failure = RSEvent::eventWithError(nullptr);
  EXPECT_EQ(failure->hash(), 1u);
  EXPECT_TRUE(failure->isFinished());
  EXPECT_TRUE(failure->value().isNil());
}

}  // namespace
