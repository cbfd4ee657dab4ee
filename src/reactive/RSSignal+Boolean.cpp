// Boolean operators and the one-way binding of a signal to a key path.
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSSequence.h"
#include "reactive/RSSignal.h"

RSSignalPtr RSSignal::not_() {
  auto result = map([](const fnd::Value& value) { return fnd::Value(value.boolValue() ? 0 : 1); });
  result->setNameWithFormat("[%s] -not", name().c_str());
  return result;
}

// The members are read through the tuple's sequence, which hands a nil member
// over as Null; both count as false.
RSSignalPtr RSSignal::and_() {
  auto result = flattenMap([](const fnd::Value& value) -> RSSignalPtr {
    auto tuple = value.asObject<RSTuple>();
    if (!tuple) return unexpectedValue(value, "RSTuple");
    return return_(fnd::Value(rs_sequence(tuple)->all([](const fnd::Value& member) { return member.boolValue(); })));
  });
  result->setNameWithFormat("[%s] -and", name().c_str());
  return result;
}

RSSignalPtr RSSignal::or_() {
  auto result = flattenMap([](const fnd::Value& value) -> RSSignalPtr {
    auto tuple = value.asObject<RSTuple>();
    if (!tuple) return unexpectedValue(value, "RSTuple");
    return return_(fnd::Value(rs_sequence(tuple)->any([](const fnd::Value& member) { return member.boolValue(); })));
  });
  result->setNameWithFormat("[%s] -or", name().c_str());
  return result;
}

RSDisposablePtr RSSignal::setKeyPath(const std::string& keyPath, const std::shared_ptr<fnd::Object>& target) {
  return setKeyPath(keyPath, target, fnd::Value());
}

RSDisposablePtr RSSignal::setKeyPath(const std::string& keyPath, const std::shared_ptr<fnd::Object>& target,
                                     const fnd::Value& nilValue) {
  if (!target) return RSDisposable::disposableWithBlock(nullptr);
  auto disposable = RSCompoundDisposable::compoundDisposable();

  // The target, until the binding ends (at the latest when the target starts
  // to end its life). Read as a strong reference for each write.
  struct Target {
    std::mutex mutex;
    std::weak_ptr<fnd::Object> object;
    std::shared_ptr<fnd::Object> lock() {
      std::lock_guard guard(mutex);
      return object.lock();
    }
    void clear() {
      std::lock_guard guard(mutex);
      object.reset();
    }
  };
  auto targetRef = std::make_shared<Target>();
  targetRef->object = target;

  RSSignalPtr self = selfSignal();
  std::string description = self->description();
  std::string targetDescription = target->description();
  auto subscription = subscribeNext(
      [targetRef, keyPath, nilValue](const fnd::Value& value) {
        auto object = targetRef->lock();
        if (!object) return;
        fnd::Value written = value.isNil() ? nilValue : value;
        if (object->requiresMainThread() && !dispatch::isMainThread()) {
          // Views are written on the main thread only; in order, and not at
          // all once the binding has ended meanwhile.
          dispatch::Queue::main()->async([targetRef, keyPath, written] {
            if (auto onMain = targetRef->lock()) onMain->setValueForKeyPath(keyPath, written);
          });
          return;
        }
        object->setValueForKeyPath(keyPath, written);
      },
      [disposable, description, keyPath, targetDescription](const RSErrorPtr& error) {
        fnd::log("Received error from %s in binding for key path \"%s\" on %s: %s", description.c_str(),
                 keyPath.c_str(), targetDescription.c_str(), error ? error->description().c_str() : "(null)");
        disposable->dispose();
      },
      [disposable] { disposable->dispose(); });
  disposable->addDisposable(subscription);
  disposable->addDisposable(RSDisposable::disposableWithBlock([targetRef] { targetRef->clear(); }));

  // However the binding ends, it leaves no entry in the target.
  std::weak_ptr<fnd::LifetimeState> targetLifetime = target->lifetime().weak();
  std::weak_ptr<RSCompoundDisposable> weakDisposable = disposable;
  disposable->addDisposable(RSDisposable::disposableWithBlock([targetLifetime, weakDisposable] {
    if (auto binding = weakDisposable.lock()) rs_detail::removeFromDeallocDisposable(targetLifetime, binding);
  }));
  rs_deallocDisposable(RSLifetimeRef(target.get()))->addDisposable(disposable);
  return RSDisposable::disposableWithBlock([disposable] { disposable->dispose(); });
}
