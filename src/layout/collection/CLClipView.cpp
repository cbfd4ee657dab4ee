#include "layout/collection/CLClipView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

CLClipView::CLClipView(ui::Rect frame) : ClipView(frame), timer_([this] { updateOrigin(); }) { setWantsLayer(true); }

CLClipView::~CLClipView() { timer_.stop(); }

void CLClipView::setDecelerationRate(double rate) { decelerationRate_ = std::clamp(rate, 0.0, 1.0); }

bool CLClipView::scrollRectToVisible(const ui::Rect& rect, bool animated) {
  shouldAnimate_ = animated;
  const bool scrolled = ui::ClipView::scrollRectToVisible(rect);
  // When nothing moved, scrollToPoint never consumed the request; a leftover
  // flag would animate whatever scroll comes next.
  shouldAnimate_ = false;
  return scrolled;
}

bool CLClipView::scrollRectToVisible(const ui::Rect& rect, bool animated, std::function<void(bool)> completion) {
  scrollCompletion_ = std::move(completion);
  const bool scrolled = scrollRectToVisible(rect, animated);
  if (!(animated && scrolled && isScrolling())) handleCompletionIfNeededWithSuccess(scrolled);
  return scrolled;
}

void CLClipView::scrollToPoint(ui::Point p) {
  if (shouldAnimate_) {
    shouldAnimate_ = false;
    destination_ = p;
    beginScrolling();
    return;
  }
  endScrolling();
  ui::ClipView::scrollToPoint(p);
}

void CLClipView::beginScrolling() {
  if (!timer_.isRunning()) timer_.start();
}

void CLClipView::endScrolling() {
  if (timer_.isRunning()) timer_.stop();
}

bool CLClipView::isScrolling() const { return timer_.isRunning(); }

void CLClipView::updateOrigin() {
  if (!window()) {
    endScrolling();
    return;
  }
  // The document may have shrunk since the glide began (a reload with less
  // data): head for the nearest offset it still allows, or the glide would
  // chase a point it can never reach.
  destination_ = constrainScrollPoint(destination_);
  const ui::Point o = bounds().origin;
  const double r = decelerationRate_;
  const ui::Point d = destination_;
  ui::Point n{o.x * r + (1 - r) * d.x, o.y * r + (1 - r) * d.y};
  const bool last = std::fabs(n.x - o.x) < kStopDistance && std::fabs(n.y - o.y) < kStopDistance;
  // The easing never quite arrives; the last step lands on the destination
  // (unless the rate holds the origin still).
  if (last && r < 1) n = d;
  ui::ClipView::scrollToPoint(n);  // tells the scroll view, which lays out its cells
  if (last) {
    endScrolling();
    handleCompletionIfNeededWithSuccess(true);
  }
}

void CLClipView::handleCompletionIfNeededWithSuccess(bool success) {
  if (!scrollCompletion_) return;
  auto completion = std::move(scrollCompletion_);
  scrollCompletion_ = nullptr;
  completion(success);
}

ui::ScrollView* CLClipView::containingScrollView() {
  if (!containingScrollView_) containingScrollView_ = enclosingScrollView();
  return containingScrollView_;
}

void CLClipView::viewWillMoveToWindow(ui::Window* newWindow) {
  ui::ClipView::viewWillMoveToWindow(newWindow);
  timer_.followWindow(newWindow);
}

void CLClipView::viewDidMoveToSuperview() {
  ui::ClipView::viewDidMoveToSuperview();
  containingScrollView_ = nullptr;
}
