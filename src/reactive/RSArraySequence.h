// RSArraySequence: the elements of an array from an offset on. Tails share
// the array; making one copies nothing.
#pragma once

#include <cstdint>
#include <string>

#include "reactive/RSSequence.h"

class RSArraySequence : public RSSequence {
public:
  // The empty sequence when the offset is at (or past) the end.
  static RSSequencePtr sequenceWithArray(const fnd::Array& array, uint64_t offset);

  fnd::Value head() const override;
  // The same array one further on, of the receiver's class, with its name.
  RSSequencePtr tail() const override;
  fnd::Array array() const override;
  std::string description() const override;

  const fnd::Array& backingArray() const { return backingArray_; }
  uint64_t offset() const { return offset_; }

  // Use sequenceWithArray().
  RSArraySequence(fnd::Array array, uint64_t offset) : backingArray_(std::move(array)), offset_(offset) {}

protected:
  // A sequence of the receiver's class over the same array.
  virtual RSSequencePtr sequenceWithOffset(uint64_t offset) const;

private:
  const fnd::Array backingArray_;
  const uint64_t offset_;
};
