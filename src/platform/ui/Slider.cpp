#include "platform/ui/Slider.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace ui {

// ---- SliderCell

Rect SliderCell::bounds() const { return controlView() ? controlView()->bounds() : Rect(); }

void SliderCell::setMinValue(double v) {
  if (std::isnan(v)) return;
  min_ = v;
  setDoubleValue(value_);
}

void SliderCell::setMaxValue(double v) {
  if (std::isnan(v)) return;
  max_ = v;
  setDoubleValue(value_);
}

void SliderCell::setDoubleValue(double v) {
  if (std::isnan(v)) return;
  const double hi = std::max(min_, max_);
  value_ = std::clamp(v, min_, hi);
  redraw();
}

double SliderCell::fraction() const {
  const double span = max_ - min_;
  if (!(span > 0) || !std::isfinite(span)) return 0;
  return std::clamp((value_ - min_) / span, 0.0, 1.0);
}

bool SliderCell::isVertical() const {
  const Rect b = bounds();
  return b.height() > b.width();
}

Rect SliderCell::barRect() const {
  const Rect b = bounds();
  if (isVertical()) return {b.width() / 2 - kBarThickness / 2, 0, kBarThickness, b.height()};
  return {0, b.height() / 2 - kBarThickness / 2, b.width(), kBarThickness};
}

Rect SliderCell::knobRect() const {
  const Rect b = bounds();
  const double f = fraction();
  if (isVertical()) {
    const double centre = kKnobLength / 2 + (1 - f) * std::max(0.0, b.height() - kKnobLength);
    return {0, centre - kKnobLength / 2, b.width(), kKnobLength};
  }
  const double centre = kKnobLength / 2 + f * std::max(0.0, b.width() - kKnobLength);
  return {centre - kKnobLength / 2, 0, kKnobLength, b.height()};
}

double SliderCell::valueAtPoint(Point p) const {
  const Rect b = bounds();
  double f = 0;
  if (isVertical()) {
    const double travel = b.height() - kKnobLength;
    f = travel > 0 ? 1 - (p.y - kKnobLength / 2) / travel : 0;
  } else {
    const double travel = b.width() - kKnobLength;
    f = travel > 0 ? (p.x - kKnobLength / 2) / travel : 0;
  }
  f = std::clamp(f, 0.0, 1.0);
  return min_ + f * (max_ - min_);
}

bool SliderCell::startTrackingAt(Point, View&) { return true; }

void SliderCell::drawWithFrame(GraphicsContext& ctx, const Rect&, View& view) {
  drawBarInside(ctx, barRect(), view.isFlipped());
  drawKnob(ctx, knobRect());
}

void SliderCell::drawBarInside(GraphicsContext& ctx, const Rect& rect, bool) {
  BezierPath bar;
  bar.appendRoundedRect(rect, kBarThickness / 2, kBarThickness / 2);
  ctx.saveGState();
  ctx.setFillColor(Color::calibratedWhite(isEnabled() ? 0.6 : 0.8));
  ctx.fillPath(bar);
  ctx.restoreGState();
}

void SliderCell::drawKnob(GraphicsContext& ctx, const Rect& knobRect) {
  const double side = std::min({knobRect.width(), knobRect.height(), kKnobLength}) - 2;
  if (side <= 0) return;
  const Rect disc(knobRect.midX() - side / 2, knobRect.midY() - side / 2, side, side);
  BezierPath knob;
  knob.appendOval(disc);
  knob.setLineWidth(1);
  ctx.saveGState();
  ctx.setFillColor(isHighlighted() ? Color::calibratedWhite(0.9) : Color::whiteColor());
  ctx.fillPath(knob);
  ctx.setStrokeColor(Color::calibratedWhite(0.55));
  ctx.strokePath(knob);
  ctx.restoreGState();
}

// ---- Slider

Slider::Slider() : Slider(Rect()) {}

Slider::Slider(Rect frame) : Control(frame) {
  setCell(std::make_shared<SliderCell>());
  setContinuous(true);
}

SliderCell& Slider::sliderCell() const { return static_cast<SliderCell&>(*cell()); }

void Slider::setMinValue(double v) { sliderCell().setMinValue(v); }
void Slider::setMaxValue(double v) { sliderCell().setMaxValue(v); }

void Slider::setDoubleValue(double v) {
  sliderCell().setDoubleValue(v);
  setNeedsDisplay(true);
}

void Slider::trackTo(Point p) {
  const double before = doubleValue();
  sliderCell().setDoubleValue(sliderCell().valueAtPoint(p - grabOffset_));
  setNeedsDisplay(true);
  if (isContinuous() && doubleValue() != before) sendAction();
}

void Slider::mouseDown(Event& e) {
  if (!isEnabled()) {
    Control::mouseDown(e);
    return;
  }
  const Point p = e.locationInView(*this);
  if (!sliderCell().startTrackingAt(p, *this)) return;
  const Rect knob = sliderCell().knobRect();
  // On the knob: keep the grip; elsewhere: the knob's centre jumps here.
  grabOffset_ = knob.contains(p) ? Point{p.x - knob.midX(), p.y - knob.midY()} : Point{};
  tracking_ = true;
  sliderCell().setHighlighted(true);
  auto keep = sharedFromThis();
  trackTo(p);
}

void Slider::mouseDragged(Event& e) {
  if (!tracking_) {
    Control::mouseDragged(e);
    return;
  }
  auto keep = sharedFromThis();
  trackTo(e.locationInView(*this));
}

void Slider::mouseUp(Event& e) {
  if (!tracking_) {
    Control::mouseUp(e);
    return;
  }
  auto keep = sharedFromThis();
  tracking_ = false;
  sliderCell().setHighlighted(false);
  sendAction();
}

void Slider::mouseCancelled(Event&) {
  tracking_ = false;
  sliderCell().setHighlighted(false);
}

}  // namespace ui
