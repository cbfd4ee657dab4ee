#include "reactive/RSSubscriber.h"

#include "reactive/RSSignal.h"

RSBlockSubscriberPtr RSSubscriber::subscriberWithNext(RSNextBlock next, RSErrorBlock error, RSCompletedBlock completed) {
  return RSBlockSubscriber::subscriberWithNext(std::move(next), std::move(error), std::move(completed));
}

// ------------------------------------------------------------ RSBlockSubscriber

RSBlockSubscriber::RSBlockSubscriber() : disposable_(RSCompoundDisposable::compoundDisposable()) {}

RSBlockSubscriberPtr RSBlockSubscriber::subscriberWithNext(RSNextBlock next, RSErrorBlock error,
                                                           RSCompletedBlock completed) {
  auto subscriber = std::make_shared<RSBlockSubscriber>();
  if (next) subscriber->next_ = std::make_shared<const RSNextBlock>(std::move(next));
  if (error) subscriber->error_ = std::make_shared<const RSErrorBlock>(std::move(error));
  if (completed) subscriber->completed_ = std::make_shared<const RSCompletedBlock>(std::move(completed));

  // Once the subscriber is done, its blocks (and what they hold) go.
  std::weak_ptr<RSBlockSubscriber> weakSubscriber = subscriber;
  subscriber->disposable_->addDisposable(RSDisposable::disposableWithBlock([weakSubscriber] {
    auto strong = weakSubscriber.lock();
    if (!strong) return;
    Blocks taken;  // dropped after unlocking
    std::lock_guard lock(strong->mutex_);
    taken = strong->takeBlocksLocked();
  }));
  return subscriber;
}

RSBlockSubscriber::~RSBlockSubscriber() { disposable_->dispose(); }

RSBlockSubscriber::Blocks RSBlockSubscriber::takeBlocksLocked() {
  return Blocks{std::move(next_), std::move(error_), std::move(completed_)};
}

void RSBlockSubscriber::sendNext(const fnd::Value& value) {
  NextPtr next;  // dropped after unlocking
  std::lock_guard lock(mutex_);
  next = next_;
  if (next) (*next)(value);
}

void RSBlockSubscriber::sendError(const RSErrorPtr& error) {
  Blocks taken;  // dropped after unlocking
  std::lock_guard lock(mutex_);
  taken = takeBlocksLocked();
  disposable_->dispose();
  if (taken.error) (*taken.error)(error);
}

void RSBlockSubscriber::sendCompleted() {
  Blocks taken;  // dropped after unlocking
  std::lock_guard lock(mutex_);
  taken = takeBlocksLocked();
  disposable_->dispose();
  if (taken.completed) (*taken.completed)();
}

void RSBlockSubscriber::didSubscribeWithDisposable(const RSCompoundDisposablePtr& other) {
  if (!other || other->isDisposed()) return;
  disposable_->addDisposable(other);
  // A subscription disposed from outside does not stay in a long-lived
  // subscriber.
  std::weak_ptr<RSCompoundDisposable> weakSelfDisposable = disposable_;
  std::weak_ptr<RSCompoundDisposable> weakOther = other;
  other->addDisposable(RSDisposable::disposableWithBlock([weakSelfDisposable, weakOther] {
    auto selfDisposable = weakSelfDisposable.lock();
    auto otherDisposable = weakOther.lock();
    if (selfDisposable && otherDisposable) selfDisposable->removeDisposable(otherDisposable);
  }));
}

// ------------------------------------------------------ RSPassthroughSubscriber

RSPassthroughSubscriber::RSPassthroughSubscriber(RSSubscriberPtr subscriber, const std::shared_ptr<RSSignal>& signal,
                                                 RSCompoundDisposablePtr disposable)
    : innerSubscriber_(std::move(subscriber)), signal_(signal), disposable_(std::move(disposable)) {}

RSPassthroughSubscriberPtr RSPassthroughSubscriber::create(RSSubscriberPtr subscriber,
                                                           const std::shared_ptr<RSSignal>& signal,
                                                           RSCompoundDisposablePtr disposable) {
  auto passthrough = std::make_shared<RSPassthroughSubscriber>(std::move(subscriber), signal, std::move(disposable));
  passthrough->innerSubscriber_->didSubscribeWithDisposable(passthrough->disposable_);
  return passthrough;
}

void RSPassthroughSubscriber::sendNext(const fnd::Value& value) {
  if (disposable_->isDisposed()) return;
  RSSubscriberPtr inner = innerSubscriber_;  // this passthrough may go during the call
  inner->sendNext(value);
}

void RSPassthroughSubscriber::sendError(const RSErrorPtr& error) {
  if (disposable_->isDisposed()) return;
  RSSubscriberPtr inner = innerSubscriber_;  // this passthrough may go during the call
  inner->sendError(error);
}

void RSPassthroughSubscriber::sendCompleted() {
  if (disposable_->isDisposed()) return;
  RSSubscriberPtr inner = innerSubscriber_;  // this passthrough may go during the call
  inner->sendCompleted();
}

void RSPassthroughSubscriber::didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) {
  if (disposable != disposable_) disposable_->addDisposable(disposable);
}
