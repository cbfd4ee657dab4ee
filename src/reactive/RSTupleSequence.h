// RSTupleSequence: a tuple's elements from an offset on, nil as Null. Holds
// the tuple itself; nothing is copied.
#pragma once

#include <cstdint>

#include "reactive/RSSequence.h"

class RSTupleSequence : public RSSequence {
public:
  // The empty sequence when the offset is at (or past) the end.
  static RSSequencePtr sequenceWithTupleBackingArray(const RSTuplePtr& tuple, uint64_t offset);

  fnd::Value head() const override;
  RSSequencePtr tail() const override;
  fnd::Array array() const override;
  std::string description() const override;

  const RSTuplePtr& tuple() const { return tuple_; }
  uint64_t offset() const { return offset_; }

  RSTupleSequence(RSTuplePtr tuple, uint64_t offset) : tuple_(std::move(tuple)), offset_(offset) {}

private:
  const RSTuplePtr tuple_;
  const uint64_t offset_;
};
