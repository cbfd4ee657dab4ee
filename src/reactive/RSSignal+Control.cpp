// Operators that act on one signal: side effects, errors and resubscription,
// events as values, predicates and aggregation.
#include <deque>
#include <vector>

#include "platform/foundation/Log.h"
#include "reactive/RSEvent.h"
#include "reactive/RSSignal.h"

// ------------------------------------------------------------------ side effects

RSSignalPtr RSSignal::doNext(RSNextBlock block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) {
    return self->subscribeNext(
        [block, subscriber](const fnd::Value& value) {
          block(value);
          subscriber->sendNext(value);
        },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [subscriber] { subscriber->sendCompleted(); });
  });
  result->setNameWithFormat("[%s] -doNext:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::doError(RSErrorBlock block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) {
    return self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [block, subscriber](const RSErrorPtr& error) {
          block(error);
          subscriber->sendError(error);
        },
        [subscriber] { subscriber->sendCompleted(); });
  });
  result->setNameWithFormat("[%s] -doError:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::doCompleted(RSCompletedBlock block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) {
    return self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [block, subscriber] {
          block();
          subscriber->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -doCompleted:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::initially(std::function<void()> block) {
  RSSignalPtr self = selfSignal();
  auto result = defer([self, block] {
    block();
    return self;
  });
  result->setNameWithFormat("[%s] -initially:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::finally(std::function<void()> block) {
  // doError() and doCompleted() of the block in one step.
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) {
    return self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [block, subscriber](const RSErrorPtr& error) {
          block();
          subscriber->sendError(error);
        },
        [block, subscriber] {
          block();
          subscriber->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -finally:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::defer(std::function<RSSignalPtr()> block) {
  auto result = createSignal(
      [block](const RSSubscriberPtr& subscriber) { return orMissing(block())->subscribe(subscriber); });
  result->setNameWithFormat("+defer:");
  return result;
}

// ------------------------------------------------------------------------ errors

RSSignalPtr RSSignal::catch_(std::function<RSSignalPtr(const RSErrorPtr&)> block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto catchDisposable = std::make_shared<RSSerialDisposable>();
    auto subscription = self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber, block, catchDisposable](const RSErrorPtr& error) {
          RSSignalPtr replacement = block(error);
          if (!replacement) {
            // Without a replacement the subscriber would wait for ever: pass
            // the error on instead.
            fnd::log("-catch: block gave no signal for error %s; passing the error on",
                     error ? error->description().c_str() : "(null)");
            subscriber->sendError(error);
            return;
          }
          catchDisposable->setDisposable(replacement->subscribe(subscriber));
        },
        [subscriber] { subscriber->sendCompleted(); });
    return RSDisposable::disposableWithBlock([catchDisposable, subscription] {
      catchDisposable->dispose();
      RSDispose(subscription);
    });
  });
  result->setNameWithFormat("[%s] -catch:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::catchTo(const RSSignalPtr& signal) {
  auto result = catch_([signal](const RSErrorPtr&) { return signal; });
  result->setNameWithFormat("[%s] -catchTo: %s", name().c_str(),
                            signal ? signal->description().c_str() : "(null)");
  return result;
}

RSSignalPtr RSSignal::try_(std::function<fnd::Value(RSErrorPtr& errorOut)> block) {
  auto result = defer([block] {
    RSErrorPtr error;
    fnd::Value value = block(error);
    return value.isNil() ? RSSignal::error(error) : return_(value);
  });
  result->setNameWithFormat("+try:");
  return result;
}

RSSignalPtr RSSignal::try_(std::function<bool(const fnd::Value&, RSErrorPtr& errorOut)> block) {
  auto result = flattenMap([block](const fnd::Value& value) {
    RSErrorPtr error;
    return block(value, error) ? return_(value) : RSSignal::error(error);
  });
  result->setNameWithFormat("[%s] -try:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::tryMap(std::function<fnd::Value(const fnd::Value&, RSErrorPtr& errorOut)> block) {
  auto result = flattenMap([block](const fnd::Value& value) {
    RSErrorPtr error;
    fnd::Value mapped = block(value, error);
    return mapped.isNil() ? RSSignal::error(error) : return_(mapped);
  });
  result->setNameWithFormat("[%s] -tryMap:", name().c_str());
  return result;
}

// ------------------------------------------------------------------ resubscribing

namespace {

using ErrorHandler = std::function<void(const RSErrorPtr&, const RSCompoundDisposablePtr&)>;
using CompletedHandler = std::function<void(const RSCompoundDisposablePtr&)>;

// Subscribes to the signal, and again each time an attempt ends, until a
// handler disposes the returned disposable. The first attempt runs at once;
// later ones run as recursive passes of the scheduler current when the first
// attempt ended (a background scheduler where there is none), so the stack
// does not deepen.
RSDisposablePtr subscribeForever(const RSSignalPtr& signal, RSNextBlock next, ErrorHandler error,
                                 CompletedHandler completed) {
  auto overall = RSCompoundDisposable::compoundDisposable();
  auto step = std::make_shared<const RSScheduler::RecursiveBlock>(
      [signal, next, error, completed, overall](const std::function<void()>& recurse) {
        auto attempt = RSCompoundDisposable::compoundDisposable();
        overall->addDisposable(attempt);
        std::weak_ptr<RSCompoundDisposable> weakAttempt = attempt;
        auto subscription = signal->subscribeNext(
            next,
            [error, overall, weakAttempt, recurse](const RSErrorPtr& e) {
              error(e, overall);
              if (auto ended = weakAttempt.lock()) overall->removeDisposable(ended);
              recurse();
            },
            [completed, overall, weakAttempt, recurse] {
              completed(overall);
              if (auto ended = weakAttempt.lock()) overall->removeDisposable(ended);
              recurse();
            });
        attempt->addDisposable(subscription);
      });

  (*step)([step, overall] {
    if (overall->isDisposed()) return;
    RSSchedulerPtr scheduler = RSScheduler::currentScheduler();
    if (!scheduler) scheduler = RSScheduler::scheduler();
    overall->addDisposable(scheduler->scheduleRecursiveBlock(*step));
  });
  return overall;
}

}  // namespace

RSSignalPtr RSSignal::repeat() {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self](const RSSubscriberPtr& subscriber) {
    return subscribeForever(
        self, [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber](const RSErrorPtr& error, const RSCompoundDisposablePtr& overall) {
          overall->dispose();
          subscriber->sendError(error);
        },
        [](const RSCompoundDisposablePtr&) {});
  });
  result->setNameWithFormat("[%s] -repeat", name().c_str());
  return result;
}

RSSignalPtr RSSignal::retry(int64_t retryCount) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, retryCount](const RSSubscriberPtr& subscriber) {
    auto retries = std::make_shared<std::atomic<int64_t>>(0);
    return subscribeForever(
        self, [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber, retries, retryCount](const RSErrorPtr& error, const RSCompoundDisposablePtr& overall) {
          if (retryCount != 0 && retries->load() >= retryCount) {
            overall->dispose();
            subscriber->sendError(error);
            return;
          }
          retries->fetch_add(1);
        },
        [subscriber](const RSCompoundDisposablePtr& overall) {
          overall->dispose();
          subscriber->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -retry: %lu", name().c_str(), static_cast<unsigned long>(retryCount));
  return result;
}

RSSignalPtr RSSignal::retry() {
  auto result = retry(0);
  result->setNameWithFormat("[%s] -retry", name().c_str());
  return result;
}

// ---------------------------------------------------------------- events as values

RSSignalPtr RSSignal::materialize() {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self](const RSSubscriberPtr& subscriber) {
    return self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(fnd::Value(RSEvent::eventWithValue(value))); },
        [subscriber](const RSErrorPtr& error) {
          subscriber->sendNext(fnd::Value(RSEvent::eventWithError(error)));
          subscriber->sendCompleted();
        },
        [subscriber] {
          subscriber->sendNext(fnd::Value(RSEvent::completedEvent()));
          subscriber->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -materialize", name().c_str());
  return result;
}

RSSignalPtr RSSignal::dematerialize() {
  auto result = bind([] {
    return BindBlock([](const fnd::Value& value, bool* stop) -> RSSignalPtr {
      auto event = value.asObject<RSEvent>();
      if (!event) {
        *stop = true;
        return unexpectedValue(value, "event");
      }
      switch (event->eventType()) {
        case RSEventType::Next: return return_(event->value());
        case RSEventType::Error: *stop = true; return error(event->error());
        case RSEventType::Completed: *stop = true; return empty();
      }
      return empty();
    });
  });
  result->setNameWithFormat("[%s] -dematerialize", name().c_str());
  return result;
}

RSSignalPtr RSSignal::ignoreValues() {
  auto result = filter([](const fnd::Value&) { return false; });
  result->setNameWithFormat("[%s] -ignoreValues", name().c_str());
  return result;
}

// ------------------------------------------------------------ tuples and predicates

RSSignalPtr RSSignal::reduceApply() {
  auto result = flattenMap([](const fnd::Value& value) -> RSSignalPtr {
    auto tuple = value.asObject<RSTuple>();
    auto block = tuple ? tuple->first().asObject<RSBlock>() : nullptr;
    if (!block) return unexpectedValue(value, "tuple of a block and its arguments");
    const auto& members = tuple->backingArray();
    auto arguments = RSTuple::tupleWithObjectsFromArray(std::vector<fnd::Value>(members.begin() + 1, members.end()));
    return return_(RSBlockTrampoline::invokeBlock(*block, *arguments));
  });
  result->setNameWithFormat("[%s] -reduceApply", name().c_str());
  return result;
}

RSSignalPtr RSSignal::any(Predicate predicate) {
  auto result = materialize()->bind([predicate] {
    return BindBlock([predicate](const fnd::Value& value, bool* stop) -> RSSignalPtr {
      auto event = value.asObject<RSEvent>();
      if (event->isFinished()) {
        *stop = true;
        return return_(false);
      }
      if (predicate(event->value())) {
        *stop = true;
        return return_(true);
      }
      return empty();
    });
  });
  result->setNameWithFormat("[%s] -any:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::any() {
  auto result = any([](const fnd::Value&) { return true; });
  result->setNameWithFormat("[%s] -any", name().c_str());
  return result;
}

RSSignalPtr RSSignal::all(Predicate predicate) {
  auto result = materialize()->bind([predicate] {
    return BindBlock([predicate](const fnd::Value& value, bool* stop) -> RSSignalPtr {
      auto event = value.asObject<RSEvent>();
      if (event->eventType() == RSEventType::Completed) {
        *stop = true;
        return return_(true);
      }
      if (event->eventType() == RSEventType::Error || !predicate(event->value())) {
        *stop = true;
        return return_(false);
      }
      return empty();
    });
  });
  result->setNameWithFormat("[%s] -all:", name().c_str());
  return result;
}

// -------------------------------------------------------------------- aggregation

RSSignalPtr RSSignal::aggregateWithStart(const fnd::Value& start, ReduceWithIndexBlock reduce) {
  auto result = scanWithStart(start, std::move(reduce))->startWith(start)->takeLast(1);
  result->setNameWithFormat("[%s] -aggregateWithStart: %s reduceWithIndex:", name().c_str(),
                            RSDescription(start).c_str());
  return result;
}

RSSignalPtr RSSignal::aggregateWithStart(const fnd::Value& start, ReduceBlock reduce) {
  auto result = aggregateWithStart(
      start, ReduceWithIndexBlock([reduce](const fnd::Value& running, const fnd::Value& next, uint64_t) {
        return reduce(running, next);
      }));
  result->setNameWithFormat("[%s] -aggregateWithStart: %s reduce:", name().c_str(), RSDescription(start).c_str());
  return result;
}

RSSignalPtr RSSignal::aggregateWithStartFactory(std::function<fnd::Value()> startFactory, ReduceBlock reduce) {
  RSSignalPtr self = selfSignal();
  auto result = defer([self, startFactory, reduce] { return self->aggregateWithStart(startFactory(), reduce); });
  result->setNameWithFormat("[%s] -aggregateWithStartFactory:reduce:", name().c_str());
  return result;
}

namespace {

// The growing array of collect(): appended to in place, so collecting n values
// costs O(n).
class CollectBuffer : public fnd::Object {
public:
  std::vector<fnd::Value> items;
};

}  // namespace

RSSignalPtr RSSignal::collect() {
  auto result =
      aggregateWithStartFactory([] { return fnd::Value(fnd::make<CollectBuffer>()); },
                                [](const fnd::Value& running, const fnd::Value& next) {
                                  running.asObject<CollectBuffer>()->items.push_back(next.isNil() ? fnd::Value::null()
                                                                                                  : next);
                                  return running;
                                })
          ->map([](const fnd::Value& buffer) { return fnd::Value(fnd::Array(buffer.asObject<CollectBuffer>()->items)); });
  result->setNameWithFormat("[%s] -collect", name().c_str());
  return result;
}

RSSignalPtr RSSignal::takeLast(uint64_t count) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, count](const RSSubscriberPtr& subscriber) {
    auto values = std::make_shared<std::deque<fnd::Value>>();
    return self->subscribeNext(
        [values, count](const fnd::Value& value) {
          values->push_back(value);
          while (values->size() > count) values->pop_front();
        },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [values, subscriber] {
          for (const auto& value : *values) subscriber->sendNext(value);
          subscriber->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -takeLast: %lu", name().c_str(), static_cast<unsigned long>(count));
  return result;
}
