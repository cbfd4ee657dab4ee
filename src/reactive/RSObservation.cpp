#include "reactive/RSObservation.h"

#include <mutex>
#include <optional>

#include "reactive/RSDebug.h"
#include "reactive/RSKVOTrampoline.h"
#include "reactive/RSKeyPath.h"
#include "reactive/RSSignal.h"
#include "reactive/RSTuple.h"

namespace {

fnd::Dictionary changeDictionary(const fnd::KVOChange& change, unsigned options) {
  fnd::Dictionary::Map map;
  map.emplace(RSKeyValueChangeKindKey, fnd::Value(change.kind));
  if (change.isPrior) {
    map.emplace(RSKeyValueChangeNotificationIsPriorKey, fnd::Value(true));
  } else if (options & fnd::KVONew) {
    map.emplace(RSKeyValueChangeNewKey, change.newValue.isNil() ? fnd::Value::null() : change.newValue);
  }
  if (options & fnd::KVOOld) map.emplace(RSKeyValueChangeOldKey, change.oldValue.isNil() ? fnd::Value::null() : change.oldValue);
  return fnd::Dictionary(std::move(map));
}

fnd::Dictionary settingChange(const fnd::Value& value) {
  return fnd::Dictionary{{RSKeyValueChangeKindKey, fnd::Value(RSKeyValueChangeSetting)},
                         {RSKeyValueChangeNewKey, value.isNil() ? fnd::Value::null() : value}};
}

// The value of a key path below a value: objects by key-value coding,
// dictionaries by key; anything else gives nil.
fnd::Value valueAtPath(const fnd::Value& root, std::string_view path) {
  if (auto object = root.asObject()) return object->valueForKeyPath(path);
  if (!root.isDictionary()) return fnd::Value();
  size_t dot = path.find('.');
  fnd::Value next = root.asDictionary()[path.substr(0, dot)];
  return dot == std::string_view::npos ? next : valueAtPath(next, path.substr(dot + 1));
}

using SwallowPtr = std::shared_ptr<const rs_detail::RSKVOSwallowBlock>;

RSDisposablePtr observeKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                               unsigned options, const RSLifetimeRef& observer, RSKVOBlock block, bool wantsChange,
                               SwallowPtr swallow);

// Everything one observation level shares with its notifications.
struct Level {
  std::string keyPath;
  std::string head;
  std::optional<std::string> tail;
  bool oneComponent = false;
  unsigned options = 0;
  bool watchDeallocation = false;
  // Whether the block reads the change dictionary (else it gets an empty one).
  bool wantsChange = true;
  std::weak_ptr<fnd::LifetimeState> observer;
  const void* observerIdentity = nullptr;
  std::shared_ptr<const RSKVOBlock> block;
  SwallowPtr swallow;
  // Everything attached to the head's current value.
  RSSerialDisposablePtr firstComponentDisposable;

  void attach(const fnd::Value& value, const RSCompoundDisposablePtr& valueDisposable) const {
    auto object = value.asObject();
    if (!object) return;
    if (watchDeallocation && RSLifetimeRef(object.get()).identity() != observerIdentity) {
      auto block = this->block;
      bool one = oneComponent;
      auto watch = RSDisposable::disposableWithBlock([block, one] {
        (*block)(fnd::Value(), settingChange(fnd::Value::null()), true, one);
      });
      rs_deallocDisposable(RSLifetimeRef(object.get()))->addDisposable(watch);
      std::weak_ptr<fnd::LifetimeState> valueLifetime = object->lifetime().weak();
      valueDisposable->addDisposable(RSDisposable::disposableWithBlock(
          [valueLifetime, watch] { rs_detail::removeFromDeallocDisposable(valueLifetime, watch); }));
    }
    if (tail) {
      RSLifetimeRef observerRef(observer.lock());
      valueDisposable->addDisposable(
          observeKeyPath(object, *tail, options & ~fnd::KVOInitial, observerRef, *block, wantsChange, swallow));
    }
  }

  // Whether anything is ever attached to the head's value: a deallocation
  // watch or the observation of the rest of the path. Without either there is
  // nothing to take off before a change, nor to put on after it.
  bool attaches() const { return watchDeallocation || tail.has_value(); }

