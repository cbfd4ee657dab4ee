#pragma once
// ui::ScrollView: a clip view over a document view, with the project's own
// scrollers laid over its right and bottom edges (they never take room from
// the document). The wheel and the scrollers move the clip view through
// ClipView::scrollToPoint (a wheel's lines are the document's lines, a notch
// at most a page; a touchpad's points stay points); every change of the
// clip's origin comes back through reflectScrolledClipView, which updates the
// scrollers. With autohidesScrollers, a scroller hides while the document
// fits along its axis.
//
// Main thread only.

#include <memory>

#include "platform/ui/ClipView.h"
#include "platform/ui/Scroller.h"

namespace ui {

class ScrollView : public View {
public:
  ScrollView();
  explicit ScrollView(Rect frame);
  ~ScrollView() override;
  std::string className() const override { return "ScrollView"; }
  bool isFlipped() const override { return true; }

  const std::shared_ptr<ClipView>& contentView() const { return clip_; }
  // Replaces the clip view; the caller sets the document view again.
  void setContentView(std::shared_ptr<ClipView> clip);
  std::shared_ptr<View> documentView() const { return clip_->documentView(); }
  void setDocumentView(std::shared_ptr<View> view) { clip_->setDocumentView(std::move(view)); }
  Rect documentVisibleRect() const { return clip_->documentVisibleRect(); }
  Size contentSize() const { return clip_->frame().size; }

  bool hasVerticalScroller() const { return hasVertical_; }
  void setHasVerticalScroller(bool h);
  bool hasHorizontalScroller() const { return hasHorizontal_; }
  void setHasHorizontalScroller(bool h);
  bool autohidesScrollers() const { return autohides_; }
  void setAutohidesScrollers(bool a);
  const std::shared_ptr<Scroller>& verticalScroller() const { return vertical_; }
  void setVerticalScroller(std::shared_ptr<Scroller> s);
  const std::shared_ptr<Scroller>& horizontalScroller() const { return horizontal_; }
  void setHorizontalScroller(std::shared_ptr<Scroller> s);

  bool drawsBackground() const { return drawsBackground_; }
  void setDrawsBackground(bool d);
  Color backgroundColor() const { return background_; }
  void setBackgroundColor(const Color& c);

  // Points a line of the wheel scrolls: sideways, and up and down unless the
  // document has a line of its own (View::lineScrollHeight: a table's row).
  double lineScroll() const { return lineScroll_; }
  void setLineScroll(double l) { lineScroll_ = l; }

  virtual void reflectScrolledClipView(ClipView& clip);
  void scrollWheel(Event& e) override;
  // Places the clip view and the scrollers.
  virtual void tile();
  void layout() override;
  void resizeSubviewsWithOldSize(Size oldSize) override;

private:
  void init();
  void installScroller(std::shared_ptr<Scroller>& slot, std::shared_ptr<Scroller> s, bool vertical);
  void scrollerMoved(Scroller& s);
  void updateBackground();

  std::shared_ptr<ClipView> clip_;
  std::shared_ptr<Scroller> vertical_;
  std::shared_ptr<Scroller> horizontal_;
  bool hasVertical_ = false;
  bool hasHorizontal_ = false;
  bool autohides_ = true;
  bool drawsBackground_ = true;
  Color background_ = Color::whiteColor();
  double lineScroll_ = 10;
  bool reflecting_ = false;
};

}  // namespace ui
