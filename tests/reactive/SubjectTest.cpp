#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSMulticastConnection.h"
#include "reactive/RSSubject.h"

using rstest::BackgroundGate;
using rstest::Recorder;
using rstest::testError;
using rstest::Values;
using rstest::waitUntil;

namespace {

TEST(SubjectTest, PlainSubjectForwardsOnlyToCurrentSubscribers) {
  auto subject = RSSubject::subject();
  subject->sendNext(0);  // nobody listens: lost
  Recorder early;
  early.subscribe(subject);
  subject->sendNext(1);
  subject->sendCompleted();
  Recorder late;
  late.subscribe(subject);
  EXPECT_EQ(early.events(), (std::vector<std::string>{"next:1", "completed"}));
  EXPECT_TRUE(late.events().empty());
  EXPECT_EQ(subject->subscribers().size(), 1u);  // ended subscriptions leave the list
}

TEST(SubjectTest, SubscribingAndDisposingDuringASend) {
  auto subject = RSSubject::subject();
  Recorder added;
  RSDisposablePtr second;
  Recorder secondRecorder;
  subject->subscribeNext([&](const fnd::Value& v) {
    if (v == fnd::Value(1)) {
      added.subscribe(subject);  // misses this event
      second->dispose();         // a later subscriber of this very send
    }
  });
  second = secondRecorder.subscribe(subject);
  subject->sendNext(1);
  subject->sendNext(2);
  EXPECT_EQ(added.values(), (Values{2}));
  EXPECT_TRUE(secondRecorder.values().empty());
}

TEST(SubjectTest, ErrorStopsListeningToTheSubjectsSources) {
  bool sourceDisposed = false;
  RSSubscriberPtr sourceSubscriber;
  auto source = RSSignal::createSignal([&](const RSSubscriberPtr& s) {
    sourceSubscriber = s;
    return RSDisposable::disposableWithBlock([&sourceDisposed] { sourceDisposed = true; });
  });
  auto subject = RSSubject::subject();
  bool disposedBeforeForwarding = false;
  subject->subscribeError([&](const RSErrorPtr&) { disposedBeforeForwarding = sourceDisposed; });
  source->subscribe(subject);
  subject->sendError(testError());
  EXPECT_TRUE(disposedBeforeForwarding);
}

TEST(ReplaySubjectTest, CapacityRules) {
  auto capacityOne = RSReplaySubject::replaySubjectWithCapacity(1);
  for (int i = 1; i <= 3; ++i) capacityOne->sendNext(i);
  capacityOne->sendCompleted();
  Recorder late;
  late.subscribe(capacityOne);
  EXPECT_EQ(late.events(), (std::vector<std::string>{"next:3", "completed"}));

  auto capacityZero = RSReplaySubject::replaySubjectWithCapacity(0);
  capacityZero->sendNext(1);
  capacityZero->sendError(testError(5));
  Recorder zero;
  zero.subscribe(capacityZero);
  EXPECT_EQ(zero.events(), (std::vector<std::string>{"error:5"}));

  auto unlimited = RSReplaySubject::subject();
  unlimited->sendNext(fnd::Value());
  unlimited->sendNext(2);
  Recorder all;
  all.subscribe(unlimited);
  unlimited->sendNext(3);
  EXPECT_EQ(all.values(), (Values{fnd::Value(), 2, 3}));
  EXPECT_FALSE(all.ended());
}

TEST(ReplaySubjectTest, SubscriberDisposedDuringTheReplayGetsNoMoreAndDoesNotJoin) {
  auto subject = RSReplaySubject::subject();
  for (int i = 1; i <= 3; ++i) subject->sendNext(i);
  std::mutex mutex;
  Values received;
  RSDisposablePtr subscription;
  {
    // Subscribe from a plain thread so that the replay waits on the
    // background queue until the subscription's disposable is known.
    BackgroundGate gate;
    std::thread([&] {
      std::lock_guard lock(mutex);
      subscription = subject->subscribeNext([&](const fnd::Value& v) {
        std::lock_guard inner(mutex);
        received.push_back(v);
        if (v == fnd::Value(2)) subscription->dispose();
      });
    }).join();
  }
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  subject->sendNext(4);
  std::lock_guard lock(mutex);
  EXPECT_EQ(received, (Values{1, 2}));
  EXPECT_TRUE(subject->subscribers().empty());
}

TEST(ReplaySubjectTest, SendsFromTwoThreadsAreSerialisedAndReplayedInOrder) {
  auto subject = RSReplaySubject::subject();
  Recorder live;
  live.subscribe(subject);
  constexpr int kPerThread = 500;
  std::thread a([&] {
    for (int i = 0; i < kPerThread; ++i) subject->sendNext(i);
  });
  std::thread b([&] {
    for (int i = 0; i < kPerThread; ++i) subject->sendNext(10000 + i);
  });
  a.join();
  b.join();
  subject->sendCompleted();
  Recorder late;
  late.subscribe(subject);
  // Both saw the same interleaving, and each thread's values in order.
  EXPECT_EQ(live.values(), late.values());
  int lastA = -1, lastB = 9999;
  for (const auto& v : late.values()) {
    int n = static_cast<int>(v.intValue());
    if (n < 10000) {
      EXPECT_EQ(n, lastA + 1);
      lastA = n;
    } else {
      EXPECT_EQ(n, lastB + 1);
      lastB = n;
    }
  }
  EXPECT_EQ(late.values().size(), 2u * kPerThread);
}

TEST(SubjectTest, SendsFromTwoThreadsReachEverySubscriberOnce) {
  auto subject = RSSubject::subject();
  Recorder first, second;
  first.subscribe(subject);
  second.subscribe(subject);
  constexpr int kPerThread = 500;
  std::atomic<bool> go{false};
  auto sender = [&](int base) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kPerThread; ++i) subject->sendNext(base + i);
  };
  std::thread a(sender, 0), b(sender, 10000);
  // Subscribing and disposing while the sends run.
  std::thread churn([&] {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < 200; ++i) subject->subscribeNext([](const fnd::Value&) {})->dispose();
  });
  go = true;
  a.join();
  b.join();
  churn.join();
  for (auto* recorder : {&first, &second}) {
    auto values = recorder->values();
    ASSERT_EQ(values.size(), 2u * kPerThread);
    std::vector<int> seen(2 * kPerThread, 0);
    for (const auto& v : values) {
      int n = static_cast<int>(v.intValue());
      seen[static_cast<size_t>(n < 10000 ? n : kPerThread + n - 10000)]++;
    }
    for (int count : seen) EXPECT_EQ(count, 1);
  }
  EXPECT_TRUE(rstest::flushBackgroundQueue());
}

