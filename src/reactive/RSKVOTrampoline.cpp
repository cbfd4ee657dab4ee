#include "reactive/RSKVOTrampoline.h"

RSKVOTrampoline::RSKVOTrampoline(std::string keyPath, Block block)
    : keyPath_(std::move(keyPath)), block_(std::make_shared<const Block>(std::move(block))) {}

RSKVOTrampolinePtr RSKVOTrampoline::initWithTarget(const std::shared_ptr<fnd::Object>& target,
                                                   const RSLifetimeRef& observer, std::string keyPath,
                                                   unsigned options, Block block) {
  if (!target) return nullptr;
  auto trampoline = std::make_shared<RSKVOTrampoline>(std::move(keyPath), std::move(block));
  trampoline->weakTarget_ = target;
  trampoline->targetLifetime_ = target->lifetime().weak();
  trampoline->observer_ = observer.weak();
  trampoline->hasObserver_ = static_cast<bool>(observer);

  std::weak_ptr<RSKVOTrampoline> weakTrampoline = trampoline;
  fnd::KVOToken token = target->addObserver(trampoline->keyPath_, options, [weakTrampoline](const fnd::KVOChange& change) {
    // A registration whose trampoline has gone is ignored.
    if (auto self = weakTrampoline.lock()) self->observeValue(change);
  });
  bool alreadyDisposed;
  {
    std::lock_guard lock(trampoline->mutex_);
    trampoline->token_ = token;
    alreadyDisposed = trampoline->disposed_;
  }
  if (alreadyDisposed) {
    target->removeObserver(token);
    return trampoline;
  }
  // Ends with either side.
  rs_deallocDisposable(RSLifetimeRef(target.get()))->addDisposable(trampoline);
  if (observer) rs_deallocDisposable(observer)->addDisposable(trampoline);
  return trampoline;
}

RSKVOTrampoline::~RSKVOTrampoline() { dispose(); }

std::weak_ptr<fnd::LifetimeState> RSKVOTrampoline::observer() const {
  std::lock_guard lock(mutex_);
  return observer_;
}

bool RSKVOTrampoline::isDisposed() const {
  std::lock_guard lock(mutex_);
  return disposed_;
}

void RSKVOTrampoline::dispose() {
  std::shared_ptr<const Block> block;  // released outside the lock
  std::weak_ptr<fnd::Object> target;
  std::weak_ptr<fnd::LifetimeState> targetLifetime;
  std::weak_ptr<fnd::LifetimeState> observer;
  bool hadObserver;
  fnd::KVOToken token;
  {
    std::lock_guard lock(mutex_);
    if (disposed_) return;
    disposed_ = true;
    block = std::move(block_);
    target = std::move(weakTarget_);
    targetLifetime = std::move(targetLifetime_);
    observer = std::move(observer_);
    hadObserver = hasObserver_;
    token = std::move(token_);
  }
  // During destruction (no shared owner left) nothing refers to us from the
  // dealloc disposables any more, so there is nothing to remove.
  auto self = weak_from_this().lock();
  if (self) {
    rs_detail::removeFromDeallocDisposable(targetLifetime, self);
    if (hadObserver) rs_detail::removeFromDeallocDisposable(observer, self);
  }
  // A target inside its own end of life can no longer be locked; it drops its
  // registrations itself when it is deleted, and the registration's callback
  // finds no block here.
  if (auto strongTarget = target.lock()) strongTarget->removeObserver(token);
}

void RSKVOTrampoline::observeValue(const fnd::KVOChange& change) {
  std::shared_ptr<const Block> block;
  std::shared_ptr<fnd::Object> target;
  std::shared_ptr<fnd::LifetimeState> observer;
  {
    std::lock_guard lock(mutex_);
    block = block_;
    target = weakTarget_.lock();
    observer = observer_.lock();
  }
  if (block && target) (*block)(target, observer, change);
}
