// Drawing into a bitmap through a GraphicsContext, and reading pixels back
// in the bitmap's own top-down coordinates, in points.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>

#include "platform/ui/GraphicsContext.h"

namespace ui::testing {

inline QImage drawInto(int width, int height, bool flipped, double dpr,
                       const std::function<void(GraphicsContext&)>& draw, QColor ground = Qt::white) {
  QImage img(static_cast<int>(width * dpr), static_cast<int>(height * dpr), QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  img.fill(ground);
  QPainter painter(&img);
  {
    GraphicsContext ctx(painter, {0, 0, double(width), double(height)}, flipped);
    draw(ctx);
  }
  return img;
}

// The pixel under the point (x, y) in points from the top-left corner.
inline QColor pixelAt(const QImage& img, double x, double y) {
  const double dpr = img.devicePixelRatio();
  return img.pixelColor(static_cast<int>(std::floor(x * dpr)), static_cast<int>(std::floor(y * dpr)));
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 8) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

}  // namespace ui::testing
