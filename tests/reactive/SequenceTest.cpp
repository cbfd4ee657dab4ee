#include <gtest/gtest.h>

#include <set>

#include "ReactiveTestSupport.h"
#include "reactive/RSArraySequence.h"
#include "reactive/RSDynamicSequence.h"
#include "reactive/RSEagerSequence.h"
#include "reactive/RSSequenceEnumerator.h"
#include "reactive/RSSignalSequence.h"
#include "reactive/RSStringSequence.h"
#include "reactive/RSSubject.h"
#include "reactive/RSTestScheduler.h"

using rstest::Values;

namespace {

fnd::Array ints(std::initializer_list<int> xs) {
  std::vector<fnd::Value> out;
  for (int x : xs) out.emplace_back(x);
  return fnd::Array(std::move(out));
}

// 0, 1, 2, ... without end, counting how many heads were computed.
RSSequencePtr naturals(int from, std::shared_ptr<int> evaluated) {
  return RSSequence::sequenceWithHeadBlock(
      [from, evaluated] {
        ++*evaluated;
        return fnd::Value(from);
      },
      [from, evaluated] { return naturals(from + 1, evaluated); });
}

}  // namespace

TEST(SequenceTest, ArraySequencesShareTheEmptyOneAndKeepNull) {
  EXPECT_EQ(RSArraySequence::sequenceWithArray(ints({1, 2}), 2), RSSequence::empty());
  auto sequence = rs_sequence(fnd::Array{fnd::Value(1), fnd::Value::null(), fnd::Value(3)});
  EXPECT_EQ(sequence->array().size(), 3u);
  EXPECT_EQ(sequence->tail()->head(), fnd::Value::null());  // an element, not the end
  EXPECT_EQ(sequence->tail()->tail()->tail(), RSSequence::empty());
  Values walked;
  for (const fnd::Value& v : *sequence) walked.push_back(v);
  EXPECT_EQ(walked.size(), 3u);
}

TEST(SequenceTest, OperatorsAreLazy) {
  auto evaluated = std::make_shared<int>(0);
  auto evens = naturals(0, evaluated)->filter([](const fnd::Value& v) { return v.intValue() % 2 == 0; })->map([](const fnd::Value& v) {
    return fnd::Value(v.intValue() * 10);
  });
  EXPECT_EQ(*evaluated, 0);
  EXPECT_EQ(evens->take(3)->array(), ints({0, 20, 40}));
  EXPECT_LE(*evaluated, 6);
}

TEST(SequenceTest, LazyAndEagerBindAgree) {
  auto bindBlock = [] {
    return RSSequence::BindBlock([](const fnd::Value& v, bool* stop) -> RSSequencePtr {
      if (v.intValue() == 2) *stop = true;  // the sequence returned with the stop still counts whole
      return rs_sequence(fnd::Array{v, v});
    });
  };
  auto lazy = rs_sequence(ints({1, 2, 3}))->bind(bindBlock);
  auto eager = RSEagerSequence::sequenceWithArray(ints({1, 2, 3}), 0)->bind(bindBlock);
  EXPECT_EQ(lazy->array(), ints({1, 1, 2, 2}));
  EXPECT_EQ(eager->array(), lazy->array());
  EXPECT_TRUE(lazy->isEqual(*eager));
}

TEST(SequenceTest, ConcatZipAndEquality) {
  auto a = rs_sequence(ints({1, 2}));
  auto b = rs_sequence(ints({3}));
  EXPECT_EQ(a->concat(b)->array(), ints({1, 2, 3}));
  auto zipped = a->zipWith(rs_sequence(fnd::Array{fnd::Value("x"), fnd::Value("y"), fnd::Value("z")}))->array();
  ASSERT_EQ(zipped.size(), 2u);
  EXPECT_EQ(rstest::tupleValues(zipped[1]), (Values{fnd::Value(2), fnd::Value("y")}));
  EXPECT_FALSE(a->isEqual(*a->concat(b)));
  EXPECT_TRUE(a->isEqual(*rs_sequence(ints({1, 2}))));
  EXPECT_TRUE(RSSequence::empty()->isEqual(*RSSequence::empty()));
}

