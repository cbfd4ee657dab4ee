#include "reactive/RSEagerSequence.h"

#include <vector>

RSSequencePtr RSEagerSequence::sequenceWithArray(const fnd::Array& array, uint64_t offset) {
  if (offset >= array.size()) return RSSequence::empty();
  return fnd::make<RSEagerSequence>(array, offset);
}

RSSequencePtr RSEagerSequence::sequenceWithOffset(uint64_t offset) const { return sequenceWithArray(backingArray(), offset); }

RSSequencePtr RSEagerSequence::return_(const fnd::Value& value) {
  auto result = sequenceWithArray(fnd::Array{value}, 0);
  result->setNameWithFormat("+return: %s", RSDescription(value).c_str());
  return result;
}

RSSequencePtr RSEagerSequence::bind(std::function<BindBlock()> block) {
  BindBlock bindBlock = block();
  std::vector<fnd::Value> values;
  for (const fnd::Value& value : array()) {
    bool stop = false;
    RSSequencePtr bound = bindBlock(value, &stop);
    if (!bound) break;
    for (const fnd::Value& element : bound->array()) values.push_back(element);
    if (stop) break;
  }
  auto result = sequenceWithArray(fnd::Array(std::move(values)), 0);
  result->setNameWithFormat("[%s] -bind:", name().c_str());
  return result;
}

RSSequencePtr RSEagerSequence::concat(const RSSequencePtr& sequence) {
  std::vector<fnd::Value> values = array().items();
  if (sequence)
    for (const fnd::Value& element : sequence->array()) values.push_back(element);
  auto result = sequenceWithArray(fnd::Array(std::move(values)), 0);
  result->setNameWithFormat("[%s] -concat: %s", name().c_str(), sequence ? sequence->description().c_str() : "(null)");
  return result;
}

RSSequencePtr RSEagerSequence::eagerSequence() { return selfSequence(); }

RSSequencePtr RSEagerSequence::lazySequence() { return RSArraySequence::sequenceWithArray(array(), 0); }

fnd::Value RSEagerSequence::foldRightWithStart(const fnd::Value& start, const FoldRightBlock& reduce) {
  return RSSequence::foldRightWithStart(start, [reduce](const fnd::Value& first, const RSSequencePtr& rest) {
    return reduce(first, rest->eagerSequence());
  });
}
