// Operators that subscribe to more than one signal and join their events.
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "reactive/RSMulticastConnection.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

namespace {

std::string describeSignals(const std::vector<RSSignalPtr>& signals) {
  return RSDescribeStreams(std::vector<std::shared_ptr<RSStream>>(signals.begin(), signals.end()));
}

std::string describeSignal(const RSSignalPtr& signal) {
  return signal ? signal->description() : std::string("(null)");
}

}  // namespace

// ---------------------------------------------------------------- combineLatest

RSSignalPtr RSSignal::combineLatestWith(const RSSignalPtr& signal) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr other = orMissing(signal);
  auto result = createSignal([self, other](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    struct State {
      std::recursive_mutex mutex;
      fnd::Value latest[2];
      bool hasValue[2] = {false, false};
      bool completed[2] = {false, false};
    };
    auto state = std::make_shared<State>();
    auto disposable = RSCompoundDisposable::compoundDisposable();
    auto subscribeSide = [state, subscriber](const RSSignalPtr& signal, int side) {
      return signal->subscribeNext(
          [state, subscriber, side](const fnd::Value& value) {
            fnd::Value previous;  // released after unlocking
            std::lock_guard lock(state->mutex);
            previous = std::move(state->latest[side]);
            state->latest[side] = value;
            state->hasValue[side] = true;
            if (state->hasValue[0] && state->hasValue[1]) {
              subscriber->sendNext(fnd::Value(RSTwoTuple::pack(state->latest[0], state->latest[1])));
            }
          },
          [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
          [state, subscriber, side] {
            std::lock_guard lock(state->mutex);
            state->completed[side] = true;
            if (state->completed[1 - side]) subscriber->sendCompleted();
          });
    };
    disposable->addDisposable(subscribeSide(self, 0));
    disposable->addDisposable(subscribeSide(other, 1));
    return disposable;
  });
  result->setNameWithFormat("[%s] -combineLatestWith: %s", name().c_str(), describeSignal(other).c_str());
  return result;
}

namespace {
// Each input, with a missing one replaced as orMissing does.
std::vector<RSSignalPtr> orMissingAll(const std::vector<RSSignalPtr>& signals) {
  std::vector<RSSignalPtr> out;
  out.reserve(signals.size());
  for (const auto& signal : signals) out.push_back(RSSignal::orMissing(signal));
  return out;
}
}  // namespace

RSSignalPtr RSSignal::combineLatest(const std::vector<RSSignalPtr>& signals) {
  auto result = join(orMissingAll(signals), [](const RSSignalPtr& left, const RSSignalPtr& right) { return left->combineLatestWith(right); });
  result->setNameWithFormat("+combineLatest: %s", describeSignals(signals).c_str());
  return result;
}

RSSignalPtr RSSignal::combineLatestReduced(const std::vector<RSSignalPtr>& signals, const RSBlockPtr& reduce) {
  RSSignalPtr result = combineLatest(signals);
  if (reduce) result = result->reduceEach(reduce);
  result->setNameWithFormat("+combineLatest: %s reduce:", describeSignals(signals).c_str());
  return result;
}

// ------------------------------------------------------------------------ merge

RSSignalPtr RSSignal::merge(const RSSignalPtr& signal) {
  auto result = merge(std::vector<RSSignalPtr>{selfSignal(), signal});
  result->setNameWithFormat("[%s] -merge: %s", name().c_str(), describeSignal(signal).c_str());
  return result;
}

RSSignalPtr RSSignal::merge(const std::vector<RSSignalPtr>& signals) {
  auto result = createSignal([copied = orMissingAll(signals)](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
                  for (const auto& signal : copied) subscriber->sendNext(fnd::Value(signal));
                  subscriber->sendCompleted();
                  return nullptr;
                })->flatten();
  result->setNameWithFormat("+merge: %s", describeSignals(signals).c_str());
  return result;
}

// ---------------------------------------------------------------------- flatten

namespace {

struct FlattenState {
  std::recursive_mutex mutex;
  const RSCompoundDisposablePtr disposable = RSCompoundDisposable::compoundDisposable();
  std::vector<RSSerialDisposablePtr> active;
  std::deque<RSSignalPtr> queued;
  bool selfCompleted = false;
  RSSubscriberPtr subscriber;
  uint64_t maxConcurrent = 0;

