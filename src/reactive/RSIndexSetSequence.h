// RSIndexSetSequence: the indexes of an index set, ascending, as integers.
// Tails share the index buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "reactive/RSSequence.h"

class RSIndexSetSequence : public RSSequence {
public:
  // The empty sequence for an empty set.
  static RSSequencePtr sequenceWithIndexSet(const std::set<uint64_t>& indexSet);
  // The indexes of that sequence from the offset on, sharing its buffer.
  static RSSequencePtr sequenceWithIndexSetSequence(const std::shared_ptr<const RSIndexSetSequence>& sequence,
                                                    uint64_t offset);

  fnd::Value head() const override;
  RSSequencePtr tail() const override;
  std::string description() const override;

  const std::shared_ptr<const std::vector<uint64_t>>& data() const { return data_; }
  const uint64_t* indexes() const { return data_->data() + start_; }
  uint64_t count() const { return count_; }

  RSIndexSetSequence(std::shared_ptr<const std::vector<uint64_t>> data, uint64_t start, uint64_t count)
      : data_(std::move(data)), start_(start), count_(count) {}

private:
  const std::shared_ptr<const std::vector<uint64_t>> data_;
  const uint64_t start_;
  const uint64_t count_;
};