  void notify(const std::shared_ptr<fnd::Object>& target, const fnd::KVOChange& change) const {
    static const fnd::Dictionary kNoChange;
    const fnd::Dictionary dictionary = wantsChange ? changeDictionary(change, options) : kNoChange;
    if (change.isPrior) {
      // The old value's nested observation and watch go now.
      RSDispose(firstComponentDisposable->disposable());
      if (options & fnd::KVOPrior) (*block)(target->valueForKeyPath(keyPath), dictionary, false, oneComponent);
      return;
    }
    // A change the caller swallows, with nothing to move over to the new
    // value: not even read.
    if (oneComponent && !attaches() && swallow && (*swallow)()) return;
    fnd::Value value = target->valueForKey(head);
    if (value.isNil()) {
      (*block)(fnd::Value(), dictionary, false, oneComponent);
      return;
    }
    if (attaches()) {
      auto fresh = RSCompoundDisposable::compoundDisposable();
      RSDispose(firstComponentDisposable->swapInDisposable(fresh));
      attach(value, fresh);
    }
    if (oneComponent) {
      (*block)(value, dictionary, false, true);
    } else {
      (*block)(valueAtPath(value, *tail), dictionary, false, false);
    }
  }
};

}  // namespace

namespace {

RSDisposablePtr observeKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                               unsigned options, const RSLifetimeRef& observer, RSKVOBlock block, bool wantsChange,
                               SwallowPtr swallow) {
  auto components = rs_keyPathComponents(keyPath);
  if (!receiver || !block || !components) return RSDisposable::disposableWithBlock(nullptr);

  auto level = std::make_shared<Level>();
  level->keyPath = std::string(keyPath);
  level->head = (*components)[0];
  level->tail = rs_keyPathByDeletingFirstKeyPathComponent(keyPath);
  level->oneComponent = components->size() == 1;
  level->options = options;
  level->wantsChange = wantsChange;
  level->swallow = std::move(swallow);
  const fnd::PropertyAttributes* attributes = receiver->attributesForKey(level->head);
  level->watchDeallocation = attributes && attributes->isObject && attributes->weak;
  level->observer = observer.weak();
  level->observerIdentity = observer.identity();
  level->block = std::make_shared<const RSKVOBlock>(std::move(block));
  level->firstComponentDisposable =
      RSSerialDisposable::serialDisposableWithDisposable(RSCompoundDisposable::compoundDisposable());

  auto observation = RSCompoundDisposable::compoundDisposable();
  observation->addDisposable(level->firstComponentDisposable);

  // Told before each change too where something attached to the old value
  // must go first, or where the caller asked for it.
  unsigned trampolineOptions = options & ~static_cast<unsigned>(fnd::KVOInitial);
  if (level->attaches()) trampolineOptions |= fnd::KVOPrior;
  std::shared_ptr<const Level> shared = level;
  observation->addDisposable(RSKVOTrampoline::initWithTarget(
      receiver, observer, level->head, trampolineOptions,
      [shared](const std::shared_ptr<fnd::Object>& target, const std::shared_ptr<fnd::LifetimeState>&,
               const fnd::KVOChange& change) { shared->notify(target, change); }));

  fnd::Value value = receiver->valueForKey(level->head);
  if (!value.isNil()) {
    auto current = std::static_pointer_cast<RSCompoundDisposable>(level->firstComponentDisposable->disposable());
    level->attach(value, current);
  }

  if (options & fnd::KVOInitial) {
    fnd::Value initial = receiver->valueForKeyPath(keyPath);
    (*level->block)(initial, wantsChange ? settingChange(initial) : fnd::Dictionary(), false, level->oneComponent);
  }

  // However it ends, the observation leaves no entry behind on either side.
  std::weak_ptr<RSCompoundDisposable> weakObservation = observation;
  std::weak_ptr<fnd::LifetimeState> receiverLifetime = receiver->lifetime().weak();
  std::weak_ptr<fnd::LifetimeState> observerLifetime = observer.weak();
  bool hasObserver = static_cast<bool>(observer);
  observation->addDisposable(RSDisposable::disposableWithBlock([=] {
    auto self = weakObservation.lock();
    if (!self) return;
    rs_detail::removeFromDeallocDisposable(receiverLifetime, self);
    if (hasObserver) rs_detail::removeFromDeallocDisposable(observerLifetime, self);
  }));
  if (hasObserver) rs_deallocDisposable(observer)->addDisposable(observation);
  rs_deallocDisposable(RSLifetimeRef(receiver.get()))->addDisposable(observation);

  return RSDisposable::disposableWithBlock([observation] { observation->dispose(); });
}

}  // namespace

