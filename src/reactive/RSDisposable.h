// Disposables: the handles by which work started in the signal framework (a
// subscription, a scheduled block, a timer) is cancelled and its resources
// released.
//
//  - RSDisposable runs one cleanup block at most once, lock-free.
//  - RSCompoundDisposable is a set disposed together; its first two members sit
//    in fixed slots, further ones in an array made on first need.
//  - RSSerialDisposable holds one swappable inner disposable.
//  - RSScopedDisposable disposes itself when its last reference goes.
//
// No cleanup and no member's dispose() ever runs while a disposable's own
// mutex is held, and references to members are dropped outside it, so cleanup
// code may call back into the disposable that held it.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class RSDisposable;
class RSCompoundDisposable;
class RSSerialDisposable;
class RSScopedDisposable;

using RSDisposablePtr = std::shared_ptr<RSDisposable>;
using RSCompoundDisposablePtr = std::shared_ptr<RSCompoundDisposable>;
using RSSerialDisposablePtr = std::shared_ptr<RSSerialDisposable>;
using RSScopedDisposablePtr = std::shared_ptr<RSScopedDisposable>;

class RSDisposable : public std::enable_shared_from_this<RSDisposable> {
public:
  using Block = std::function<void()>;

  // Not disposed, with nothing to clean up.
  RSDisposable();
  // Owns the block; a null block makes a disposable that is disposed from birth.
  explicit RSDisposable(Block block);
  // Releases a block that never ran, without running it.
  virtual ~RSDisposable();
  RSDisposable(const RSDisposable&) = delete;
  RSDisposable& operator=(const RSDisposable&) = delete;

  static RSDisposablePtr create() { return std::make_shared<RSDisposable>(); }
  static RSDisposablePtr disposableWithBlock(Block block);

  virtual bool isDisposed() const;
  // Of any number of callers, on any threads, exactly one takes the block out
  // and runs it, on its own thread; the others return at once.
  virtual void dispose();

  RSScopedDisposablePtr asScopedDisposable();

private:
  // The shared "no block" marker, a block owned by this object, or null once
  // disposed.
  std::atomic<Block*> disposeBlock_;
};

class RSCompoundDisposable : public RSDisposable {
public:
  RSCompoundDisposable();
  explicit RSCompoundDisposable(const std::vector<RSDisposablePtr>& disposables);
  // One member: a disposable that runs the block.
  explicit RSCompoundDisposable(Block block);
  ~RSCompoundDisposable() override;

  static RSCompoundDisposablePtr compoundDisposable();
  static RSCompoundDisposablePtr compoundDisposableWithDisposables(const std::vector<RSDisposablePtr>& disposables);

  bool isDisposed() const override;
  // Disposes slot 0, slot 1, then the array in order, outside the lock.
  void dispose() override;

  // Null and already disposed arguments are ignored; once this compound is
  // disposed, the argument is disposed at once on the calling thread.
  // Duplicates are kept (and disposed twice, which their own rule makes a
  // no-op).
  void addDisposable(const RSDisposablePtr& disposable);
  // Removes every entry that is this very object; never disposes it.
  void removeDisposable(const RSDisposablePtr& disposable);

private:
  mutable std::mutex mutex_;
  // Written under the mutex; read without it.
  std::atomic<bool> disposed_{false};
  std::array<RSDisposablePtr, 2> inlineDisposables_;
  std::unique_ptr<std::vector<RSDisposablePtr>> disposables_;
};

class RSSerialDisposable : public RSDisposable {
public:
  RSSerialDisposable();
  // The inner disposable runs the block.
  explicit RSSerialDisposable(Block block);

  static RSSerialDisposablePtr serialDisposableWithDisposable(const RSDisposablePtr& disposable);

  RSDisposablePtr disposable() const;
  // Replaces the inner disposable without disposing the previous one.
  void setDisposable(const RSDisposablePtr& disposable);
  // Stores the new inner disposable and returns the previous one, undisposed.
  // Once this serial disposable is disposed, the new one is disposed at once
  // and null is returned.
  RSDisposablePtr swapInDisposable(const RSDisposablePtr& newDisposable);

  bool isDisposed() const override;
  void dispose() override;

private:
  mutable std::mutex mutex_;
  bool disposed_ = false;
  RSDisposablePtr disposable_;
};

class RSScopedDisposable : public RSDisposable {
public:
  explicit RSScopedDisposable(Block block) : RSDisposable(std::move(block)) {}
  // Dropping the last reference is the disposal.
  ~RSScopedDisposable() override;

  static RSScopedDisposablePtr scopedDisposableWithDisposable(const RSDisposablePtr& disposable);
};

// dispose() that accepts null (subscribe() may return null when the work has
// already run).
inline void RSDispose(const RSDisposablePtr& disposable) {
  if (disposable) disposable->dispose();
}
