#include "reactive/RSIndexSetSequence.h"

#include <cstdio>

RSSequencePtr RSIndexSetSequence::sequenceWithIndexSet(const std::set<uint64_t>& indexSet) {
  if (indexSet.empty()) return RSSequence::empty();
  auto data = std::make_shared<const std::vector<uint64_t>>(indexSet.begin(), indexSet.end());
  return fnd::make<RSIndexSetSequence>(data, 0, data->size());
}

RSSequencePtr RSIndexSetSequence::sequenceWithIndexSetSequence(const std::shared_ptr<const RSIndexSetSequence>& sequence,
                                                               uint64_t offset) {
  if (!sequence || offset >= sequence->count_) return RSSequence::empty();
  return fnd::make<RSIndexSetSequence>(sequence->data_, sequence->start_ + offset, sequence->count_ - offset);
}

fnd::Value RSIndexSetSequence::head() const { return fnd::Value(static_cast<int64_t>(*indexes())); }

RSSequencePtr RSIndexSetSequence::tail() const {
  if (count_ <= 1) return RSSequence::empty();
  return fnd::make<RSIndexSetSequence>(data_, start_ + 1, count_ - 1);
}

std::string RSIndexSetSequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string text;
  for (uint64_t i = 0; i < count_; ++i) {
    if (i) text += ", ";
    text += std::to_string(static_cast<unsigned long>(indexes()[i]));
  }
  return "<" + className() + ": " + address + ">{ name = " + name() + ", indexes = " + text + " }";
}
