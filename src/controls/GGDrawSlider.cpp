#include "controls/GGDrawSlider.h"

#include <algorithm>

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

double GGDrawSliderCell::fillWidth(const ui::Rect& bar, double frameWidth) const {
  const double span = maxValue() - minValue();
  if (!(span > 0)) return 0;
  const double length = (doubleValue() - minValue()) / span * frameWidth * 0.95;
  return std::clamp(length, 0.0, bar.width());
}

void GGDrawSliderCell::drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& rect, bool) {
  const double radius = rect.height() / 2;
  ctx.saveGState();
  ctx.setFillColor(ui::Color::greenColor());
  ctx.fillPath(ui::BezierPath::bezierPathWithRoundedRect(rect, radius, radius));
  const double frameWidth = controlView() ? controlView()->frame().width() : 0;
  const double fill = fillWidth(rect, frameWidth);
  if (fill > 0) {
    ctx.setFillColor(ui::Color::brownColor());
    ctx.fillPath(ui::BezierPath::bezierPathWithRoundedRect(ui::Rect(rect.minX(), rect.minY(), fill, rect.height()),
                                                           radius, radius));
  }
  ctx.restoreGState();
}

void GGDrawSliderCell::drawKnob(ui::GraphicsContext& ctx, const ui::Rect& k) {
  // A diamond inset 2 from the knob's sides, from 1 to h - 3 down the slider.
  const double a = k.height() - 4;
  const double b = k.width() - 4;
  const double left = k.minX() + 2;
  const double mid = a / 2 + 1;
  ui::BezierPath diamond;
  diamond.moveTo({left, mid});
  diamond.lineTo({left + b / 2, 1});
  diamond.lineTo({left + b, mid});
  diamond.lineTo({left + b / 2, a + 1});
  diamond.closePath();
  diamond.setLineWidth(1.0);
  ctx.saveGState();
  ctx.setFillColor(isHighlighted() ? ui::Color::whiteColor() : ui::Color::grayColor());
  ctx.fillPath(diamond);
  ctx.setStrokeColor(ui::Color::grayColor());
  ctx.strokePath(diamond);
  ctx.restoreGState();
}

GGDrawSlider::GGDrawSlider() { configSliderCell(); }

GGDrawSlider::GGDrawSlider(ui::Rect frame) : ui::Slider(frame) { configSliderCell(); }

void GGDrawSlider::configSliderCell() {
  // The new cell takes over the value and range of the old one.
  const double min = minValue(), max = maxValue(), value = doubleValue();
  auto cell = std::make_shared<GGDrawSliderCell>();
  cell->setMinValue(min);
  cell->setMaxValue(max);
  cell->setDoubleValue(value);
  setCell(cell);
}

void GGDrawSlider::setNeedsDisplayInRect(const ui::Rect&) { ui::Slider::setNeedsDisplayInRect(bounds()); }

void GGDrawSlider::updateTrackingAreas() {
  ui::Slider::updateTrackingAreas();
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void GGDrawSlider::mouseEntered(ui::Event& e) {
  ui::Slider::mouseEntered(e);
  sliderCell().setHighlighted(true);
}

void GGDrawSlider::mouseExited(ui::Event& e) {
  ui::Slider::mouseExited(e);
  sliderCell().setHighlighted(false);
}
