// A path of lines, curves, arcs and closed shapes in user coordinates, with
// the line style it is stroked with. Filling uses the non-zero winding rule.
// Arc angles are in degrees, counter-clockwise from the +x axis in a y-up
// space (in a flipped view they turn the other way on screen, as the
// coordinates do).
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

class QPainterPath;

namespace ui {

enum class LineCapStyle { Butt = 0, Round = 1, Square = 2 };
enum class LineJoinStyle { Miter = 0, Round = 1, Bevel = 2 };

class BezierPath {
public:
  BezierPath();
  ~BezierPath();
  BezierPath(const BezierPath& o);
  BezierPath& operator=(const BezierPath& o);
  BezierPath(BezierPath&&) noexcept;
  BezierPath& operator=(BezierPath&&) noexcept;

  static BezierPath bezierPathWithRect(const Rect& r);
  static BezierPath bezierPathWithOvalInRect(const Rect& r);
  static BezierPath bezierPathWithRoundedRect(const Rect& r, double xRadius, double yRadius);

  // Immediate drawing in the current context with the default line width.
  static void fillRect(const Rect& r);
  static void strokeRect(const Rect& r);
  static void strokeLine(Point from, Point to);

  void moveTo(Point p);
  // Without a current point the path starts at p.
  void lineTo(Point p);
  void curveTo(Point end, Point control1, Point control2);
  void closePath();
  void appendRect(const Rect& r);
  void appendOval(const Rect& r);
  // Radii are held to half the rectangle's sides.
  void appendRoundedRect(const Rect& r, double xRadius, double yRadius);
  // Joins the current point (if any) to the arc's start with a line. The
  // sweep runs from start to end in the given direction and is at most one
  // turn: (0, 360] degrees, so equal angles draw a full circle.
  void appendArc(Point center, double radius, double startDegrees, double endDegrees, bool clockwise = false);
  void appendPath(const BezierPath& other);
  void removeAllPoints();

  bool isEmpty() const;
  Point currentPoint() const;
  Rect bounds() const;
  bool containsPoint(Point p) const;

  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double w) { lineWidth_ = w; }
  LineCapStyle lineCapStyle() const { return cap_; }
  void setLineCapStyle(LineCapStyle s) { cap_ = s; }
  LineJoinStyle lineJoinStyle() const { return join_; }
  void setLineJoinStyle(LineJoinStyle s) { join_ = s; }
  // Dash lengths in user units, starting `phase` into the pattern; an empty
  // pattern draws solid lines.
  void setLineDash(std::vector<double> pattern, double phase);
  const std::vector<double>& lineDash() const { return dash_; }
  double lineDashPhase() const { return dashPhase_; }

  // In the current drawing context, with its fill or stroke colour.
  void fill() const;
  void stroke() const;
  // Intersects the current context's clip with the path's inside.
  void addClip() const;

  const QPainterPath& qPath() const { return *path_; }

private:
  void changed();
  std::unique_ptr<QPainterPath> path_;
  double lineWidth_ = 1.0;
  LineCapStyle cap_ = LineCapStyle::Butt;
  LineJoinStyle join_ = LineJoinStyle::Miter;
  std::vector<double> dash_;
  double dashPhase_ = 0;
};

}  // namespace ui
