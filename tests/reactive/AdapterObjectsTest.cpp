#include <gtest/gtest.h>

#include "reactive/RSValueTransformer.h"

TEST(ValueTransformerTest, TransformsWithItsBlockNilIncluded) {
  bool calledWithNil = false;
  auto transformer = RSValueTransformer::transformerWithBlock([&](const fnd::Value& value) {
    calledWithNil = value.isNil();
    return value.isNil() ? fnd::Value("nil") : fnd::Value(value.intValue() * 2);
  });
  EXPECT_EQ(transformer->transformedValue(fnd::Value(3)), fnd::Value(6));
  EXPECT_EQ(transformer->transformedValue(fnd::Value()), fnd::Value("nil"));
  EXPECT_TRUE(calledWithNil);
  EXPECT_FALSE(RSValueTransformer::allowsReverseTransformation());
}
