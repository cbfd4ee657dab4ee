#include "reactive/RSSequenceEnumerator.h"

fnd::Value RSSequenceEnumerator::nextObject() {
  std::lock_guard lock(mutex_);
  if (!sequence_) return fnd::Value();
  fnd::Value value = sequence_->head();
  sequence_ = value.isNil() ? nullptr : sequence_->tail();
  return value;
}

RSSequencePtr RSSequenceEnumerator::sequence() const {
  std::lock_guard lock(mutex_);
  return sequence_;
}

void RSSequenceEnumerator::setSequence(RSSequencePtr sequence) {
  std::lock_guard lock(mutex_);
  sequence_ = std::move(sequence);
}
