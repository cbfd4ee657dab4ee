// Main of the Qt test executables: offscreen Qt, the main queue on Qt's loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>

#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/QtMainQueueDriver.h"
#include "platform/ui/Style.h"
#include "support/TestSandbox.h"

int main(int argc, char** argv) {
  const testing_support::TestSandbox sandbox;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  ui::applyApplicationStyle();
  dispatch::setMainThread();
  ui::installQtMainQueueDriver();
  int rc = RUN_ALL_TESTS();
  dispatch::shutdown(std::chrono::seconds(5));
  // As the program does: the driver's receiver, with the tasks still posted
  // to it (a tip's fade, holding its view), goes before the QApplication.
  dispatch::setMainQueueDriver(nullptr);
  return rc;
}
