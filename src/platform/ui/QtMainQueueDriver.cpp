#include "platform/ui/QtMainQueueDriver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <deque>
#include <exception>
#include <mutex>

#include "platform/foundation/Log.h"

namespace ui {

namespace {

QEvent::Type taskEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Asks the receiver to run the first of its waiting tasks.
class TaskEvent final : public QEvent {
public:
  TaskEvent() : QEvent(taskEventType()) {}
};

}  // namespace

class QtMainQueueDriver::Receiver final : public QObject {
public:
  // Tasks run so far (main thread only).
  size_t ran = 0;
  // The innermost runSlice loop, quit as soon as a task has run.
  QEventLoop* slice = nullptr;

  // The tasks wait here, with at most one event for them in Qt's queue:
  // posting an event wakes the event loop (a system call each time), so a
  // burst of tasks wakes it once. The event runs the tasks that were waiting
  // when it arrived, in order; before each task it makes sure an event is
  // queued for the ones after it, so that a nested loop in a task runs them.
  void post(dispatch::Task task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      if (eventPosted_) return;
      eventPosted_ = true;
    }
    QCoreApplication::postEvent(this, new TaskEvent());
  }

protected:
  void customEvent(QEvent* event) override {
    if (event->type() != taskEventType()) return;
    size_t batch = 0;
    {
      std::lock_guard lock(mutex_);
      eventPosted_ = false;  // this was the one in the queue
      batch = tasks_.size();
    }
    for (; batch > 0; --batch) {
      dispatch::Task task;
      bool postNext = false;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) break;  // a nested loop ran them
        task = std::move(tasks_.front());
        tasks_.pop_front();
        if (!tasks_.empty() && !eventPosted_) postNext = eventPosted_ = true;
      }
      if (postNext) QCoreApplication::postEvent(this, new TaskEvent());
      ++ran;
      try {
        if (task) task();
      } catch (const std::exception& e) {
        fnd::log("dispatch: a main-queue task threw: %s", e.what());
      } catch (...) {
        fnd::log("dispatch: a main-queue task threw a non-standard exception");
      }
      if (slice) slice->quit();
    }
  }

private:
  std::mutex mutex_;
  std::deque<dispatch::Task> tasks_;
  bool eventPosted_ = false;
};

QtMainQueueDriver::QtMainQueueDriver() : receiver_(new Receiver()) {}

QtMainQueueDriver::~QtMainQueueDriver() {
  if (QThread::currentThread() == receiver_->thread())
    delete receiver_;
  else
    receiver_->deleteLater();
}

void QtMainQueueDriver::post(dispatch::Task task) { receiver_->post(std::move(task)); }

size_t QtMainQueueDriver::drain() {
  size_t count = 0;
  for (;;) {
    const size_t before = receiver_->ran;
    QCoreApplication::sendPostedEvents(receiver_, taskEventType());
    if (receiver_->ran == before) return count;
    count += receiver_->ran - before;
  }
}

void QtMainQueueDriver::runSlice(dispatch::Clock::duration slice) {
  if (drain() > 0) return;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice).count();
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(std::max<decltype(ms)>(ms, 1)));
  QEventLoop* outer = receiver_->slice;
  receiver_->slice = &loop;
  loop.exec();
  receiver_->slice = outer;
}

std::shared_ptr<QtMainQueueDriver> installQtMainQueueDriver() {
  auto driver = std::make_shared<QtMainQueueDriver>();
  dispatch::setMainQueueDriver(driver);
  return driver;
}

}  // namespace ui
