// The drawing context handed to a view's drawing hook: a QPainter plus the
// current fill and stroke colours. Contexts form a stack: current() is the
// innermost one being drawn.
#pragma once

#include "platform/ui/Color.h"

namespace ui {

class GraphicsContext {
public:
  GraphicsContext();
  ~GraphicsContext();
  GraphicsContext(const GraphicsContext&) = delete;
  GraphicsContext& operator=(const GraphicsContext&) = delete;

  // The innermost context being drawn on this thread, or null.
  static GraphicsContext* current();

  const Color& fillColor() const { return fill_; }
  const Color& strokeColor() const { return stroke_; }
  void setFillColor(const Color& c) { fill_ = c; }
  void setStrokeColor(const Color& c) { stroke_ = c; }

private:
  Color fill_;
  Color stroke_;
  GraphicsContext* previous_ = nullptr;
};

}  // namespace ui
