#include "reactive/RSSignal.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/foundation/Log.h"
#include "reactive/RSUnit.h"

// -------------------------------------------------------------------- creation

RSSignalPtr RSSignal::createSignal(SubscribeBlock didSubscribe) {
  return RSDynamicSignal::createSignal(std::move(didSubscribe));
}

RSSignalPtr RSSignal::empty() { return RSEmptySignal::empty(); }

RSSignalPtr RSSignal::return_(const fnd::Value& value) { return RSReturnSignal::return_(value); }

RSSignalPtr RSSignal::error(const RSErrorPtr& error) { return RSErrorSignal::error(error); }

RSSignalPtr RSSignal::never() {
  auto signal = createSignal([](const RSSubscriberPtr&) -> RSDisposablePtr { return nullptr; });
  signal->setNameWithFormat("+never");
  return signal;
}

RSSignalPtr RSSignal::unexpectedValue(const fnd::Value& value, const char* expected) {
  return error(unexpectedValueError(value, expected));
}

RSErrorPtr RSSignal::unexpectedValueError(const fnd::Value& value, const char* expected) {
  std::string text = value.isNil() ? fnd::format("Expected a %s, got nothing", expected)
                                   : fnd::format("Expected a %s, got %s", expected, value.description().c_str());
  return fnd::Error::withDescription(RSSignalErrorDomain, RSSignalErrorUnexpectedValue, text);
}

RSSignalPtr RSSignal::orMissing(const RSSignalPtr& signal) {
  return signal ? signal : unexpectedValue(fnd::Value(), "signal");
}

std::string RSSignal::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + "> name: " + name();
}

// ----------------------------------------------------------------- subscription

RSDisposablePtr RSSignal::subscribe(const RSSubscriberPtr&) { return nullptr; }

RSDisposablePtr RSSignal::subscribeNext(RSNextBlock next) {
  return subscribe(RSSubscriber::subscriberWithNext(std::move(next), nullptr, nullptr));
}

RSDisposablePtr RSSignal::subscribeNext(RSNextBlock next, RSCompletedBlock completed) {
  return subscribe(RSSubscriber::subscriberWithNext(std::move(next), nullptr, std::move(completed)));
}

RSDisposablePtr RSSignal::subscribeNext(RSNextBlock next, RSErrorBlock error) {
  return subscribe(RSSubscriber::subscriberWithNext(std::move(next), std::move(error), nullptr));
}

RSDisposablePtr RSSignal::subscribeNext(RSNextBlock next, RSErrorBlock error, RSCompletedBlock completed) {
  return subscribe(RSSubscriber::subscriberWithNext(std::move(next), std::move(error), std::move(completed)));
}

RSDisposablePtr RSSignal::subscribeError(RSErrorBlock error) {
  return subscribe(RSSubscriber::subscriberWithNext(nullptr, std::move(error), nullptr));
}

RSDisposablePtr RSSignal::subscribeCompleted(RSCompletedBlock completed) {
  return subscribe(RSSubscriber::subscriberWithNext(nullptr, nullptr, std::move(completed)));
}

RSDisposablePtr RSSignal::subscribeError(RSErrorBlock error, RSCompletedBlock completed) {
  return subscribe(RSSubscriber::subscriberWithNext(nullptr, std::move(error), std::move(completed)));
}

// ------------------------------------------------------------- built-in signals

RSSignalPtr RSDynamicSignal::createSignal(SubscribeBlock didSubscribe) {
  auto signal = fnd::make<RSDynamicSignal>(std::move(didSubscribe));
  signal->setNameWithFormat("+createSignal:");
  return signal;
}

RSDisposablePtr RSDynamicSignal::subscribe(const RSSubscriberPtr& subscriber) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  RSSignalPtr self = selfSignal();
  auto passthrough = RSPassthroughSubscriber::create(subscriber, self, disposable);
  if (didSubscribe_) {
    auto scheduling = RSScheduler::subscriptionScheduler()->schedule(passthrough, [self, passthrough, disposable] {
      auto& didSubscribe = static_cast<RSDynamicSignal&>(*self).didSubscribe_;
      disposable->addDisposable(didSubscribe(passthrough));
    });
    disposable->addDisposable(scheduling);
  }
  return disposable;
}

