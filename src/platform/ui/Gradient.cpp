#include "platform/ui/Gradient.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

namespace ui {

void Gradient::drawInRect(const Rect& rect, double angle) const {
  auto* ctx = GraphicsContext::current();
  if (!ctx || rect.isEmpty()) return;
  const Rect r = rect.standardized();
  const double a = angle * M_PI / 180.0;
  const double dx = std::cos(a), dy = std::sin(a);
  const double half = (r.width() * std::abs(dx) + r.height() * std::abs(dy)) / 2;
  const Point c{r.midX(), r.midY()};
  ctx->drawLinearGradient(*this, {c.x - dx * half, c.y - dy * half}, {c.x + dx * half, c.y + dy * half}, &r);
}

void Gradient::drawFromPoint(Point from, Point to) const {
  if (auto* ctx = GraphicsContext::current()) ctx->drawLinearGradient(*this, from, to, nullptr);
}

Color Gradient::interpolatedColorAtLocation(double location) const {
  const double t = std::clamp(location, 0.0, 1.0);
  auto mix = [t](double a, double b) { return a + (b - a) * t; };
  return {mix(start_.redComponent(), end_.redComponent()), mix(start_.greenComponent(), end_.greenComponent()),
          mix(start_.blueComponent(), end_.blueComponent()), mix(start_.alphaComponent(), end_.alphaComponent())};
}

}  // namespace ui
