#include "controls/GGSlider.h"

#include <cmath>

#include "controls/AccentColor.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Application.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace {
// The whole number a value text starts with ("37.6" → 37).
long wholePart(const std::string& text) {
  const double d = ui::Control::leadingNumber(text);
  return std::isfinite(d) && std::fabs(d) < 9e18 ? long(std::trunc(d)) : 0;
}
}  // namespace

// ---- GGSlierCell

GGSlierCell::GGSlierCell(std::shared_ptr<ui::Image> knob, std::shared_ptr<ui::Image> hover, ui::Color min,
                         ui::Color max, double height)
    : knobImage(std::move(knob)), knobHlightImage(std::move(hover)), minColor(min), maxColor(max), barHeight(height) {}

std::shared_ptr<ui::Image> GGSlierCell::sliderGroveImage() {
  if (!groove_) {
    groove_ = ui::Image::imageNamed("sliderGroove");
    if (groove_) groove_->setCapInsets(ui::EdgeInsets{0, 0, groove_->size().height / 2, 0});
  }
  return groove_;
}

ui::Rect GGSlierCell::filledBarRect(const ui::Rect& bar) const {
  const double h = controlView() ? controlView()->frame().size.height : 0;
  // An empty range fills nothing.
  const double length = fraction() * std::max(0.0, h - 20);
  return {bar.minX(), h - length - barHeight, barHeight, length};
}

void GGSlierCell::drawKnob(ui::GraphicsContext& ctx, const ui::Rect& k) {
  if (!knobImage) {
    ui::SliderCell::drawKnob(ctx, k);
    return;
  }
  const auto& image = isHighlighted() ? knobHlightImage : knobImage;
  const ui::Size s = knobImage->size();
  const ui::Rect moved = k.offsetBy(2, 0);
  currentKnobRect = moved.insetBy((moved.width() - s.width) / 2, (moved.height() - s.height) / 2);
  if (image) ctx.drawImage(*image, currentKnobRect);
}

void GGSlierCell::drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& b, bool) {
  if (auto groove = sliderGroveImage()) ctx.drawImage(*groove, ui::Rect(b.minX(), 10, barHeight, b.height() - 10));
  const ui::Rect filled = filledBarRect(b);
  if (filled.height() <= 0) return;
  ui::BezierPath bar;
  bar.appendRoundedRect(filled, barHeight / 2, barHeight / 2);
  ctx.saveGState();
  ctx.setFillColor(accentColor());
  ctx.fillPath(bar);
  ctx.restoreGState();
}

// ---- GGSlider

GGSlider::GGSlider(ui::FromLayout)
    : GGSlider(ui::Image::imageNamed("sliderHandle"), ui::Image::imageNamed("sliderHandle_hover"),
               ui::Color::rgb255(100, 100, 100), accentColor(), 8) {}

GGSlider::GGSlider(std::shared_ptr<ui::Image> knob, std::shared_ptr<ui::Image> hover, ui::Color minColor,
                   ui::Color maxColor, double barHeight) {
  setCell(std::make_shared<GGSlierCell>(std::move(knob), std::move(hover), minColor, maxColor, barHeight));
  sliderCell().setAltIncrementValue(1);
  setContinuous(true);
}

GGSlierCell& GGSlider::sliderCell() const { return static_cast<GGSlierCell&>(*cell()); }

void GGSlider::setKnobImage(std::shared_ptr<ui::Image> i) { sliderCell().knobImage = std::move(i); }
void GGSlider::setKnobHlightImage(std::shared_ptr<ui::Image> i) { sliderCell().knobHlightImage = std::move(i); }
void GGSlider::setBarHeight(double h) { sliderCell().barHeight = h; }

bool GGSlider::sendAction() {
  const ui::Event* e = ui::Application::shared().currentEvent();
  if (!e) return false;
  auto keep = std::static_pointer_cast<GGSlider>(sharedFromThis());
  const std::string text = stringValue();
  if (e->type() == ui::EventType::LeftMouseUp) {
    if (SlideEndDragBlock) {
      auto fn = SlideEndDragBlock;
      fn(*this, text);
    }
    return true;
  }
  if (e->type() != ui::EventType::LeftMouseDragged) return false;
  if (!lastSendValue.empty() && wholePart(lastSendValue) == wholePart(text)) return false;
  lastSendValue = text;
  if (SlideChangeBlock) {
    auto fn = SlideChangeBlock;
    fn(*this, text);
  }
  return true;
}

void GGSlider::setFloatValue(float v) {
  auto self = std::static_pointer_cast<GGSlider>(sharedFromThis());
  dispatch::mainQueue()->async([self, v] { self->ui::Slider::setDoubleValue(double(v)); });
}

void GGSlider::setNeedsDisplayInRect(const ui::Rect&) { setNeedsDisplay(true); }

void GGSlider::updateTrackingAreas() {
  ui::Slider::updateTrackingAreas();
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveAlways);
}

void GGSlider::mouseEntered(ui::Event&) {
  sliderCell().setHighlighted(true);
}

void GGSlider::mouseExited(ui::Event&) {
  sliderCell().setHighlighted(false);
}
