#include "reactive/RSEmptySequence.h"

#include <cstdio>

RSSequencePtr RSEmptySequence::empty() {
  static const RSSequencePtr shared = fnd::make<RSEmptySequence>();
  return shared;
}

RSSequencePtr RSEmptySequence::bind(const BindBlock&, const RSSequencePtr& passthroughSequence) {
  return passthroughSequence ? passthroughSequence : selfSequence();
}

std::string RSEmptySequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">{ name = " + name() + " }";
}

size_t RSEmptySequence::hash() const { return std::hash<const void*>()(this); }

bool RSEmptySequence::isEqual(const fnd::Object& other) const { return this == &other; }
