// The main queue on Qt's event loop: each task is a posted event to one
// receiver that lives in the main thread. Qt keeps posted events to one
// receiver in order, and delivers them inside nested loops (modal dialogs,
// QEventLoop::exec) as well.
#pragma once

#include <memory>

#include "platform/dispatch/MainQueueDriver.h"

class QEventLoop;

namespace ui {

class QtMainQueueDriver final : public dispatch::MainQueueDriver {
public:
  // On the main thread, once the QApplication exists.
  QtMainQueueDriver();
  // On the main thread; pending tasks are destroyed unrun.
  ~QtMainQueueDriver() override;
  QtMainQueueDriver(const QtMainQueueDriver&) = delete;
  QtMainQueueDriver& operator=(const QtMainQueueDriver&) = delete;

  void post(dispatch::Task task) override;
  size_t drain() override;
  // One slice of a nested event loop: every kind of Qt event is handled, not
  // only tasks. Ends after `slice` or as soon as a task has run.
  void runSlice(dispatch::Clock::duration slice) override;

  class Receiver;

private:
  Receiver* receiver_;
};

// Creates a QtMainQueueDriver and installs it as the main queue's driver.
// Call on the main thread after the QApplication exists.
std::shared_ptr<QtMainQueueDriver> installQtMainQueueDriver();

}  // namespace ui
