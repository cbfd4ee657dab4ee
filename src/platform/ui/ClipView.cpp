#include "platform/ui/ClipView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

namespace ui {

void ClipView::setDocumentView(std::shared_ptr<View> view) {
  if (view == document_) return;
  if (document_) document_->removeFromSuperview();
  document_ = std::move(view);
  if (document_) addSubview(document_);
  View::setBoundsOrigin(constrainScrollPoint(bounds().origin));
  updateDocumentWidgetArea();
  if (auto* sv = enclosingScrollView()) sv->reflectScrolledClipView(*this);
  tellDocument();
}

void ClipView::tellDocument() {
  if (auto* d = dynamic_cast<ClipViewDocument*>(document_.get())) d->clipViewVisibleRectDidChange(*this);
}

void ClipView::setMaximumDocumentWidgetLength(double length) {
  maxWidgetLength_ = std::max(1.0, length);
  updateDocumentWidgetArea();
}

void ClipView::updateDocumentWidgetArea() {
  if (!document_ || document_->superview() != this) return;
  const Size docSize = document_->frame().standardized().size;
  if (docSize.width <= maxWidgetLength_ && docSize.height <= maxWidgetLength_) {
    document_->setWidgetArea(Rect::null());
    return;
  }
  // The visible part in the document's visual coordinates (from its top-left).
  const Rect visible = documentVisibleRect();
  const Point a = document_->toVisual({visible.minX(), visible.minY()});
  const Point b = document_->toVisual({visible.maxX(), visible.maxY()});
  const Rect current = document_->widgetArea_;
  // One axis: the whole length when it fits; otherwise the band in use while
  // it still holds the visible part, or a new one centred on it, in whole
  // pixels so that subviews round alike.
  auto band = [&](double length, double v0, double v1, double c0, double cLength) -> std::pair<double, double> {
    if (length <= maxWidgetLength_) return {0, length};
    const double span = std::max(maxWidgetLength_, std::ceil(v1 - v0) + 2);
    if (!current.isNull() && cLength == span && c0 <= v0 && v1 <= c0 + cLength && c0 + cLength <= length)
      return {c0, cLength};
    const double start = std::floor(std::clamp(v0 - (span - (v1 - v0)) / 2, 0.0, std::max(0.0, length - span)));
    return {start, span};
  };
  const auto [x, w] = band(docSize.width, std::min(a.x, b.x), std::max(a.x, b.x), current.minX(), current.width());
  const auto [y, h] = band(docSize.height, std::min(a.y, b.y), std::max(a.y, b.y), current.minY(), current.height());
  document_->setWidgetArea(Rect(x, y, w, h));
}

Rect ClipView::documentRect() const { return document_ ? document_->frame() : Rect::zero(); }

Rect ClipView::documentVisibleRect() const {
  if (!document_) return Rect::zero();
  const Rect visible = bounds().intersection(document_->frame());
  if (visible.isNull()) return Rect::zero();
  return document_->convertRectFromView(visible, this);
}

bool ClipView::isFlipped() const { return document_ ? document_->isFlipped() : false; }

Point ClipView::constrainScrollPoint(Point p) const {
  const Rect doc = documentRect();
  const Size clip = frame().size;
  const double maxX = doc.minX() + std::max(0.0, doc.width() - clip.width);
  const double maxY = doc.minY() + std::max(0.0, doc.height() - clip.height);
  return {std::clamp(p.x, doc.minX(), maxX), std::clamp(p.y, doc.minY(), maxY)};
}

void ClipView::scrollToPoint(Point p) { setBoundsOrigin(constrainScrollPoint(p)); }

bool ClipView::scrollRectToVisible(const Rect& r) {
  if (r.isNull()) return false;
  const Rect v = bounds();
  auto axis = [](double rMin, double rSize, double vMin, double vSize) {
    if (rMin < vMin || rSize > vSize) return rMin;
    if (rMin + rSize > vMin + vSize) return rMin + rSize - vSize;
    return vMin;
  };
  const Point target = constrainScrollPoint(
      {axis(r.minX(), r.width(), v.minX(), v.width()), axis(r.minY(), r.height(), v.minY(), v.height())});
  if (target == v.origin) return false;
  scrollToPoint(target);
  return true;
}

void ClipView::setBoundsOrigin(Point origin) {
  if (origin == bounds().origin) return;
  View::setBoundsOrigin(origin);
  updateDocumentWidgetArea();
  if (auto* sv = enclosingScrollView()) sv->reflectScrolledClipView(*this);
  // Before the pointer is looked at: the rows coming into view have views.
  tellDocument();
  // What lies under the pointer moved.
  if (document_ && window()) {
    document_->visibleRectDidChange();
    window()->refreshTracking();
  }
}

void ClipView::subviewFrameDidChange(View& subview) {
  if (&subview != document_.get()) return;
  // A shrunk document may leave the offset past its end.
  View::setBoundsOrigin(constrainScrollPoint(bounds().origin));
  updateDocumentWidgetArea();
  if (auto* sv = enclosingScrollView()) sv->reflectScrolledClipView(*this);
  tellDocument();
}

void ClipView::willRemoveSubview(View* subview) {
  View::willRemoveSubview(subview);
  // Wherever the document goes next, its widget covers all of it again.
  if (subview && subview == document_.get()) subview->setWidgetArea(Rect::null());
}

void ClipView::setFrame(const Rect& frame) {
  const Rect old = bounds();
  View::setFrame(frame);
  View::setBoundsOrigin(constrainScrollPoint(bounds().origin));
  updateDocumentWidgetArea();
  if (!(bounds() == old)) tellDocument();
}

}  // namespace ui
