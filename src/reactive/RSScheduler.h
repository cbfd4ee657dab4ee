// Schedulers decide on which thread or queue, and when, a block of the signal
// framework runs, and they record which scheduler runs on the current thread.
//
//  - RSQueueScheduler runs blocks on a dispatch queue, each through
//    performAsCurrentScheduler(); RSTargetQueueScheduler owns a private serial
//    queue that targets another queue, so its blocks never overlap and run in
//    submission order even on a concurrent target.
//  - RSImmediateScheduler runs blocks at once on the calling thread.
//  - RSSubscriptionScheduler runs a block at once when the caller already has
//    a current scheduler (the main thread, or inside a scheduled block), else
//    on its background scheduler. Every subscription of a built-in signal goes
//    through it.
//  - RSTestScheduler (RSTestScheduler.h) runs blocks in virtual time, stepped
//    by hand.
//
// Dates are wall-clock time points. Queue schedulers turn a date into a delay
// on the dispatch clock when the block is scheduled, so a later jump of the
// wall clock does not move pending work.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/Queue.h"
#include "reactive/RSDisposable.h"
#include "reactive/RSSubscriber.h"

using RSDate = std::chrono::system_clock::time_point;
// Seconds.
using RSTimeInterval = double;

class RSScheduler;
class RSQueueScheduler;
class RSTargetQueueScheduler;
using RSSchedulerPtr = std::shared_ptr<RSScheduler>;

class RSScheduler : public std::enable_shared_from_this<RSScheduler> {
public:
  using Block = std::function<void()>;
  // Given the reschedule block: each call of it asks for one more run.
  using RecursiveBlock = std::function<void(const std::function<void()>& reschedule)>;

  virtual ~RSScheduler();
  RSScheduler(const RSScheduler&) = delete;
  RSScheduler& operator=(const RSScheduler&) = delete;

  // The shared schedulers, made once, safe to fetch from any thread.
  static RSSchedulerPtr immediateScheduler();
  static RSSchedulerPtr mainThreadScheduler();
  static RSSchedulerPtr subscriptionScheduler();
  // A new scheduler with its own serial queue on the global queue of that
  // priority, at every call.
  static RSSchedulerPtr schedulerWithPriority(dispatch::Priority priority, std::optional<std::string> name);
  static RSSchedulerPtr schedulerWithPriority(dispatch::Priority priority);
  static RSSchedulerPtr scheduler();

  // True on the main thread.
  static bool isOnMainThread();
  // The scheduler whose block runs on this thread; on the main thread outside
  // any, the main-thread scheduler; elsewhere null.
  static RSSchedulerPtr currentScheduler();

  const std::string& name() const { return name_; }
  // "<Class: address> name"
  std::string description() const;

  // Each returns a disposable that cancels work not yet started, or null where
  // the work has already run. On this base class they do nothing.
  virtual RSDisposablePtr schedule(Block block);
  virtual RSDisposablePtr after(RSDate date, Block block);
  virtual RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block);
  RSDisposablePtr afterDelay(RSTimeInterval delay, Block block);

  // Runs the block, then again once for each reschedule call, each run as a
  // separate scheduled block (the stack does not deepen on queue schedulers).
  // Disposing the result stops further runs.
  virtual RSDisposablePtr scheduleRecursiveBlock(RecursiveBlock recursiveBlock);

  // The same, for work done for one subscriber. Should the block throw, the
  // exception goes no further: it is logged and the subscriber is sent an
  // error (RSSignalErrorTaskThrew, the exception's text in its description),
  // so the subscription ends with an error rather than in silence. (The
  // dispatch queues only log what a task without a subscriber throws.)
  RSDisposablePtr schedule(const RSSubscriberPtr& subscriber, Block block);
  RSDisposablePtr after(RSDate date, const RSSubscriberPtr& subscriber, Block block);
  RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway,
                        const RSSubscriberPtr& subscriber, Block block);
  RSDisposablePtr afterDelay(RSTimeInterval delay, const RSSubscriberPtr& subscriber, Block block);
  RSDisposablePtr scheduleRecursiveBlock(const RSSubscriberPtr& subscriber, RecursiveBlock recursiveBlock);
  // The block, guarded as above (the block itself for a null subscriber).
  static Block failingTo(const RSSubscriberPtr& subscriber, Block block);

  // True when a block scheduled through the subscription scheduler would run
  // at once on this thread: a scheduler's block runs here, or this is the
  // main thread. Cheaper than currentScheduler() != nullptr.
  static bool hasCurrentScheduler();

  // Runs the block with this scheduler as the current one, then restores the
  // previous entry.
  void performAsCurrentScheduler(const Block& block);

protected:
  // A missing name becomes "<prefix>.<className>.anonymousScheduler".
  RSScheduler(std::optional<std::string> name, const char* className);

  void scheduleRecursiveBlock(const std::shared_ptr<const RecursiveBlock>& recursiveBlock,
                              const RSCompoundDisposablePtr& addingToDisposable);

  const char* className_;

private:
  const std::string name_;
};

class RSQueueScheduler : public RSScheduler {
public:
  using RSScheduler::after;
  using RSScheduler::schedule;
  using RSScheduler::scheduleRecursiveBlock;

  RSQueueScheduler(std::optional<std::string> name, std::shared_ptr<dispatch::Queue> queue);

  const std::shared_ptr<dispatch::Queue>& queue() const { return queue_; }

  // The dispatch-clock time point of a wall-clock date.
  static dispatch::Clock::time_point wallTimeWithDate(RSDate date);

  RSDisposablePtr schedule(Block block) override;
  RSDisposablePtr after(RSDate date, Block block) override;
  // A timer on the queue; its handler is called directly. It runs until the
  // returned disposable is disposed.
  RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) override;

protected:
  RSQueueScheduler(std::optional<std::string> name, std::shared_ptr<dispatch::Queue> queue, const char* className);

private:
  const std::shared_ptr<dispatch::Queue> queue_;
};

class RSTargetQueueScheduler : public RSQueueScheduler {
public:
  // A missing name becomes "<prefix>.RSTargetQueueScheduler(<target label>)".
  RSTargetQueueScheduler(std::optional<std::string> name, const std::shared_ptr<dispatch::Queue>& targetQueue);

private:
  static std::string nameFor(const std::optional<std::string>& name, const std::shared_ptr<dispatch::Queue>& target);
};

class RSImmediateScheduler : public RSScheduler {
public:
  using RSScheduler::after;
  using RSScheduler::schedule;
  using RSScheduler::scheduleRecursiveBlock;

  RSImmediateScheduler();

  // Runs the block at once; returns null.
  RSDisposablePtr schedule(Block block) override;
  // Sleeps until the date, then runs the block; returns null.
  RSDisposablePtr after(RSDate date, Block block) override;
  // Not supported: does nothing, returns null.
  RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) override;
  // Runs the passes in a loop on the calling thread; returns null.
  RSDisposablePtr scheduleRecursiveBlock(RecursiveBlock recursiveBlock) override;
};

class RSSubscriptionScheduler : public RSScheduler {
public:
  using RSScheduler::after;
  using RSScheduler::schedule;
  using RSScheduler::scheduleRecursiveBlock;

  RSSubscriptionScheduler();

  const RSSchedulerPtr& backgroundScheduler() const { return backgroundScheduler_; }

  RSDisposablePtr schedule(Block block) override;
  RSDisposablePtr after(RSDate date, Block block) override;
  RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) override;

private:
  const RSSchedulerPtr backgroundScheduler_;
};
