// RSDynamicSequence: head and tail computed by blocks, each once, on first
// read, under the sequence's lock. With a lazy dependency, the dependency
// block runs once, before whichever of head and tail is read first, and both
// blocks get its result.
//
// A long chain of computed tails is freed node by node in a loop, so dropping
// the head of a million-element sequence does not deepen the stack.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "reactive/RSSequence.h"

class RSDynamicSequence : public RSSequence {
public:
  using HeadBlock = std::function<fnd::Value(const fnd::Value& dependency)>;
  using TailBlock = std::function<RSSequencePtr(const fnd::Value& dependency)>;

  static RSSequencePtr sequenceWithHeadBlock(std::function<fnd::Value()> headBlock,
                                             std::function<RSSequencePtr()> tailBlock);
  static RSSequencePtr sequenceWithLazyDependency(std::function<fnd::Value()> dependencyBlock, HeadBlock headBlock,
                                                  TailBlock tailBlock);
  ~RSDynamicSequence() override;

  fnd::Value head() const override;
  // A tail without a name takes the receiver's.
  RSSequencePtr tail() const override;
  std::string description() const override;

  bool hasDependency() const { return hasDependency_; }

  // Use the factories.
  RSDynamicSequence(HeadBlock headBlock, TailBlock tailBlock, std::function<fnd::Value()> dependencyBlock,
                    bool hasDependency);

private:
  void resolveDependencyLocked() const;

  mutable std::recursive_mutex mutex_;
  mutable fnd::Value head_;
  mutable RSSequencePtr tail_;
  mutable fnd::Value dependency_;
  const bool hasDependency_;
  mutable HeadBlock headBlock_;
  mutable TailBlock tailBlock_;
  mutable std::function<fnd::Value()> dependencyBlock_;
};
