#include "reactive/RSValueTransformer.h"

RSValueTransformerPtr RSValueTransformer::transformerWithBlock(TransformBlock block) {
  auto transformer = fnd::make<RSValueTransformer>();
  transformer->setTransformBlock(std::move(block));
  return transformer;
}

fnd::Value RSValueTransformer::transformedValue(const fnd::Value& value) const {
  TransformBlock block = transformBlock();
  return block ? block(value) : fnd::Value();
}

RSValueTransformer::TransformBlock RSValueTransformer::transformBlock() const {
  std::lock_guard lock(mutex_);
  return transformBlock_;
}

void RSValueTransformer::setTransformBlock(TransformBlock block) {
  std::lock_guard lock(mutex_);
  transformBlock_ = std::move(block);
}
