#include "reactive/RSDynamicSequence.h"

#include <cstdio>

RSDynamicSequence::RSDynamicSequence(HeadBlock headBlock, TailBlock tailBlock,
                                     std::function<fnd::Value()> dependencyBlock, bool hasDependency)
    : hasDependency_(hasDependency),
      headBlock_(std::move(headBlock)),
      tailBlock_(std::move(tailBlock)),
      dependencyBlock_(std::move(dependencyBlock)) {}

RSSequencePtr RSDynamicSequence::sequenceWithHeadBlock(std::function<fnd::Value()> headBlock,
                                                       std::function<RSSequencePtr()> tailBlock) {
  HeadBlock head = [block = std::move(headBlock)](const fnd::Value&) { return block ? block() : fnd::Value(); };
  TailBlock tail = [block = std::move(tailBlock)](const fnd::Value&) { return block ? block() : nullptr; };
  return fnd::make<RSDynamicSequence>(std::move(head), std::move(tail), nullptr, false);
}

RSSequencePtr RSDynamicSequence::sequenceWithLazyDependency(std::function<fnd::Value()> dependencyBlock,
                                                            HeadBlock headBlock, TailBlock tailBlock) {
  return fnd::make<RSDynamicSequence>(std::move(headBlock), std::move(tailBlock), std::move(dependencyBlock), true);
}

RSDynamicSequence::~RSDynamicSequence() {
  // Unlink the computed tails of nodes nobody else holds one by one, so that
  // freeing a long chain does not recurse once per node.
  RSSequencePtr next = std::move(tail_);
  while (next && next.use_count() == 1) {
    auto* node = dynamic_cast<RSDynamicSequence*>(next.get());
    if (!node) break;
    RSSequencePtr after;
    {
      std::lock_guard lock(node->mutex_);
      after = std::move(node->tail_);
    }
    next = std::move(after);  // frees the node, whose tail is gone already
  }
}

void RSDynamicSequence::resolveDependencyLocked() const {
  if (!hasDependency_ || !dependencyBlock_) return;
  auto block = std::move(dependencyBlock_);
  dependencyBlock_ = nullptr;
  dependency_ = block();
}

fnd::Value RSDynamicSequence::head() const {
  std::lock_guard lock(mutex_);
  if (!headBlock_) return head_;
  resolveDependencyLocked();
  auto block = std::move(headBlock_);
  headBlock_ = nullptr;
  head_ = block(dependency_);
  return head_;
}

RSSequencePtr RSDynamicSequence::tail() const {
  std::lock_guard lock(mutex_);
  if (!tailBlock_) return tail_;
  resolveDependencyLocked();
  auto block = std::move(tailBlock_);
  tailBlock_ = nullptr;
  tail_ = block(dependency_);
  if (tail_ && tail_.get() != this && tail_->name().empty()) tail_->setName(name());
  return tail_;
}

std::string RSDynamicSequence::description() const {
  std::lock_guard lock(mutex_);
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string headText = headBlock_ ? "(unresolved)" : head_.description();
  std::string tailText = tailBlock_ ? "(unresolved)"
                         : tail_.get() == this ? "(self)"
                         : tail_ ? tail_->description()
                                 : "(null)";
  return "<" + className() + ": " + address + ">{ name = " + name() + ", head = " + headText + ", tail = " + tailText +
         " }";
}
