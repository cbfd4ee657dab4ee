#include "layout/collection/CLCollectionViewCellBackgroundView.h"

#include <algorithm>

#include "platform/ui/Animation.h"
#include "platform/ui/GraphicsContext.h"

CLCollectionViewCellBackgroundView::CLCollectionViewCellBackgroundView(ui::Rect frame) : View(frame) {
  setWantsLayer(true);
  updateLayer();
}

CLCollectionViewCellBackgroundView::~CLCollectionViewCellBackgroundView() {
  if (fadeToken_) ui::AnimationClock::shared().unsubscribe(fadeToken_);
}

void CLCollectionViewCellBackgroundView::setColor(std::optional<ui::Color> c) {
  color_ = c;
  updateLayer();
  setNeedsDisplay(true);
}

void CLCollectionViewCellBackgroundView::setImage(std::shared_ptr<ui::Image> image) {
  image_ = std::move(image);
  updateLayer();
  setNeedsDisplay(true);
}

void CLCollectionViewCellBackgroundView::setFrame(const ui::Rect& frame) {
  if (frame == this->frame()) return;
  View::setFrame(frame);
  setNeedsDisplay(true);
}

void CLCollectionViewCellBackgroundView::updateLayer() {
  layer().setContents(image_);
  layer().setBackgroundColor(color_);
  // With nothing to paint the view stays out of the way (and out of every
  // repaint of the cell).
  setHidden(!color_ && !image_ && !fadeToken_);
}

void CLCollectionViewCellBackgroundView::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  if (!fadeToken_ || fadeOpacity_ <= 0) return;
  const ui::Rect b = bounds();
  // The old look over the new, fading out. Where the old look had nothing,
  // the new one shows through from the start.
  if (fadeColor_) {
    ctx.setFillColor(fadeColor_->withAlphaComponent(fadeColor_->alphaComponent() * fadeOpacity_));
    ctx.fillRect(b);
  }
  if (fadeImage_) {
    ctx.saveGState();
    ctx.drawImage(*fadeImage_, b, ui::Rect::zero(), ui::CompositingOperation::SourceOver, fadeOpacity_);
    ctx.restoreGState();
  }
}

void CLCollectionViewCellBackgroundView::addFadeTransition(double duration) {
  removeAllAnimations();
  fadeColor_ = color_;
  fadeImage_ = image_;
  auto& clock = ui::AnimationClock::shared();
  fadeStart_ = clock.now();
  fadeDuration_ = std::max(0.0, duration);
  fadeOpacity_ = 1;
  setHidden(false);
  std::weak_ptr<ui::View> weak = sharedFromThis();
  fadeToken_ = clock.subscribe([this, weak](double now) {
    auto self = weak.lock();
    if (!self) return;
    const double t = fadeDuration_ > 0 ? (now - fadeStart_) / fadeDuration_ : 1;
    fadeOpacity_ = std::clamp(1 - t, 0.0, 1.0);
    setNeedsDisplay(true);
    if (t >= 1) removeAllAnimations();
  });
  setNeedsDisplay(true);
}

void CLCollectionViewCellBackgroundView::removeAllAnimations() {
  if (!fadeToken_) return;
  ui::AnimationClock::shared().unsubscribe(fadeToken_);
  fadeToken_ = 0;
  fadeOpacity_ = 0;
  fadeColor_.reset();
  fadeImage_.reset();
  updateLayer();
  setNeedsDisplay(true);
}
