#pragma once
// ui::Slider and its SliderCell: a value between a minimum and a maximum set
// by dragging a knob along a bar, flipped (y down). Vertical when taller than
// wide, with the minimum at the bottom.
//
//  - A press on the knob drags it relative to where it was pressed; a press
//    on the bar moves the knob's centre to the point.
//  - Every change sends the action while the slider is continuous, and the
//    release sends it once more. The current event is set during these calls.
//  - Values are held in [min, max]; a value that is not a number is ignored,
//    and min > max reads as the empty range at min.
//  - No keyboard focus, no wheel.
//
// Main thread only.

#include <memory>

#include "platform/ui/Control.h"

namespace ui {

class Slider;

class SliderCell : public Cell {
public:
  static constexpr double kKnobLength = 20;
  static constexpr double kBarThickness = 4;

  double minValue() const { return min_; }
  double maxValue() const { return max_; }
  void setMinValue(double v);
  void setMaxValue(double v);
  double doubleValue() const { return value_; }
  // Clamped; NaN is ignored.
  void setDoubleValue(double v);
  // Where the value lies, 0 at the minimum and 1 at the maximum.
  double fraction() const;
  double altIncrementValue() const { return altIncrement_; }
  void setAltIncrementValue(double v) { altIncrement_ = v; }
  bool isVertical() const;

  // In the control's (flipped) bounds.
  virtual Rect barRect() const;
  virtual Rect knobRect() const;
  // The value at a point along the bar, for a knob centre there.
  double valueAtPoint(Point p) const;

  void drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) override;
  virtual void drawBarInside(GraphicsContext& ctx, const Rect& rect, bool flipped);
  virtual void drawKnob(GraphicsContext& ctx, const Rect& knobRect);
  // Called when a press starts tracking; true to track it.
  virtual bool startTrackingAt(Point p, View& view);

private:
  Rect bounds() const;
  double min_ = 0;
  double max_ = 1;
  double value_ = 0;
  double altIncrement_ = 0;
};

class Slider : public Control {
public:
  Slider();
  explicit Slider(Rect frame);

  std::string className() const override { return "Slider"; }
  bool isFlipped() const override { return true; }
  SliderCell& sliderCell() const;

  double minValue() const { return sliderCell().minValue(); }
  double maxValue() const { return sliderCell().maxValue(); }
  void setMinValue(double v);
  void setMaxValue(double v);
  double doubleValue() const override { return sliderCell().doubleValue(); }
  void setDoubleValue(double v) override;
  std::string stringValue() const override { return shortestText(doubleValue()); }
  void setStringValue(const std::string& s) override { setDoubleValue(leadingNumber(s)); }
  bool isVertical() const { return sliderCell().isVertical(); }

  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;
  void mouseCancelled(Event& e) override;

private:
  void trackTo(Point p);
  bool tracking_ = false;
  Point grabOffset_;  // the press relative to the knob's centre
};

}  // namespace ui
