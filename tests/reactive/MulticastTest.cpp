#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ReactiveTestSupport.h"
#include "platform/foundation/Log.h"
#include "reactive/RSMulticastConnection.h"
#include "reactive/RSSubject.h"

using namespace std::chrono_literals;
using rstest::Recorder;
using rstest::sequenceSignal;
using rstest::testError;
using rstest::Values;

namespace {

TEST(MulticastTest, ReplaySubscribesAtTheCallAndOnlyOnce) {
  int subscriptions = 0;
  auto source = RSSignal::defer([&subscriptions] {
    ++subscriptions;
    return sequenceSignal({1, 2});
  });
  auto replayed = source->replay();
  EXPECT_EQ(subscriptions, 1);
  Recorder a, b;
  a.subscribe(replayed);
  b.subscribe(replayed);
  EXPECT_EQ(subscriptions, 1);
  EXPECT_EQ(b.events(), (std::vector<std::string>{"next:1", "next:2", "completed"}));

  Recorder last;
  last.subscribe(sequenceSignal({1, 2, 3})->replayLast());
  EXPECT_EQ(last.events(), (std::vector<std::string>{"next:3", "completed"}));
}

TEST(MulticastTest, ReplayLazilyWaitsForTheFirstSubscriber) {
  int subscriptions = 0;
  auto lazily = RSSignal::defer([&subscriptions] {
                  ++subscriptions;
                  return sequenceSignal({"v"});
                })->replayLazily();
  EXPECT_EQ(subscriptions, 0);
  Recorder a, b;
  a.subscribe(lazily);
  b.subscribe(lazily);
  EXPECT_EQ(subscriptions, 1);
  EXPECT_EQ(b.values(), (Values{"v"}));
}

// Opened by the test; waited for, bounded, by a signal's thread.
struct Hold {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void release() {
    std::lock_guard lock(mutex);
    open = true;
    opened.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex);
    opened.wait_for(lock, std::chrono::seconds(5), [this] { return open; });
  }
};

// A signal that sends its events from another thread after a short pause.
// With `errorAfter` its error waits for that hold: take() hands a value on
// through the subscription scheduler, so an error sent right behind it from a
// plain thread may end the subscription before the value gets through.
RSSignalPtr fromThread(Values values, bool fail, std::shared_ptr<Hold> errorAfter = nullptr) {
  return RSSignal::createSignal([values, fail, errorAfter](const RSSubscriberPtr& s) -> RSDisposablePtr {
    std::thread([s, values, fail, errorAfter] {
      std::this_thread::sleep_for(2ms);
      for (const auto& v : values) s->sendNext(v);
      if (fail) {
        if (errorAfter) errorAfter->wait();
        s->sendError(testError(6));
      } else {
        s->sendCompleted();
      }
    }).detach();
    return nullptr;
  });
}

TEST(BlockingTest, FirstOrDefault) {
  EXPECT_EQ(fromThread({1, 2}, false)->first(), fnd::Value(1));
  EXPECT_TRUE(fromThread({}, false)->first().isNil());

  bool success = true;
  RSErrorPtr error;
  EXPECT_EQ(fromThread({}, true)->firstOrDefault("default", &success, &error), fnd::Value("default"));
  EXPECT_FALSE(success);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), 6);

  // Only the first event counts: an error after it changes nothing.
  error = nullptr;
  auto hold = std::make_shared<Hold>();
  EXPECT_EQ(fromThread({"v"}, true, hold)->firstOrDefault("default", &success, &error), fnd::Value("v"));
  hold->release();
  EXPECT_TRUE(success);
  EXPECT_EQ(error, nullptr);
}

TEST(BlockingTest, WaitUntilCompletedAndToArray) {
  RSErrorPtr error;
  EXPECT_TRUE(fromThread({1, 2}, false)->waitUntilCompleted(&error));
  EXPECT_FALSE(fromThread({1}, true)->waitUntilCompleted(&error));
  EXPECT_EQ(error->code(), 6);

  auto array = fromThread({"a", fnd::Value(), "b"}, false)->toArray();
  ASSERT_TRUE(array.has_value());
  EXPECT_EQ(*array, (fnd::Array{"a", fnd::Value::null(), "b"}));
  auto none = fromThread({}, false)->toArray();
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(fromThread({1}, true)->toArray().has_value());
}

TEST(BlockingTest, AWaitThatCannotEndGivesUpWithinTheBound) {
  auto previous = RSSignal::blockingWaitBound();
  RSSignal::setBlockingWaitBound(50ms);
  std::vector<std::string> logged;
  auto previousSink = fnd::setLogSink([&logged](const std::string& line) { logged.push_back(line); });

  // Delivery through the main queue can never reach a main thread that waits.
  bool success = true;
  RSErrorPtr error;
  auto onMainQueue = RSSignal::createSignal([](const RSSubscriberPtr& s) -> RSDisposablePtr {
    dispatch::Queue::main()->async([s] {
      s->sendNext(1);
      s->sendCompleted();
    });
    return nullptr;
  });
  auto value = onMainQueue->firstOrDefault("none", &success, &error);

  fnd::setLogSink(previousSink);
  RSSignal::setBlockingWaitBound(previous);
  EXPECT_EQ(value, fnd::Value("none"));
  EXPECT_FALSE(success);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), RSSignalErrorDomain);
  EXPECT_EQ(error->code(), RSSignalErrorTimedOut);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("no event within 50 ms"), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("giving up"), std::string::npos);
  dispatch::drainMainQueue();  // the late delivery finds the wait over
}

}  // namespace
