#pragma once
// Plane geometry for views and drawing: points, sizes, rectangles and edge
// insets in doubles.
//
// A rectangle's origin is its minimum corner; which way y grows is up to the
// view it belongs to (views are y-up unless flipped). A rectangle with a
// negative width or height is treated as its standardised form by the
// accessors and set operations. Rect::null() is the absent rectangle: a union
// with it yields the other operand, it intersects nothing, and an intersection
// of disjoint rectangles is null. Containment of a point is min-inclusive and
// max-exclusive, so adjacent rectangles never both contain a point.
//
// Plain values; any thread.

#include <limits>
#include <string>

namespace ui {

struct Point {
  double x = 0;
  double y = 0;

  friend bool operator==(const Point&, const Point&) = default;
  Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
  Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
};

struct Size {
  double width = 0;
  double height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;

  friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(Point o, Size s) : origin(o), size(s) {}
  constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

  /// The absent rectangle (an infinite origin and zero size).
  static Rect null();
  /// A rectangle standing for "everything".
  static Rect infinite();
  static Rect zero() { return {}; }

  bool isNull() const;
  /// Null, or of zero width or height.
  bool isEmpty() const;

  /// The same rectangle with non-negative width and height.
  Rect standardized() const;

  double minX() const;
  double midX() const;
  double maxX() const;
  double minY() const;
  double midY() const;
  double maxY() const;
  double width() const;
  double height() const;

  bool contains(Point p) const;
  /// True when r lies wholly inside this rectangle (edges may touch).
  bool contains(const Rect& r) const;
  bool intersects(const Rect& r) const;

  Rect unionWith(const Rect& r) const;
  /// The overlap, or null when the rectangles do not overlap (sharing only an
  /// edge is no overlap).
  Rect intersection(const Rect& r) const;
  /// Shrinks by dx on the left and right and dy at the bottom and top;
  /// null when the result has a negative extent.
  Rect insetBy(double dx, double dy) const;
  /// Shrinks by the insets; top is taken at minY in a flipped frame of
  /// reference and at maxY otherwise.
  Rect inset(const EdgeInsets& in, bool flipped) const;
  Rect offsetBy(double dx, double dy) const;
  /// The smallest rectangle with whole-number edges that holds this one.
  Rect integral() const;

  friend bool operator==(const Rect& a, const Rect& b);
};

Rect rectUnion(const Rect& a, const Rect& b);
Rect rectIntersection(const Rect& a, const Rect& b);
bool rectIntersects(const Rect& a, const Rect& b);
bool rectContainsPoint(const Rect& r, Point p);
bool rectEqual(const Rect& a, const Rect& b);

std::string describe(Point p);
std::string describe(Size s);
std::string describe(const Rect& r);

}  // namespace ui