  void completeIfAllowedLocked() {
    if (selfCompleted && active.empty()) subscriber->sendCompleted();
  }

  // Takes a running slot for an inner signal; the caller holds the lock.
  RSSerialDisposablePtr reserveSlotLocked() {
    auto slot = std::make_shared<RSSerialDisposable>();
    disposable->addDisposable(slot);
    active.push_back(slot);
    return slot;
  }

  static void start(const std::shared_ptr<FlattenState>& state, const RSSignalPtr& signal,
                    const RSSerialDisposablePtr& slot) {
    auto subscriber = state->subscriber;
    auto subscription = signal->subscribeNext(
        [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
        [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); },
        [state, slot] {
          RSSignalPtr next;
          RSSerialDisposablePtr nextSlot;
          {
            std::lock_guard lock(state->mutex);
            state->disposable->removeDisposable(slot);
            auto& active = state->active;
            for (auto it = active.begin(); it != active.end(); ++it) {
              if (*it == slot) {
                active.erase(it);
                break;
              }
            }
            if (state->queued.empty()) {
              state->completeIfAllowedLocked();
              return;
            }
            next = std::move(state->queued.front());
            state->queued.pop_front();
            nextSlot = state->reserveSlotLocked();
          }
          start(state, next, nextSlot);
        });
    slot->setDisposable(subscription);
  }
};

}  // namespace

RSSignalPtr RSSignal::flatten(uint64_t maxConcurrent) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, maxConcurrent](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto state = std::make_shared<FlattenState>();
    state->subscriber = subscriber;
    state->maxConcurrent = maxConcurrent;
    if (maxConcurrent > 0 && maxConcurrent < 64) state->active.reserve(maxConcurrent);

    auto subscription = self->subscribeNext(
        [state](const fnd::Value& value) {
          if (value.isNil()) return;
          RSSignalPtr signal = value.asObject<RSSignal>();
          if (!signal) {
            state->subscriber->sendError(unexpectedValueError(value, "signal"));
            return;
          }
          RSSerialDisposablePtr slot;
          {
            std::lock_guard lock(state->mutex);
            if (state->maxConcurrent > 0 && state->active.size() >= state->maxConcurrent) {
              state->queued.push_back(signal);
              return;
            }
            slot = state->reserveSlotLocked();
          }
          FlattenState::start(state, signal, slot);
        },
        [state](const RSErrorPtr& error) { state->subscriber->sendError(error); },
        [state] {
          std::lock_guard lock(state->mutex);
          state->selfCompleted = true;
          state->completeIfAllowedLocked();
        });
    state->disposable->addDisposable(subscription);
    return state->disposable;
  });
  result->setNameWithFormat("[%s] -flatten: %lu", name().c_str(), static_cast<unsigned long>(maxConcurrent));
  return result;
}

RSSignalPtr RSSignal::concat() {
  auto result = flatten(uint64_t{1});
  result->setNameWithFormat("[%s] -concat", name().c_str());
  return result;
}

RSSignalPtr RSSignal::then(std::function<RSSignalPtr()> block) {
  auto result = ignoreValues()->concat(defer(std::move(block)));
  result->setNameWithFormat("[%s] -then:", name().c_str());
  return result;
}

// ---------------------------------------------------------------- switchToLatest

RSSignalPtr RSSignal::switchToLatest() {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    RSMulticastConnectionPtr connection = self->publish();
    RSSignalPtr outer = connection->signal();
    RSSignalPtr cutOff = outer->concat(never());
    auto subscription = outer
                            ->flattenMap([cutOff](const fnd::Value& value) -> RSSignalPtr {
                              RSSignalPtr inner = streamFromValue(value);
                              return inner ? inner->takeUntil(cutOff) : nullptr;
                            })
                            ->subscribe(subscriber);
    auto connectionDisposable = connection->connect();
    return RSDisposable::disposableWithBlock([subscription, connectionDisposable] {
      RSDispose(subscription);
      RSDispose(connectionDisposable);
    });
  });
  result->setNameWithFormat("[%s] -switchToLatest", name().c_str());
  return result;
}

