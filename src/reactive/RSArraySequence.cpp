#include "reactive/RSArraySequence.h"

#include <cstdio>
#include <vector>

#include "reactive/RSEmptySequence.h"

RSSequencePtr RSArraySequence::sequenceWithArray(const fnd::Array& array, uint64_t offset) {
  if (offset >= array.size()) return RSSequence::empty();
  return fnd::make<RSArraySequence>(array, offset);
}

RSSequencePtr RSArraySequence::sequenceWithOffset(uint64_t offset) const {
  return sequenceWithArray(backingArray_, offset);
}

fnd::Value RSArraySequence::head() const { return backingArray_[offset_]; }

RSSequencePtr RSArraySequence::tail() const {
  RSSequencePtr tail = sequenceWithOffset(offset_ + 1);
  if (tail != RSSequence::empty()) tail->setName(name());
  return tail;
}

fnd::Array RSArraySequence::array() const {
  const auto& items = backingArray_.items();
  if (offset_ == 0) return backingArray_;
  return fnd::Array(std::vector<fnd::Value>(items.begin() + static_cast<std::ptrdiff_t>(offset_), items.end()));
}

std::string RSArraySequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">{ name = " + name() +
         ", array = " + fnd::Value(backingArray_).description() + " }";
}
