// RSEagerSequence: an array sequence whose operators evaluate at once.
#pragma once

#include "reactive/RSArraySequence.h"

class RSEagerSequence : public RSArraySequence {
public:
  using RSSequence::bind;

  static RSSequencePtr sequenceWithArray(const fnd::Array& array, uint64_t offset);
  // A one-element eager sequence (the value must not be nil).
  static RSSequencePtr return_(const fnd::Value& value);

  // Binds every element now.
  RSSequencePtr bind(std::function<BindBlock()> block) override;
  RSSequencePtr concat(const RSSequencePtr& sequence) override;
  RSSequencePtr eagerSequence() override;
  // A plain array sequence over the elements.
  RSSequencePtr lazySequence() override;
  // The lazy fold with every rest made eager.
  fnd::Value foldRightWithStart(const fnd::Value& start, const FoldRightBlock& reduce) override;

  RSEagerSequence(fnd::Array array, uint64_t offset) : RSArraySequence(std::move(array), offset) {}

protected:
  RSSequencePtr sequenceWithOffset(uint64_t offset) const override;
};
