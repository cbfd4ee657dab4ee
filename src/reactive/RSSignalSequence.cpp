#include "reactive/RSSignalSequence.h"

#include <cstdio>
#include <vector>

RSSequencePtr RSSignalSequence::sequenceWithSignal(const std::shared_ptr<RSSignal>& signal) {
  auto subject = RSReplaySubject::subject();
  // For the signal's whole life.
  RSSignal::orMissing(signal)->subscribe(subject);
  return fnd::make<RSSignalSequence>(subject);
}

fnd::Value RSSignalSequence::head() const {
  // The sequence itself stands for "ended without a value".
  auto self = selfSequence();
  fnd::Value value = subject_->firstOrDefault(fnd::Value(self));
  if (value.isObject() && value.asObject() == self) return fnd::Value();
  if (value.isNil()) return fnd::Value::null();
  return value;
}

RSSequencePtr RSSignalSequence::tail() const {
  auto tail = sequenceWithSignal(subject_->skip(1));
  tail->setName(name());
  return tail;
}

fnd::Array RSSignalSequence::array() const {
  auto values = subject_->toArray();
  return values ? *values : fnd::Array();
}

std::string RSSignalSequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::vector<fnd::Value> received = subject_->valuesReceived();
  for (auto& value : received)
    if (value.isNil()) value = fnd::Value::null();
  return "<" + className() + ": " + address + ">{ name = " + name() +
         ", values = " + fnd::Value(fnd::Array(std::move(received))).description() + " … }";
}

std::shared_ptr<RSSequence> RSSignal::sequence() {
  auto result = RSSignalSequence::sequenceWithSignal(selfSignal());
  result->setNameWithFormat("[%s] -sequence", name().c_str());
  return result;
}
