// The main queue on Qt's event loop.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <thread>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/ui/QtMainQueueDriver.h"

namespace ui {
namespace {

using namespace std::chrono_literals;
using dispatch::Queue;

TEST(QtMainQueueDriver, PostsFromAnotherThreadRunOnTheMainThreadInOrder) {
  constexpr int kCount = 500;
  std::vector<int> seen;  // main thread only
  bool offMain = false;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) {
      Queue::main()->async([&, i] {
        offMain = offMain || !dispatch::isMainThread();
        seen.push_back(i);
      });
    }
  });
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return seen.size() == size_t(kCount); }, 5s));
  producer.join();
  EXPECT_FALSE(offMain);
  for (int i = 0; i < int(seen.size()); ++i) ASSERT_EQ(seen[i], i);
}

TEST(QtMainQueueDriver, PostsRunInsideANestedEventLoopInOrder) {
  // A main-queue task opens a nested loop, as a modal dialog does; work
  // posted meanwhile from another thread runs inside it.
  constexpr int kCount = 200;
  std::vector<int> seen;
  bool nestedReturned = false;
  bool timedOut = false;
  Queue::main()->async([&] {
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, [&] {
      timedOut = true;
      loop.quit();
    });
    std::thread producer([&] {
      for (int i = 0; i < kCount; ++i) {
        Queue::main()->async([&, i] {
          seen.push_back(i);
          if (i == kCount - 1) loop.quit();
        });
      }
    });
    loop.exec();
    producer.join();
    nestedReturned = true;
  });
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return nestedReturned; }, 10s));
  EXPECT_FALSE(timedOut);
  ASSERT_EQ(seen.size(), size_t(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[i], i);
}

TEST(QtMainQueueDriver, DrainRunsPendingTasksAndWhatTheyPost) {
  std::vector<int> order;
  Queue::main()->async([&] {
    order.push_back(1);
    Queue::main()->async([&] { order.push_back(3); });
  });
  Queue::main()->async([&] { order.push_back(2); });
  EXPECT_EQ(dispatch::drainMainQueue(), 3u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace ui
