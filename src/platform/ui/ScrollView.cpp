#include "platform/ui/ScrollView.h"

#include <algorithm>

namespace ui {

ScrollView::ScrollView() { init(); }

ScrollView::ScrollView(Rect frame) : View(frame) { init(); }

ScrollView::~ScrollView() {
  if (vertical_) vertical_->action = nullptr;
  if (horizontal_) horizontal_->action = nullptr;
}

void ScrollView::init() {
  clip_ = View::create<ClipView>(Rect(0, 0, frame().size.width, frame().size.height));
  addSubview(clip_);
  updateBackground();
  setVerticalScroller(View::create<Scroller>());
  setHorizontalScroller(View::create<Scroller>());
  tile();
}

void ScrollView::setContentView(std::shared_ptr<ClipView> clip) {
  if (!clip || clip == clip_) return;
  const Rect f = clip_->frame();
  clip_->removeFromSuperview();
  clip_ = std::move(clip);
  clip_->setFrame(f);
  addSubview(clip_, WindowOrderingMode::Below, nullptr);
  updateBackground();
  tile();
}

void ScrollView::setHasVerticalScroller(bool h) {
  hasVertical_ = h;
  reflectScrolledClipView(*clip_);
}

void ScrollView::setHasHorizontalScroller(bool h) {
  hasHorizontal_ = h;
  reflectScrolledClipView(*clip_);
}

void ScrollView::setAutohidesScrollers(bool a) {
  autohides_ = a;
  reflectScrolledClipView(*clip_);
}

void ScrollView::installScroller(std::shared_ptr<Scroller>& slot, std::shared_ptr<Scroller> s, bool vertical) {
  if (slot) {
    slot->action = nullptr;
    slot->removeFromSuperview();
  }
  slot = std::move(s);
  if (!slot) return;
  // The scroller is ours while it has this action; a replaced or orphaned one
  // loses it.
  slot->action = [this](Scroller& sc) { scrollerMoved(sc); };
  slot->layer().setZPosition(1);  // over the clip view
  slot->setHidden(true);
  addSubview(slot);
  (void)vertical;
  tile();
}

void ScrollView::setVerticalScroller(std::shared_ptr<Scroller> s) { installScroller(vertical_, std::move(s), true); }

void ScrollView::setHorizontalScroller(std::shared_ptr<Scroller> s) {
  installScroller(horizontal_, std::move(s), false);
}

void ScrollView::setDrawsBackground(bool d) {
  drawsBackground_ = d;
  updateBackground();
}

void ScrollView::setBackgroundColor(const Color& c) {
  background_ = c;
  updateBackground();
}

void ScrollView::updateBackground() {
  clip_->layer().setBackgroundColor(drawsBackground_ ? std::optional<Color>(background_) : std::nullopt);
}

void ScrollView::tile() {
  const Rect b = bounds();
  clip_->setFrame(Rect(0, 0, b.width(), b.height()));
  if (vertical_) {
    const double w = vertical_->scrollerWidth();
    vertical_->setFrame(Rect(b.width() - w, 0, w, b.height()));
  }
  if (horizontal_) {
    const double h = horizontal_->scrollerWidth();
    const double w = b.width() - (vertical_ && !vertical_->isHidden() ? vertical_->scrollerWidth() : 0);
    horizontal_->setFrame(Rect(0, b.height() - h, std::max(0.0, w), h));
  }
  reflectScrolledClipView(*clip_);
}

void ScrollView::layout() { tile(); }

void ScrollView::resizeSubviewsWithOldSize(Size oldSize) {
  View::resizeSubviewsWithOldSize(oldSize);
  tile();
}

void ScrollView::reflectScrolledClipView(ClipView& clip) {
  if (&clip != clip_.get() || reflecting_) return;
  reflecting_ = true;
  const Rect doc = clip.documentRect();
  const Rect visible = clip.bounds();
  auto update = [&](Scroller* s, bool has, double docLen, double visLen, double offset, bool fromTop) {
    if (!s) return;
    const bool fits = docLen <= visLen;
    s->setHidden(!has || (autohides_ && fits));
    const double range = docLen - visLen;
    s->setKnobProportion(docLen > 0 ? std::min(1.0, visLen / docLen) : 1);
    double v = range > 0 ? offset / range : 0;
    if (!fromTop) v = 1 - v;
    s->setDoubleValue(v);
  };
  // Value 0 is the top: the document's minimum y when flipped, its maximum otherwise.
  update(vertical_.get(), hasVertical_, doc.height(), visible.height(), visible.minY() - doc.minY(), clip.isFlipped());
  update(horizontal_.get(), hasHorizontal_, doc.width(), visible.width(), visible.minX() - doc.minX(), true);
  reflecting_ = false;
}

void ScrollView::scrollerMoved(Scroller& s) {
  const Rect doc = clip_->documentRect();
  const Rect visible = clip_->bounds();
  Point target = visible.origin;
  if (&s == vertical_.get()) {
    const double range = std::max(0.0, doc.height() - visible.height());
    const double fromTop = s.doubleValue() * range;
    target.y = doc.minY() + (clip_->isFlipped() ? fromTop : range - fromTop);
  } else if (&s == horizontal_.get()) {
    target.x = doc.minX() + s.doubleValue() * std::max(0.0, doc.width() - visible.width());
  }
  clip_->scrollToPoint(target);
}

void ScrollView::scrollWheel(Event& e) {
  const Rect visible = clip_->bounds();
  double dx = e.deltaX(), dy = e.deltaY();  // precise deltas are points
  if (!e.hasPreciseScrollingDeltas()) {
    const double documentLine = documentView() ? documentView()->lineScrollHeight() : 0;
    dx *= lineScroll_;
    dy *= documentLine > 0 ? documentLine : lineScroll_;
    // A notch moves at most a page (the visible extent), as a scroll bar's
    // wheel does: with lines as tall as a grid's rows of items, a notch would
    // otherwise carry rows past the view without ever showing them.
    const double pageX = std::max(0.0, visible.width()), pageY = std::max(0.0, visible.height());
    dx = std::clamp(dx, -pageX, pageX);
    dy = std::clamp(dy, -pageY, pageY);
  }
  Point o = visible.origin;
  // A positive delta moves towards the document's top or left.
  o.x -= dx;
  o.y += clip_->isFlipped() ? -dy : dy;
  clip_->scrollToPoint(o);
}

}  // namespace ui
