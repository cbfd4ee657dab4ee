// RSCommand: an action object. Each execute(input) calls the signal block with
// the input and runs the signal it returns (the execution's work), shared with
// every subscriber of the result. The command reports, as signals:
//
//  - executionSignals: one signal per execution (an error of the execution
//    shows as completion here), on the main thread;
//  - executing: whether any execution runs (numbers 0/1), on the main thread,
//    without repeats, replaying the latest;
//  - enabled: whether execute() may start an execution now: the enabled input
//    and (concurrent executions allowed or none running). Its first value
//    arrives at once on the subscribing thread, later ones on the main
//    thread; without repeats, replaying the latest;
//  - errors: the error of every failed execution, on the main thread,
//    collected from the start whether or not anybody listens.
//
// execute() may be called on any thread; the block runs on the calling thread
// and the work is subscribed on the main queue after execute() has returned.
// The enabled check and the start of an execution are not one atomic step:
// two threads executing at once may both start.
//
// A control is bound to a command through `enabled` (written to the control's
// enabled state, e.g. with setKeyPath) and execute(control) on a click.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

class RSCommand;
using RSCommandPtr = std::shared_ptr<RSCommand>;

inline constexpr const char* RSCommandErrorDomain = "RSCommandErrorDomain";
// execute() on a command that is not enabled.
inline constexpr int64_t RSCommandErrorNotEnabled = 1;
// User-info key of that error: the command.
inline constexpr const char* RSUnderlyingCommandErrorKey = "RSUnderlyingCommandErrorKey";

class RSCommand : public fnd::Object {
public:
  using SignalBlock = std::function<RSSignalPtr(const fnd::Value& input)>;

  static RSCommandPtr initWithSignalBlock(SignalBlock signalBlock);
  // enabledSignal sends numbers (nil: always enabled as far as it is
  // concerned).
  static RSCommandPtr initWithEnabled(const RSSignalPtr& enabledSignal, SignalBlock signalBlock);
  // Completes the subjects of added executions and of the concurrency flag.
  ~RSCommand() override;

  // The execution's events, replayed to every subscriber; when the command is
  // not enabled, a signal that fails at once with RSCommandErrorNotEnabled
  // (and the block is not called). A block giving no signal makes an
  // execution that fails.
  RSSignalPtr execute(const fnd::Value& input);

  bool allowsConcurrentExecution() const;
  void setAllowsConcurrentExecution(bool allows);

  const RSSignalPtr& executionSignals() const { return executionSignals_; }
  const RSSignalPtr& executing() const { return executing_; }
  const RSSignalPtr& enabled() const { return enabled_; }
  const RSSignalPtr& errors() const { return errors_; }
  const RSSubjectPtr& addedExecutionSignalsSubject() const { return addedExecutionSignalsSubject_; }
  const RSSubjectPtr& allowsConcurrentExecutionSubject() const { return allowsConcurrentExecutionSubject_; }
  // The enabled state without the hop to the main thread.
  const RSSignalPtr& immediateEnabled() const { return immediateEnabled_; }
  const SignalBlock& signalBlock() const { return signalBlock_; }

  // Use the initialisers.
  explicit RSCommand(SignalBlock signalBlock);

private:
  void setUp(const RSSignalPtr& enabledSignal);

  std::atomic<uint32_t> allowsConcurrentExecution_{0};
  const RSSubjectPtr addedExecutionSignalsSubject_;
  const RSSubjectPtr allowsConcurrentExecutionSubject_;
  const SignalBlock signalBlock_;
  RSSignalPtr executionSignals_;
  RSSignalPtr errors_;
  RSSignalPtr executing_;
  RSSignalPtr immediateEnabled_;
  RSSignalPtr enabled_;
};
