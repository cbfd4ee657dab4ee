// RSEmptySequence: no elements; one instance for the process.
#pragma once

#include "reactive/RSSequence.h"

class RSEmptySequence : public RSSequence {
public:
  using RSSequence::bind;

  static RSSequencePtr empty();

  // The pass-through sequence, or the receiver when there is none.
  RSSequencePtr bind(const BindBlock& bindBlock, const RSSequencePtr& passthroughSequence) override;
  std::string name() const override { return "+empty"; }
  void setName(std::string) override {}
  std::string description() const override;
  size_t hash() const override;
  bool isEqual(const fnd::Object& other) const override;

  RSEmptySequence() = default;
};