RSSignalPtr RSSignal::switch_(const RSSignalPtr& signal, const RSSignalCases& cases, const RSSignalPtr& defaultSignal) {
  RSSignalCases copied = cases;
  auto result = orMissing(signal)
                    ->map([copied, defaultSignal](const fnd::Value& key) -> fnd::Value {
                      auto found = copied.find(key);
                      if (found != copied.end()) return fnd::Value(orMissing(found->second));
                      if (defaultSignal) return fnd::Value(defaultSignal);
                      return fnd::Value(error(fnd::Error::withDescription(
                          RSSignalErrorDomain, RSSignalErrorNoMatchingCase,
                          "No matching signal found for value " + key.description())));
                    })
                    ->switchToLatest();
  if (RSDebugNamesEnabled()) {
    std::string casesText = "{";
    for (const auto& [key, value] : cases) casesText += " " + key.description() + " = " + describeSignal(value) + ";";
    casesText += " }";
    result->setNameWithFormat("+switch: %s cases: %s default: %s", describeSignal(signal).c_str(), casesText.c_str(),
                              describeSignal(defaultSignal).c_str());
  }
  return result;
}

RSSignalPtr RSSignal::if_(const RSSignalPtr& boolSignal, const RSSignalPtr& trueSignal, const RSSignalPtr& falseSignal) {
  RSSignalPtr whenTrue = orMissing(trueSignal);
  RSSignalPtr whenFalse = orMissing(falseSignal);
  auto result = orMissing(boolSignal)
                    ->map([whenTrue, whenFalse](const fnd::Value& value) {
                      return fnd::Value(value.boolValue() ? whenTrue : whenFalse);
                    })
                    ->switchToLatest();
  result->setNameWithFormat("+if: %s then: %s else: %s", describeSignal(boolSignal).c_str(),
                            describeSignal(trueSignal).c_str(), describeSignal(falseSignal).c_str());
  return result;
}

// -------------------------------------------------------------------- takeUntil

RSSignalPtr RSSignal::takeUntil(const RSSignalPtr& signalTrigger) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr trigger = orMissing(signalTrigger);
  auto result = createSignal([self, trigger](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto disposable = RSCompoundDisposable::compoundDisposable();
    auto end = [disposable, subscriber] {
      disposable->dispose();
      subscriber->sendCompleted();
    };
    disposable->addDisposable(trigger->subscribeNext([end](const fnd::Value&) { end(); }, RSCompletedBlock(end)));
    if (!disposable->isDisposed()) {
      disposable->addDisposable(self->subscribeNext(
          [subscriber](const fnd::Value& value) { subscriber->sendNext(value); },
          [subscriber](const RSErrorPtr& error) { subscriber->sendError(error); }, RSCompletedBlock(end)));
    }
    return disposable;
  });
  result->setNameWithFormat("[%s] -takeUntil: %s", name().c_str(), describeSignal(signalTrigger).c_str());
  return result;
}

RSSignalPtr RSSignal::takeUntilReplacement(const RSSignalPtr& replacement) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr other = orMissing(replacement);
  return createSignal([self, other](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    auto selfDisposable = std::make_shared<RSSerialDisposable>();
    auto replacementDisposable = other->subscribeNext(
        [selfDisposable, subscriber](const fnd::Value& value) {
          selfDisposable->dispose();
          subscriber->sendNext(value);
        },
        [selfDisposable, subscriber](const RSErrorPtr& error) {
          selfDisposable->dispose();
          subscriber->sendError(error);
        },
        [selfDisposable, subscriber] {
          selfDisposable->dispose();
          subscriber->sendCompleted();
        });
    if (!selfDisposable->isDisposed()) selfDisposable->setDisposable(self->concat(never())->subscribe(subscriber));
    return RSDisposable::disposableWithBlock([selfDisposable, replacementDisposable] {
      selfDisposable->dispose();
      RSDispose(replacementDisposable);
    });
  });
}

// ----------------------------------------------------------------------- sample

