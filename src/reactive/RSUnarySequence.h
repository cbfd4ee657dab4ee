// RSUnarySequence: exactly one element.
#pragma once

#include "reactive/RSSequence.h"

class RSUnarySequence : public RSSequence {
public:
  using RSSequence::bind;

  // The value must not be nil.
  static RSSequencePtr return_(const fnd::Value& value);

  fnd::Value head() const override { return head_; }
  RSSequencePtr tail() const override { return nullptr; }
  // Calls the bind block once with the head; its sequence, or the empty one.
  RSSequencePtr bind(std::function<BindBlock()> block) override;
  std::string description() const override;
  size_t hash() const override;
  bool isEqual(const fnd::Object& other) const override;

  explicit RSUnarySequence(fnd::Value head) : head_(std::move(head)) {}

private:
  const fnd::Value head_;
};
