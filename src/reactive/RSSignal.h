// RSSignal: the push stream of the framework. A signal is a recipe: each
// subscription starts work that delivers any number of next events followed
// by at most one error or completed event.
//
// The subscription contract:
//  - subscribe() returns a disposable; disposing it stops delivery at once and
//    runs the cleanup the signal's work returned.
//  - A subscriber's events are serialised; after an error or completion
//    nothing further reaches it.
//  - The subscribe block of a created signal runs through the subscription
//    scheduler: before subscribe() returns on the main thread or inside a
//    scheduled block, later on a background queue otherwise.
//  - Events are delivered on whatever thread the work sends them; only the
//    scheduling operators move them.
//
// Operators return a new signal and subscribe to nothing; every subscription
// of the result subscribes afresh to the inputs, with fresh state. An error of
// any input ends the result at once, unchanged, unless an operator says
// otherwise. Disposing the result's subscription disposes everything the
// operator made for it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/dispatch/Task.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "reactive/RSDisposable.h"
#include "reactive/RSScheduler.h"
#include "reactive/RSStream.h"
#include "reactive/RSSubscriber.h"

class RSSignal;
class RSSubject;
class RSMulticastConnection;
class RSSequence;
using RSSignalPtr = std::shared_ptr<RSSignal>;
using RSSubjectPtr = std::shared_ptr<RSSubject>;
using RSMulticastConnectionPtr = std::shared_ptr<RSMulticastConnection>;

// Errors of the signal operators.
inline constexpr const char* RSSignalErrorDomain = "RSSignalErrorDomain";
// A time-out (no user info); also what a blocking wait reports when it gives up.
inline constexpr int64_t RSSignalErrorTimedOut = 1;
// No case for the key of switch_() and no default.
inline constexpr int64_t RSSignalErrorNoMatchingCase = 2;
// A value of the wrong kind where a signal, a tuple, an event or a block was
// needed, or a missing signal.
inline constexpr int64_t RSSignalErrorUnexpectedValue = 3;
// Work scheduled for a subscription threw; the description holds what it
// threw (RSScheduler::failingTo()).
inline constexpr int64_t RSSignalErrorTaskThrew = 4;

// Cases of switch_(): key to signal; nil is a valid key.
using RSSignalCases = std::unordered_map<fnd::Value, RSSignalPtr>;

class RSSignal : public RSStream, public RSStreamOperators<RSSignal> {
public:
  using SubscribeBlock = std::function<RSDisposablePtr(const RSSubscriberPtr& subscriber)>;
  using BindBlock = RSStreamBindBlock<RSSignal>;
  using RSStreamOperators<RSSignal>::concat;
  using RSStreamOperators<RSSignal>::flatten;

  // ------------------------------------------------------------- creation

  // A new signal whose subscriptions each call the block with their
  // subscriber; the disposable it returns (or null) is the cleanup.
  static RSSignalPtr createSignal(SubscribeBlock didSubscribe);
  // Completes at once (one shared signal).
  static RSSignalPtr empty();
  // Sends the value, then completes (shared signals for nil and the unit).
  static RSSignalPtr return_(const fnd::Value& value);
  static RSSignalPtr error(const RSErrorPtr& error);
  // Never sends anything.
  static RSSignalPtr never();
  // Fails with RSSignalErrorUnexpectedValue; used where a value of the wrong
  // kind arrives (see RSStream.h).
  static RSSignalPtr unexpectedValue(const fnd::Value& value, const char* expected);
  static RSErrorPtr unexpectedValueError(const fnd::Value& value, const char* expected);
  // The signal, or for a missing one a signal that fails with
  // RSSignalErrorUnexpectedValue.
  static RSSignalPtr orMissing(const RSSignalPtr& signal);

  // --------------------------------------------------------- subscription

