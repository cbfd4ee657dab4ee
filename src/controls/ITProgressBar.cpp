#include "controls/ITProgressBar.h"

#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Gradient.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Shadow.h"

namespace {
ui::BezierPath pill(const ui::Rect& r) {
  ui::BezierPath p;
  const double radius = r.height() / 2;
  p.appendRoundedRect(r, radius, radius);
  return p;
}
}  // namespace

ITProgressBar::ITProgressBar() : ITProgressBar(ui::Rect()) {}

ITProgressBar::ITProgressBar(ui::Rect frame) : ui::View(frame) {
  backgroundColors_ = {ui::Color::deviceWhite(0.55), ui::Color::deviceWhite(0.4)};
  borderColor_ = ui::Color::calibratedRGB(0.291, 0.291, 0.291);
  stripesImage_ = stripesImageWithSize({30, 20});
  setWantsLayer(true);
  setAnimates(true);
}

ITProgressBar::~ITProgressBar() {
  if (tick_) ui::AnimationClock::shared().unsubscribe(tick_);
}

std::shared_ptr<ui::Image> ITProgressBar::stripesImageWithSize(ui::Size size) {
  return ui::Image::withDrawingHandler(size, true, [size](const ui::Rect&) {
    auto* ctx = ui::GraphicsContext::current();
    if (!ctx) return false;
    const double w = size.width, h = size.height;
    ctx->setFillColor(ui::Color::whiteColor());
    ctx->fillRect(ui::Rect(0, 0, w, h));
    ctx->setFillColor(ui::Color::calibratedWhite(0));
    ui::BezierPath band;
    band.moveTo({w, 0});
    band.lineTo({w, h / 2});
    band.lineTo({w / 2, h});
    band.lineTo({0, h});
    band.closePath();
    ctx->fillPath(band);
    ui::BezierPath corner;
    corner.moveTo({0, 0});
    corner.lineTo({w / 2, 0});
    corner.lineTo({0, h / 2});
    corner.closePath();
    ctx->fillPath(corner);
    return true;
  });
}

bool ITProgressBar::setFloatValue(double v) {
  if (!(v >= 0.0 && v <= 1.0)) {
    // Refused rather than thrown: the window's update handler runs on the
    // main queue, where an exception would end the program.
    fnd::log("Invalid value: Invalid value passed for `setFloatValue:`. Value must be between 0.0 and 1.0 (%g)", v);
    return false;
  }
  floatValue_ = v;
  setNeedsDisplay(true);
  return true;
}

void ITProgressBar::setAnimates(bool a) {
  if (a == animates_) return;
  animates_ = a;
  updateClock();
  setNeedsDisplay(true);
}

void ITProgressBar::setAnimationDuration(double seconds) {
  if (!(seconds > 0) || !std::isfinite(seconds)) return;
  animationDuration_ = seconds;
  if (start_ >= 0) start_ = ui::AnimationClock::shared().now();  // the stripes start over at the new pace
}

void ITProgressBar::setColorTint(std::optional<ui::Color> c) {
  colorTint_ = c;
  setNeedsDisplay(true);
}

void ITProgressBar::setColorTintOpacity(double o) {
  colorTintOpacity_ = o;
  setNeedsDisplay(true);
}

void ITProgressBar::setBackgroundColors(std::array<ui::Color, 2> c) {
  backgroundColors_ = c;
  setNeedsDisplay(true);
}

void ITProgressBar::setBorderWidth(double w) {
  borderWidth_ = w;
  if (shadowWidth_ > w) setShadowWidth(w);
  setNeedsDisplay(true);
}

void ITProgressBar::setBorderColor(const ui::Color& c) {
  borderColor_ = c;
  setNeedsDisplay(true);
}

void ITProgressBar::setShadowWidth(double w) {
  if (w > borderWidth_) {
    fnd::log("Warning: Line width must be at least as large as shadow width");
    return;
  }
  shadowWidth_ = w;
  setNeedsDisplay(true);
}

void ITProgressBar::setStripesImage(std::shared_ptr<ui::Image> i) {
  stripesImage_ = std::move(i);
  setNeedsDisplay(true);
}

