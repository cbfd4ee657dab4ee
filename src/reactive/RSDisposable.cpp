#include "reactive/RSDisposable.h"

#include <utility>

namespace {

// The marker of a disposable made without a block and not yet disposed.
RSDisposable::Block gNoBlock;

RSDisposable::Block* ownedBlock(RSDisposable::Block block) {
  return block ? new RSDisposable::Block(std::move(block)) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- RSDisposable

RSDisposable::RSDisposable() : disposeBlock_(&gNoBlock) {
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

RSDisposable::RSDisposable(Block block) : disposeBlock_(ownedBlock(std::move(block))) {
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

RSDisposable::~RSDisposable() {
  Block* block = disposeBlock_.exchange(nullptr, std::memory_order_acq_rel);
  if (block != nullptr && block != &gNoBlock) delete block;
}

RSDisposablePtr RSDisposable::disposableWithBlock(Block block) { return std::make_shared<RSDisposable>(std::move(block)); }

bool RSDisposable::isDisposed() const { return disposeBlock_.load(std::memory_order_acquire) == nullptr; }

void RSDisposable::dispose() {
  Block* block = disposeBlock_.exchange(nullptr, std::memory_order_acq_rel);
  if (block == nullptr || block == &gNoBlock) return;
  std::unique_ptr<Block> owned(block);
  (*owned)();
}

RSScopedDisposablePtr RSDisposable::asScopedDisposable() {
  if (auto scoped = std::dynamic_pointer_cast<RSScopedDisposable>(shared_from_this())) return scoped;
  return RSScopedDisposable::scopedDisposableWithDisposable(shared_from_this());
}

// -------------------------------------------------------- RSCompoundDisposable

RSCompoundDisposable::RSCompoundDisposable() = default;

RSCompoundDisposable::RSCompoundDisposable(const std::vector<RSDisposablePtr>& disposables) {
  for (size_t i = 0; i < disposables.size(); ++i) {
    if (i < inlineDisposables_.size()) {
      inlineDisposables_[i] = disposables[i];
    } else {
      if (!disposables_) disposables_ = std::make_unique<std::vector<RSDisposablePtr>>();
      disposables_->push_back(disposables[i]);
    }
  }
}

RSCompoundDisposable::RSCompoundDisposable(Block block)
    : RSCompoundDisposable(std::vector<RSDisposablePtr>{RSDisposable::disposableWithBlock(std::move(block))}) {}

RSCompoundDisposable::~RSCompoundDisposable() = default;

RSCompoundDisposablePtr RSCompoundDisposable::compoundDisposable() { return std::make_shared<RSCompoundDisposable>(); }

RSCompoundDisposablePtr RSCompoundDisposable::compoundDisposableWithDisposables(const std::vector<RSDisposablePtr>& disposables) {
  return std::make_shared<RSCompoundDisposable>(disposables);
}

bool RSCompoundDisposable::isDisposed() const { return disposed_.load(std::memory_order_acquire); }

void RSCompoundDisposable::addDisposable(const RSDisposablePtr& disposable) {
  if (!disposable || disposable->isDisposed()) return;
  {
    std::lock_guard lock(mutex_);
    if (!disposed_) {
      for (auto& slot : inlineDisposables_) {
        if (!slot) {
          slot = disposable;
          return;
        }
      }
      if (!disposables_) disposables_ = std::make_unique<std::vector<RSDisposablePtr>>();
      disposables_->push_back(disposable);
      return;
    }
  }
  disposable->dispose();
}

void RSCompoundDisposable::removeDisposable(const RSDisposablePtr& disposable) {
  if (!disposable) return;
  // What comes out may be the last reference to a member whose destructor
  // calls back into this compound: drop it after unlocking.
  std::vector<RSDisposablePtr> removed;
  {
    std::lock_guard lock(mutex_);
    if (disposed_) return;
    for (auto& slot : inlineDisposables_) {
      if (slot == disposable) {
        removed.push_back(std::move(slot));
        slot.reset();
      }
    }
    if (disposables_) {
      for (size_t i = disposables_->size(); i-- > 0;) {
        if ((*disposables_)[i] == disposable) {
          removed.push_back(std::move((*disposables_)[i]));
          disposables_->erase(disposables_->begin() + static_cast<std::ptrdiff_t>(i));
        }
      }
    }
  }
}

void RSCompoundDisposable::dispose() {
  std::array<RSDisposablePtr, 2> inlineCopy;
  std::unique_ptr<std::vector<RSDisposablePtr>> rest;
  {
    std::lock_guard lock(mutex_);
    if (disposed_.load(std::memory_order_relaxed)) return;
    disposed_.store(true, std::memory_order_release);
    inlineCopy.swap(inlineDisposables_);
    rest = std::move(disposables_);
  }
  for (auto& d : inlineCopy) RSDispose(d);
  if (rest) {
    for (auto& d : *rest) RSDispose(d);
  }
}

// ---------------------------------------------------------- RSSerialDisposable

RSSerialDisposable::RSSerialDisposable() = default;

RSSerialDisposable::RSSerialDisposable(Block block) { setDisposable(RSDisposable::disposableWithBlock(std::move(block))); }

RSSerialDisposablePtr RSSerialDisposable::serialDisposableWithDisposable(const RSDisposablePtr& disposable) {
  auto serial = std::make_shared<RSSerialDisposable>();
  serial->setDisposable(disposable);
  return serial;
}

RSDisposablePtr RSSerialDisposable::disposable() const {
  std::lock_guard lock(mutex_);
  return disposable_;
}

void RSSerialDisposable::setDisposable(const RSDisposablePtr& disposable) {
  RSDisposablePtr previous = swapInDisposable(disposable);  // dropped after unlocking
}

RSDisposablePtr RSSerialDisposable::swapInDisposable(const RSDisposablePtr& newDisposable) {
  {
    std::lock_guard lock(mutex_);
    if (!disposed_) {
      RSDisposablePtr previous = std::move(disposable_);
      disposable_ = newDisposable;
      return previous;
    }
  }
  RSDispose(newDisposable);
  return nullptr;
}

bool RSSerialDisposable::isDisposed() const {
  std::lock_guard lock(mutex_);
  return disposed_;
}

void RSSerialDisposable::dispose() {
  RSDisposablePtr inner;
  {
    std::lock_guard lock(mutex_);
    if (disposed_) return;
    disposed_ = true;
    inner = std::move(disposable_);
  }
  RSDispose(inner);
}

// ---------------------------------------------------------- RSScopedDisposable

RSScopedDisposable::~RSScopedDisposable() { dispose(); }

RSScopedDisposablePtr RSScopedDisposable::scopedDisposableWithDisposable(const RSDisposablePtr& disposable) {
  return std::make_shared<RSScopedDisposable>([disposable] { RSDispose(disposable); });
}