  // On this base class: nothing, null.
  virtual RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber);
  RSDisposablePtr subscribeNext(RSNextBlock next);
  RSDisposablePtr subscribeNext(RSNextBlock next, RSCompletedBlock completed);
  RSDisposablePtr subscribeNext(RSNextBlock next, RSErrorBlock error);
  RSDisposablePtr subscribeNext(RSNextBlock next, RSErrorBlock error, RSCompletedBlock completed);
  RSDisposablePtr subscribeError(RSErrorBlock error);
  RSDisposablePtr subscribeCompleted(RSCompletedBlock completed);
  RSDisposablePtr subscribeError(RSErrorBlock error, RSCompletedBlock completed);

  // ----------------------------------------------------------- primitives

  // Inner signals run concurrently with the receiver and each other; the
  // result completes when the receiver (or the bind block's stop) and every
  // inner signal have completed; any error disposes everything first.
  RSSignalPtr bind(std::function<BindBlock()> block);
  // bind() for a block of steps (RSStream.h), which the value-by-value
  // operators use. A step of one value or of nothing is what a return_() or
  // empty() would deliver: where such a signal, subscribed here, would run at
  // once (a scheduler's block or the main thread runs here), the value is
  // passed on (or nothing done) without making and subscribing one; anywhere
  // else the step becomes that signal, so the value still reaches the
  // subscriber through the subscription scheduler, in order.
  RSSignalPtr bindStepsDirectly(std::function<StepBlock()> block);
  // The receiver's events, then (only after it completes) the other's.
  RSSignalPtr concat(const RSSignalPtr& signal);
  // Pairs of the n-th values of both as two-tuples; completes when a completed
  // side has no value left to pair.
  RSSignalPtr zipWith(const RSSignalPtr& signal);

  // "<Class: address> name: name"
  std::string description() const override;

  // ------------------------------------------------ combining and flattening

  // Once both have a value, on every value of either, a two-tuple of both
  // latest values; completes when both have completed.
  RSSignalPtr combineLatestWith(const RSSignalPtr& signal);
  static RSSignalPtr combineLatest(const std::vector<RSSignalPtr>& signals);
  // The reduce block is a callable of value parameters or an RSBlockPtr (null:
  // no reduction).
  template <class F>
  static RSSignalPtr combineLatest(const std::vector<RSSignalPtr>& signals, F&& reduce) {
    return combineLatestReduced(signals, toBlock(std::forward<F>(reduce)));
  }
  RSSignalPtr merge(const RSSignalPtr& signal);
  static RSSignalPtr merge(const std::vector<RSSignalPtr>& signals);
  // The receiver sends signals; at most maxConcurrent of them run at once (0:
  // no limit), the others wait in order of arrival. Nil is dropped.
  RSSignalPtr flatten(uint64_t maxConcurrent);
  // The inner signals one after the other.
  RSSignalPtr concat();
  // No value of the receiver; once it completes, the block's signal.
  RSSignalPtr then(std::function<RSSignalPtr()> block);
  // The values of the latest inner signal only (nil cuts the previous one off
  // and starts nothing); completes when the receiver and the then current
  // inner signal have completed.
  RSSignalPtr switchToLatest();
  static RSSignalPtr switch_(const RSSignalPtr& signal, const RSSignalCases& cases, const RSSignalPtr& defaultSignal);
  static RSSignalPtr if_(const RSSignalPtr& boolSignal, const RSSignalPtr& trueSignal, const RSSignalPtr& falseSignal);
  // The receiver's events until the trigger sends a value or completes
  // (errors of the trigger are ignored).
  RSSignalPtr takeUntil(const RSSignalPtr& signalTrigger);
  // The receiver's values and errors until the replacement sends anything;
  // from then on only the replacement's events.
  RSSignalPtr takeUntilReplacement(const RSSignalPtr& replacement);
  // On each sampler value, the receiver's latest value.
  RSSignalPtr sample(const RSSignalPtr& sampler);
  // One RSGroupedSignal per new key, sent before the key's first value.
  RSSignalPtr groupBy(std::function<fnd::Value(const fnd::Value&)> keyBlock,
                      std::function<fnd::Value(const fnd::Value&)> transformBlock);
  RSSignalPtr groupBy(std::function<fnd::Value(const fnd::Value&)> keyBlock);

  // ------------------------------------------ side effects, errors, control

  RSSignalPtr doNext(RSNextBlock block);
  RSSignalPtr doError(RSErrorBlock block);
  RSSignalPtr doCompleted(RSCompletedBlock block);
  // Runs the block at each subscription, before the receiver is subscribed.
  RSSignalPtr initially(std::function<void()> block);
  // Runs the block just before an error or completion is passed on (not on
  // disposal).
  RSSignalPtr finally(std::function<void()> block);
  // At each subscription, the block's signal.
  static RSSignalPtr defer(std::function<RSSignalPtr()> block);

  // On an error, the block's signal in its place.
  RSSignalPtr catch_(std::function<RSSignalPtr(const RSErrorPtr&)> block);
  RSSignalPtr catchTo(const RSSignalPtr& signal);
  // At each subscription: the block's value then completion, or, for a nil
  // result, the error it wrote.
  static RSSignalPtr try_(std::function<fnd::Value(RSErrorPtr& errorOut)> block);
  // Passes each value the block accepts; fails with the written error at the
  // first it refuses.
  RSSignalPtr try_(std::function<bool(const fnd::Value&, RSErrorPtr& errorOut)> block);
  // The block's result for each value; fails with the written error at the
  // first nil result.
  RSSignalPtr tryMap(std::function<fnd::Value(const fnd::Value&, RSErrorPtr& errorOut)> block);
  // Resubscribes each time the receiver completes.
  RSSignalPtr repeat();
  // Resubscribes after each error, at most retryCount times (0: without end).
  RSSignalPtr retry(int64_t retryCount);
  RSSignalPtr retry();

  // Each event as an RSEvent value, then completion; never fails.
  RSSignalPtr materialize();
  // The receiver sends RSEvent values; turns them back into events.
  RSSignalPtr dematerialize();
  // Only the error or completion.
  RSSignalPtr ignoreValues();

  // Each value is a tuple of a block (RSBlockPtr) and its arguments; sends
  // the block's result.
  RSSignalPtr reduceApply();
  // One boolean: true at the first value that passes, false when the
  // receiver ends first (its error is not passed on).
  RSSignalPtr any(Predicate predicate);
  RSSignalPtr any();
  // One boolean: false at the first value that fails or at an error, true at
  // completion.
  RSSignalPtr all(Predicate predicate);

  // At completion, the last running value (the start when nothing came).
  RSSignalPtr aggregateWithStart(const fnd::Value& start, ReduceWithIndexBlock reduce);
  RSSignalPtr aggregateWithStart(const fnd::Value& start, ReduceBlock reduce);
  RSSignalPtr aggregateWithStartFactory(std::function<fnd::Value()> startFactory, ReduceBlock reduce);
  // At completion, one array of every value (nil as Null).
  RSSignalPtr collect();
  // At completion, the last count values, oldest first.
  RSSignalPtr takeLast(uint64_t count);

  // ------------------------------------------- multicasting and blocking

  // A connection of the receiver to the subject; not connected yet.
  RSMulticastConnectionPtr multicast(const RSSubjectPtr& subject);
  RSMulticastConnectionPtr publish();
  // Subscribes the receiver now; every subscriber gets every value.
  RSSignalPtr replay();
  // Subscribes the receiver now; every subscriber gets the latest value.
  RSSignalPtr replayLast();
  // Subscribes the receiver at the first subscription, once.
  RSSignalPtr replayLazily();

  // Block the calling thread until the receiver's first event, at most
  // blockingWaitBound(). A wait that runs out reports failure with a
  // RSSignalErrorTimedOut error and logs a line. The receiver must not need
  // the waiting thread to deliver (a signal delivering through the main
  // queue cannot reach a main thread that waits for it).
  fnd::Value firstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error);
  fnd::Value firstOrDefault(const fnd::Value& defaultValue);
  fnd::Value first();
  // True when the receiver completed; false when it failed (or the wait ran
  // out), with the error.
  bool waitUntilCompleted(RSErrorPtr* error);
  // Every value (nil as Null); nothing when the receiver fails.
  std::optional<fnd::Array> toArray();

  static dispatch::Clock::duration blockingWaitBound();
  static void setBlockingWaitBound(dispatch::Clock::duration bound);

  // --------------------------------------------------- time and scheduling
  // Intervals are seconds. Nothing here blocks a thread: all waiting is done
  // by schedulers. Where no scheduler is given, the scheduler current on the
  // delivering thread is used, or else a background scheduler made at
  // subscription.

  // A value that passes the predicate is held for the interval and sent only
  // if no other value arrives meanwhile; a value that fails it is sent at once
  // and drops a held one. Completion sends a held value first.
  RSSignalPtr throttle(RSTimeInterval interval, Predicate predicate);
  RSSignalPtr throttle(RSTimeInterval interval);
  // Values and completion an interval later; an error at once.
  RSSignalPtr delay(RSTimeInterval interval);
  // The values of each window as one tuple, sent on the scheduler an interval
  // after the window's first value; completion flushes the open window.
  RSSignalPtr bufferWithTime(RSTimeInterval interval, const RSSchedulerPtr& scheduler);
  // From an interval after subscription on, every interval, the current date
  // as seconds since 1970 (a double); never completes.
  static RSSignalPtr interval(RSTimeInterval interval, const RSSchedulerPtr& scheduler, RSTimeInterval leeway);
  static RSSignalPtr interval(RSTimeInterval interval, const RSSchedulerPtr& scheduler);
  // Fails with RSSignalErrorTimedOut when the receiver has not ended an
  // interval after subscription (values do not restart the count).
  RSSignalPtr timeout(RSTimeInterval interval, const RSSchedulerPtr& scheduler);
  // Every event from a block scheduled on the scheduler.
  RSSignalPtr deliverOn(const RSSchedulerPtr& scheduler);
  // Subscribes to the receiver from a block scheduled on the scheduler.
  RSSignalPtr subscribeOn(const RSSchedulerPtr& scheduler);
  // Every event on the main thread: at once when it arises there with nothing
  // waiting, otherwise queued on the main queue behind the waiting ones.
  RSSignalPtr deliverOnMainThread();

  // ------------------------------------------- boolean values and binding

  // Each value as the integer 1 when it is false (nil and Null included), 0
  // when true.
  RSSignalPtr not_();
  // Each value is a tuple; true when every element is true (an empty tuple:
  // true). Nil and Null elements count as false.
  RSSignalPtr and_();
  // Each value is a tuple; true when any element is true (an empty tuple:
  // false). Nil and Null elements count as false.
  RSSignalPtr or_();
  // Writes every value (nilValue for nil) to the key path of the target,
  // held weakly, on the delivering thread; a target that requiresMainThread()
  // is written on the main queue when the value arrives elsewhere. Ends on the
  // receiver's error (logged) or completion, when the target ends its life,
  // or when the returned disposable is disposed.
  RSDisposablePtr setKeyPath(const std::string& keyPath, const std::shared_ptr<fnd::Object>& target,
                             const fnd::Value& nilValue);
  RSDisposablePtr setKeyPath(const std::string& keyPath, const std::shared_ptr<fnd::Object>& target);

  // ------------------------------------------------------ starting work

  // A signal whose block runs once, on the scheduler, when the first
  // subscriber arrives; every subscriber, early or late, receives all the
  // events the block sends (they are kept in an unlimited replay subject).
  static RSSignalPtr startLazilyWithScheduler(const RSSchedulerPtr& scheduler,
                                              std::function<void(const RSSubscriberPtr& subscriber)> block);
  // The same, with the block started at once.
  static RSSignalPtr startEagerlyWithScheduler(const RSSchedulerPtr& scheduler,
                                               std::function<void(const RSSubscriberPtr& subscriber)> block);

  // ------------------------------------------------------------ debugging

  // The receiver with each event written to the log: "<description> next:
  // <value>", "<description> error: <error>", "<description> completed".
  RSSignalPtr logNext();
  RSSignalPtr logError();
  RSSignalPtr logCompleted();
  RSSignalPtr logAll();

  // -------------------------------------------------------------- testing
  // For tests on the main thread: the main queue is pumped while waiting, in
  // slices of asynchronousWaitSlice, so work delivered there goes on. Called
  // on another thread they wait without pumping.

  // The first value of the receiver, or the default when it ends first or
  // does not send within `timeout` seconds. success (when given) becomes
  // false on an error or the time-out (RSSignalErrorTimedOut), which then
  // goes to `error` (when given).
  fnd::Value asynchronousFirstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error,
                                        RSTimeInterval timeout);
  fnd::Value asynchronousFirstOrDefault(const fnd::Value& defaultValue, bool* success, RSErrorPtr* error);
  // True when the receiver completes within `timeout` seconds; false (with
  // the error) when it fails or the time runs out.
  bool asynchronouslyWaitUntilCompleted(RSErrorPtr* error, RSTimeInterval timeout);
  bool asynchronouslyWaitUntilCompleted(RSErrorPtr* error);

  static constexpr RSTimeInterval asynchronousWaitDefaultTimeout = 10.0;
  static constexpr RSTimeInterval asynchronousWaitSlice = 0.1;

  // -------------------------------------------------------------- sequences

  // The receiver's values as a lazy sequence; reading it blocks until they
  // arrive (see RSSignalSequence).
  std::shared_ptr<RSSequence> sequence();

