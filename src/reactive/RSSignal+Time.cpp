// Operators that involve time or threads: throttling, delaying, buffering by
// time, periodic ticks, time-outs and moving events between schedulers.
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "reactive/RSSignal.h"
#include "reactive/RSTuple.h"

namespace {

RSSchedulerPtr currentOr(const RSSchedulerPtr& fallback) {
  RSSchedulerPtr current = RSScheduler::currentScheduler();
  return current ? current : fallback;
}

// Schedules the block after the delay with its cancellation in the compound;
// once it has run, its entry leaves the compound again, so a long-lived
// subscription does not collect spent entries.
void scheduleInCompound(const RSCompoundDisposablePtr& compound, const RSSchedulerPtr& scheduler,
                        RSTimeInterval delay, const RSSubscriberPtr& subscriber, std::function<void()> block) {
  struct Entry {
    std::mutex mutex;
    bool ran = false;
    RSDisposablePtr disposable;
  };
  auto entry = std::make_shared<Entry>();
  RSDisposablePtr scheduled = scheduler->afterDelay(delay, subscriber, [compound, entry, block = std::move(block)] {
    RSDisposablePtr spent;
    {
      std::lock_guard lock(entry->mutex);
      entry->ran = true;
      spent = std::move(entry->disposable);
    }
    if (spent) compound->removeDisposable(spent);
    block();
  });
  std::lock_guard lock(entry->mutex);
  if (entry->ran || !scheduled) return;
  entry->disposable = scheduled;
  compound->addDisposable(scheduled);
}

double secondsSince1970(std::chrono::system_clock::time_point date) {
  return std::chrono::duration<double>(date.time_since_epoch()).count();
}

}  // namespace

// --------------------------------------------------------------------- throttle

RSSignalPtr RSSignal::throttle(RSTimeInterval interval, Predicate predicate) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, interval, predicate](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    // Serves only where a value arrives with no current scheduler.
    RSSchedulerPtr background = RSScheduler::scheduler();
    struct State {
      std::recursive_mutex mutex;
      fnd::Value held;
      bool hasHeld = false;
      RSSerialDisposablePtr pendingFlush = std::make_shared<RSSerialDisposable>();
    };
    auto state = std::make_shared<State>();
    auto flush = [state, subscriber](bool send) {
      std::lock_guard lock(state->mutex);
      RSDispose(state->pendingFlush->disposable());
      if (!state->hasHeld) return;
      fnd::Value held = std::move(state->held);
      state->held = fnd::Value();
      state->hasHeld = false;
      if (send) subscriber->sendNext(held);
    };
    disposable->addDisposable(self->subscribeNext(
        [state, flush, subscriber, background, interval, predicate](const fnd::Value& value) {
          RSSchedulerPtr scheduler = currentOr(background);
          bool passes = predicate ? predicate(value) : true;
          {
            std::lock_guard lock(state->mutex);
            flush(false);
            if (!passes) {
              subscriber->sendNext(value);
              return;
            }
            state->held = value;
            state->hasHeld = true;
          }
          // Scheduled outside the lock: a scheduler may hold its own lock
          // while it runs the flush, which takes ours. Not part of the
          // subscription's disposable: a flush after disposal finds the
          // subscription ended and sends nothing.
          RSDisposablePtr scheduled = scheduler->afterDelay(interval, subscriber, [flush] { flush(true); });
          std::lock_guard lock(state->mutex);
          if (state->hasHeld) state->pendingFlush->setDisposable(scheduled);  // unless it has run already
        },
        [disposable, subscriber](const RSErrorPtr& error) {
          disposable->dispose();
          subscriber->sendError(error);
        },
        [flush, subscriber] {
          flush(true);
          subscriber->sendCompleted();
        }));
    return disposable;
  });
  result->setNameWithFormat("[%s] -throttle: %f valuesPassingTest:", name().c_str(), interval);
  return result;
}

RSSignalPtr RSSignal::throttle(RSTimeInterval interval) {
  auto result = throttle(interval, [](const fnd::Value&) { return true; });
  result->setNameWithFormat("[%s] -throttle: %f", name().c_str(), interval);
  return result;
}

// ------------------------------------------------------------------------ delay

RSSignalPtr RSSignal::delay(RSTimeInterval interval) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, interval](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    RSSchedulerPtr background = RSScheduler::scheduler();
    auto schedule = [disposable, background, interval, subscriber](std::function<void()> block) {
      scheduleInCompound(disposable, currentOr(background), interval, subscriber, std::move(block));
    };
    disposable->addDisposable(self->subscribeNext(
        [schedule, subscriber](const fnd::Value& value) { schedule([subscriber, value] { subscriber->sendNext(value); }); },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [schedule, subscriber] { schedule([subscriber] { subscriber->sendCompleted(); }); }));
    return disposable;
  });
  result->setNameWithFormat("[%s] -delay: %f", name().c_str(), interval);
  return result;
}

// --------------------------------------------------------------- bufferWithTime

