#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "platform/foundation/Log.h"
#include "reactive/RSSubject.h"

using rstest::Recorder;

TEST(StartHelpersTest, LazyStartRunsTheBlockOnceOnItsSchedulerForEverySubscriber) {
  auto runs = std::make_shared<std::atomic<int>>(0);
  auto ranOnScheduler = std::make_shared<std::atomic<bool>>(false);
  RSSchedulerPtr scheduler = RSScheduler::scheduler();
  auto signal =
      RSSignal::startLazilyWithScheduler(scheduler, [runs, ranOnScheduler, scheduler](const RSSubscriberPtr& s) {
        ++*runs;
        *ranOnScheduler = RSScheduler::currentScheduler() == scheduler;
        s->sendNext(fnd::Value(1));
        s->sendNext(fnd::Value(2));
        s->sendCompleted();
      });
  auto fenced = std::make_shared<std::atomic<bool>>(false);  // behind a start queued at creation
  scheduler->schedule([fenced] { *fenced = true; });
  ASSERT_TRUE(rstest::waitUntil([&] { return fenced->load(); }));
  EXPECT_EQ(*runs, 0);  // nothing before the first subscriber

  Recorder first, second;
  first.subscribe(signal);
  ASSERT_TRUE(rstest::waitUntil([&] { return first.completed(); }));
  second.subscribe(signal);  // late: gets the kept events
  ASSERT_TRUE(rstest::waitUntil([&] { return second.completed(); }));
  EXPECT_EQ(*runs, 1);
  EXPECT_TRUE(*ranOnScheduler);
  EXPECT_EQ(first.values(), (rstest::Values{1, 2}));
  EXPECT_EQ(second.values(), (rstest::Values{1, 2}));
}

TEST(StartHelpersTest, SubscribersArrivingTogetherOnSeveralThreadsStartTheBlockOnce) {
  for (int round = 0; round < 20; ++round) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto signal = RSSignal::startLazilyWithScheduler(RSScheduler::scheduler(), [runs](const RSSubscriberPtr& s) {
      ++*runs;
      s->sendNext(fnd::Value(runs->load()));
      s->sendCompleted();
    });
    std::vector<Recorder> recorders(4);
    std::vector<std::thread> threads;
    for (auto& recorder : recorders) threads.emplace_back([&recorder, signal] { recorder.subscribe(signal); });
    for (auto& thread : threads) thread.join();
    for (auto& recorder : recorders) {
      ASSERT_TRUE(rstest::waitUntil([&] { return recorder.completed(); }));
      EXPECT_EQ(recorder.values(), (rstest::Values{1}));
    }
    EXPECT_EQ(*runs, 1);
  }
}

TEST(StartHelpersTest, EagerStartRunsWithoutASubscriber) {
  auto ran = std::make_shared<std::atomic<bool>>(false);
  auto signal = RSSignal::startEagerlyWithScheduler(RSScheduler::scheduler(), [ran](const RSSubscriberPtr& s) {
    *ran = true;
    s->sendNext(fnd::Value("done"));
    s->sendCompleted();
  });
  ASSERT_TRUE(rstest::waitUntil([&] { return ran->load(); }));
  Recorder recorder;
  recorder.subscribe(signal);
  ASSERT_TRUE(rstest::waitUntil([&] { return recorder.completed(); }));
  EXPECT_EQ(recorder.values(), (rstest::Values{"done"}));
}

TEST(WaitHelpersTest, FirstValueArrivesFromAnotherThreadWhileTheMainQueueIsPumped) {
  // A value that needs the main queue on its way: the wait must pump it.
  auto signal = RSSignal::createSignal([](const RSSubscriberPtr& s) -> RSDisposablePtr {
    return RSScheduler::scheduler()->afterDelay(0.02, [s] {
      dispatch::mainQueue()->async([s] {
        s->sendNext(fnd::Value(42));
        s->sendNext(fnd::Value(43));
      });
    });
  });
  bool success = false;
  RSErrorPtr error = rstest::testError();
  EXPECT_EQ(signal->asynchronousFirstOrDefault(fnd::Value(-1), &success, &error, 5.0), fnd::Value(42));
  EXPECT_TRUE(success);
  EXPECT_EQ(error, nullptr);
}

TEST(WaitHelpersTest, TimeOutsAndErrorsReportFailureWithTheirError) {
  bool success = true;
  RSErrorPtr error;
  EXPECT_EQ(RSSignal::never()->asynchronousFirstOrDefault(fnd::Value("default"), &success, &error, 0.05),
            fnd::Value("default"));
  EXPECT_FALSE(success);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), RSSignalErrorDomain);
  EXPECT_EQ(error->code(), RSSignalErrorTimedOut);

  success = true;
  EXPECT_EQ(RSSignal::error(rstest::testError(9))->asynchronousFirstOrDefault(fnd::Value(0), &success, &error, 5.0),
            fnd::Value(0));
  EXPECT_FALSE(success);
  EXPECT_EQ(error->code(), 9);

  // Ending without a value is a success with the default.
  success = false;
  EXPECT_EQ(RSSignal::empty()->asynchronousFirstOrDefault(fnd::Value(5), &success, nullptr, 5.0), fnd::Value(5));
  EXPECT_TRUE(success);
}

TEST(WaitHelpersTest, WaitUntilCompletedSeesCompletionFailureAndTimeOut) {
  RSErrorPtr error;
  EXPECT_TRUE(rstest::sequenceSignal({1, 2, 3})->delay(0.01)->asynchronouslyWaitUntilCompleted(&error, 5.0));
  EXPECT_FALSE(rstest::sequenceSignal({1}, rstest::testError(4), true)->asynchronouslyWaitUntilCompleted(&error, 5.0));
  EXPECT_EQ(error->code(), 4);
  // Values alone do not complete it.
  auto values = RSSignal::interval(0.01, RSScheduler::scheduler());
  EXPECT_FALSE(values->asynchronouslyWaitUntilCompleted(&error, 0.1));
  EXPECT_EQ(error->code(), RSSignalErrorTimedOut);
}

TEST(WaitHelpersTest, WaitsOffTheMainThreadWithoutPumpingIt) {
  fnd::Value first;
  bool success = false;
  rstest::onPlainThread([&] {
    first = rstest::sequenceSignal({"a", "b"})
                ->delay(0.01)
                ->asynchronousFirstOrDefault(fnd::Value(), &success, nullptr, 5.0);
  });
  EXPECT_TRUE(success);
  EXPECT_EQ(first, fnd::Value("a"));
}

TEST(LoggingOperatorsTest, LogAllWritesEachEventWithTheSignalsDescription) {
  std::vector<std::string> lines;
  std::mutex mutex;
  fnd::LogSink previous = fnd::setLogSink([&](const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  });
  auto source = rstest::sequenceSignal({7});
  source->setName("source");
  Recorder recorder;
  recorder.subscribe(source->logAll());
  Recorder failing;
  failing.subscribe(rstest::sequenceSignal({}, rstest::testError(3), true)->logError());
  fnd::setLogSink(previous);

  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"next:7", "completed"}));
  // Other threads may log meanwhile: look for the three lines among them.
  auto count = [&](const std::string& text) {
    int found = 0;
    for (const auto& line : lines) found += line.find(text) != std::string::npos;
    return found;
  };
  EXPECT_EQ(count(source->description() + " next: 7"), 1);
  int completions = 0;
  for (const auto& line : lines) {
    const std::string suffix = " completed";
    completions +=
        line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
  }
  EXPECT_EQ(completions, 1) << ::testing::PrintToString(lines);
  EXPECT_EQ(count(" error: "), 1);
}