RSSignalPtr RSSignal::sample(const RSSignalPtr& sampler) {
  RSSignalPtr self = selfSignal();
  RSSignalPtr samplerSignal = orMissing(sampler);
  auto result = createSignal([self, samplerSignal](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    struct Latest {
      std::mutex mutex;
      fnd::Value value;
      bool hasValue = false;
    };
    auto latest = std::make_shared<Latest>();
    auto samplerDisposable = std::make_shared<RSSerialDisposable>();
    auto selfDisposable = std::make_shared<RSSerialDisposable>();

    selfDisposable->setDisposable(self->subscribeNext(
        [latest](const fnd::Value& value) {
          fnd::Value previous;  // released after unlocking
          std::lock_guard lock(latest->mutex);
          previous = std::move(latest->value);
          latest->value = value;
          latest->hasValue = true;
        },
        [samplerDisposable, subscriber](const RSErrorPtr& error) {
          samplerDisposable->dispose();
          subscriber->sendError(error);
        },
        [samplerDisposable, subscriber] {
          samplerDisposable->dispose();
          subscriber->sendCompleted();
        }));

    samplerDisposable->setDisposable(samplerSignal->subscribeNext(
        [latest, subscriber](const fnd::Value&) {
          fnd::Value value;
          bool hasValue;
          {
            std::lock_guard lock(latest->mutex);
            value = latest->value;
            hasValue = latest->hasValue;
          }
          if (hasValue) subscriber->sendNext(value);
        },
        [selfDisposable, subscriber](const RSErrorPtr& error) {
          selfDisposable->dispose();
          subscriber->sendError(error);
        },
        [selfDisposable, subscriber] {
          selfDisposable->dispose();
          subscriber->sendCompleted();
        }));

    return RSDisposable::disposableWithBlock([selfDisposable, samplerDisposable] {
      selfDisposable->dispose();
      samplerDisposable->dispose();
    });
  });
  result->setNameWithFormat("[%s] -sample: %s", name().c_str(), describeSignal(sampler).c_str());
  return result;
}

// ---------------------------------------------------------------------- groupBy

RSSignalPtr RSSignal::groupBy(std::function<fnd::Value(const fnd::Value&)> keyBlock,
                              std::function<fnd::Value(const fnd::Value&)> transformBlock) {
  RSSignalPtr self = selfSignal();
  auto result = createSignal([self, keyBlock, transformBlock](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    struct Groups {
      std::recursive_mutex mutex;
      std::unordered_map<fnd::Value, RSGroupedSignalPtr> byKey;
      std::vector<RSGroupedSignalPtr> inOrder;

      std::vector<RSGroupedSignalPtr> snapshot() {
        std::lock_guard lock(mutex);
        return inOrder;
      }
    };
    auto groups = std::make_shared<Groups>();
    return self->subscribeNext(
        [groups, subscriber, keyBlock, transformBlock](const fnd::Value& value) {
          fnd::Value key = keyBlock(value);
          RSGroupedSignalPtr group;
          {
            std::lock_guard lock(groups->mutex);
            auto found = groups->byKey.find(key);
            if (found != groups->byKey.end()) {
              group = found->second;
            } else {
              group = RSGroupedSignal::signalWithKey(key);
              groups->byKey.emplace(key, group);
              groups->inOrder.push_back(group);
              subscriber->sendNext(fnd::Value(group));
            }
          }
          group->sendNext(transformBlock ? transformBlock(value) : value);
        },
        [groups, subscriber](const RSErrorPtr& error) {
          subscriber->sendError(error);
          for (const auto& group : groups->snapshot()) group->sendError(error);
        },
        [groups, subscriber] {
          subscriber->sendCompleted();
          for (const auto& group : groups->snapshot()) group->sendCompleted();
        });
  });
  result->setNameWithFormat("[%s] -groupBy:transform:", name().c_str());
  return result;
}

RSSignalPtr RSSignal::groupBy(std::function<fnd::Value(const fnd::Value&)> keyBlock) {
  auto result = groupBy(std::move(keyBlock), nullptr);
  result->setNameWithFormat("[%s] -groupBy:", name().c_str());
  return result;
}
