#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSBlockTrampoline.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

using rstest::Recorder;
using rstest::sequenceSignal;
using rstest::tupleValues;
using rstest::Values;

namespace {

Values run(const RSSignalPtr& signal, bool* completed = nullptr) {
  Recorder recorder;
  recorder.subscribe(signal);
  if (completed) *completed = recorder.completed();
  return recorder.values();
}

TEST(StreamOperatorsTest, TakeAndSkip) {
  bool subscribed = false;
  auto counted = RSSignal::createSignal([&subscribed](const RSSubscriberPtr& s) -> RSDisposablePtr {
    subscribed = true;
    s->sendCompleted();
    return nullptr;
  });
  EXPECT_EQ(counted->take(0), RSSignal::empty());
  bool completed = false;
  EXPECT_TRUE(run(counted->take(0), &completed).empty());
  EXPECT_TRUE(completed);
  EXPECT_FALSE(subscribed);

  // take(1) stops listening after the first value, even on a source that
  // never ends.
  RSSubscriberPtr kept;
  auto endless = RSSignal::createSignal([&kept](const RSSubscriberPtr& s) -> RSDisposablePtr {
    kept = s;
    s->sendNext(1);
    return nullptr;
  });
  EXPECT_EQ(run(endless->take(1), &completed), (Values{1}));
  EXPECT_TRUE(completed);

  EXPECT_EQ(run(sequenceSignal({1, 2, 3})->skip(1)), (Values{2, 3}));
  EXPECT_TRUE(run(sequenceSignal({1, 2})->skip(5), &completed).empty());
  EXPECT_TRUE(completed);
}

TEST(StreamOperatorsTest, DistinctUntilChangedAndIgnoreCompareByValue) {
  auto source = sequenceSignal({fnd::Value(), fnd::Value(), 5, 5.0, "5", "5", 6});
  EXPECT_EQ(run(source->distinctUntilChanged()), (Values{fnd::Value(), 5, "5", 6}));
  EXPECT_EQ(run(source->ignore(fnd::Value())), (Values{5, 5.0, "5", "5", 6}));
  EXPECT_EQ(run(source->ignore(5)), (Values{fnd::Value(), fnd::Value(), "5", "5", 6}));
}

TEST(StreamOperatorsTest, BlockPredicates) {
  auto source = sequenceSignal({1, 2, 3, 1});
  auto isThree = [](const fnd::Value& v) { return v.intValue() == 3; };
  auto belowThree = [](const fnd::Value& v) { return v.intValue() < 3; };
  EXPECT_EQ(run(source->takeUntilBlock(isThree)), (Values{1, 2}));
  EXPECT_EQ(run(source->takeWhileBlock(belowThree)), (Values{1, 2}));
  EXPECT_EQ(run(source->skipUntilBlock(isThree)), (Values{3, 1}));
  EXPECT_EQ(run(source->skipWhileBlock(belowThree)), (Values{3, 1}));
}

TEST(StreamOperatorsTest, ScanStartsAfreshForEachSubscription) {
  std::vector<uint64_t> indexes;
  auto scanned = sequenceSignal({1, 2, 3})->scanWithStart(
      10, [&indexes](const fnd::Value& running, const fnd::Value& next, uint64_t index) {
        indexes.push_back(index);
        return fnd::Value(running.intValue() + next.intValue());
      });
  EXPECT_EQ(run(scanned), (Values{11, 13, 16}));
  EXPECT_EQ(run(scanned), (Values{11, 13, 16}));
  EXPECT_EQ(indexes, (std::vector<uint64_t>{0, 1, 2, 0, 1, 2}));

  auto differences = sequenceSignal({1, 4, 9})->combinePreviousWithStart(
      0, [](const fnd::Value& previous, const fnd::Value& current) {
        return fnd::Value(current.intValue() - previous.intValue());
      });
  EXPECT_EQ(run(differences), (Values{1, 3, 5}));
}

TEST(StreamOperatorsTest, ZipJoinAndConcatOfCollections) {
  bool completed = false;
  EXPECT_TRUE(run(RSSignal::zip(std::vector<RSSignalPtr>{}), &completed).empty());
  EXPECT_TRUE(completed);

  auto one = run(RSSignal::zip({sequenceSignal({1, fnd::Value()})}));
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(tupleValues(one[0]), (Values{1}));
  EXPECT_EQ(tupleValues(one[1]), (Values{fnd::Value()}));

  auto three = run(RSSignal::zip({sequenceSignal({1, 2}), sequenceSignal({"a", fnd::Value(), "c"}),
                                  sequenceSignal({true, false})}));
  ASSERT_EQ(three.size(), 2u);
  EXPECT_EQ(tupleValues(three[1]), (Values{2, fnd::Value(), false}));

  auto reduced = RSSignal::zip({sequenceSignal({1, 2}), sequenceSignal({10, 20})},
                               [](const fnd::Value& a, const fnd::Value& b) { return a.intValue() + b.intValue(); });
  EXPECT_EQ(run(reduced), (Values{11, 22}));

  EXPECT_EQ(run(RSSignal::concat({sequenceSignal({1}), sequenceSignal({2, 3})})), (Values{1, 2, 3}));
}

TEST(StreamOperatorsTest, ReduceEachPassesNilElements) {
  auto tuples = sequenceSignal({fnd::Value(RSTuple::tupleWithObjects({"a", fnd::Value(), "c"}))});
  auto reduced = tuples->reduceEach([](const fnd::Value& a, const fnd::Value& b, const fnd::Value& c) {
    return a.stringValue() + (b.isNil() ? "-" : "?") + c.stringValue();
  });
  EXPECT_EQ(run(reduced), (Values{"a-c"}));
}

TEST(StreamOperatorsTest, ValuesOfTheWrongKindEndWithAnErrorInsteadOfACrash) {
  Recorder notATuple;
  notATuple.subscribe(sequenceSignal({1})->reduceEach([](const fnd::Value& a) { return a; }));
  ASSERT_TRUE(notATuple.failed());
  EXPECT_EQ(notATuple.error()->domain(), RSSignalErrorDomain);
  EXPECT_EQ(notATuple.error()->code(), RSSignalErrorUnexpectedValue);

  Recorder notASignal;
  notASignal.subscribe(sequenceSignal({fnd::Value(), "text"})->flatten());
  ASSERT_TRUE(notASignal.failed());
  EXPECT_EQ(notASignal.error()->code(), RSSignalErrorUnexpectedValue);

  Recorder missing;
  missing.subscribe(sequenceSignal({1})->concat(nullptr));
  EXPECT_EQ(missing.events().size(), 2u);
  EXPECT_TRUE(missing.failed());
}

TEST(BlockTrampolineTest, CallsWithTupleElements) {
  auto block = RSBlock::block([](const fnd::Value& a, const fnd::Value& b, const fnd::Value& c) {
    return fnd::Value(a.stringValue() + (b.isNil() ? "nil" : b.stringValue()) + c.stringValue());
  });
  EXPECT_EQ(block->arity(), 3u);
  EXPECT_EQ(RSBlockTrampoline::invokeBlock(*block, *RSTuple::tupleWithObjects({"x", fnd::Value(), "z"})), fnd::Value("xnilz"));
  // Missing elements are nil; surplus ones are not passed.
  EXPECT_EQ(RSBlockTrampoline::invokeBlock(*block, *RSTuple::tupleWithObjects({"x"})), fnd::Value("xnil"));
  EXPECT_EQ(RSBlockTrampoline::invokeBlock([](const fnd::Value& only) { return only; }, *RSOneTuple::pack(5)),
            fnd::Value(5));
  RSBlockTrampoline trampoline(block);
  EXPECT_EQ(trampoline.performWith("a", "b", "c"), fnd::Value("abc"));
  EXPECT_EQ(trampoline.invokeWithArguments(*RSThreeTuple::pack(1, 2, 3)), fnd::Value("123"));
}

}  // namespace

