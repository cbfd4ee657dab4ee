#include <gtest/gtest.h>

#include "ReactiveTestSupport.h"
#include "reactive/RSEvent.h"
#include "reactive/RSTuple.h"
#include "reactive/RSUnit.h"

using rstest::Values;

namespace {

TEST(TupleTest, NilElementsAndAccess) {
  auto tuple = RSTuple::tupleWithObjects({"a", fnd::Value(), "b"});
  EXPECT_EQ(tuple->count(), 3u);
  EXPECT_TRUE(tuple->objectAtIndex(1).isNil());
  EXPECT_TRUE(tuple->allObjects()[1].isNull());
  EXPECT_TRUE(tuple->objectAtIndex(3).isNil());
  EXPECT_EQ(tuple->last(), fnd::Value("b"));
  EXPECT_TRUE(RSTuple::tupleWithObjects({})->last().isNil());
  Values iterated(tuple->begin(), tuple->end());
  EXPECT_EQ(iterated, (Values{"a", fnd::Value(), "b"}));

  fnd::Array withNull{1, fnd::Value::null()};
  EXPECT_TRUE(RSTuple::tupleWithObjectsFromArray(withNull, true)->second().isNil());
  EXPECT_TRUE(RSTuple::tupleWithObjectsFromArray(withNull, false)->second().isNull());
}

TEST(TupleTest, PackingGrowthAndEquality) {
  auto pair = RSTwoTuple::pack(fnd::Value(), 1);
  EXPECT_EQ(pair->count(), 2u);
  EXPECT_TRUE(pair->first().isNil());
  EXPECT_EQ(RSTwoTuple().count(), 2u);

  auto grown = RSOneTuple::pack(1)->tupleByAddingObject(2);
  EXPECT_NE(std::dynamic_pointer_cast<RSTwoTuple>(grown), nullptr);
  EXPECT_EQ(grown->last(), fnd::Value(2));
  auto six = RSFiveTuple::pack(1, 2, 3, 4, 5)->tupleByAddingObject(fnd::Value());
  EXPECT_NE(std::dynamic_pointer_cast<RSFiveTuple>(six), nullptr);
  EXPECT_EQ(six->count(), 6u);
  EXPECT_EQ(std::dynamic_pointer_cast<RSFiveTuple>(six)->count(), 6u);

  auto plain = RSTuple::tupleWithObjects({1, fnd::Value()});
  auto fixed = RSTwoTuple::pack(1, fnd::Value());
  EXPECT_TRUE(plain->isEqual(*fixed));
  EXPECT_TRUE(fixed->isEqual(*plain));
  EXPECT_EQ(plain->hash(), fixed->hash());
  EXPECT_EQ(fnd::Value(plain), fnd::Value(fixed));
  EXPECT_FALSE(plain->isEqual(*RSTuple::tupleWithObjects({1, 2})));

  fnd::Value a, b, c = "untouched";
  RSTupleUnpackingTrampoline::trampoline().setObject(RSTwoTuple::pack("x", "y"), {a, b, c});
  EXPECT_EQ(a, fnd::Value("x"));
  EXPECT_EQ(b, fnd::Value("y"));
  EXPECT_TRUE(c.isNil());
}

TEST(EventTest, EqualityHashAndSharing) {
  EXPECT_EQ(RSEvent::completedEvent(), RSEvent::completedEvent());
  auto one = RSEvent::eventWithValue(5);
  auto other = RSEvent::eventWithValue(5.0);
  EXPECT_TRUE(one->isEqual(*other));
  EXPECT_EQ(one->hash(), other->hash());
  EXPECT_FALSE(one->isFinished());
  EXPECT_FALSE(one->isEqual(*RSEvent::eventWithValue(6)));
  auto failure = RSEvent::eventWithError(nullptr);
  EXPECT_EQ(failure->hash(), 1u);
  EXPECT_TRUE(failure->isFinished());
  EXPECT_TRUE(failure->value().isNil());
  auto error = fnd::Error::make("D", 4);
  EXPECT_EQ(RSEvent::eventWithError(error)->error(), error);
  EXPECT_NE(RSEvent::completedEvent()->description().find("completed"), std::string::npos);
  EXPECT_EQ(RSUnit::defaultUnit(), RSUnit::defaultUnit());
}

}  // namespace
