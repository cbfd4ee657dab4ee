#include "platform/ui/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ui {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
// The extent of the infinite rectangle: large, yet finite so sums stay finite.
constexpr double kHuge = 8.98846567431158e307;
}  // namespace

Rect Rect::null() { return Rect(kInf, kInf, 0, 0); }
Rect Rect::infinite() { return Rect(-kHuge, -kHuge, 2 * kHuge, 2 * kHuge); }

bool Rect::isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

bool Rect::isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

Rect Rect::standardized() const {
  if (isNull()) return *this;
  Rect r = *this;
  if (r.size.width < 0) {
    r.origin.x += r.size.width;
    r.size.width = -r.size.width;
  }
  if (r.size.height < 0) {
    r.origin.y += r.size.height;
    r.size.height = -r.size.height;
  }
  return r;
}

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::midX() const { return origin.x + size.width / 2; }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::midY() const { return origin.y + size.height / 2; }
double Rect::width() const { return std::abs(size.width); }
double Rect::height() const { return std::abs(size.height); }

bool Rect::contains(Point p) const {
  if (isEmpty()) return false;
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& r) const {
  if (isNull() || r.isNull()) return false;
  return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

bool Rect::intersects(const Rect& r) const { return !intersection(r).isNull(); }

Rect Rect::unionWith(const Rect& r) const {
  if (isNull()) return r.standardized();
  if (r.isNull()) return standardized();
  const double x0 = std::min(minX(), r.minX());
  const double y0 = std::min(minY(), r.minY());
  const double x1 = std::max(maxX(), r.maxX());
  const double y1 = std::max(maxY(), r.maxY());
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::intersection(const Rect& r) const {
  if (isNull() || r.isNull()) return null();
  const double x0 = std::max(minX(), r.minX());
  const double y0 = std::max(minY(), r.minY());
  const double x1 = std::min(maxX(), r.maxX());
  const double y1 = std::min(maxY(), r.maxY());
  // Rectangles that only share an edge do not overlap.
  if (x1 <= x0 || y1 <= y0) return null();
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::insetBy(double dx, double dy) const {
  if (isNull()) return *this;
  Rect s = standardized();
  s.origin.x += dx;
  s.origin.y += dy;
  s.size.width -= 2 * dx;
  s.size.height -= 2 * dy;
  if (s.size.width < 0 || s.size.height < 0) return null();
  return s;
}

Rect Rect::inset(const EdgeInsets& in, bool flipped) const {
  if (isNull()) return *this;
  Rect s = standardized();
  const double low = flipped ? in.top : in.bottom;
  s.origin.x += in.left;
  s.origin.y += low;
  s.size.width -= in.left + in.right;
  s.size.height -= in.top + in.bottom;
  if (s.size.width < 0 || s.size.height < 0) return null();
  return s;
}

Rect Rect::offsetBy(double dx, double dy) const {
  if (isNull()) return *this;
  return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

Rect Rect::integral() const {
  if (isNull()) return *this;
  const Rect s = standardized();
  const double x0 = std::floor(s.minX());
  const double y0 = std::floor(s.minY());
  const double x1 = std::ceil(s.maxX());
  const double y1 = std::ceil(s.maxY());
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

bool operator==(const Rect& a, const Rect& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  const Rect s = a.standardized();
  const Rect t = b.standardized();
  return s.origin == t.origin && s.size == t.size;
}

Rect rectUnion(const Rect& a, const Rect& b) { return a.unionWith(b); }
Rect rectIntersection(const Rect& a, const Rect& b) { return a.intersection(b); }
bool rectIntersects(const Rect& a, const Rect& b) { return a.intersects(b); }
bool rectContainsPoint(const Rect& r, Point p) { return r.contains(p); }
bool rectEqual(const Rect& a, const Rect& b) { return a == b; }

std::string describe(Point p) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{%g, %g}", p.x, p.y);
  return buf;
}

std::string describe(Size s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{%g, %g}", s.width, s.height);
  return buf;
}

std::string describe(const Rect& r) {
  if (r.isNull()) return "{null}";
  std::string out = "{";
  out += describe(r.origin);
  out += ", ";
  out += describe(r.size);
  out += "}";
  return out;
}

}  // namespace ui
