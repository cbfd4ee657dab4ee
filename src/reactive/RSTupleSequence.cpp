#include "reactive/RSTupleSequence.h"

#include <cstdio>
#include <vector>

RSSequencePtr RSTupleSequence::sequenceWithTupleBackingArray(const RSTuplePtr& tuple, uint64_t offset) {
  if (!tuple || offset >= tuple->count()) return RSSequence::empty();
  return fnd::make<RSTupleSequence>(tuple, offset);
}

fnd::Value RSTupleSequence::head() const {
  fnd::Value value = tuple_->objectAtIndex(offset_);
  return value.isNil() ? fnd::Value::null() : value;
}

RSSequencePtr RSTupleSequence::tail() const {
  RSSequencePtr tail = sequenceWithTupleBackingArray(tuple_, offset_ + 1);
  if (tail != RSSequence::empty()) tail->setName(name());
  return tail;
}

fnd::Array RSTupleSequence::array() const {
  std::vector<fnd::Value> values;
  for (size_t i = offset_; i < tuple_->count(); ++i) {
    fnd::Value value = tuple_->objectAtIndex(i);
    values.push_back(value.isNil() ? fnd::Value::null() : value);
  }
  return fnd::Array(std::move(values));
}

std::string RSTupleSequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">{ name = " + name() + ", tuple = " + tuple_->description() + " }";
}
