#include <gtest/gtest.h>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSSubject.h"
#include "reactive/RSSubscriptingAssignmentTrampoline.h"
#include "reactive/RSValueTransformer.h"

TEST(SubscriptingAssignmentTrampolineTest, AssigningASignalBindsTheKeyPathWithTheNilValue) {
  EXPECT_EQ(RSSubscriptingAssignmentTrampoline::initWithTarget(nullptr, fnd::Value()), nullptr);

  auto node = fnd::make<rstest::Node>();
  auto subject = RSSubject::subject();
  auto trampoline = RSSubscriptingAssignmentTrampoline::initWithTarget(node, fnd::Value("none"));
  ASSERT_NE(trampoline, nullptr);
  (*trampoline)["value"] = subject;
  subject->sendNext(fnd::Value(4));
  EXPECT_EQ(node->value.get(), fnd::Value(4));
  subject->sendNext(fnd::Value());
  EXPECT_EQ(node->value.get(), fnd::Value("none"));
}

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
