#include <gtest/gtest.h>

#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSNotificationSignals.h"

using rstest::Recorder;

TEST(NotificationSignalTest, EachSubscriptionRegistersAndDisposalRemovesAtOnce) {
  fnd::NotificationCenter center;
  auto signal = rs_addObserverForName(center, "reloadPresetName", fnd::Value());
  Recorder a, b;
  auto first = a.subscribe(signal);
  b.subscribe(signal);
  EXPECT_EQ(center.observerCount(), 2u);
  center.post("reloadPresetName");
  center.post("somethingElse");
  EXPECT_EQ(a.values().size(), 1u);
  EXPECT_EQ(b.values().size(), 1u);
  EXPECT_EQ(a.values()[0].asDictionary()[RSNotificationNameKey], fnd::Value("reloadPresetName"));

  first->dispose();
  EXPECT_EQ(center.observerCount(), 1u);
  center.post("reloadPresetName");
  EXPECT_EQ(a.values().size(), 1u);
  EXPECT_EQ(b.values().size(), 2u);
  EXPECT_FALSE(b.completed());  // never completes by itself
}

TEST(NotificationSignalTest, DeliversOnThePostingThreadAndFiltersBySender) {
  fnd::NotificationCenter center;
  auto sender = fnd::make<rstest::Node>();
  std::thread::id deliveredOn;
  int deliveries = 0;
  auto subscription = rs_addObserverForName(center, "changed", fnd::Value(sender))->subscribeNext([&](const fnd::Value&) {
    deliveredOn = std::this_thread::get_id();
    ++deliveries;
  });
  std::thread::id poster;
  rstest::onPlainThread([&] {
    poster = std::this_thread::get_id();
    center.post("changed", fnd::Value(sender));
    center.post("changed", fnd::Value(fnd::make<rstest::Node>()));  // another sender
  });
  EXPECT_EQ(deliveries, 1);
  EXPECT_EQ(deliveredOn, poster);
  subscription->dispose();
}

// As a view model follows the notification: until it ends its life.
TEST(NotificationSignalTest, EndsWithItsObserver) {
  fnd::NotificationCenter center;
  auto viewModel = fnd::make<rstest::Node>();
  Recorder recorder;
  recorder.subscribe(rs_addObserverForName(center, "reloadPresetName", fnd::Value())
                         ->takeUntil(rs_willDeallocSignal(viewModel)));
  center.post("reloadPresetName");
  viewModel.reset();
  EXPECT_TRUE(recorder.completed());
  EXPECT_EQ(center.observerCount(), 0u);
  center.post("reloadPresetName");
  EXPECT_EQ(recorder.values().size(), 1u);
}
