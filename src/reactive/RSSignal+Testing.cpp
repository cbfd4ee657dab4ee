// Starting work once on a scheduler, logging, and the waits of tests.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "reactive/RSMulticastConnection.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

// ------------------------------------------------------------- starting work

RSSignalPtr RSSignal::startLazilyWithScheduler(const RSSchedulerPtr& scheduler,
                                               std::function<void(const RSSubscriberPtr& subscriber)> block) {
  auto work = createSignal([block = std::move(block)](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    block(subscriber);
    return nullptr;
  });
  RSMulticastConnectionPtr connection = work->multicast(RSReplaySubject::subject());
  auto result = createSignal([connection](const RSSubscriberPtr& subscriber) {
                  RSDisposablePtr subscription = connection->signal()->subscribe(subscriber);
                  connection->connect();
                  return subscription;
                })->subscribeOn(scheduler);
  result->setNameWithFormat("+startLazilyWithScheduler: %s block:",
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

RSSignalPtr RSSignal::startEagerlyWithScheduler(const RSSchedulerPtr& scheduler,
                                                std::function<void(const RSSubscriberPtr& subscriber)> block) {
  RSSignalPtr signal = startLazilyWithScheduler(scheduler, std::move(block));
  signal->publish()->connect();
  signal->setNameWithFormat("+startEagerlyWithScheduler: %s block:",
                            scheduler ? scheduler->description().c_str() : "(null)");
  return signal;
}

// ----------------------------------------------------------------- debugging

RSSignalPtr RSSignal::logNext() {
  RSSignalPtr self = selfSignal();
  auto result = doNext([self](const fnd::Value& value) {
    fnd::log("%s next: %s", self->description().c_str(), value.description().c_str());
  });
  result->setNameWithFormat("%s", name().c_str());
  return result;
}

RSSignalPtr RSSignal::logError() {
  RSSignalPtr self = selfSignal();
  auto result = doError([self](const RSErrorPtr& error) {
    fnd::log("%s error: %s", self->description().c_str(), error ? error->description().c_str() : "(null)");
  });
  result->setNameWithFormat("%s", name().c_str());
  return result;
}

RSSignalPtr RSSignal::logCompleted() {
  RSSignalPtr self = selfSignal();
  auto result = doCompleted([self] { fnd::log("%s completed", self->description().c_str()); });
  result->setNameWithFormat("%s", name().c_str());
  return result;
}

RSSignalPtr RSSignal::logAll() { return logNext()->logError()->logCompleted(); }

// ------------------------------------------------------------------- testing

namespace {

// What one asynchronous wait has seen; written by the delivering thread, read
// by the waiting one.
struct AsynchronousWait {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  bool success = true;
  bool hasValue = false;
  fnd::Value value;
  RSErrorPtr error;

  bool isDone() {
    std::lock_guard lock(mutex);
    return done;
  }
  void finish() {
    done = true;
    changed.notify_all();
  }
};

}  // namespace

fnd::Value RSSignal::asynchronousFirstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error,
                                                RSTimeInterval timeout) {
  auto wait = std::make_shared<AsynchronousWait>();
  const bool pumpsMainQueue = dispatch::isMainThread() && dispatch::mainQueueDriver();
  RSSignalPtr signal = take(1)->timeout(timeout, RSScheduler::scheduler());
  if (pumpsMainQueue) signal = signal->deliverOn(RSScheduler::mainThreadScheduler());

  RSDisposablePtr subscription = signal->subscribeNext(
      [wait](const fnd::Value& value) {
        std::lock_guard lock(wait->mutex);
        if (wait->done) return;
        wait->value = value;
        wait->hasValue = true;
        wait->finish();
      },
      [wait](const RSErrorPtr& failure) {
        std::lock_guard lock(wait->mutex);
        if (wait->done) return;
        wait->success = false;
        wait->error = failure;
        wait->finish();
      },
      [wait] {
        std::lock_guard lock(wait->mutex);
        wait->finish();
      });

  // The time-out above always ends the wait; the extra second only bounds a
  // main queue that nobody drains.
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeout > 0 ? timeout : 0) + std::chrono::seconds(1));
  const auto slice =
      std::chrono::duration_cast<dispatch::Clock::duration>(std::chrono::duration<double>(asynchronousWaitSlice));
  if (pumpsMainQueue) {
    while (!wait->isDone() && std::chrono::steady_clock::now() < deadline) {
      dispatch::runMainLoopUntil([wait] { return wait->isDone(); }, slice);
    }
  } else {
    std::unique_lock lock(wait->mutex);
    wait->changed.wait_until(lock, deadline, [&wait] { return wait->done; });
  }
  if (subscription) subscription->dispose();

  std::lock_guard lock(wait->mutex);
  if (!wait->done) {
    wait->done = true;
    wait->success = false;
    wait->error = fnd::Error::make(RSSignalErrorDomain, RSSignalErrorTimedOut);
  }
  if (success) *success = wait->success;
  if (error) *error = wait->error;
  return wait->hasValue ? wait->value : defaultValue;
}

fnd::Value RSSignal::asynchronousFirstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error) {
  return asynchronousFirstOrDefault(defaultValue, success, error, asynchronousWaitDefaultTimeout);
}

bool RSSignal::asynchronouslyWaitUntilCompleted(RSErrorPtr* error, RSTimeInterval timeout) {
  bool success = false;
  ignoreValues()->asynchronousFirstOrDefault(fnd::Value(), &success, error, timeout);
  return success;
}

bool RSSignal::asynchronouslyWaitUntilCompleted(RSErrorPtr* error) {
  return asynchronouslyWaitUntilCompleted(error, asynchronousWaitDefaultTimeout);
}