void ITProgressBar::setHidden(bool hidden) {
  it_isHidden_ = hidden;
  if (isHidden() == hidden) return;
  std::weak_ptr<ui::View> weak = sharedFromThis();
  if (hidden) {
    ui::AnimationContext::runAnimationGroup([this](ui::AnimationContext&) { animator().setAlphaValue(0); },
                                            [weak] {
                                              auto self = std::static_pointer_cast<ITProgressBar>(weak.lock());
                                              if (!self || !self->it_isHidden_) return;
                                              self->ui::View::setHidden(true);
                                              self->updateClock();
                                            });
  } else {
    ui::View::setHidden(false);
    ui::AnimationContext::runAnimationGroup([this](ui::AnimationContext&) { animator().setAlphaValue(1); });
    updateClock();
  }
}

void ITProgressBar::viewDidMoveToWindow() {
  ui::View::viewDidMoveToWindow();
  updateClock();
}

void ITProgressBar::updateClock() {
  // Stripes move only while they can be seen.
  const bool run = animates_ && !it_isHidden_ && window() != nullptr;
  auto& clock = ui::AnimationClock::shared();
  if (run && !tick_) {
    std::weak_ptr<ui::View> weak = sharedFromThis();
    if (start_ < 0) start_ = clock.now();
    tick_ = clock.subscribe([this, weak](double now) {
      if (weak.expired()) return;
      if (start_ < 0) start_ = now;
      const double tile = stripesImage_ ? stripesImage_->size().width : 0;
      stripesOffset_ = tile * std::fmod(now - start_, animationDuration_) / animationDuration_;
      setNeedsDisplay(true);
    });
  } else if (!run && tick_) {
    clock.unsubscribe(tick_);
    tick_ = 0;
  }
}

ui::Rect ITProgressBar::innerClipRect() const {
  ui::Rect r = bounds().insetBy(borderWidth_, borderWidth_);
  r.size.width = std::max(0.0, r.width() * floatValue_);
  return r;
}

ui::Rect ITProgressBar::stripesRect() const {
  const double tile = stripesImage_ ? stripesImage_->size().width : 0;
  if (tile <= 0) return ui::Rect::zero();
  const ui::Rect b = bounds();
  return {-tile, b.minY(), tile * (std::ceil(b.width() / tile) + 1), b.height()};
}

void ITProgressBar::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const ui::Rect b = bounds();
  if (b.isEmpty()) return;
  ctx.saveGState();
  ctx.clipToPath(pill(b));
  // The layers' gradients run from the bottom (first colour) to the top.
  ui::Gradient(backgroundColors_[0], backgroundColors_[1]).drawInRect(b, 90);
  auto border = pill(b.insetBy(borderWidth_ / 2, borderWidth_ / 2));
  border.setLineWidth(borderWidth_);
  ctx.setStrokeColor(borderColor_);
  ctx.strokePath(border);

  const ui::Rect inner = innerClipRect();
  if (inner.width() > 0 && inner.height() > 0) {
    ctx.saveGState();
    ctx.clipToPath(pill(inner));
    ui::Gradient(ui::Color::deviceWhite(0.75), ui::Color::deviceWhite(1.0)).drawInRect(b, 90);
    if (stripesImage_) {
      const ui::Rect strip = stripesRect();
      const double tile = stripesImage_->size().width;
      for (double x = strip.minX() + stripesOffset_; x < strip.maxX(); x += tile) {
        ctx.drawImage(*stripesImage_, ui::Rect(x, strip.minY(), tile, strip.height()), ui::Rect::zero(),
                      ui::CompositingOperation::SourceOver, animates_ ? kStripesOpacity : 0.0);
      }
    }
    const ui::Rect grown = inner.insetBy(-borderWidth_, -borderWidth_);
    auto highlight = pill(grown.insetBy(borderWidth_ / 2, borderWidth_ / 2));
    highlight.setLineWidth(borderWidth_);
    ctx.saveGState();
    ctx.setShadow(ui::Shadow{ui::Size{0, -shadowWidth_}, 0, ui::Color::calibratedWhite(1, 0.6)});
    ctx.strokePath(highlight);
    ctx.restoreGState();
    if (colorTint_) {
      ctx.setFillColor(colorTint_->withAlphaComponent(colorTint_->alphaComponent() * colorTintOpacity_));
      ctx.fillRect(b);
    }
    ctx.restoreGState();
  }
  ctx.restoreGState();
}
