#include "reactive/RSSubject.h"

#include <algorithm>

// --------------------------------------------------------------------- RSSubject

RSSubject::RSSubject() : disposable_(RSCompoundDisposable::compoundDisposable()) { subscribers_.reserve(1); }

RSSubject::~RSSubject() { disposable_->dispose(); }

RSSubjectPtr RSSubject::subject() { return fnd::make<RSSubject>(); }

RSDisposablePtr RSSubject::subscribe(const RSSubscriberPtr& subscriber) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  auto passthrough = RSPassthroughSubscriber::create(subscriber, selfSubject(), disposable);
  {
    std::lock_guard lock(subscribersMutex_);
    subscribers_.push_back(passthrough);
  }
  std::weak_ptr<RSSubject> weakSelf = selfSubject();
  std::weak_ptr<RSPassthroughSubscriber> weakPassthrough = passthrough;
  disposable->addDisposable(RSDisposable::disposableWithBlock([weakSelf, weakPassthrough] {
    auto self = weakSelf.lock();
    auto passthrough = weakPassthrough.lock();
    if (!self || !passthrough) return;
    RSPassthroughSubscriberPtr removed;  // dropped after unlocking
    std::lock_guard lock(self->subscribersMutex_);
    auto& list = self->subscribers_;
    auto it = std::find(list.rbegin(), list.rend(), passthrough);
    if (it != list.rend()) {
      removed = std::move(*it);
      list.erase(std::next(it).base());
    }
  }));
  return disposable;
}

std::vector<RSPassthroughSubscriberPtr> RSSubject::subscribers() const {
  std::lock_guard lock(subscribersMutex_);
  return subscribers_;
}

void RSSubject::enumerateSubscribersUsingBlock(const std::function<void(const RSSubscriberPtr&)>& block) {
  std::vector<RSPassthroughSubscriberPtr> copy = subscribers();
  for (const auto& subscriber : copy) block(subscriber);
}

void RSSubject::sendNext(const fnd::Value& value) {
  enumerateSubscribersUsingBlock([&value](const RSSubscriberPtr& subscriber) { subscriber->sendNext(value); });
}

void RSSubject::sendError(const RSErrorPtr& error) {
  disposable_->dispose();
  enumerateSubscribersUsingBlock([&error](const RSSubscriberPtr& subscriber) { subscriber->sendError(error); });
}

void RSSubject::sendCompleted() {
  disposable_->dispose();
  enumerateSubscribersUsingBlock([](const RSSubscriberPtr& subscriber) { subscriber->sendCompleted(); });
}

void RSSubject::didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) {
  if (!disposable || disposable->isDisposed()) return;
  disposable_->addDisposable(disposable);
  std::weak_ptr<RSSubject> weakSelf = selfSubject();
  std::weak_ptr<RSCompoundDisposable> weakDisposable = disposable;
  disposable->addDisposable(RSDisposable::disposableWithBlock([weakSelf, weakDisposable] {
    auto self = weakSelf.lock();
    auto other = weakDisposable.lock();
    if (self && other) self->disposable_->removeDisposable(other);
  }));
}

// --------------------------------------------------------------- RSReplaySubject

RSReplaySubject::RSReplaySubject(uint64_t capacity) : capacity_(capacity) {
  if (capacity != RSReplaySubjectUnlimitedCapacity && capacity < 1024) valuesReceived_.reserve(capacity);
}

RSReplaySubjectPtr RSReplaySubject::subject() { return fnd::make<RSReplaySubject>(); }

RSReplaySubjectPtr RSReplaySubject::replaySubjectWithCapacity(uint64_t capacity) {
  return fnd::make<RSReplaySubject>(capacity);
}

