#include "platform/ui/ClipView.h"

#include <algorithm>

#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

namespace ui {

void ClipView::setDocumentView(std::shared_ptr<View> view) {
  if (view == document_) return;
  if (document_) document_->removeFromSuperview();
  document_ = std::move(view);
  if (document_) addSubview(document_);
  View::setBoundsOrigin(constrainScrollPoint(bounds().origin));
  if (auto* sv = enclosingScrollView()) sv->reflectScrolledClipView(*this);
  tellDocument();
}

void ClipView::tellDocument() {
  if (auto* d = dynamic_cast<ClipViewDocument*>(document_.get())) d->clipViewVisibleRectDidChange(*this);
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
  if (auto* sv = enclosingScrollView()) sv->reflectScrolledClipView(*this);
  tellDocument();
}

void ClipView::setFrame(const Rect& frame) {
  const Rect old = bounds();
  View::setFrame(frame);
  View::setBoundsOrigin(constrainScrollPoint(bounds().origin));
  if (!(bounds() == old)) tellDocument();
}

}  // namespace ui
