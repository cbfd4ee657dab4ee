#pragma once
// ui::ClipView: the view of a scroll view that shows part of its document
// view. Its bounds origin is the scroll offset, and every scroll (wheel,
// scroller, code) passes through scrollToPoint, which subclasses may take over
// (to animate, say).
//
// The document's extent lives in its frame (doubles), never in one widget's
// size: Qt caps a widget at 16,777,215 pixels a side, so a document longer
// than maximumDocumentWidgetLength along an axis gets a widget covering only
// a band of that length around what the clip shows, moved along as it
// scrolls. Its subviews are placed relative to the band.
//
// Main thread only.

#include <memory>

#include "platform/ui/View.h"

namespace ui {

class ClipView;

// A document view that keeps views only for the part of it its clip view
// shows (a table's rows in view) hears of every change of that part: a
// scroll, a new size of the clip view, its own new size, becoming the
// document.
class ClipViewDocument {
public:
  virtual void clipViewVisibleRectDidChange(ClipView& clip) = 0;

protected:
  ~ClipViewDocument() = default;
};

class ClipView : public View {
public:
  ClipView() = default;
  explicit ClipView(Rect frame) : View(frame) {}
  std::string className() const override { return "ClipView"; }

  const std::shared_ptr<View>& documentView() const { return document_; }
  void setDocumentView(std::shared_ptr<View> view);
  // The document's frame, or zero without a document.
  Rect documentRect() const;
  // The clip's bounds within the document, in the document's coordinates.
  Rect documentVisibleRect() const;

  // The one scrolling primitive: constrains and moves the bounds origin.
  virtual void scrollToPoint(Point p);
  // Per axis: 0 <= offset <= max(0, document - clip), from the document's origin.
  Point constrainScrollPoint(Point p) const;
  // Scrolls the least distance that shows `r` (in bounds coordinates);
  // true when it scrolled.
  virtual bool scrollRectToVisible(const Rect& r);

  // The longest side a document's widget gets (see above).
  static constexpr double kMaximumDocumentWidgetLength = 4'194'304;
  double maximumDocumentWidgetLength() const { return maxWidgetLength_; }
  void setMaximumDocumentWidgetLength(double length);

  bool isFlipped() const override;
  void setBoundsOrigin(Point origin) override;
  void subviewFrameDidChange(View& subview) override;
  void willRemoveSubview(View* subview) override;
  void setFrame(const Rect& frame) override;

private:
  // Gives the document's widget the band around the visible part, when the
  // document is too long for one widget.
  void updateDocumentWidgetArea();

  void tellDocument();
  std::shared_ptr<View> document_;
  double maxWidgetLength_ = kMaximumDocumentWidgetLength;
};

}  // namespace ui