namespace {

// The per-value operators on a subject fed either where a scheduler runs (the
// main thread: each event reaches the subscriber before the send returns) or
// from a plain thread (each goes through the subscription scheduler's
// background queue: none before that queue runs, then all in order with the
// end last).
TEST(StreamOperatorsTest, PerValueOperatorsDeliverAtOnceOnASchedulerAndInOrderThroughTheQueueElsewhere) {
  using Op = std::function<RSSignalPtr(const RSSignalPtr&)>;
  struct Case {
    const char* name;
    Op op;
    std::vector<std::string> events;  // for 1, 2, 2, 3, completed
  };
  const Case cases[] = {
      {"map", [](const RSSignalPtr& s) { return s->map([](const fnd::Value& v) { return fnd::Value(v.intValue() * 10); }); },
       {"next:10", "next:20", "next:20", "next:30", "completed"}},
      {"filter", [](const RSSignalPtr& s) { return s->filter([](const fnd::Value& v) { return v.intValue() % 2 == 1; }); },
       {"next:1", "next:3", "completed"}},
      {"skip", [](const RSSignalPtr& s) { return s->skip(1); }, {"next:2", "next:2", "next:3", "completed"}},
      {"take", [](const RSSignalPtr& s) { return s->take(2); }, {"next:1", "next:2", "completed"}},
      {"distinctUntilChanged", [](const RSSignalPtr& s) { return s->distinctUntilChanged(); },
       {"next:1", "next:2", "next:3", "completed"}},
      {"ignoreValues", [](const RSSignalPtr& s) { return s->ignoreValues(); }, {"completed"}},
  };
  auto feed = [](const RSSubjectPtr& subject) {
    for (int v : {1, 2, 2, 3}) subject->sendNext(fnd::Value(v));
    subject->sendCompleted();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto onMain = RSSubject::subject();
    Recorder atOnce;
    atOnce.subscribe(c.op(onMain));
    feed(onMain);
    EXPECT_EQ(atOnce.events(), c.events);  // nothing pumped

    auto fromThread = RSSubject::subject();
    Recorder queued;
    queued.subscribe(c.op(fromThread));
    {
      rstest::BackgroundGate gate;
      std::thread(feed, fromThread).join();
      EXPECT_TRUE(queued.events().empty());
    }
    ASSERT_TRUE(rstest::waitUntil([&] { return queued.ended(); }));
    EXPECT_EQ(queued.events(), c.events);
  }
}

}  // namespace
