#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSKeyPath.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

using rstest::Node;
using rstest::Recorder;
using rstest::Values;

TEST(KeyPathTest, StringUtilities) {
  EXPECT_FALSE(rs_keyPathComponents("").has_value());
  EXPECT_EQ(rs_keyPathComponents("a"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(rs_keyPathComponents("a.b.c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(rs_keyPathByDeletingFirstKeyPathComponent("a.b.c"), "b.c");
  EXPECT_FALSE(rs_keyPathByDeletingFirstKeyPathComponent("a").has_value());
  EXPECT_EQ(rs_keyPathByDeletingLastKeyPathComponent("a.b.c"), "a.b");
  EXPECT_FALSE(rs_keyPathByDeletingLastKeyPathComponent("a").has_value());
}

TEST(LifetimeHooksTest, DeallocDisposableRunsWhileTheObjectIsWholeAndWillDeallocCompletes) {
  auto node = fnd::make<Node>();
  node->value.set(fnd::Value(5));
  fnd::Value seenAtEnd;
  Node* raw = node.get();
  rs_deallocDisposable(node)->addDisposable(RSDisposable::disposableWithBlock([&] { seenAtEnd = raw->value.get(); }));
  EXPECT_EQ(rs_willDeallocSignal(node), rs_willDeallocSignal(node));
  Recorder recorder;
  recorder.subscribe(rs_willDeallocSignal(node));
  EXPECT_TRUE(recorder.events().empty());
  node.reset();
  EXPECT_EQ(seenAtEnd, fnd::Value(5));
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"completed"}));
}

TEST(LifetimeHooksTest, WorksForAPlainLifetimeAndAfterTheEnd) {
  auto lifetime = std::make_unique<fnd::Lifetime>();
  Recorder recorder;
  recorder.subscribe(rs_willDeallocSignal(*lifetime));
  lifetime->end();
  EXPECT_TRUE(recorder.completed());
  // Asked for after the end: already over.
  Recorder late;
  late.subscribe(rs_willDeallocSignal(*lifetime));
  EXPECT_TRUE(late.completed());
  bool ran = false;
  rs_deallocDisposable(*lifetime)->addDisposable(RSDisposable::disposableWithBlock([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(LifetimeHooksTest, ConcurrentRequestsGetOneWillDeallocSignal) {
  for (int round = 0; round < 20; ++round) {
    auto node = fnd::make<Node>();
    RSSignalPtr a, b;
    std::thread t1([&] { a = rs_willDeallocSignal(node); });
    std::thread t2([&] { b = rs_willDeallocSignal(node); });
    t1.join();
    t2.join();
    ASSERT_EQ(a, b);
  }
}

// ------------------------------------------------------------ block observation

TEST(ObserveKeyPathTest, InitialAndPriorCalls) {
  auto node = fnd::make<Node>();
  node->value.set(fnd::Value(1));
  std::vector<std::string> calls;
  auto disposable = rs_observeKeyPath(node, "value", fnd::KVOInitial | fnd::KVOPrior, nullptr,
                                      [&](const fnd::Value& value, const fnd::Dictionary& change, bool, bool last) {
                                        bool prior = change[RSKeyValueChangeNotificationIsPriorKey].boolValue();
                                        calls.push_back((prior ? "prior:" : "after:") + value.description() +
                                                        (last ? "" : "!"));
                                      });
  node->value.set(fnd::Value(2));
  EXPECT_EQ(calls, (std::vector<std::string>{"after:1", "prior:1", "after:2"}));
  disposable->dispose();
  node->value.set(fnd::Value(3));
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_EQ(node->observerCount("value"), 0u);
}

TEST(ObserveKeyPathTest, FollowsAReplacedIntermediateObjectAndLeavesTheOldOne) {
  auto root = fnd::make<Node>();
  auto first = fnd::make<Node>();
  first->value.set(fnd::Value("one"));
  root->child.set(first);
  std::vector<std::pair<fnd::Value, bool>> calls;
  auto disposable = rs_observeKeyPath(root, "child.value", fnd::KVOInitial, nullptr,
                                      [&](const fnd::Value& value, const fnd::Dictionary&, bool, bool last) {
                                        calls.emplace_back(value, last);
                                      });
  first->value.set(fnd::Value("one'"));
  EXPECT_EQ(first->observerCount("value"), 1u);

  auto second = fnd::make<Node>();
  second->value.set(fnd::Value("two"));
  root->child.set(second);
  EXPECT_EQ(first->observerCount("value"), 0u);
  first->value.set(fnd::Value("ignored"));
  second->value.set(fnd::Value("two'"));
  root->child.set(nullptr);

  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], std::make_pair(fnd::Value("one"), false));  // initial
  EXPECT_EQ(calls[1], std::make_pair(fnd::Value("one'"), true));
  EXPECT_EQ(calls[2], std::make_pair(fnd::Value("two"), false));  // replacement
  EXPECT_EQ(calls[3], std::make_pair(fnd::Value("two'"), true));
  EXPECT_EQ(calls[4], std::make_pair(fnd::Value(), false));  // nil intermediate
  disposable->dispose();
  EXPECT_EQ(second->observerCount("value"), 0u);
  EXPECT_EQ(root->observerCount("child"), 0u);
}

TEST(ObserveKeyPathTest, WeakIntermediateGetsADeallocationCallStrongDoesNot) {
  auto root = fnd::make<Node>();
  auto weakTarget = fnd::make<Node>();
  auto strongTarget = fnd::make<Node>();
  root->weakChild.set(weakTarget);
  root->child.set(strongTarget);
  std::vector<std::string> calls;
  auto weakObservation = rs_observeKeyPath(root, "weakChild.value", 0, nullptr,
                                           [&](const fnd::Value& value, const fnd::Dictionary& change, bool dealloc, bool) {
                                             calls.push_back("weak:" + value.description() + ":" +
                                                             change[RSKeyValueChangeNewKey].description() +
                                                             (dealloc ? ":dealloc" : ""));
                                           });
  auto strongObservation = rs_observeKeyPath(root, "child.value", 0, nullptr,
                                             [&](const fnd::Value&, const fnd::Dictionary&, bool, bool) {
                                               calls.push_back("strong");
                                             });
  weakTarget.reset();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "weak:" + fnd::Value().description() + ":" + fnd::Value::null().description() + ":dealloc");
  root->child.set(nullptr);  // drops the strong target: a change, not a deallocation
  EXPECT_EQ(calls.back(), "strong");
  EXPECT_EQ(calls.size(), 2u);
}

TEST(ObserveKeyPathTest, AWeakIntermediateThatIsTheObserverGetsNoWatch) {
  auto root = fnd::make<Node>();
  auto observer = fnd::make<Node>();
  root->weakChild.set(observer);
  int calls = 0;
  rs_observeKeyPath(root, "weakChild.value", 0, observer,
                    [&](const fnd::Value&, const fnd::Dictionary&, bool, bool) { ++calls; });
  observer.reset();
  EXPECT_EQ(calls, 0);
}

TEST(ObserveKeyPathTest, EndsWithEitherSideAndLeavesNothingBehind) {
  auto observer = fnd::make<Node>();
  auto token = std::make_shared<int>(0);
  // The receiver goes first: the observer keeps no entry (and so not the block).
  {
    auto receiver = fnd::make<Node>();
    rs_observeKeyPath(receiver, "child.value", fnd::KVOInitial, observer,
                      [token](const fnd::Value&, const fnd::Dictionary&, bool, bool) {});
    receiver->child.set(fnd::make<Node>());
    EXPECT_GT(token.use_count(), 1);
  }
  EXPECT_EQ(token.use_count(), 1);

  // The observer goes first: no further call, the receiver keeps nothing.
  auto receiver = fnd::make<Node>();
  int calls = 0;
  auto counting = std::make_shared<int>(0);
  rs_observeKeyPath(receiver, "value", 0, observer, [&calls, counting](const fnd::Value&, const fnd::Dictionary&, bool,
                                                                       bool) { ++calls; });
  receiver->value.set(fnd::Value(1));
  observer.reset();
  receiver->value.set(fnd::Value(2));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(receiver->observerCount("value"), 0u);
  EXPECT_EQ(counting.use_count(), 1);
}

// ------------------------------------------------------------ signals of values

TEST(ValuesForKeyPathTest, CurrentValueFirstThenChangesOnTheMainThreadAtOnce) {
  auto node = fnd::make<Node>();
  Recorder recorder;
  recorder.subscribe(rs_valuesForKeyPath(node, "value", nullptr));
  EXPECT_EQ(recorder.values(), (Values{fnd::Value()}));  // nil first
  node->value.set(fnd::Value(7));
  EXPECT_EQ(recorder.values(), (Values{fnd::Value(), fnd::Value(7)}));  // before the setter returned
  node.reset();
  EXPECT_TRUE(recorder.completed());
}

TEST(ValuesForKeyPathTest, ChangesOnAnotherThreadArriveInOrderOnTheBackgroundQueue) {
  auto node = fnd::make<Node>();
  auto background =
      std::static_pointer_cast<RSSubscriptionScheduler>(RSScheduler::subscriptionScheduler())->backgroundScheduler();
  std::mutex mutex;
  std::vector<int64_t> received;
  std::atomic<int> offQueue{0};
  rs_valuesForKeyPath(node, "value", nullptr)->subscribeNext([&](const fnd::Value& value) {
    if (dispatch::isMainThread() || RSScheduler::currentScheduler() != background) {
      if (!value.isNil()) offQueue++;
    }
    std::lock_guard lock(mutex);
    received.push_back(value.intValue());
  });
  rstest::onPlainThread([&] {
    for (int i = 1; i <= 1000; ++i) node->value.set(fnd::Value(i));
  });
  ASSERT_TRUE(rstest::waitUntil([&] {
    std::lock_guard lock(mutex);
    return received.size() == 1001;
  }));
  EXPECT_EQ(offQueue.load(), 0);
  std::lock_guard lock(mutex);
  for (int i = 1; i <= 1000; ++i) ASSERT_EQ(received[static_cast<size_t>(i)], i);
}

TEST(ValuesForKeyPathTest, CompletesWhenTheObserverEndsAndAtOnceForAGoneReceiver) {
  auto node = fnd::make<Node>();
  fnd::Lifetime observer;
  Recorder recorder;
  recorder.subscribe(rs_valuesForKeyPath(node, "value", observer));
  observer.end();
  EXPECT_TRUE(recorder.completed());
  node->value.set(fnd::Value(1));
  EXPECT_EQ(recorder.values().size(), 1u);
  EXPECT_EQ(node->observerCount("value"), 0u);

  RSSignalPtr signal = rs_valuesForKeyPath(node, "value", nullptr);
  node.reset();
  Recorder late;
  late.subscribe(signal);
  EXPECT_EQ(late.events(), (std::vector<std::string>{"completed"}));
}

TEST(ValuesAndChangesTest, SendsValueAndChangeTuples) {
  Recorder recorder;  // outlives the node, whose end completes the signal
  auto node = fnd::make<Node>();
  recorder.subscribe(rs_valuesAndChangesForKeyPath(node, "value", fnd::KVONew | fnd::KVOOld, nullptr));
  node->value.set(fnd::Value(3));
  ASSERT_EQ(recorder.values().size(), 1u);
  Values pair = rstest::tupleValues(recorder.values()[0]);
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(pair[0], fnd::Value(3));
  const fnd::Dictionary& change = pair[1].asDictionary();
  EXPECT_EQ(change[RSKeyValueChangeKindKey], fnd::Value(RSKeyValueChangeSetting));
  EXPECT_EQ(change[RSKeyValueChangeNewKey], fnd::Value(3));
  EXPECT_EQ(change[RSKeyValueChangeOldKey], fnd::Value::null());
}