TEST(SequenceTest, FoldsAnyAndAll) {
  auto sequence = rs_sequence(ints({1, 2, 3}));
  EXPECT_EQ(sequence->foldLeftWithStart(fnd::Value(0), [](const fnd::Value& r, const fnd::Value& v) {
    return fnd::Value(r.intValue() * 10 + v.intValue());
  }), fnd::Value(123));
  EXPECT_EQ(sequence->foldRightWithStart(fnd::Value(0), [](const fnd::Value& v, const RSSequencePtr& rest) {
    return fnd::Value(rest->head().intValue() * 10 + v.intValue());
  }), fnd::Value(321));
  // A right fold that never reads its rest evaluates nothing further.
  auto evaluated = std::make_shared<int>(0);
  EXPECT_EQ(naturals(5, evaluated)->foldRightWithStart(fnd::Value(), [](const fnd::Value& v, const RSSequencePtr&) { return v; }),
            fnd::Value(5));
  EXPECT_EQ(*evaluated, 1);

  EXPECT_TRUE(RSSequence::empty()->all([](const fnd::Value&) { return false; }));
  EXPECT_FALSE(RSSequence::empty()->any([](const fnd::Value&) { return true; }));
  int asked = 0;
  EXPECT_FALSE(sequence->all([&](const fnd::Value& v) {
    ++asked;
    return v.intValue() != 1;
  }));
  EXPECT_EQ(asked, 1);  // not asked again after the first failure
  EXPECT_EQ(sequence->objectPassingTest([](const fnd::Value& v) { return v.intValue() > 1; }), fnd::Value(2));
}

TEST(SequenceTest, DroppingALongDynamicChainDoesNotOverflowTheStack) {
  auto evaluated = std::make_shared<int>(0);
  auto sequence = naturals(0, evaluated);
  RSSequencePtr walker = sequence;
  for (int i = 0; i < 60000; ++i) walker = walker->tail();  // every tail computed and kept
  walker.reset();
  sequence.reset();  // frees 60000 linked nodes
  SUCCEED();
}

TEST(SequenceTest, ConversionsOfCollectionsStringsAndTuples) {
  fnd::Dictionary dictionary{{"a", fnd::Value(1)}, {"b", fnd::Value(2)}};
  auto pairs = rs_sequence(dictionary)->array();
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(rstest::tupleValues(pairs[0]), (Values{fnd::Value("a"), fnd::Value(1)}));
  EXPECT_EQ(rs_valueSequence(dictionary)->array(), ints({1, 2}));

  EXPECT_EQ(rs_sequence(std::set<uint64_t>{9, 3, 5})->array(), ints({3, 5, 9}));
  EXPECT_EQ(rs_sequence(std::set<uint64_t>{}), RSSequence::empty());

  auto tuple = RSTuple::tupleWithObjects({fnd::Value(1), fnd::Value(), fnd::Value(3)});
  EXPECT_EQ(rs_sequence(tuple)->array(), (fnd::Array{fnd::Value(1), fnd::Value::null(), fnd::Value(3)}));

  // An enumerator is read one object per new head, in order.
  int next = 0;
  auto enumerated = rs_sequence(std::function<fnd::Value()>([&next]() -> fnd::Value {
    return next < 3 ? fnd::Value(next++) : fnd::Value();
  }));
  EXPECT_EQ(enumerated->array(), ints({0, 1, 2}));

  auto enumerator = rs_sequence(ints({7, 8}))->objectEnumerator();
  EXPECT_EQ(enumerator->nextObject(), fnd::Value(7));
  EXPECT_EQ(enumerator->nextObject(), fnd::Value(8));
  EXPECT_TRUE(enumerator->nextObject().isNil());
}

TEST(SequenceTest, StringHeadsAreUTF16UnitsArrayHoldsCharacters) {
  const std::string text = "\xF0\x9F\x8E\xB8" "e\xCC\x81!";  // guitar (outside the basic plane), e + acute, !
  auto sequence = rs_sequence(text);
  EXPECT_EQ(sequence->head(), fnd::Value(std::string("\xED\xA0\xBC")));  // the high half alone
  EXPECT_EQ(sequence->array(), (fnd::Array{fnd::Value("\xF0\x9F\x8E\xB8"), fnd::Value("e\xCC\x81"), fnd::Value("!")}));
  int heads = 0;
  for (const fnd::Value& unit : *sequence) {
    (void)unit;
    ++heads;
  }
  EXPECT_EQ(heads, 5);
  EXPECT_EQ(sequence->tail()->tail()->array().size(), 2u);
}

TEST(SequenceTest, SignalsAndSequencesConvertBothWays) {
  auto scheduler = std::make_shared<RSTestScheduler>();
  rstest::Recorder recorder;
  recorder.subscribe(rs_sequence(ints({1, 2, 3}))->signalWithScheduler(scheduler));
  scheduler->step();
  EXPECT_EQ(recorder.values(), (Values{fnd::Value(1)}));  // one element per run
  scheduler->stepAll();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "next:2", "next:3", "completed"}));

  auto sequence = rstest::sequenceSignal({fnd::Value(1), fnd::Value(), fnd::Value(2)})->sequence();
  EXPECT_EQ(sequence->head(), fnd::Value(1));
  EXPECT_EQ(sequence->tail()->head(), fnd::Value::null());
  EXPECT_EQ(sequence->array(), (fnd::Array{fnd::Value(1), fnd::Value::null(), fnd::Value(2)}));
  EXPECT_TRUE(sequence->tail()->tail()->tail()->head().isNil());
}
