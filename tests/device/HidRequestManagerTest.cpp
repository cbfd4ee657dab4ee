// The table of requests waiting for the unit's answer: keys, answers,
// replacement, time-outs, and use from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/HIDServiceViewModeTestSupport.h"
#include "device/service/HidRequestManager.h"
#include "platform/dispatch/Queue.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> answerFrame(uint8_t cmd) { return {0xAA, 0x55, 0x02, 0x00, cmd, 0x00, 0x00, 0x00}; }

struct Calls {
  std::atomic<int> success{0};
  std::atomic<int> fail{0};
  fnd::Value lastResult;
  fnd::Dictionary lastReport;
  HidRequestModel::SuccessBlock onSuccess() {
    return [this](const fnd::Value& v) {
      lastResult = v;
      success.fetch_add(1);
    };
  }
  HidRequestModel::FailBlock onFail() {
    return [this](const fnd::Dictionary& d) {
      lastReport = d;
      fail.fetch_add(1);
    };
  }
};

}  // namespace

TEST(HidRequestTable, EntriesAreKeptByTheirExpectedAnswer) {
  auto table = fnd::make<HidRequestManager>();
  Calls a, b, c;
  table->requsetWithRequesetCmd(0xC1, 0, 1, "none", a.onSuccess(), a.onFail());
  table->requsetWithRequesetCmd(0xC1, -3, 1, "none", a.onSuccess(), a.onFail());
  EXPECT_TRUE(table->requsetSource().empty());

  table->requsetWithRequesetCmd(0xC3, 0x43, 0, "first", a.onSuccess(), a.onFail());
  auto second = table->requsetWithRequesetCmd(0xC3, 0x43, 0, "second", b.onSuccess(), b.onFail());
  table->requsetWithRequesetCmd(0xA1, 0x21, 0, "no block", nullptr, c.onFail());
  ASSERT_EQ(table->requsetSource().size(), 2u);
  EXPECT_EQ(table->requsetSource().at("HID_67"), second);
  EXPECT_EQ(second->uniqueString(), "second");
  EXPECT_EQ(second->requestCmd(), 0xC3);

  // No entry, an entry without a success block, a frame too short: nothing.
  table->responseWithData(answerFrame(0x44), fnd::Value(1));
  table->responseWithData(answerFrame(0x21), fnd::Value(1));
  table->responseWithData(std::vector<uint8_t>{0xAA, 0x55, 0x02, 0x00}, fnd::Value(1));
  EXPECT_EQ(table->requsetSource().size(), 2u);

  table->responseWithData(answerFrame(0x43), fnd::Value("done"));
  EXPECT_EQ(a.success.load(), 0);
  EXPECT_EQ(b.success.load(), 1);
  EXPECT_EQ(b.lastResult, fnd::Value("done"));
  table->responseWithData(answerFrame(0x43), fnd::Value("again"));
  EXPECT_EQ(b.success.load(), 1);

  table->removeResponseForCmd(0x21);
  EXPECT_TRUE(table->requsetSource().empty());
  EXPECT_EQ(HidRequestManager::shareManager(), HidRequestManager::shareManager());
}

TEST(HidRequestTable, ASuccessBlockMayPlaceTheNextRequestForTheSameAnswer) {
  auto table = fnd::make<HidRequestManager>();
  Calls next;
  table->requsetWithRequesetCmd(0xC3, 0x43, 0, "first",
                                [&](const fnd::Value&) {
                                  table->requsetWithRequesetCmd(0xC3, 0x43, 0, "next", next.onSuccess(), nullptr);
                                },
                                nullptr);
  table->responseWithData(answerFrame(0x43), fnd::Value());
  ASSERT_EQ(table->requsetSource().size(), 1u);
  EXPECT_EQ(table->requsetSource().at("HID_67")->uniqueString(), "next");
}

TEST(HidRequestTable, ATimeOutReportsOnceAndLeavesTheEntry) {
  auto table = fnd::make<HidRequestManager>();
  Calls late, answered;
  auto entry = table->requsetWithRequesetCmd(0xC4, 0x44, 0.02, "late", late.onSuccess(), late.onFail());
  entry->startRequeset();  // on the main thread: the timer fires on the main queue
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return late.fail.load() == 1; }, 5s));
  EXPECT_EQ(late.lastReport, HidRequestModel::timeOutReport());
  EXPECT_EQ(late.lastReport["reason"], fnd::Value(1));
  EXPECT_EQ(late.lastReport["text"], fnd::Value("Time out"));
  ASSERT_TRUE(svc_test::SimRig::waitPast(20ms));  // a second fire of its timer would come first
  EXPECT_EQ(late.fail.load(), 1);
  ASSERT_EQ(table->requsetSource().count("HID_68"), 1u);
  table->responseWithData(answerFrame(0x44), fnd::Value(2));
  EXPECT_EQ(late.success.load(), 1);

  // Answered in time: the timer is stopped.
  auto inTime = table->requsetWithRequesetCmd(0xC3, 0x43, 0.05, "in time", answered.onSuccess(), answered.onFail());
  inTime->startRequeset();
  table->responseWithData(answerFrame(0x43), fnd::Value(1));
  EXPECT_FALSE(inTime->overTimer());
  ASSERT_TRUE(svc_test::SimRig::waitPast(50ms));  // past the stopped timer's time
  EXPECT_EQ(answered.success.load(), 1);
  EXPECT_EQ(answered.fail.load(), 0);
  // No time-out at all for 0 or less.
  auto never = HidRequestModel::initWithRequesetCmd(1, 2, 0, "", nullptr, nullptr);
  never->startRequeset();
  EXPECT_FALSE(never->overTimer());
}

// Requests, answers and time-outs from several threads at once; each success
// block runs exactly once.
TEST(HidRequestTable, AnswersAndTimeOutsFromManyThreads) {
  auto table = fnd::make<HidRequestManager>();
  auto timers = dispatch::Queue::createSerial("test.requests");
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::atomic<int> successes{0}, fails{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const int response = 1 + t * kRounds + i;  // below 256: one key each
        auto entry = table->requsetWithRequesetCmd(0x10, response, 0.001, "r",
                                                   [&](const fnd::Value&) { successes.fetch_add(1); },
                                                   [&](const fnd::Dictionary&) { fails.fetch_add(1); });
        timers->sync([&] { entry->startRequeset(); });
        if (i % 2) std::this_thread::sleep_for(1ms);
        table->responseWithData(answerFrame(static_cast<uint8_t>(response)), fnd::Value(i));
        table->responseWithData(answerFrame(static_cast<uint8_t>(response)), fnd::Value(i));
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(successes.load(), kThreads * kRounds);
  EXPECT_TRUE(table->requsetSource().empty());
  timers->sync([] {});
  EXPECT_LE(fails.load(), kThreads * kRounds);
}