protected:
  RSSignal() = default;

  RSSignalPtr selfSignal() { return std::static_pointer_cast<RSSignal>(shared_from_this()); }

private:
  static RSSignalPtr combineLatestReduced(const std::vector<RSSignalPtr>& signals, const RSBlockPtr& reduce);
};

// The signal of createSignal().
class RSDynamicSignal : public RSSignal {
public:
  explicit RSDynamicSignal(SubscribeBlock didSubscribe) : didSubscribe_(std::move(didSubscribe)) {}

  static RSSignalPtr createSignal(SubscribeBlock didSubscribe);

  const SubscribeBlock& didSubscribe() const { return didSubscribe_; }
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;

private:
  const SubscribeBlock didSubscribe_;
};

// Completes at once; one shared instance named "+empty".
class RSEmptySignal : public RSSignal {
public:
  RSEmptySignal() = default;
  static RSSignalPtr empty();

  std::string name() const override { return "+empty"; }
  void setName(std::string) override {}
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;
};

// Sends one error; named "+error:".
class RSErrorSignal : public RSSignal {
public:
  explicit RSErrorSignal(RSErrorPtr error);
  static RSSignalPtr error(const RSErrorPtr& error);

  const RSErrorPtr& error() const { return error_; }
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;

private:
  const RSErrorPtr error_;
};

// Sends one value, then completes; named "+return:".
class RSReturnSignal : public RSSignal {
public:
  explicit RSReturnSignal(fnd::Value value) : value_(std::move(value)) {}
  static RSSignalPtr return_(const fnd::Value& value);

  const fnd::Value& value() const { return value_; }
  std::string name() const override { return "+return:"; }
  void setName(std::string) override {}
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;

private:
  const fnd::Value value_;
};
