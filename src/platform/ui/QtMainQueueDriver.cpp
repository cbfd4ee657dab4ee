#include "platform/ui/QtMainQueueDriver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <exception>

#include "platform/foundation/Log.h"

namespace ui {

namespace {

QEvent::Type taskEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class TaskEvent final : public QEvent {
public:
  explicit TaskEvent(dispatch::Task t) : QEvent(taskEventType()), task(std::move(t)) {}
  dispatch::Task task;
};

}  // namespace

class QtMainQueueDriver::Receiver final : public QObject {
public:
  // Tasks run so far (main thread only).
  size_t ran = 0;
  // The innermost runSlice loop, quit as soon as a task has run.
  QEventLoop* slice = nullptr;

protected:
  void customEvent(QEvent* event) override {
    if (event->type() != taskEventType()) return;
    dispatch::Task task = std::move(static_cast<TaskEvent*>(event)->task);
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
};

QtMainQueueDriver::QtMainQueueDriver() : receiver_(new Receiver()) {}

QtMainQueueDriver::~QtMainQueueDriver() {
  if (QThread::currentThread() == receiver_->thread())
    delete receiver_;
  else
    receiver_->deleteLater();
}

void QtMainQueueDriver::post(dispatch::Task task) {
  QCoreApplication::postEvent(receiver_, new TaskEvent(std::move(task)));
}

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