RSDisposablePtr RSReplaySubject::subscribe(const RSSubscriberPtr& subscriber) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  RSReplaySubjectPtr self = selfReplaySubject();
  auto scheduling = RSScheduler::subscriptionScheduler()->schedule([self, subscriber, disposable] {
    std::lock_guard lock(self->mutex_);
    for (const auto& value : self->valuesReceived_) {
      if (disposable->isDisposed()) return;
      subscriber->sendNext(value);
    }
    if (disposable->isDisposed()) return;
    if (self->hasCompleted_) {
      subscriber->sendCompleted();
    } else if (self->hasError_) {
      subscriber->sendError(self->error_);
    } else {
      disposable->addDisposable(self->RSSubject::subscribe(subscriber));
    }
  });
  disposable->addDisposable(scheduling);
  return disposable;
}

void RSReplaySubject::sendNext(const fnd::Value& value) {
  std::vector<fnd::Value> dropped;  // released after unlocking
  std::lock_guard lock(mutex_);
  valuesReceived_.push_back(value);
  if (capacity_ != RSReplaySubjectUnlimitedCapacity && valuesReceived_.size() > capacity_) {
    auto excess = static_cast<std::ptrdiff_t>(valuesReceived_.size() - capacity_);
    dropped.assign(std::make_move_iterator(valuesReceived_.begin()),
                   std::make_move_iterator(valuesReceived_.begin() + excess));
    valuesReceived_.erase(valuesReceived_.begin(), valuesReceived_.begin() + excess);
  }
  RSSubject::sendNext(value);
}

void RSReplaySubject::sendCompleted() {
  std::lock_guard lock(mutex_);
  hasCompleted_ = true;
  RSSubject::sendCompleted();
}

void RSReplaySubject::sendError(const RSErrorPtr& error) {
  std::lock_guard lock(mutex_);
  hasError_ = true;
  error_ = error;
  RSSubject::sendError(error);
}

std::vector<fnd::Value> RSReplaySubject::valuesReceived() const {
  std::lock_guard lock(mutex_);
  return valuesReceived_;
}

bool RSReplaySubject::hasCompleted() const {
  std::lock_guard lock(mutex_);
  return hasCompleted_;
}

bool RSReplaySubject::hasError() const {
  std::lock_guard lock(mutex_);
  return hasError_;
}

RSErrorPtr RSReplaySubject::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

// ------------------------------------------------------------- RSBehaviorSubject

RSBehaviorSubjectPtr RSBehaviorSubject::behaviorSubjectWithDefaultValue(const fnd::Value& value) {
  auto subject = fnd::make<RSBehaviorSubject>();
  subject->setCurrentValue(value);
  return subject;
}

RSDisposablePtr RSBehaviorSubject::subscribe(const RSSubscriberPtr& subscriber) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  auto self = std::static_pointer_cast<RSBehaviorSubject>(shared_from_this());
  auto scheduling = RSScheduler::subscriptionScheduler()->schedule([self, subscriber, disposable] {
    std::lock_guard lock(self->mutex_);
    if (disposable->isDisposed()) return;
    subscriber->sendNext(self->currentValue_);
    if (disposable->isDisposed()) return;
    disposable->addDisposable(self->RSSubject::subscribe(subscriber));
  });
  disposable->addDisposable(scheduling);
  return disposable;
}

void RSBehaviorSubject::sendNext(const fnd::Value& value) {
  fnd::Value previous;  // released after unlocking
  std::lock_guard lock(mutex_);
  previous = currentValue_;
  currentValue_ = value;
  RSSubject::sendNext(value);
}

fnd::Value RSBehaviorSubject::currentValue() const {
  std::lock_guard lock(mutex_);
  return currentValue_;
}

void RSBehaviorSubject::setCurrentValue(const fnd::Value& value) {
  fnd::Value previous;  // released after unlocking
  std::lock_guard lock(mutex_);
  previous = currentValue_;
  currentValue_ = value;
}

// --------------------------------------------------------------- RSGroupedSignal

RSGroupedSignalPtr RSGroupedSignal::signalWithKey(const fnd::Value& key) { return fnd::make<RSGroupedSignal>(key); }
