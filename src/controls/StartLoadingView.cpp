#include "controls/StartLoadingView.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "controls/AccentColor.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

// ---- TTActivityView

TTActivityView::TTActivityView(ui::Rect frame) : ui::View(frame) { setWantsLayer(true); }

TTActivityView::~TTActivityView() { stop(); }

double TTActivityView::dotScale(int k, double t) {
  const double local = t - kDelayStep * k;
  if (local < 0) return 0;
  const double phase = local / kPeriod - std::floor(local / kPeriod);
  return 1 - (1 - kSmallest) * phase;
}

void TTActivityView::stop() {
  if (tick_) ui::AnimationClock::shared().unsubscribe(tick_);
  tick_ = 0;
}

void TTActivityView::viewDidMoveToWindow() {
  ui::View::viewDidMoveToWindow();
  if (!window()) {
    stop();
    return;
  }
  if (tick_) return;
  std::weak_ptr<ui::View> weak = sharedFromThis();
  tick_ = ui::AnimationClock::shared().subscribe([this, weak](double now) {
    if (weak.expired()) return;
    if (start_ < 0) start_ = now;
    elapsed_ = now - start_;
    setNeedsDisplay(true);
  });
}

void TTActivityView::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const ui::Rect b = bounds();
  const ui::Point centre{b.midX(), b.midY()};
  // The bottom dot's centre, 6 above the bottom edge; the others go round.
  const double radius = centre.y - (b.minY() + kDotSide / 2);
  ctx.saveGState();
  ctx.setFillColor(accentColor());
  for (int k = 0; k < kDots; ++k) {
    const double s = dotScale(k, elapsed_);
    if (s <= 0) continue;
    const double a = -std::numbers::pi / 2 + k * std::numbers::pi / 4;
    const ui::Point c{centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)};
    const double side = kDotSide * s;
    ui::BezierPath dot;
    dot.appendOval(ui::Rect(c.x - side / 2, c.y - side / 2, side, side));
    ctx.fillPath(dot);
  }
  ctx.restoreGState();
}

// ---- StartLoadingView

StartLoadingView::StartLoadingView() { prepareUI(); }

void StartLoadingView::prepareUI() {
  setWantsLayer(true);
  activityView_ = ui::View::create<TTActivityView>(ui::Rect(0, 0, 50, 50));
  addSubview(activityView_);
  titleLabel_ = ui::TextField::labelWithString("LOADING...");
  titleLabel_->setFocusRingType(ui::TextField::FocusRingType::None);
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setFont(ui::Font::systemFontOfSize(18));
  addSubview(titleLabel_);
  place();
}

void StartLoadingView::resizeSubviewsWithOldSize(ui::Size oldSize) {
  ui::View::resizeSubviewsWithOldSize(oldSize);
  place();
}

void StartLoadingView::place() {
  if (!activityView_) return;
  const ui::Rect b = bounds();
  activityView_->setFrame(ui::Rect(15, b.midY() - 25, 50, 50));
  const double left = 15 + 50 + 12;
  const double h = titleLabel_->intrinsicContentSize().height;
  titleLabel_->setFrame(ui::Rect(left, b.midY() - h / 2, std::max(0.0, b.width() - 15 - left), h));
}

std::string StartLoadingView::progressText(double p) {
  char text[64];
  std::snprintf(text, sizeof text, "LOADING...(%.0f%%)", p * 100);
  return text;
}

void StartLoadingView::setProgress(double p) {
  progress_.store(p);
  auto self = std::static_pointer_cast<StartLoadingView>(sharedFromThis());
  dispatch::mainQueue()->async([self] { self->titleLabel_->setStringValue(progressText(self->progress_.load())); });
}
