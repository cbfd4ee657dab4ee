// Subjects: signals that are also subscribers. Whatever is sent to a subject
// goes on to its current subscribers.
//
//  - RSSubject keeps no state about having ended: a subscriber that arrives
//    after completion receives nothing until something else is sent. Sends
//    work on a copy of the subscriber list made under its lock, and call no
//    subscriber while holding it, so subscribing and disposing during a send
//    are safe; a subscriber added during a send misses that event.
//  - RSReplaySubject also keeps the last `capacity` values and the end event,
//    and gives them to every new subscriber before it joins the live list. It
//    holds its own lock while forwarding, so sends from several threads are
//    serialised and its subscribers' blocks run under that lock.
//  - RSBehaviorSubject gives a new subscriber the current value first.
//  - RSGroupedSignal is a subject with a key (groupBy()).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "reactive/RSSignal.h"

class RSReplaySubject;
class RSBehaviorSubject;
class RSGroupedSignal;
using RSReplaySubjectPtr = std::shared_ptr<RSReplaySubject>;
using RSBehaviorSubjectPtr = std::shared_ptr<RSBehaviorSubject>;
using RSGroupedSignalPtr = std::shared_ptr<RSGroupedSignal>;

class RSSubject : public RSSignal, public RSSubscriber {
public:
  RSSubject();
  // Disposes the subscriptions this subject takes part in as a subscriber.
  ~RSSubject() override;

  static RSSubjectPtr subject();

  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;

  void sendNext(const fnd::Value& value) override;
  // First stops listening to the subject's own sources, then forwards.
  void sendError(const RSErrorPtr& error) override;
  void sendCompleted() override;
  void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) override;

  // Calls the block for each subscriber of a copy of the list, without the
  // lock.
  void enumerateSubscribersUsingBlock(const std::function<void(const RSSubscriberPtr&)>& block);

  const RSCompoundDisposablePtr& disposable() const { return disposable_; }
  // A copy of the live subscribers, in subscription order.
  std::vector<RSPassthroughSubscriberPtr> subscribers() const;

protected:
  RSSubjectPtr selfSubject() { return std::static_pointer_cast<RSSubject>(shared_from_this()); }

private:
  using SubscriberList = std::vector<RSPassthroughSubscriberPtr>;
  // The list as it stands, replaced (never changed) when a subscriber comes
  // or goes, so a send takes it without copying it.
  std::shared_ptr<const SubscriberList> snapshot() const;

  const RSCompoundDisposablePtr disposable_;
  mutable std::recursive_mutex subscribersMutex_;
  std::shared_ptr<const SubscriberList> subscribers_;
};

class RSReplaySubject : public RSSubject {
public:
  static constexpr uint64_t RSReplaySubjectUnlimitedCapacity = std::numeric_limits<uint64_t>::max();

  explicit RSReplaySubject(uint64_t capacity = RSReplaySubjectUnlimitedCapacity);

  // Without a capacity limit.
  static RSReplaySubjectPtr subject();
  static RSReplaySubjectPtr replaySubjectWithCapacity(uint64_t capacity);

  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;
  void sendNext(const fnd::Value& value) override;
  void sendError(const RSErrorPtr& error) override;
  void sendCompleted() override;

  uint64_t capacity() const { return capacity_; }
  std::vector<fnd::Value> valuesReceived() const;
  bool hasCompleted() const;
  bool hasError() const;
  RSErrorPtr error() const;

private:
  RSReplaySubjectPtr selfReplaySubject() { return std::static_pointer_cast<RSReplaySubject>(shared_from_this()); }

  const uint64_t capacity_;
  mutable std::recursive_mutex mutex_;
  std::vector<fnd::Value> valuesReceived_;
  bool hasCompleted_ = false;
  bool hasError_ = false;
  RSErrorPtr error_;
};

class RSBehaviorSubject : public RSSubject {
public:
  RSBehaviorSubject() = default;

  static RSBehaviorSubjectPtr behaviorSubjectWithDefaultValue(const fnd::Value& value);

  // The new subscriber gets the current value and then joins the live list,
  // both under the subject's lock, so no value sent meanwhile is missed or
  // given twice.
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;
  void sendNext(const fnd::Value& value) override;

  fnd::Value currentValue() const;
  void setCurrentValue(const fnd::Value& value);

private:
  mutable std::recursive_mutex mutex_;
  fnd::Value currentValue_;
};

class RSGroupedSignal : public RSSubject {
public:
  explicit RSGroupedSignal(fnd::Value key) : key_(std::move(key)) {}

  static RSGroupedSignalPtr signalWithKey(const fnd::Value& key);

  const fnd::Value& key() const { return key_; }

private:
  const fnd::Value key_;
};
