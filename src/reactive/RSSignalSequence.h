// RSSignalSequence: the values of a signal. The signal is subscribed once, at
// creation, into a replay subject. Reading head or array blocks the calling
// thread until the signal delivers (at most RSSignal::blockingWaitBound()), so
// they must not be read on a thread the signal delivers on.
#pragma once

#include "reactive/RSSequence.h"
#include "reactive/RSSubject.h"

class RSSignalSequence : public RSSequence {
public:
  static RSSequencePtr sequenceWithSignal(const std::shared_ptr<RSSignal>& signal);

  // Nil when the signal ended without a further value, Null for a nil value.
  fnd::Value head() const override;
  RSSequencePtr tail() const override;
  // Waits for completion; empty when the signal failed.
  fnd::Array array() const override;
  std::string description() const override;

  const RSReplaySubjectPtr& subject() const { return subject_; }

  explicit RSSignalSequence(RSReplaySubjectPtr subject) : subject_(std::move(subject)) {}

private:
  const RSReplaySubjectPtr subject_;
};
