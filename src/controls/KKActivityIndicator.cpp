#include "controls/KKActivityIndicator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls/GGFrame.h"
#include "controls/NSPopNormalView.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

// ---- KKActivityIndicator

KKActivityIndicator::KKActivityIndicator() { init(); }

KKActivityIndicator::KKActivityIndicator(ui::Rect frame) : ui::View(frame) { init(); }

KKActivityIndicator::~KKActivityIndicator() { stopTimer(); }

void KKActivityIndicator::init() { finColors_.fill(foreColor_); }

void KKActivityIndicator::startAnimation() {
  if (!isAnimating_ || isFadingOut_) actuallyStartAnimation();
}

void KKActivityIndicator::stopAnimation() { isFadingOut_ = true; }

void KKActivityIndicator::actuallyStartAnimation() {
  actuallyStopAnimation();
  isAnimating_ = true;
  isFadingOut_ = false;
  position_ = 1;
  if (window()) startTimer();
}

void KKActivityIndicator::actuallyStopAnimation() {
  isAnimating_ = false;
  isFadingOut_ = false;
  stopTimer();
}

void KKActivityIndicator::startTimer() {
  if (timer_) return;
  std::weak_ptr<ui::View> weak = sharedFromThis();
  timer_ = ui::Timer::scheduled(kTickSeconds, true, weak, [this](ui::Timer&) { updateFrame(); });
}

void KKActivityIndicator::stopTimer() {
  if (timer_) timer_->invalidate();
  timer_.reset();
}

void KKActivityIndicator::viewDidMoveToWindow() {
  ui::View::viewDidMoveToWindow();
  // A spinner out of sight does not tick; it picks up again when shown.
  if (!window())
    stopTimer();
  else if (isAnimating_)
    startTimer();
}

void KKActivityIndicator::setColor(const ui::Color& c) {
  if (c == foreColor_) return;
  foreColor_ = c;
  for (auto& fin : finColors_) fin = c.withAlphaComponent(fin.alphaComponent());
  setNeedsDisplay(true);
}

void KKActivityIndicator::setBackgroundColor(const ui::Color& c) {
  if (c == backColor_) return;
  backColor_ = c;
  setNeedsDisplay(true);
}

void KKActivityIndicator::updateFrame() {
  if (position_ < 1) position_ = kFins;
  position_ -= 1;
  for (auto& fin : finColors_) fin = foreColor_.withAlphaComponent(std::max(kFloorAlpha, fin.alphaComponent() * kFade));
  if (isFadingOut_) {
    const bool faded = std::all_of(finColors_.begin(), finColors_.end(),
                                   [](const ui::Color& c) { return std::abs(c.alphaComponent() - kFloorAlpha) <= 0.01; });
    if (faded) actuallyStopAnimation();
  } else {
    finColors_[size_t(position_)] = foreColor_;
  }
  setNeedsDisplay(true);
}

void KKActivityIndicator::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  ui::View::drawRect(ctx, dirty);
  const ui::Rect b = bounds();
  ctx.saveGState();
  ctx.setFillColor(backColor_);
  ctx.fillRect(b);
  ctx.translate(b.midX(), b.midY());
  const double s = std::min(b.width(), b.height());
  ui::BezierPath fin;
  fin.moveTo({0, 0.234375 * s});
  fin.lineTo({0, 0.421875 * s});
  fin.setLineWidth(0.0859375 * s);
  fin.setLineCapStyle(ui::LineCapStyle::Round);
  for (int i = 0; i < kFins; ++i) {
    ctx.setStrokeColor(isAnimating_ ? finColors_[size_t(i)] : foreColor_.withAlphaComponent(kFloorAlpha));
    ctx.strokePath(fin);
    ctx.rotate(360.0 / kFins);  // counter-clockwise (y-up)
  }
  ctx.restoreGState();
}

// ---- GGPopActivityView

std::shared_ptr<GGPopActivityView> GGPopActivityView::initWithTip(const std::string& tip,
                                                                  const ui::Color& activityColor,
                                                                  std::optional<ui::Color> bgColor) {
  auto panel = ui::View::create<GGPopActivityView>();
  panel->tipStr_ = tip;
  panel->activityColor_ = activityColor;
  panel->bgColor_ = std::move(bgColor);
  panel->prepareUI();
  return panel;
}

void GGPopActivityView::prepareUI() {
  activityView_ = ui::View::create<KKActivityIndicator>();
  activityView_->setColor(activityColor_);
  addSubview(activityView_);

  titleLabel_ = ui::TextField::labelWithString(tipStr_);
  titleLabel_->setAlignment(ui::TextAlignment::Center);
  titleLabel_->setFont(ui::Font::systemFontOfSize(kFontSize));
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrapping);
  addSubview(titleLabel_);

  setWantsLayer(true);
  layer().setBackgroundColor(bgColor_.value_or(ui::Color::blackColor().withAlphaComponent(0.8)));
  layer().setCornerRadius(6);

  const ui::Font font = titleLabel_->font();
  const double w = std::clamp(ui::AttributedString(tipStr_, font).size().width + 5, kMinTextWidth, kMaxTextWidth);
  const double h =
      tipStr_.empty() ? 0 : double(float(NSPopNormalView::heightForString(tipStr_, font, kMaxTextWidth) + 8));
  const double width = 30 + w;
  const double height = h > 0 ? 100 + h : 90;
  setFrame(ui::Rect(0, 0, width, height));

  // y-up: the spinner hangs 20 below the top, the tip stands 15 above the bottom.
  activityView_->setFrame(ui::Rect((width - 50) / 2, height - 20 - 50, 50, 50));
  activityView_->setAutoresizingMask(ui::ViewMinXMargin | ui::ViewMaxXMargin | ui::ViewMinYMargin);
  titleLabel_->setHidden(h <= 0);
  titleLabel_->setFrame(ui::Rect((width - w) / 2, 15, w, h));
  titleLabel_->setAutoresizingMask(ui::ViewMinXMargin | ui::ViewMaxXMargin | ui::ViewMaxYMargin);

  activityView_->startAnimation();
}

// ---- PopTestView

void PopTestView::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  ui::View::drawRect(ctx, dirty);
  const double w = gg_width(*this), h = gg_height(*this);
  ctx.saveGState();
  auto disc = ui::BezierPath::bezierPathWithOvalInRect(ui::Rect(0, 0, h, h));
  ctx.setFillColor(ui::Color::greenColor());
  ctx.fillPath(disc);
  ctx.setStrokeColor(ui::Color::redColor());
  ctx.strokePath(disc);
  ui::BezierPath outline;
  outline.moveTo({h / 2, h});
  outline.lineTo({w - h / 2, h});
  outline.curveTo({w - h / 2, 0}, {w + 20, h}, {w + 20, 0});
  outline.lineTo({h / 2, 0});
  ctx.setStrokeColor(ui::Color::yellowColor());
  ctx.strokePath(outline);
  ctx.restoreGState();
}
