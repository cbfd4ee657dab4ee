#include "controls/LADSlider.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

std::shared_ptr<ui::Image> imageRotated(const std::shared_ptr<ui::Image>& image, double degrees) {
  if (!image) return nullptr;
  const double a = std::fmod(degrees, 360.0);
  if (a == 0) return image;
  const double w = image->size().width, h = image->size().height;
  ui::Size size{w, h};
  if (a == 90 || a == 270 || a == -90 || a == -270)
    size = {h, w};
  else if (a != 180 && a != -180)
    size = {std::max(w, h) + 20, std::max(w, h) + 20};
  auto turned = ui::Image::render(size, [&](ui::GraphicsContext& ctx) {
    ctx.translate(size.width / 2, size.height / 2);
    ctx.rotate(a);
    ctx.drawImage(*image, ui::Rect(-w / 2, -h / 2, w, h), ui::Rect::zero(), ui::CompositingOperation::Copy, 1.0);
  });
  return turned ? turned : image;
}

// ---- LADSliderCell

std::shared_ptr<LADSliderCell> LADSliderCell::initWithKnobImage(std::shared_ptr<ui::Image> knob) {
  if (!knob) return nullptr;
  auto cell = std::make_shared<LADSliderCell>();
  cell->knobImage = std::move(knob);
  return cell;
}

std::shared_ptr<LADSliderCell> LADSliderCell::initWithKnobImage(std::shared_ptr<ui::Image> knob,
                                                                std::shared_ptr<ui::Image> minimum,
                                                                std::shared_ptr<ui::Image> maximum) {
  if (!knob || !minimum || !maximum) return nullptr;
  auto cell = initWithKnobImage(std::move(knob));
  cell->minimumValueImage = std::move(minimum);
  cell->maximumValueImage = std::move(maximum);
  return cell;
}

bool LADSliderCell::startTrackingAt(ui::Point p, ui::View& view) {
  const bool track = ui::SliderCell::startTrackingAt(p, view);
  view.setNeedsDisplay(true);
  return track;
}

ui::Rect LADSliderCell::knobImageRect(const ui::Rect& k) const {
  const ui::Size s = knobImage->size();
  return k.insetBy((k.width() - s.width) / 2, (k.height() - s.height) / 2);
}

void LADSliderCell::drawKnob(ui::GraphicsContext& ctx, const ui::Rect& k) {
  if (!knobImage) {
    ui::SliderCell::drawKnob(ctx, k);
    return;
  }
  currentKnobRect_ = knobImageRect(k);
  ctx.drawImage(*knobImage, currentKnobRect_);
}

void LADSliderCell::drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& rect, bool flipped) {
  if (!knobImage || !minimumValueImage || !maximumValueImage) {
    ui::SliderCell::drawBarInside(ctx, rect, flipped);
    return;
  }
  // The bar is drawn before the knob: split it where the knob is now.
  currentKnobRect_ = knobImageRect(knobRect());
  ctx.drawImage(*minimumValueImage, beforeKnobRect(rect));
  ctx.drawImage(*maximumValueImage, afterKnobRect(rect));
}

ui::Rect LADSliderCell::beforeKnobRect(const ui::Rect& b) const {
  const ui::Point c{currentKnobRect_.midX(), currentKnobRect_.midY()};
  if (isVertical()) {
    const double mw = minimumValueImage ? minimumValueImage->size().width : 0;
    return ui::Rect(b.midX() - mw / 2, b.minY(), mw, std::max(0.0, c.y - b.minY()));
  }
  const double mh = minimumValueImage ? minimumValueImage->size().height : 0;
  return ui::Rect(b.minX(), b.midY() - mh / 2, std::max(0.0, c.x - b.minX()), mh);
}

ui::Rect LADSliderCell::afterKnobRect(const ui::Rect& b) const {
  const ui::Point c{currentKnobRect_.midX(), currentKnobRect_.midY()};
  if (isVertical()) {
    const double w = maximumValueImage ? maximumValueImage->size().width : 0;
    return ui::Rect(b.minX() + (b.width() - w) / 2, c.y, w, std::max(0.0, b.maxY() - c.y));
  }
  const double h = maximumValueImage ? maximumValueImage->size().height : 0;
  return ui::Rect(c.x, b.minY() + (b.height() - h) / 2, std::max(0.0, b.maxX() - c.x), h);
}

