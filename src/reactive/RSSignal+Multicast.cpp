// Sharing one subscription among many subscribers, and waiting for a signal.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/Log.h"
#include "reactive/RSMulticastConnection.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

// ------------------------------------------------------------------ multicasting

RSMulticastConnectionPtr RSSignal::multicast(const RSSubjectPtr& subject) {
  subject->setNameWithFormat("[%s] -multicast: %s", name().c_str(), subject->name().c_str());
  return std::make_shared<RSMulticastConnection>(selfSignal(), subject);
}

RSMulticastConnectionPtr RSSignal::publish() {
  auto subject = RSSubject::subject();
  subject->setNameWithFormat("[%s] -publish", name().c_str());
  return multicast(subject);
}

RSSignalPtr RSSignal::replay() {
  auto subject = RSReplaySubject::subject();
  subject->setNameWithFormat("[%s] -replay", name().c_str());
  auto connection = multicast(subject);
  connection->connect();
  return connection->signal();
}

RSSignalPtr RSSignal::replayLast() {
  auto subject = RSReplaySubject::replaySubjectWithCapacity(1);
  subject->setNameWithFormat("[%s] -replayLast", name().c_str());
  auto connection = multicast(subject);
  connection->connect();
  return connection->signal();
}

RSSignalPtr RSSignal::replayLazily() {
  auto connection = multicast(RSReplaySubject::subject());
  auto result = defer([connection] {
    connection->connect();
    return RSSignalPtr(connection->signal());
  });
  result->setNameWithFormat("[%s] -replayLazily", name().c_str());
  return result;
}

// ---------------------------------------------------------------------- blocking

namespace {

std::atomic<int64_t> gBlockingWaitBoundNs{std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::seconds(10)).count()};

}  // namespace

dispatch::Clock::duration RSSignal::blockingWaitBound() {
  return std::chrono::duration_cast<dispatch::Clock::duration>(std::chrono::nanoseconds(gBlockingWaitBoundNs.load()));
}

void RSSignal::setBlockingWaitBound(dispatch::Clock::duration bound) {
  gBlockingWaitBoundNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(bound).count());
}

fnd::Value RSSignal::firstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error) {
  struct Wait {
    std::mutex mutex;
    std::condition_variable condition;
    fnd::Value result;
    bool done = false;
    bool success = false;
    RSErrorPtr error;
  };
  auto wait = std::make_shared<Wait>();
  wait->result = defaultValue;

  auto subscription = take(1)->subscribeNext(
      [wait](const fnd::Value& value) {
        std::lock_guard lock(wait->mutex);
        wait->result = value;
        wait->success = true;
        wait->done = true;
        wait->condition.notify_all();
      },
      [wait](const RSErrorPtr& e) {
        std::lock_guard lock(wait->mutex);
        if (wait->done) return;
        wait->success = false;
        wait->error = e;
        wait->done = true;
        wait->condition.notify_all();
      },
      [wait] {
        std::lock_guard lock(wait->mutex);
        wait->success = true;
        wait->done = true;
        wait->condition.notify_all();
      });

  fnd::Value result;
  bool succeeded;
  RSErrorPtr failure;
  bool finished;
  {
    std::unique_lock lock(wait->mutex);
    finished = wait->condition.wait_for(lock, blockingWaitBound(), [&wait] { return wait->done; });
    if (finished) {
      result = wait->result;
      succeeded = wait->success;
      failure = wait->error;
    } else {
      // Nothing counts once we have given up.
      wait->done = true;
      result = defaultValue;
      succeeded = false;
      failure = fnd::Error::withDescription(RSSignalErrorDomain, RSSignalErrorTimedOut,
                                            "No event arrived within the bound of the wait");
    }
  }
  if (!finished) {
    RSDispose(subscription);
    fnd::log("[%s] -firstOrDefault: no event within %lld ms%s; giving up", name().c_str(),
             static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(blockingWaitBound()).count()),
             dispatch::isMainThread() ? " (waiting on the main thread, which a signal delivering there cannot reach)"
                                      : "");
  }
  if (success) *success = succeeded;
  if (error) *error = failure;
  return result;
}

fnd::Value RSSignal::firstOrDefault(const fnd::Value& defaultValue) { return firstOrDefault(defaultValue, nullptr, nullptr); }

fnd::Value RSSignal::first() { return firstOrDefault(fnd::Value()); }

bool RSSignal::waitUntilCompleted(RSErrorPtr* error) {
  bool success = false;
  auto ignoring = ignoreValues();
  ignoring->setNameWithFormat("[%s] -waitUntilCompleted:", name().c_str());
  ignoring->firstOrDefault(fnd::Value(), &success, error);
  return success;
}

std::optional<fnd::Array> RSSignal::toArray() {
  fnd::Value array = collect()->first();
  if (!array.isArray()) return std::nullopt;
  return array.asArray();
}
