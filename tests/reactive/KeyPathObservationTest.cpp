#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSKeyPath.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV450_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV450_SANITIZER_ALLOCATOR 1
#endif
#endif
#ifndef QV450_SANITIZER_ALLOCATOR
#define QV450_SANITIZER_ALLOCATOR 0
#endif
#if QV450_SANITIZER_ALLOCATOR
// The sanitizers' allocator replaces malloc's own accounting.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

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

// ------------------------------------------------------------ what a finished observation leaves

namespace {

// Bytes the allocator has handed out and not yet taken back.
size_t allocatedBytes() {
#if QV450_SANITIZER_ALLOCATOR
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// What an observed object (or an observer) holds for observations that its
// properties and its lifetime can tell: key-value registrations and
// end-of-life hooks.
struct Entries {
  size_t registrations = 0;
  size_t hooks = 0;
  bool operator==(const Entries&) const = default;
};

Entries entriesOf(const std::shared_ptr<Node>& node) {
  Entries e;
  for (const char* key : {"value", "child", "weakChild"}) e.registrations += node->observerCount(key);
  auto state = node->lifetime().weak().lock();
  std::lock_guard lock(state->mutex);
  e.hooks = state->hooks.size();
  return e;
}

// A finished observation must leave no entry on either side, also in the
// end-of-life disposables, whose size only the memory shows: a leak of one
// entry per observation comes to well over this over the rounds below.
constexpr size_t kRounds = 300;
constexpr size_t kGrowthBound = 16 * 1024;

}  // namespace

TEST(ObservationEntriesTest, ObservingAndDisposingManyTimesLeavesNothingBehind) {
  auto receiver = fnd::make<Node>();
  auto observer = fnd::make<Node>();
  auto child = fnd::make<Node>();
  receiver->child.set(child);
  receiver->weakChild.set(child);

  auto token = std::make_shared<int>(0);
  auto observeAll = [&] {
    std::vector<RSDisposablePtr> ds;
    for (const char* path : {"value", "child.value", "weakChild.value"}) {
      ds.push_back(rs_observeKeyPath(receiver, path, fnd::KVOInitial, observer,
                                     [token](const fnd::Value&, const fnd::Dictionary&, bool, bool) {}));
      ds.push_back(rs_observeKeyPath(receiver, path, fnd::KVOPrior, nullptr,
                                     [token](const fnd::Value&, const fnd::Dictionary&, bool, bool) {}));
      ds.push_back(rs_valuesForKeyPath(receiver, path, observer)->subscribeNext([token](const fnd::Value&) {}));
    }
    return ds;
  };
  // Warm up: what is made once on first use (end-of-life disposables and
  // signals, the schedulers) is made now.
  for (int round = 0; round < 5; ++round)
    for (auto& d : observeAll()) d->dispose();
  const Entries receiverBefore = entriesOf(receiver), observerBefore = entriesOf(observer), childBefore = entriesOf(child);
  const size_t bytesBefore = allocatedBytes();

  for (size_t round = 0; round < kRounds; ++round) {
    auto ds = observeAll();
    receiver->value.set(fnd::Value(static_cast<int64_t>(round)));
    child->value.set(fnd::Value(static_cast<int64_t>(round)));
    for (auto& d : ds) d->dispose();
  }
  const size_t bytesAfter = allocatedBytes();
  EXPECT_LT(bytesAfter, bytesBefore + kGrowthBound) << "grew by " << bytesAfter - bytesBefore << " bytes";
  EXPECT_EQ(entriesOf(receiver), receiverBefore);
  EXPECT_EQ(entriesOf(observer), observerBefore);
  EXPECT_EQ(entriesOf(child), childBefore);
  // Nothing holds a disposed observation's block.
  EXPECT_EQ(token.use_count(), 1);
}

// A long-lived observer of short-lived objects: each observation ends with
// its receiver, and must leave the observer as it found it.
TEST(ObservationEntriesTest, AnObserverOfShortLivedObjectsDoesNotGrow) {
  auto observer = fnd::make<Node>();
  auto token = std::make_shared<int>(0);
  auto observeOne = [&] {
    auto receiver = fnd::make<Node>();
    receiver->child.set(fnd::make<Node>());
    rs_observeKeyPath(receiver, "child.value", fnd::KVOInitial, observer,
                      [token](const fnd::Value&, const fnd::Dictionary&, bool, bool) {});
    rs_valuesForKeyPath(receiver, "value", observer)->subscribeNext([token](const fnd::Value&) {});
    receiver->value.set(fnd::Value(1));
  };
  for (int round = 0; round < 5; ++round) observeOne();
  const Entries before = entriesOf(observer);
  const size_t bytesBefore = allocatedBytes();
  for (size_t round = 0; round < kRounds; ++round) observeOne();
  const size_t bytesAfter = allocatedBytes();
  EXPECT_LT(bytesAfter, bytesBefore + kGrowthBound) << "grew by " << bytesAfter - bytesBefore << " bytes";
  EXPECT_EQ(entriesOf(observer), before);
  EXPECT_EQ(token.use_count(), 1);
}