RSDisposablePtr rs_observeKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                  unsigned options, const RSLifetimeRef& observer, RSKVOBlock block) {
  return observeKeyPath(receiver, keyPath, options, observer, std::move(block), true, nullptr);
}

RSDisposablePtr rs_detail::observeKeyPathValues(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                                unsigned options, const RSLifetimeRef& observer, RSKVOBlock block,
                                                RSKVOSwallowBlock swallow) {
  return observeKeyPath(receiver, keyPath, options, observer, std::move(block), false,
                        swallow ? std::make_shared<const rs_detail::RSKVOSwallowBlock>(std::move(swallow)) : nullptr);
}

namespace {

// The signal of rs_valuesAndChangesForKeyPath: its (value, change) tuples, or
// with valuesOnly the values alone (no change dictionary is built).
RSSignalPtr observationSignal(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                              unsigned options, const RSLifetimeRef& observer, bool valuesOnly) {
  std::string path(keyPath);
  std::weak_ptr<fnd::Object> weakReceiver = receiver;
  std::weak_ptr<fnd::LifetimeState> weakObserver = observer.weak();
  auto lock = std::make_shared<std::recursive_mutex>();

  RSSignalPtr receiverEnd = receiver ? rs_willDeallocSignal(RSLifetimeRef(receiver.get())) : RSSignal::empty();
  RSSignalPtr observerEnd = observer ? rs_willDeallocSignal(observer) : RSSignal::never();
  // Not while a subscription is being set up.
  RSSignalPtr deallocSignal = RSSignal::zip({receiverEnd, observerEnd})->doCompleted([lock] {
    std::lock_guard guard(*lock);
  });

  return RSSignal::createSignal([=](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
           std::lock_guard guard(*lock);
           auto observerState = weakObserver.lock();
           auto strongReceiver = weakReceiver.lock();
           if (!strongReceiver) {
             subscriber->sendCompleted();
             return nullptr;
           }
           if (valuesOnly) {
             return rs_detail::observeKeyPathValues(
                 strongReceiver, path, options, RSLifetimeRef(observerState),
                 [subscriber](const fnd::Value& value, const fnd::Dictionary&, bool, bool) {
                   subscriber->sendNext(value);
                 });
           }
           return rs_observeKeyPath(
               strongReceiver, path, options, RSLifetimeRef(observerState),
               [subscriber](const fnd::Value& value, const fnd::Dictionary& change, bool, bool) {
                 subscriber->sendNext(fnd::Value(RSTwoTuple::pack(value, fnd::Value(change))));
               });
         })
      ->takeUntil(deallocSignal);
}

}  // namespace

std::shared_ptr<RSSignal> rs_valuesAndChangesForKeyPath(const std::shared_ptr<fnd::Object>& receiver,
                                                        std::string_view keyPath, unsigned options,
                                                        const RSLifetimeRef& observer) {
  RSSignalPtr result = observationSignal(receiver, keyPath, options, observer, false);
  if (RSDebugNamesEnabled()) {
    result->setNameWithFormat("%s -rs_valueAndChangesForKeyPath: %.*s options: %lu observer: %s",
                              RSDescription(fnd::Value(receiver)).c_str(), static_cast<int>(keyPath.size()),
                              keyPath.data(), static_cast<unsigned long>(options), observer.description().c_str());
  }
  return result;
}

std::shared_ptr<RSSignal> rs_valuesForKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                              const RSLifetimeRef& observer) {
  // The values of rs_valuesAndChangesForKeyPath's tuples, taken without making
  // the tuples. Each still goes through a map: on a thread with a current
  // scheduler it is passed on at once, from anywhere else through the
  // subscription scheduler's background queue, in order.
  auto result = observationSignal(receiver, keyPath, fnd::KVOInitial, observer, true)
                    ->map([](const fnd::Value& value) { return value; });
  if (RSDebugNamesEnabled()) {
    result->setNameWithFormat("RSObserve(%s, %.*s)", RSDescription(fnd::Value(receiver)).c_str(),
                              static_cast<int>(keyPath.size()), keyPath.data());
  }
  return result;
}