TEST(BehaviorSubjectTest, NewSubscriberGetsTheCurrentValueOnce) {
  auto subject = RSBehaviorSubject::behaviorSubjectWithDefaultValue(1);
  Recorder onMain;
  onMain.subscribe(subject);
  subject->sendNext(2);
  EXPECT_EQ(onMain.values(), (Values{1, 2}));

  // A subscription from a plain thread starts on the background queue; a value
  // sent before it starts arrives once, as the current value.
  Recorder fromThread;
  {
    BackgroundGate gate;
    std::thread([&] { fromThread.subscribe(subject); }).join();
    subject->sendNext(3);
  }
  ASSERT_TRUE(waitUntil([&] { return !fromThread.values().empty(); }));
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  subject->sendNext(4);
  EXPECT_EQ(fromThread.values(), (Values{3, 4}));
}

TEST(MulticastConnectionTest, ConnectSubscribesTheSourceOnce) {
  std::atomic<int> subscriptions{0};
  RSSubscriberPtr sourceSubscriber;
  auto source = RSSignal::createSignal([&](const RSSubscriberPtr& s) -> RSDisposablePtr {
    subscriptions++;
    sourceSubscriber = s;
    return nullptr;
  });
  auto connection = source->publish();
  Recorder a, b;
  a.subscribe(connection->signal());
  b.subscribe(connection->signal());
  RSDisposablePtr first, second;
  std::thread t([&] { second = connection->connect(); });
  first = connection->connect();
  t.join();
  EXPECT_EQ(first, second);
  ASSERT_TRUE(waitUntil([&] { return subscriptions.load() == 1; }));
  EXPECT_TRUE(rstest::flushBackgroundQueue());
  EXPECT_EQ(subscriptions, 1);
  sourceSubscriber->sendNext(1);
  EXPECT_EQ(a.values(), (Values{1}));
  EXPECT_EQ(b.values(), (Values{1}));
}

TEST(MulticastConnectionTest, AutoconnectEndsWithTheLastSubscriberForGood) {
  int subscriptions = 0;
  bool sourceDisposed = false;
  RSSubscriberPtr sourceSubscriber;
  auto source = RSSignal::createSignal([&](const RSSubscriberPtr& s) {
    subscriptions++;
    sourceSubscriber = s;
    return RSDisposable::disposableWithBlock([&sourceDisposed] { sourceDisposed = true; });
  });
  auto shared = source->publish()->autoconnect();
  EXPECT_EQ(subscriptions, 0);
  Recorder a, b;
  auto da = a.subscribe(shared);
  auto db = b.subscribe(shared);
  EXPECT_EQ(subscriptions, 1);
  sourceSubscriber->sendNext(1);
  da->dispose();
  EXPECT_FALSE(sourceDisposed);
  db->dispose();
  EXPECT_TRUE(sourceDisposed);
  Recorder c;
  c.subscribe(shared);
  EXPECT_EQ(subscriptions, 1);
  EXPECT_EQ(b.values(), (Values{1}));
}

}  // namespace
