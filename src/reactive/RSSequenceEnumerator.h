// RSSequenceEnumerator: hands out a sequence's elements one by one; safe to
// share between threads (each element goes to one caller).
#pragma once

#include <mutex>

#include "reactive/RSSequence.h"

class RSSequenceEnumerator : public fnd::Object {
public:
  explicit RSSequenceEnumerator(RSSequencePtr sequence) : sequence_(std::move(sequence)) {}

  // The next element, or nil at the end.
  fnd::Value nextObject();

  RSSequencePtr sequence() const;
  void setSequence(RSSequencePtr sequence);

private:
  mutable std::mutex mutex_;
  RSSequencePtr sequence_;
};
