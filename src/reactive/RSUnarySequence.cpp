#include "reactive/RSUnarySequence.h"

#include <cstdio>

RSSequencePtr RSUnarySequence::return_(const fnd::Value& value) {
  auto sequence = fnd::make<RSUnarySequence>(value);
  sequence->setNameWithFormat("+return: %s", RSDescription(value).c_str());
  return sequence;
}

RSSequencePtr RSUnarySequence::bind(std::function<BindBlock()> block) {
  BindBlock bindBlock = block();
  bool stop = false;
  RSSequencePtr result = bindBlock(head_, &stop);
  if (!result) return RSSequence::empty();
  if (result != RSSequence::empty()) result->setNameWithFormat("[%s] -bind:", name().c_str());
  return result;
}

std::string RSUnarySequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">{ name = " + name() + ", head = " + head_.description() + " }";
}

size_t RSUnarySequence::hash() const { return head_.hash(); }

bool RSUnarySequence::isEqual(const fnd::Object& other) const {
  if (this == &other) return true;
  auto* unary = dynamic_cast<const RSUnarySequence*>(&other);
  if (!unary) return false;
  return head_ == unary->head_;
}
