// Cross-thread cases of observation, channels and bindings, meant for the
// ThreadSanitizer build; each is bounded in rounds and time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSKVOChannel.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSubject.h"

using rstest::Node;

TEST(ThreadingKVOTest, SetterObserversAndDestructionOnThreeThreads) {
  for (int round = 0; round < 30; ++round) {
    auto node = fnd::make<Node>();
    auto observer = fnd::make<Node>();
    std::atomic<bool> stop{false};
    std::atomic<int> seen{0};
    std::thread setter([node, &stop] {
      for (int i = 0; i < 200 && !stop; ++i) node->value.set(fnd::Value(i));
    });
    std::thread observing([node, observer, &seen] {
      for (int i = 0; i < 20; ++i) {
        auto d = rs_observeKeyPath(node, "value", fnd::KVOInitial, observer,
                                   [&seen](const fnd::Value&, const fnd::Dictionary&, bool, bool) { seen++; });
        (void)node->valueForKey("value");
        if (i % 2) d->dispose();
      }
    });
    std::thread ending([observer = std::move(observer)]() mutable { observer.reset(); });
    ending.join();
    observing.join();
    stop = true;
    setter.join();
    EXPECT_GT(seen.load(), 0);
    node.reset();
  }
}

TEST(ThreadingKVOTest, ValuesFromTheInputThreadWhileTheReceiverGoes) {
  for (int round = 0; round < 30; ++round) {
    auto node = fnd::make<Node>();
    rstest::Recorder recorder;
    recorder.subscribe(rs_valuesForKeyPath(node, "value", nullptr));
    std::thread input([node = std::move(node)]() mutable {
      for (int i = 0; i < 50; ++i) node->value.set(fnd::Value(i));
      node.reset();  // the last reference goes on this thread
    });
    input.join();
    ASSERT_TRUE(rstest::waitUntil([&] { return recorder.completed(); }));
  }
}

TEST(ThreadingKVOTest, JoinedChannelsUnderWritesFromTheMainAndInputThreads) {
  auto record = fnd::make<Node>();
  auto left1 = fnd::make<Node>();
  auto left2 = fnd::make<Node>();
  for (auto& left : {left1, left2}) {
    auto l = RSKVOChannel::initWithTarget(left, "value", fnd::Value());
    auto r = RSKVOChannel::initWithTarget(record, "value", fnd::Value());
    (*l)["followingTerminal"] = (*r)["followingTerminal"];
  }
  std::thread input([record] {
    for (int i = 0; i < 300; ++i) record->value.set(fnd::Value(i));
  });
  for (int i = 0; i < 300; ++i) {
    if (i % 2)
      left1->value.set(fnd::Value(-i));
    else
      left2->value.set(fnd::Value(-i));
  }
  input.join();
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  // Quiet again: one more change from each side settles all three.
  record->value.set(fnd::Value("last"));
  EXPECT_EQ(left1->value.get(), fnd::Value("last"));
  EXPECT_EQ(left2->value.get(), fnd::Value("last"));
  left2->value.set(fnd::Value("user"));
  EXPECT_EQ(record->value.get(), fnd::Value("user"));
  EXPECT_EQ(left1->value.get(), fnd::Value("user"));
}

TEST(ThreadingKVOTest, BindingRacesTheTargetsEnd) {
  for (int round = 0; round < 30; ++round) {
    auto subject = RSSubject::subject();
    auto target = fnd::make<Node>();
    subject->setKeyPath("value", target);
    std::thread sender([subject] {
      for (int i = 0; i < 100; ++i) subject->sendNext(fnd::Value(i));
    });
    target.reset();
    sender.join();
  }
}