RSSignalPtr RSSignal::bufferWithTime(RSTimeInterval interval, const RSSchedulerPtr& scheduler) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, interval, scheduler](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    struct State {
      std::recursive_mutex mutex;
      std::vector<fnd::Value> values;
      RSSerialDisposablePtr timer = std::make_shared<RSSerialDisposable>();
    };
    auto state = std::make_shared<State>();
    auto flush = [state, subscriber] {
      std::lock_guard lock(state->mutex);
      RSDispose(state->timer->disposable());
      if (state->values.empty()) return;
      RSTuplePtr tuple = RSTuple::tupleWithObjectsFromArray(std::move(state->values));
      state->values.clear();
      subscriber->sendNext(fnd::Value(tuple));
    };
    auto subscription = self->subscribeNext(
        [state, flush, scheduler, interval, subscriber](const fnd::Value& value) {
          bool opensWindow;
          {
            std::lock_guard lock(state->mutex);
            opensWindow = state->values.empty();
            state->values.push_back(value);
          }
          if (!opensWindow) return;
          // Scheduled outside the lock, as in throttle().
          RSDisposablePtr scheduled = scheduler->afterDelay(interval, subscriber, flush);
          std::lock_guard lock(state->mutex);
          if (!state->values.empty()) state->timer->setDisposable(scheduled);  // unless it has run already
        },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [flush, subscriber] {
          flush();
          subscriber->sendCompleted();
        });
    RSSerialDisposablePtr timer = state->timer;
    return RSDisposable::disposableWithBlock([subscription, timer] {
      RSDispose(subscription);
      timer->dispose();
    });
  });
  result->setNameWithFormat("[%s] -bufferWithTime: %f onScheduler: %s", name().c_str(), interval,
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

// --------------------------------------------------------------------- interval

RSSignalPtr RSSignal::interval(RSTimeInterval interval, const RSSchedulerPtr& scheduler, RSTimeInterval leeway) {
  auto result = createSignal([interval, scheduler, leeway](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto start = std::chrono::system_clock::now() +
                 std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(interval));
    return scheduler->after(start, interval, leeway, subscriber, [subscriber] {
      subscriber->sendNext(fnd::Value(secondsSince1970(std::chrono::system_clock::now())));
    });
  });
  result->setNameWithFormat("+interval: %f onScheduler: %s withLeeway: %f", interval,
                            scheduler ? scheduler->description().c_str() : "(null)", leeway);
  return result;
}

RSSignalPtr RSSignal::interval(RSTimeInterval interval, const RSSchedulerPtr& scheduler) {
  auto result = RSSignal::interval(interval, scheduler, 0.0);
  result->setNameWithFormat("+interval: %f onScheduler: %s", interval,
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

// ---------------------------------------------------------------------- timeout

RSSignalPtr RSSignal::timeout(RSTimeInterval interval, const RSSchedulerPtr& scheduler) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, interval, scheduler](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    disposable->addDisposable(scheduler->afterDelay(interval, subscriber, [disposable, subscriber] {
      disposable->dispose();
      subscriber->sendError(fnd::Error::make(RSSignalErrorDomain, RSSignalErrorTimedOut));
    }));
    disposable->addDisposable(self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [disposable, subscriber](const RSErrorPtr& error) {
          disposable->dispose();
          subscriber->sendError(error);
        },
        [disposable, subscriber] {
          disposable->dispose();
          subscriber->sendCompleted();
        }));
    return disposable;
  });
  result->setNameWithFormat("[%s] -timeout: %f onScheduler: %s", name().c_str(), interval,
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

// ------------------------------------------------------------------- scheduling

RSSignalPtr RSSignal::deliverOn(const RSSchedulerPtr& scheduler) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, scheduler](const RSSubscriberPtr& subscriber) {
    // Blocks already scheduled are not cancelled by disposal: they find the
    // subscription ended.
    return self->subscribeNext(
        [scheduler, subscriber](const fnd::Value& value) {
          scheduler->schedule(subscriber, [subscriber, value] { subscriber->sendNext(value); });
        },
        [scheduler, subscriber](const RSErrorPtr& error) {
          scheduler->schedule(subscriber, [subscriber, error] { subscriber->sendError(error); });
        },
        [scheduler, subscriber] { scheduler->schedule(subscriber, [subscriber] { subscriber->sendCompleted(); }); });
  });
  result->setNameWithFormat("[%s] -deliverOn: %s", name().c_str(),
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

RSSignalPtr RSSignal::subscribeOn(const RSSchedulerPtr& scheduler) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, scheduler](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    disposable->addDisposable(
        scheduler->schedule(subscriber, [self, subscriber, disposable] { disposable->addDisposable(self->subscribe(subscriber)); }));
    return disposable;
  });
  result->setNameWithFormat("[%s] -subscribeOn: %s", name().c_str(),
                            scheduler ? scheduler->description().c_str() : "(null)");
  return result;
}

RSSignalPtr RSSignal::deliverOnMainThread() {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self](const RSSubscriberPtr& subscriber) {
    // Deliveries waiting or running; one that arises on the main thread while
    // another waits is queued behind it, which keeps the order.
    auto queueLength = std::make_shared<std::atomic<int32_t>>(0);
    auto deliver = [queueLength](std::function<void()> send) {
      int32_t waiting = queueLength->fetch_add(1) + 1;
      if (dispatch::isMainThread() && waiting == 1) {
        send();
        queueLength->fetch_sub(1);
        return;
      }
      dispatch::Queue::main()->async([queueLength, send = std::move(send)] {
        send();
        queueLength->fetch_sub(1);
      });
    };
    return self->subscribeNext(
        [deliver, subscriber](const fnd::Value& value) { deliver([subscriber, value] { subscriber->sendNext(value); }); },
        [deliver, subscriber](const RSErrorPtr& error) { deliver([subscriber, error] { subscriber->sendError(error); }); },
        [deliver, subscriber] { deliver([subscriber] { subscriber->sendCompleted(); }); });
  });
  result->setNameWithFormat("[%s] -deliverOnMainThread", name().c_str());
  return result;
}
