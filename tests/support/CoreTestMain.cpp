// Main of the Qt-free test executables: this thread is the main thread and the
// main queue is pumped by hand (dispatch::drainMainQueue / runMainLoopUntil).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/dispatch/Queue.h"
#include "support/TestSandbox.h"

int main(int argc, char** argv) {
  const testing_support::TestSandbox sandbox;
  testing::InitGoogleTest(&argc, argv);
  dispatch::setMainThread();
  dispatch::setMainQueueDriver(std::make_shared<dispatch::ManualMainQueueDriver>());
  int rc = RUN_ALL_TESTS();
  dispatch::shutdown(std::chrono::seconds(5));
  return rc;
}