RSSignalPtr RSEmptySignal::empty() {
  static const RSSignalPtr shared = fnd::make<RSEmptySignal>();
  return shared;
}

RSDisposablePtr RSEmptySignal::subscribe(const RSSubscriberPtr& subscriber) {
  return RSScheduler::subscriptionScheduler()->schedule(subscriber, [subscriber] { subscriber->sendCompleted(); });
}

RSErrorSignal::RSErrorSignal(RSErrorPtr error) : error_(std::move(error)) { RSStream::setName("+error:"); }

RSSignalPtr RSErrorSignal::error(const RSErrorPtr& error) { return fnd::make<RSErrorSignal>(error); }

RSDisposablePtr RSErrorSignal::subscribe(const RSSubscriberPtr& subscriber) {
  RSErrorPtr error = error_;
  return RSScheduler::subscriptionScheduler()->schedule(subscriber, [subscriber, error] { subscriber->sendError(error); });
}

RSSignalPtr RSReturnSignal::return_(const fnd::Value& value) {
  static const RSSignalPtr unitSignal = fnd::make<RSReturnSignal>(fnd::Value(RSUnit::defaultUnit()));
  static const RSSignalPtr nilSignal = fnd::make<RSReturnSignal>(fnd::Value());
  if (value.isNil()) return nilSignal;
  if (value.isObject() && value.asObject() == RSUnit::defaultUnit()) return unitSignal;
  return fnd::make<RSReturnSignal>(value);
}

RSDisposablePtr RSReturnSignal::subscribe(const RSSubscriberPtr& subscriber) {
  fnd::Value value = value_;
  return RSScheduler::subscriptionScheduler()->schedule(subscriber, [subscriber, value] {
    subscriber->sendNext(value);
    subscriber->sendCompleted();
  });
}

// ------------------------------------------------------------------------ bind

namespace {

// One source of a bind subscription: the receiver or an inner signal. Its
// completion is counted once, however often it is reported.
struct BindSource {
  RSSerialDisposablePtr disposable = std::make_shared<RSSerialDisposable>();
  std::atomic<bool> completed{false};
};

struct BindState {
  std::atomic<int32_t> liveSources{1};
  RSCompoundDisposablePtr disposable = RSCompoundDisposable::compoundDisposable();
  RSSubscriberPtr subscriber;

  void completeSource(const std::shared_ptr<BindSource>& source) {
    if (source->completed.exchange(true, std::memory_order_acq_rel)) return;
    if (liveSources.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      subscriber->sendCompleted();
      disposable->dispose();
    } else {
      disposable->removeDisposable(source->disposable);
    }
  }

  static void addSignal(const std::shared_ptr<BindState>& state, const RSSignalPtr& signal) {
    state->liveSources.fetch_add(1, std::memory_order_acq_rel);
    auto source = std::make_shared<BindSource>();
    state->disposable->addDisposable(source->disposable);
    auto subscription = signal->subscribeNext(
        [state](const fnd::Value& value) { state->subscriber->sendNext(value); },
        [state](const RSErrorPtr& error) {
          state->disposable->dispose();
          state->subscriber->sendError(error);
        },
        [state, source] { state->completeSource(source); });
    source->disposable->setDisposable(subscription);
  }
};

}  // namespace

namespace {

// Subscribes a bind subscription to its receiver: each value goes to
// `takeValue`, which returns false once the receiver is no longer to be
// taken from.
RSDisposablePtr subscribeBindSource(const RSSignalPtr& receiver, const std::shared_ptr<BindState>& state,
                                    std::function<bool(const fnd::Value&)> takeValue) {
  auto selfSource = std::make_shared<BindSource>();
  state->disposable->addDisposable(selfSource->disposable);
  auto subscription = receiver->subscribeNext(
      [state, selfSource, takeValue = std::move(takeValue)](const fnd::Value& value) {
        if (state->disposable->isDisposed()) return;
        if (!takeValue(value)) {
          selfSource->disposable->dispose();
          state->completeSource(selfSource);
        }
      },
      [state](const RSErrorPtr& error) {
        state->disposable->dispose();
        state->subscriber->sendError(error);
      },
      [state, selfSource] { state->completeSource(selfSource); });
  selfSource->disposable->setDisposable(subscription);
  return state->disposable;
}

}  // namespace

