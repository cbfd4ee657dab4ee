#include "controls/GGStepSlider.h"

#include <algorithm>
#include <cmath>

#include "controls/AccentColor.h"
#include "controls/GGFrame.h"
#include "platform/ui/Event.h"

GGStepSlider::GGStepSlider() { setWantsLayer(true); }

GGStepSlider::GGStepSlider(ui::Rect frame) : ui::View(frame) { setWantsLayer(true); }

ui::Color GGStepSlider::defaultColor() const { return defaultColor_.value_or(ui::Color::rgb255(100, 100, 100)); }

ui::Color GGStepSlider::selectColor() const { return selectColor_.value_or(ui::Color::rgb255(194, 207, 80)); }

void GGStepSlider::setNumberOfStep(long n) {
  if (n < 2) return;
  numberOfStep_ = n;
  setWantsLayer(true);
  configViews();
}

ui::Rect GGStepSlider::barFrame(long i, double width, double height) const {
  const double n = double(numberOfStep_);
  const double b = std::max(0.0, (width - 2 * kMargin - kGap * (n - 1)) / n);
  return ui::Rect(kMargin + double(i) * (b + kGap), height / 2 - kBarHeight / 2, b, kBarHeight);
}

void GGStepSlider::configViews() {
  for (auto& v : viewArr_) v->removeFromSuperview();
  viewArr_.clear();
  if (numberOfStep_ <= 0) return;
  for (long i = 0; i < numberOfStep_; ++i) {
    auto bar = ui::View::create(barFrame(i, gg_width(*this), gg_height(*this)));
    bar->setWantsLayer(true);
    bar->layer().setBackgroundColor(defaultColor());
    bar->layer().setCornerRadius(4);
    addSubview(bar);
    viewArr_.push_back(bar);
  }
}

// Every size change (by code, autoresizing or constraints) lays the bars out.
void GGStepSlider::resizeSubviewsWithOldSize(ui::Size) {
  for (size_t i = 0; i < viewArr_.size(); ++i)
    viewArr_[i]->setFrame(barFrame(long(i), gg_width(*this), gg_height(*this)));
}

void GGStepSlider::setSelectIndex(long i) {
  if (i < 0 || i >= long(viewArr_.size())) return;
  selectIndex_ = i;
  for (size_t j = 0; j < viewArr_.size(); ++j)
    viewArr_[j]->layer().setBackgroundColor(long(j) == selectIndex_ ? accentColor() : defaultColor());
}

long GGStepSlider::indexAtX(double x) const {
  if (numberOfStep_ <= 0) return 0;
  const double b = barFrame(0, gg_width(*this), gg_height(*this)).width();
  // Bar i owns [8 + i(b + 10) - 5, 8 + i(b + 10) + b + 5).
  const double slot = std::floor((x - kMargin + kGap / 2) / (b + kGap));
  if (!(slot >= 0)) return 0;
  return std::min(long(slot), numberOfStep_ - 1);
}

void GGStepSlider::selectAt(ui::Event& e) {
  if (viewArr_.empty()) return;
  const long index = indexAtX(e.locationInView(*this).x);
  if (index == selectIndex_) return;
  setSelectIndex(index);
  if (StepChangeBlock) StepChangeBlock(*this, selectIndex_);
}

void GGStepSlider::mouseDown(ui::Event& e) { selectAt(e); }

// Drags and releases are the slider's own: they do not go on up the chain,
// where an overlay holding the slider would take a release as a dismissal.
void GGStepSlider::mouseDragged(ui::Event& e) { selectAt(e); }

void GGStepSlider::mouseUp(ui::Event&) {
  if (StepDragEndBlock) StepDragEndBlock(*this, selectIndex_);
}

void GGStepSlider::updateTrackingAreas() {
  ui::View::updateTrackingAreas();
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::MouseMoved | ui::TrackingArea::ActiveInActiveApp | ui::TrackingArea::InVisibleRect);
}
