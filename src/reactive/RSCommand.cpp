#include "reactive/RSCommand.h"

#include "reactive/RSLifetime.h"
#include "reactive/RSMulticastConnection.h"

RSCommand::RSCommand(SignalBlock signalBlock)
    : addedExecutionSignalsSubject_(RSSubject::subject()),
      allowsConcurrentExecutionSubject_(RSSubject::subject()),
      signalBlock_(std::move(signalBlock)) {}

RSCommandPtr RSCommand::initWithSignalBlock(SignalBlock signalBlock) {
  return initWithEnabled(nullptr, std::move(signalBlock));
}

RSCommandPtr RSCommand::initWithEnabled(const RSSignalPtr& enabledSignal, SignalBlock signalBlock) {
  auto command = fnd::make<RSCommand>(std::move(signalBlock));
  command->setUp(enabledSignal);
  return command;
}

RSCommand::~RSCommand() {
  addedExecutionSignalsSubject_->sendCompleted();
  allowsConcurrentExecutionSubject_->sendCompleted();
}

void RSCommand::setUp(const RSSignalPtr& enabledSignal) {
  RSSchedulerPtr mainThread = RSScheduler::mainThreadScheduler();
  std::string selfText = RSDebugNamesEnabled() ? description() : std::string();

  executionSignals_ = addedExecutionSignalsSubject_
                          ->map([](const fnd::Value& value) {
                            auto signal = value.asObject<RSSignal>();
                            return signal ? fnd::Value(signal->catchTo(RSSignal::empty())) : value;
                          })
                          ->deliverOn(mainThread);
  executionSignals_->setNameWithFormat("%s -executionSignals", selfText.c_str());

  // Collected from the start, whether or not anybody subscribes.
  RSMulticastConnectionPtr errorsConnection =
      addedExecutionSignalsSubject_
          ->flattenMap([](const fnd::Value& value) -> RSSignalPtr {
            auto signal = value.asObject<RSSignal>();
            if (!signal) return nullptr;
            return signal->ignoreValues()->catch_(
                [](const RSErrorPtr& error) { return RSSignal::return_(fnd::Value(error)); });
          })
          ->deliverOn(mainThread)
          ->publish();
  errors_ = errorsConnection->signal();
  errors_->setNameWithFormat("%s -errors", selfText.c_str());
  errorsConnection->connect();

  // 1 at the start of each execution, -1 at its end however it ends.
  RSSignalPtr immediateExecuting =
      addedExecutionSignalsSubject_
          ->flattenMap([](const fnd::Value& value) -> RSSignalPtr {
            auto signal = value.asObject<RSSignal>();
            if (!signal) return nullptr;
            return signal->catchTo(RSSignal::empty())
                ->then([] { return RSSignal::return_(fnd::Value(-1)); })
                ->startWith(fnd::Value(1));
          })
          ->scanWithStart(fnd::Value(0),
                          RSSignal::ReduceBlock([](const fnd::Value& running, const fnd::Value& next) {
                            return fnd::Value(running.intValue() + next.intValue());
                          }))
          ->map([](const fnd::Value& count) { return fnd::Value(count.intValue() > 0 ? 1 : 0); })
          ->startWith(fnd::Value(false));

  executing_ = immediateExecuting->deliverOn(mainThread)->startWith(fnd::Value(false))->distinctUntilChanged()->replayLast();
  executing_->setNameWithFormat("%s -executing", selfText.c_str());

  RSSignalPtr moreExecutionsAllowed =
      RSSignal::if_(allowsConcurrentExecutionSubject_->startWith(fnd::Value(false)), RSSignal::return_(fnd::Value(true)),
                    immediateExecuting->not_());

  RSSignalPtr enabledInput =
      enabledSignal ? enabledSignal->startWith(fnd::Value(true)) : RSSignal::return_(fnd::Value(true));

  immediateEnabled_ = RSSignal::combineLatest({enabledInput, moreExecutionsAllowed})
                          ->and_()
                          ->takeUntil(rs_willDeallocSignal(RSLifetimeRef(this)))
                          ->replayLast();

  enabled_ = immediateEnabled_->take(1)
                 ->concat(immediateEnabled_->skip(1)->deliverOn(mainThread))
                 ->distinctUntilChanged()
                 ->replayLast();
  enabled_->setNameWithFormat("%s -enabled", selfText.c_str());
}

RSSignalPtr RSCommand::execute(const fnd::Value& input) {
  // There always is a value.
  bool enabled = immediateEnabled_->first().boolValue();
  if (!enabled) {
    fnd::Dictionary userInfo{
        {fnd::LocalizedDescriptionKey, fnd::Value("The command is disabled and cannot be executed")},
        {RSUnderlyingCommandErrorKey, fnd::Value(std::static_pointer_cast<RSCommand>(shared_from_this()))}};
    return RSSignal::error(fnd::Error::make(RSCommandErrorDomain, RSCommandErrorNotEnabled, userInfo));
  }

  RSSignalPtr signal = RSSignal::orMissing(signalBlock_ ? signalBlock_(input) : nullptr);
  RSMulticastConnectionPtr connection =
      signal->subscribeOn(RSScheduler::mainThreadScheduler())->multicast(RSReplaySubject::subject());

  // The running count rises here, before any work is subscribed.
  addedExecutionSignalsSubject_->sendNext(fnd::Value(std::static_pointer_cast<RSSignal>(connection->signal())));
  connection->connect();

  RSSignalPtr result = connection->signal();
  if (RSDebugNamesEnabled())
    result->setNameWithFormat("%s -execute: %s", description().c_str(), RSDescription(input).c_str());
  return result;
}

bool RSCommand::allowsConcurrentExecution() const { return allowsConcurrentExecution_.load() != 0; }

void RSCommand::setAllowsConcurrentExecution(bool allows) {
  if (allows) {
    allowsConcurrentExecution_.fetch_or(1);
  } else {
    allowsConcurrentExecution_.fetch_and(0);
  }
  allowsConcurrentExecutionSubject_->sendNext(fnd::Value(static_cast<int64_t>(allowsConcurrentExecution_.load())));
}
