// The receiving side of signals.
//
// RSSubscriber is what signals, subjects and channel terminals deliver to.
// RSBlockSubscriber calls three blocks (any may be empty: that event is
// ignored). RSPassthroughSubscriber stands between a signal and a subscriber
// for one subscription and drops every event once that subscription is
// disposed.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "reactive/RSDisposable.h"

class RSSignal;
class RSSubscriber;
class RSBlockSubscriber;
class RSPassthroughSubscriber;

using RSErrorPtr = std::shared_ptr<const fnd::Error>;
using RSSubscriberPtr = std::shared_ptr<RSSubscriber>;
using RSBlockSubscriberPtr = std::shared_ptr<RSBlockSubscriber>;
using RSPassthroughSubscriberPtr = std::shared_ptr<RSPassthroughSubscriber>;

using RSNextBlock = std::function<void(const fnd::Value& value)>;
// The error may be null.
using RSErrorBlock = std::function<void(const RSErrorPtr& error)>;
using RSCompletedBlock = std::function<void()>;

class RSSubscriber {
public:
  virtual ~RSSubscriber() = default;

  virtual void sendNext(const fnd::Value& value) = 0;
  virtual void sendError(const RSErrorPtr& error) = 0;
  virtual void sendCompleted() = 0;
  // Hands over the disposable of a subscription this subscriber takes part in.
  virtual void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) = 0;

  static RSBlockSubscriberPtr subscriberWithNext(RSNextBlock next, RSErrorBlock error, RSCompletedBlock completed);
};

// Events are serialised by the subscriber's own recursive lock, and the blocks
// run while it is held: a block may send to the same subscriber again on its
// own thread, but must not wait for another thread that sends to it.
//
// On an error or completion the subscriber first takes its blocks out (no
// later event reaches any of them), then disposes every subscription it takes
// part in (so their cleanup runs), and only then calls the error or completed
// block.
class RSBlockSubscriber : public RSSubscriber, public std::enable_shared_from_this<RSBlockSubscriber> {
public:
  static RSBlockSubscriberPtr subscriberWithNext(RSNextBlock next, RSErrorBlock error, RSCompletedBlock completed);
  // Disposes every subscription it takes part in.
  ~RSBlockSubscriber() override;

  void sendNext(const fnd::Value& value) override;
  void sendError(const RSErrorPtr& error) override;
  void sendCompleted() override;
  void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) override;

  const RSCompoundDisposablePtr& disposable() const { return disposable_; }

  // Use subscriberWithNext().
  RSBlockSubscriber();

private:
  using NextPtr = std::shared_ptr<const RSNextBlock>;
  using ErrorPtr = std::shared_ptr<const RSErrorBlock>;
  using CompletedPtr = std::shared_ptr<const RSCompletedBlock>;

  struct Blocks {
    NextPtr next;
    ErrorPtr error;
    CompletedPtr completed;
  };
  // Takes the three blocks out; the caller drops them after unlocking.
  Blocks takeBlocksLocked();

  std::recursive_mutex mutex_;
  NextPtr next_;
  ErrorPtr error_;
  CompletedPtr completed_;
  const RSCompoundDisposablePtr disposable_;
};

class RSPassthroughSubscriber : public RSSubscriber {
public:
  // The inner subscriber takes part in the subscription from here on.
  static RSPassthroughSubscriberPtr create(RSSubscriberPtr subscriber, const std::shared_ptr<RSSignal>& signal,
                                           RSCompoundDisposablePtr disposable);

  void sendNext(const fnd::Value& value) override;
  void sendError(const RSErrorPtr& error) override;
  void sendCompleted() override;
  // Further disposables of the subscription join its compound.
  void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) override;

  const RSSubscriberPtr& innerSubscriber() const { return innerSubscriber_; }
  // The signal subscribed to, while it lives.
  std::shared_ptr<RSSignal> signal() const { return signal_.lock(); }
  const RSCompoundDisposablePtr& disposable() const { return disposable_; }

  // Use create().
  RSPassthroughSubscriber(RSSubscriberPtr subscriber, const std::shared_ptr<RSSignal>& signal,
                          RSCompoundDisposablePtr disposable);

private:
  const RSSubscriberPtr innerSubscriber_;
  const std::weak_ptr<RSSignal> signal_;
  const RSCompoundDisposablePtr disposable_;
};
