// RSValueTransformer: a one-way value transformer made from a block.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

class RSValueTransformer;
using RSValueTransformerPtr = std::shared_ptr<RSValueTransformer>;

class RSValueTransformer : public fnd::Object {
public:
  using TransformBlock = std::function<fnd::Value(const fnd::Value& value)>;

  static RSValueTransformerPtr transformerWithBlock(TransformBlock block);
  static bool allowsReverseTransformation() { return false; }

  // The block's result for the value (nil included); nil without a block.
  fnd::Value transformedValue(const fnd::Value& value) const;

  TransformBlock transformBlock() const;
  void setTransformBlock(TransformBlock block);

  RSValueTransformer() = default;

private:
  mutable std::mutex mutex_;
  TransformBlock transformBlock_;
};
