// A linear gradient between two colours.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace ui {

class Gradient {
public:
  Gradient(Color start, Color end) : start_(start), end_(end) {}

  const Color& startingColor() const { return start_; }
  const Color& endingColor() const { return end_; }

  // Fills `rect` in the current context. The gradient runs along `angle`
  // degrees (0: from the left edge to the right, 90: from minY to maxY) and
  // spans the rectangle's extent in that direction, so the corners get the
  // end colours.
  void drawInRect(const Rect& rect, double angle) const;
  // Fills the current clip from `from` (start colour) to `to` (end colour);
  // beyond the ends the end colours continue.
  void drawFromPoint(Point from, Point to) const;
  // The colour at `location` in [0, 1] along the gradient.
  Color interpolatedColorAtLocation(double location) const;

private:
  Color start_;
  Color end_;
};

}  // namespace ui
