#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSScheduler.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"
#include "reactive/RSUnit.h"

using namespace std::chrono_literals;
using rstest::BackgroundGate;
using rstest::Recorder;
using rstest::sequenceSignal;
using rstest::testError;
using rstest::tupleValues;
using rstest::Values;
using rstest::waitUntil;

namespace {

TEST(SignalTest, BuiltInSignalsAndSharedInstances) {
  Recorder empty, nilValue, failure;
  empty.subscribe(RSSignal::empty());
  nilValue.subscribe(RSSignal::return_(fnd::Value()));
  failure.subscribe(RSSignal::error(testError(3)));
  // On the main thread these run before subscribe returns.
  EXPECT_EQ(empty.events(), (std::vector<std::string>{"completed"}));
  EXPECT_EQ(nilValue.events(), (std::vector<std::string>{"next:(null)", "completed"}));
  EXPECT_EQ(failure.events(), (std::vector<std::string>{"error:3"}));

  EXPECT_EQ(RSSignal::return_(fnd::Value()), RSSignal::return_(fnd::Value()));
  EXPECT_EQ(RSSignal::return_(RSUnit::defaultUnit()), RSSignal::return_(RSUnit::defaultUnit()));
}

TEST(SignalTest, EmptyOnAPlainThreadCompletesLaterOnTheBackgroundQueue) {
  std::atomic<bool> completed{false};
  std::atomic<bool> onBackground{false};
  std::thread([&] {
    auto caller = std::this_thread::get_id();
    RSSignal::empty()->subscribeCompleted([&, caller] {
      onBackground = std::this_thread::get_id() != caller && RSScheduler::currentScheduler() != nullptr &&
                     !dispatch::isMainThread();
      completed = true;
    });
  }).join();
  ASSERT_TRUE(waitUntil([&] { return completed.load(); }));
  EXPECT_TRUE(onBackground);
}

TEST(SignalTest, SubscriptionDisposedBeforeItsQueuedBlockStartsNeverRunsIt) {
  std::atomic<bool> ran{false};
  auto signal = RSSignal::createSignal([&ran](const RSSubscriberPtr&) -> RSDisposablePtr {
    ran = true;
    return nullptr;
  });
  {
    BackgroundGate gate;
    std::thread([&] { signal->subscribeNext([](const fnd::Value&) {})->dispose(); }).join();
  }
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  EXPECT_FALSE(ran);
}

TEST(SignalTest, DisposalStopsDeliveryAndRunsTheCleanupWithoutTouchingOthers) {
  RSSubscriberPtr captured[2];
  int captures = 0;
  int cleanups = 0;
  auto signal = RSSignal::createSignal([&](const RSSubscriberPtr& subscriber) {
    captured[captures++] = subscriber;
    return RSDisposable::disposableWithBlock([&cleanups] { ++cleanups; });
  });
  Recorder first, second;
  auto d1 = first.subscribe(signal);
  second.subscribe(signal);
  captured[0]->sendNext(1);
  captured[1]->sendNext(1);
  d1->dispose();
  EXPECT_EQ(cleanups, 1);
  captured[0]->sendNext(2);
  captured[0]->sendCompleted();
  captured[1]->sendNext(2);
  EXPECT_EQ(first.values(), (Values{1}));
  EXPECT_FALSE(first.completed());
  EXPECT_EQ(second.values(), (Values{1, 2}));
  captured[1]->sendCompleted();
  EXPECT_EQ(cleanups, 2);
}

TEST(SignalTest, NoEventAfterCompletionOrError) {
  auto signal = RSSignal::createSignal([](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    subscriber->sendNext(1);
    subscriber->sendError(testError());
    subscriber->sendNext(2);
    subscriber->sendCompleted();
    subscriber->sendError(testError());
    return nullptr;
  });
  Recorder recorder;
  recorder.subscribe(signal);
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:1", "error:7"}));

  // Also when the late events come from another thread.
  RSSubscriberPtr kept;
  auto later = RSSignal::createSignal([&kept](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    kept = subscriber;
    return nullptr;
  });
  Recorder other;
  other.subscribe(later);
  kept->sendCompleted();
  std::thread([&kept] {
    kept->sendNext(3);
    kept->sendError(nullptr);
  }).join();
  EXPECT_EQ(other.events(), (std::vector<std::string>{"completed"}));
}

TEST(SignalTest, CleanupRunsBeforeTheCompletedBlockWhenCompletionComesLater) {
  std::vector<std::string> order;
  RSSubscriberPtr kept;
  auto later = RSSignal::createSignal([&](const RSSubscriberPtr& subscriber) {
    kept = subscriber;
    return RSDisposable::disposableWithBlock([&order] { order.push_back("cleanup"); });
  });
  later->subscribeCompleted([&order] { order.push_back("completed"); });
  kept->sendCompleted();
  EXPECT_EQ(order, (std::vector<std::string>{"cleanup", "completed"}));

  order.clear();
  auto inside = RSSignal::createSignal([&](const RSSubscriberPtr& subscriber) {
    subscriber->sendCompleted();
    return RSDisposable::disposableWithBlock([&order] { order.push_back("cleanup"); });
  });
  inside->subscribeCompleted([&order] { order.push_back("completed"); });
  EXPECT_EQ(order, (std::vector<std::string>{"completed", "cleanup"}));
}

TEST(SignalTest, BindConcatAndZip) {
  // A bind block that ends at once completes without passing the value.
  Recorder bound;
  bound.subscribe(sequenceSignal({1, 2})->bind([] {
    return RSSignal::BindBlock([](const fnd::Value&, bool*) -> RSSignalPtr { return nullptr; });
  }));
  EXPECT_EQ(bound.events(), (std::vector<std::string>{"completed"}));

  // concat does not subscribe the second signal after a failure.
  bool secondSubscribed = false;
  auto second = RSSignal::createSignal([&](const RSSubscriberPtr& s) -> RSDisposablePtr {
    secondSubscribed = true;
    s->sendCompleted();
    return nullptr;
  });
  Recorder concatenated;
  concatenated.subscribe(sequenceSignal({1}, testError(), true)->concat(second));
  EXPECT_EQ(concatenated.events(), (std::vector<std::string>{"next:1", "error:7"}));
  EXPECT_FALSE(secondSubscribed);

  Recorder zipped;
  zipped.subscribe(sequenceSignal({1, fnd::Value(), 3})->zipWith(sequenceSignal({"a", "b"})));
  auto values = zipped.values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(tupleValues(values[0]), (Values{1, "a"}));
  EXPECT_EQ(tupleValues(values[1]), (Values{fnd::Value(), "b"}));
  EXPECT_TRUE(zipped.completed());
}

TEST(SignalTest, BindWaitsForInnerSignalsAndFailsAsAWhole) {
  RSSubscriberPtr inner;
  auto innerSignal = RSSignal::createSignal([&inner](const RSSubscriberPtr& s) -> RSDisposablePtr {
    inner = s;
    return nullptr;
  });
  Recorder recorder;
  recorder.subscribe(sequenceSignal({1})->flattenMap([innerSignal](const fnd::Value&) { return innerSignal; }));
  EXPECT_FALSE(recorder.completed());  // the receiver is done, the inner signal is not
  inner->sendNext("x");
  inner->sendCompleted();
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:x", "completed"}));

  Recorder failing;
  failing.subscribe(sequenceSignal({1, 2})->flattenMap(
      [](const fnd::Value& v) { return v == fnd::Value(2) ? RSSignal::error(testError(2)) : RSSignal::return_(v); }));
  EXPECT_EQ(failing.events(), (std::vector<std::string>{"next:1", "error:2"}));
}

TEST(SignalTest, ConcurrentSubscribeAndDispose) {
  // Threads subscribe and dispose while another thread sends. Subscriptions
  // made off the main thread start on the background queue.
  auto subject = RSSubject::subject();
  auto signal = RSSignal::defer([subject] { return RSSignalPtr(subject); });
  std::atomic<bool> stop{false};
  std::thread producer([&] {
    for (int i = 0; !stop; ++i) {
      subject->sendNext(i);
      std::this_thread::yield();
    }
  });
  // A send already past the disposal check when dispose() returns may still
  // arrive; nothing later does.
  std::atomic<int> tooLate{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        auto disposed = std::make_shared<std::atomic<bool>>(false);
        auto late = std::make_shared<std::atomic<int>>(0);
        auto d = signal->subscribeNext([disposed, late, &tooLate](const fnd::Value&) {
          if (*disposed && ++*late > 1) tooLate++;
        });
        std::this_thread::yield();
        d->dispose();
        *disposed = true;
      }
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_TRUE(rstest::flushBackgroundQueue());
  stop = true;
  producer.join();
  EXPECT_TRUE(subject->subscribers().empty());
  EXPECT_EQ(tooLate, 0);
}

TEST(SignalTest, DebugNamesOnlyWhenEnabled) {
  RSDebugNamesOverrideForTesting(false);
  auto plain = sequenceSignal({1})->map([](const fnd::Value& v) { return v; });
  EXPECT_EQ(plain->name(), "");
  EXPECT_EQ(RSDescription(fnd::Value(7)), "(description skipped)");

  RSDebugNamesOverrideForTesting(true);
  auto source = RSSignal::createSignal([](const RSSubscriberPtr&) -> RSDisposablePtr { return nullptr; });
  EXPECT_EQ(source->name(), "+createSignal:");
  auto named = source->map([](const fnd::Value& v) { return v; })->take(2);
  EXPECT_EQ(named->name(), "[[+createSignal:] -map:] -take: 2");
  EXPECT_EQ(source->startWith("x")->name(), "[+createSignal:] -startWith: x");
  EXPECT_EQ(RSDescription(fnd::Value(RSTuple::tupleWithObjects({1, fnd::Value()}))), "(1, <null>)");
  RSDebugNamesOverrideForTesting(std::nullopt);
}

}  // namespace