// ---- LADSlider

LADSlider::LADSlider() = default;

LADSlider::LADSlider(ui::Rect frame) : ui::Slider(frame) {}

std::shared_ptr<LADSlider> LADSlider::initWithKnobImage(std::shared_ptr<ui::Image> knob, ui::Rect frame) {
  auto cell = LADSliderCell::initWithKnobImage(std::move(knob));
  if (!cell) return nullptr;
  auto slider = ui::View::create<LADSlider>(frame);
  slider->adoptCell(std::move(cell));
  return slider;
}

std::shared_ptr<LADSlider> LADSlider::initWithKnobImage(std::shared_ptr<ui::Image> knob,
                                                        std::shared_ptr<ui::Image> minimum,
                                                        std::shared_ptr<ui::Image> maximum, ui::Rect frame) {
  auto cell = LADSliderCell::initWithKnobImage(std::move(knob), std::move(minimum), std::move(maximum));
  if (!cell) return nullptr;
  auto slider = ui::View::create<LADSlider>(frame);
  slider->adoptCell(std::move(cell));
  return slider;
}

void LADSlider::adoptCell(std::shared_ptr<LADSliderCell> cell) {
  // The new cell takes over the value and range of the old one.
  const double min = minValue(), max = maxValue(), value = doubleValue();
  cell->setMinValue(min);
  cell->setMaxValue(max);
  cell->setDoubleValue(value);
  setCell(std::move(cell));
}

LADSliderCell* LADSlider::ladCell() const { return dynamic_cast<LADSliderCell*>(cell().get()); }

void LADSlider::awakeFromNib() {
  ui::Slider::awakeFromNib();
  if (!ladCell()) adoptCell(std::make_shared<LADSliderCell>());
}

void LADSlider::setNeedsDisplayInRect(const ui::Rect&) { ui::Slider::setNeedsDisplayInRect(bounds()); }

std::shared_ptr<ui::Image> LADSlider::knobImage() const { return ladCell() ? ladCell()->knobImage : nullptr; }

void LADSlider::setKnobImage(std::shared_ptr<ui::Image> image) {
  if (!ladCell()) return;
  ladCell()->knobImage = std::move(image);
  setNeedsDisplay(true);
}

std::shared_ptr<ui::Image> LADSlider::minimumValueImage() const {
  return ladCell() ? ladCell()->minimumValueImage : nullptr;
}

std::shared_ptr<ui::Image> LADSlider::maximumValueImage() const {
  return ladCell() ? ladCell()->maximumValueImage : nullptr;
}

void LADSlider::setMinimumValueImage(std::shared_ptr<ui::Image> image) {
  if (!ladCell()) return;
  ladCell()->minimumValueImage = prepareBarImage(image, true);
  setNeedsDisplay(true);
}

void LADSlider::setMaximumValueImage(std::shared_ptr<ui::Image> image) {
  if (!ladCell()) return;
  ladCell()->maximumValueImage = prepareBarImage(image, false);
  setNeedsDisplay(true);
}

std::shared_ptr<ui::Image> LADSlider::prepareBarImage(const std::shared_ptr<ui::Image>& image, bool minimumSide) const {
  if (!image || image->hasCapInsets()) return image;
  const double c = image->size().width - 1;
  std::shared_ptr<ui::Image> bar;
  ui::EdgeInsets caps;
  if (isVertical()) {
    bar = imageRotated(image, 90);
    if (minimumSide)
      caps.bottom = c;
    else
      caps.top = c;
  } else {
    caps = minimumSide ? ui::EdgeInsets{0, c, 0, 0} : ui::EdgeInsets{0, 0, 0, c};
  }
  // A copy, so that the caps stay with this slider.
  if (!bar || bar == image) {
    const ui::Size s = image->size();
    bar = ui::Image::render(s, [&](ui::GraphicsContext& ctx) { ctx.drawImage(*image, ui::Rect(0, 0, s.width, s.height)); });
    if (!bar) return image;
  }
  bar->setCapInsets(caps);
  return bar;
}
