// Geometry values as Qt's: for the platform's own drawing code.
#pragma once

#include <QPointF>
#include <QRectF>

#include "platform/ui/Geometry.h"

namespace ui {

inline QPointF toQPointF(Point p) { return {p.x, p.y}; }

// The standardised rectangle: a negative width or height is flipped first.
inline QRectF toQRectF(const Rect& r) {
  const Rect s = r.standardized();
  return {s.origin.x, s.origin.y, s.size.width, s.size.height};
}

}  // namespace ui
