#include "platform/ui/SplitView.h"

#include <algorithm>

#include "platform/ui/GraphicsContext.h"

namespace ui {

void SplitView::setVertical(bool v) {
  vertical_ = v;
  adjustSubviews();
}

void SplitView::setDividerThickness(double t) {
  thickness_ = std::max(0.0, t);
  adjustSubviews();
}

void SplitView::setDividerColor(const Color& c) {
  dividerColor_ = c;
  setNeedsDisplay(true);
}

double SplitView::length(const View& v) const { return vertical_ ? v.frame().size.width : v.frame().size.height; }

double SplitView::total() const { return vertical_ ? bounds().width() : bounds().height(); }

double SplitView::positionOfDividerAtIndex(int index) const {
  double pos = 0;
  for (int i = 0; i <= index && i < int(subviews().size()); ++i) {
    pos += length(*subviews()[size_t(i)]);
    if (i < index) pos += thickness_;
  }
  return pos;
}

Rect SplitView::dividerRect(int index) const {
  const double pos = positionOfDividerAtIndex(index);
  const Rect b = bounds();
  return vertical_ ? Rect(pos, 0, thickness_, b.height()) : Rect(0, pos, b.width(), thickness_);
}

std::pair<double, double> SplitView::limits(int index) const {
  // The divider may move from the start of its left pane to the end of its
  // right pane.
  const double start = index > 0 ? positionOfDividerAtIndex(index - 1) + thickness_ : 0;
  const double end = (size_t(index) + 2 < subviews().size() ? positionOfDividerAtIndex(index + 1) : total()) - thickness_;
  double lo = start;
  double hi = std::max(start, end);
  if (auto d = delegate()) {
    auto& self = const_cast<SplitView&>(*this);
    lo = d->splitViewConstrainMinCoordinateOfSubviewAt(self, lo, index);
    hi = d->splitViewConstrainMaxCoordinateOfSubviewAt(self, hi, index);
  }
  return {lo, std::max(lo, hi)};
}

void SplitView::placePanes(const std::vector<double>& sizes) {
  const Rect b = bounds();
  double pos = 0;
  for (size_t i = 0; i < subviews().size() && i < sizes.size(); ++i) {
    const double s = std::max(0.0, sizes[i]);
    subviews()[i]->setFrame(vertical_ ? Rect(pos, 0, s, b.height()) : Rect(0, pos, b.width(), s));
    pos += s + thickness_;
  }
  setNeedsDisplay(true);
  if (auto d = delegate()) d->splitViewDidResizeSubviews(*this);
}

void SplitView::adjustSubviews() {
  const size_t n = subviews().size();
  if (n == 0) return;
  std::vector<double> sizes;
  for (auto& v : subviews()) sizes.push_back(length(*v));
  // The last pane takes what is left (or missing).
  double used = thickness_ * double(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) used += sizes[i];
  sizes[n - 1] = total() - used;
  // Then every divider goes back within its limits, front to back.
  placePanes(sizes);
  for (int i = 0; i + 1 < int(n); ++i) {
    const auto [lo, hi] = limits(i);
    const double pos = positionOfDividerAtIndex(i);
    if (pos < lo || pos > hi) setPosition(std::clamp(pos, lo, hi), i);
  }
}

void SplitView::setPosition(double position, int dividerIndex) {
  const size_t n = subviews().size();
  if (dividerIndex < 0 || size_t(dividerIndex) + 1 >= n) return;
  const auto [lo, hi] = limits(dividerIndex);
  const double pos = std::clamp(position, lo, hi);
  const double old = positionOfDividerAtIndex(dividerIndex);
  if (pos == old) return;
  std::vector<double> sizes;
  for (auto& v : subviews()) sizes.push_back(length(*v));
  const double delta = pos - old;
  sizes[size_t(dividerIndex)] += delta;
  sizes[size_t(dividerIndex) + 1] -= delta;
  placePanes(sizes);
}

void SplitView::resizeSubviewsWithOldSize(Size) { adjustSubviews(); }

void SplitView::layout() { adjustSubviews(); }

void SplitView::drawRect(GraphicsContext& ctx, const Rect&) {
  for (int i = 0; i + 1 < int(subviews().size()); ++i) drawDividerInRect(ctx, dividerRect(i));
}

void SplitView::drawDividerInRect(GraphicsContext& ctx, const Rect& rect) {
  ctx.setFillColor(dividerColor_);
  ctx.fillRect(rect);
}

void SplitView::mouseDown(Event& e) {
  const Point p = convertPointFromView(e.locationInWindow(), nullptr);
  dragging_ = -1;
  // A thin divider gets a few points of grip on either side.
  const double grip = std::max(0.0, (6 - thickness_) / 2);
  for (int i = 0; i + 1 < int(subviews().size()); ++i) {
    const Rect r = dividerRect(i);
    const Rect hit = vertical_ ? r.insetBy(-grip, 0) : r.insetBy(0, -grip);
    if (hit.contains(p)) {
      dragging_ = i;
      grab_ = (vertical_ ? p.x : p.y) - positionOfDividerAtIndex(i);
      return;
    }
  }
  View::mouseDown(e);
}

void SplitView::mouseDragged(Event& e) {
  if (dragging_ < 0) return;
  const Point p = convertPointFromView(e.locationInWindow(), nullptr);
  setPosition((vertical_ ? p.x : p.y) - grab_, dragging_);
}

void SplitView::mouseUp(Event& e) {
  if (dragging_ < 0) {
    View::mouseUp(e);
    return;
  }
  dragging_ = -1;
}

}  // namespace ui
