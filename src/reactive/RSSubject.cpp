#include "reactive/RSSubject.h"

#include <algorithm>
#include <iterator>
#include <utility>

// --------------------------------------------------------------------- RSSubject

RSSubject::RSSubject()
    : disposable_(RSCompoundDisposable::compoundDisposable()), subscribers_(std::make_shared<const SubscriberList>()) {}

RSSubject::~RSSubject() { disposable_->dispose(); }

RSSubjectPtr RSSubject::subject() { return fnd::make<RSSubject>(); }

RSDisposablePtr RSSubject::subscribe(const RSSubscriberPtr& subscriber) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  auto passthrough = RSPassthroughSubscriber::create(subscriber, selfSubject(), disposable);
  {
    std::shared_ptr<const SubscriberList> previous;  // dropped after unlocking
    std::lock_guard lock(subscribersMutex_);
    auto list = std::make_shared<SubscriberList>();
    list->reserve(subscribers_->size() + 1);
    *list = *subscribers_;
    list->push_back(passthrough);
    previous = std::exchange(subscribers_, std::move(list));
  }
  std::weak_ptr<RSSubject> weakSelf = selfSubject();
  std::weak_ptr<RSPassthroughSubscriber> weakPassthrough = passthrough;
  disposable->addDisposable(RSDisposable::disposableWithBlock([weakSelf, weakPassthrough] {
    auto self = weakSelf.lock();
    auto passthrough = weakPassthrough.lock();
    if (!self || !passthrough) return;
    std::shared_ptr<const SubscriberList> previous;  // dropped after unlocking
    std::lock_guard lock(self->subscribersMutex_);
    const SubscriberList& list = *self->subscribers_;
    auto it = std::find(list.rbegin(), list.rend(), passthrough);
    if (it != list.rend()) {
      auto shorter = std::make_shared<SubscriberList>(list);
      shorter->erase(shorter->begin() + (std::distance(it, list.rend()) - 1));
      previous = std::exchange(self->subscribers_, std::move(shorter));
    }
  }));
  return disposable;
}

std::shared_ptr<const RSSubject::SubscriberList> RSSubject::snapshot() const {
  std::lock_guard lock(subscribersMutex_);
  return subscribers_;
}

std::vector<RSPassthroughSubscriberPtr> RSSubject::subscribers() const { return *snapshot(); }

void RSSubject::enumerateSubscribersUsingBlock(const std::function<void(const RSSubscriberPtr&)>& block) {
  const std::shared_ptr<const SubscriberList> list = snapshot();
  for (const auto& subscriber : *list) block(subscriber);
}

void RSSubject::sendNext(const fnd::Value& value) {
  const std::shared_ptr<const SubscriberList> list = snapshot();
  for (const auto& subscriber : *list) subscriber->sendNext(value);
}

void RSSubject::sendError(const RSErrorPtr& error) {
  disposable_->dispose();
  const std::shared_ptr<const SubscriberList> list = snapshot();
  for (const auto& subscriber : *list) subscriber->sendError(error);
}

void RSSubject::sendCompleted() {
  disposable_->dispose();
  const std::shared_ptr<const SubscriberList> list = snapshot();
  for (const auto& subscriber : *list) subscriber->sendCompleted();
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
  auto scheduling = RSScheduler::subscriptionScheduler()->schedule(subscriber, [self, subscriber, disposable] {
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
  // Released after unlocking. One value at a time goes out of a subject with
  // a capacity, so one held without a vector does.
  fnd::Value droppedOne;
  std::vector<fnd::Value> dropped;
  std::lock_guard lock(mutex_);
  if (capacity_ == 0) {
    // Nothing kept: only the end is replayed.
  } else if (capacity_ == 1 && valuesReceived_.size() == 1) {
    // The latest value only: replaced in place.
    droppedOne = std::exchange(valuesReceived_.front(), value);
  } else {
    valuesReceived_.push_back(value);
    if (capacity_ != RSReplaySubjectUnlimitedCapacity && valuesReceived_.size() > capacity_) {
      auto excess = static_cast<std::ptrdiff_t>(valuesReceived_.size() - capacity_);
      if (excess == 1) {
        droppedOne = std::move(valuesReceived_.front());
      } else {
        dropped.assign(std::make_move_iterator(valuesReceived_.begin()),
                       std::make_move_iterator(valuesReceived_.begin() + excess));
      }
      valuesReceived_.erase(valuesReceived_.begin(), valuesReceived_.begin() + excess);
    }
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
  auto scheduling = RSScheduler::subscriptionScheduler()->schedule(subscriber, [self, subscriber, disposable] {
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