RSSignalPtr RSSignal::bind(std::function<BindBlock()> block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto state = std::make_shared<BindState>();
    state->subscriber = subscriber;
    return subscribeBindSource(self, state, [state, bindBlock = block()](const fnd::Value& value) {
      bool stop = false;
      RSSignalPtr signal = bindBlock(value, &stop);
      if (signal) BindState::addSignal(state, signal);
      return signal && !stop;
    });
  });
  result->setNameWithFormat("[%s] -bind:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::bindStepsDirectly(std::function<StepBlock()> block) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, block](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto state = std::make_shared<BindState>();
    state->subscriber = subscriber;
    return subscribeBindSource(self, state, [state, stepBlock = block()](const fnd::Value& value) {
      bool stop = false;
      Step step = stepBlock(value, &stop);
      switch (step.kind) {
        case Step::Kind::Value:
          if (RSScheduler::hasCurrentScheduler()) {
            state->subscriber->sendNext(step.value);
          } else {
            BindState::addSignal(state, return_(step.value));
          }
          break;
        case Step::Kind::Nothing:
          if (!RSScheduler::hasCurrentScheduler()) BindState::addSignal(state, empty());
          break;
        case Step::Kind::Stream:
          BindState::addSignal(state, step.stream);
          break;
        case Step::Kind::Stop:
          return false;
      }
      return !stop;
    });
  });
  result->setNameWithFormat("[%s] -bind:", name().c_str());
  return result;
}

// ---------------------------------------------------------------------- concat

RSSignalPtr RSSignal::concat(const RSSignalPtr& signal) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr next = orMissing(signal);
  auto result = createSignal([self, next](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    auto subscription = self->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [subscriber, next, disposable] { disposable->addDisposable(next->subscribe(subscriber)); });
    disposable->addDisposable(subscription);
    return disposable;
  });
  result->setNameWithFormat("[%s] -concat: %s", name().c_str(), next->description().c_str());
  return result;
}

// --------------------------------------------------------------------- zipWith

namespace {

struct ZipState {
  std::recursive_mutex mutex;
  std::deque<fnd::Value> values[2];
  bool completed[2] = {false, false};
  RSSubscriberPtr subscriber;

  void sendCompletedIfNecessaryLocked() {
    if ((completed[0] && values[0].empty()) || (completed[1] && values[1].empty())) subscriber->sendCompleted();
  }

  void sendNextLocked() {
    if (values[0].empty() || values[1].empty()) return;
    auto tuple = RSTwoTuple::pack(values[0].front(), values[1].front());
    values[0].pop_front();
    values[1].pop_front();
    subscriber->sendNext(fnd::Value(tuple));
    sendCompletedIfNecessaryLocked();
  }
};

RSDisposablePtr subscribeZipSide(const std::shared_ptr<ZipState>& state, const RSSignalPtr& signal, int side) {
  return signal->subscribeNext(
      [state, side](const fnd::Value& value) {
        std::lock_guard lock(state->mutex);
        state->values[side].push_back(value);
        state->sendNextLocked();
      },
      [state](const RSErrorPtr& error) { state->subscriber->sendError(error); },
      [state, side] {
        std::lock_guard lock(state->mutex);
        state->completed[side] = true;
        state->sendCompletedIfNecessaryLocked();
      });
}

}  // namespace

RSSignalPtr RSSignal::zipWith(const RSSignalPtr& signal) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr other = orMissing(signal);
  auto result = createSignal([self, other](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto state = std::make_shared<ZipState>();
    state->subscriber = subscriber;
    auto selfDisposable = subscribeZipSide(state, self, 0);
    auto otherDisposable = subscribeZipSide(state, other, 1);
    return RSDisposable::disposableWithBlock([selfDisposable, otherDisposable] {
      RSDispose(selfDisposable);
      RSDispose(otherDisposable);
    });
  });
  result->setNameWithFormat("[%s] -zipWith: %s", name().c_str(), other->description().c_str());
  return result;
}
