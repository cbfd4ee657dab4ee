#pragma once
// What a layout answers for one item or supplementary view: its frame in the
// (flipped) document view, its opacity and its stacking order. A fresh record
// is a zero frame, alpha 0 and z 0; layouts set alpha 1 themselves.

#include <cstdint>

#include "platform/ui/Geometry.h"

struct CLCollectionViewLayoutAttributes {
  ui::Rect frame;
  double alpha = 0;
  int64_t zIndex = 0;
};
