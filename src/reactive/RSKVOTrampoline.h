// RSKVOTrampoline: one key-value observation of one key of one object, as a
// disposable. Its block gets the target, the observer's lifetime (null when
// there was none or it has ended) and the change.
//
// The trampoline holds target and observer weakly and sits in the dealloc
// disposables of both (RSLifetime.h), so it ends when either ends its life.
// dispose() clears the block first, then unregisters from the target (when it
// still lives) and leaves both dealloc disposables; a notification already
// running on another thread may still finish, later ones find no block.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Object.h"
#include "reactive/RSDisposable.h"
#include "reactive/RSLifetime.h"

class RSKVOTrampoline;
using RSKVOTrampolinePtr = std::shared_ptr<RSKVOTrampoline>;

class RSKVOTrampoline : public RSDisposable {
public:
  using Block = std::function<void(const std::shared_ptr<fnd::Object>& target,
                                   const std::shared_ptr<fnd::LifetimeState>& observer, const fnd::KVOChange& change)>;

  // Null when the target is null. keyPath is the single key observed.
  static RSKVOTrampolinePtr initWithTarget(const std::shared_ptr<fnd::Object>& target, const RSLifetimeRef& observer,
                                           std::string keyPath, unsigned options, Block block);
  ~RSKVOTrampoline() override;

  bool isDisposed() const override;
  void dispose() override;

  const std::string& keyPath() const { return keyPath_; }
  std::shared_ptr<fnd::Object> weakTarget() const { return weakTarget_.lock(); }
  std::weak_ptr<fnd::LifetimeState> observer() const;

  // Use initWithTarget().
  RSKVOTrampoline(std::string keyPath, Block block);

private:
  void observeValue(const fnd::KVOChange& change);

  const std::string keyPath_;
  mutable std::mutex mutex_;
  std::shared_ptr<const Block> block_;
  std::weak_ptr<fnd::Object> weakTarget_;
  std::weak_ptr<fnd::LifetimeState> targetLifetime_;
  std::weak_ptr<fnd::LifetimeState> observer_;
  bool hasObserver_ = false;
  fnd::KVOToken token_;
  bool disposed_ = false;
};
