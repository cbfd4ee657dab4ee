#pragma once
// ui::SplitView: panes side by side (vertical dividers) or stacked, with a
// divider the user drags. The delegate limits where each divider may go;
// the limits hold for drags, for setPosition and when the split view is
// resized (the last pane takes a size change first).
//
// Main thread only.

#include <memory>

#include "platform/ui/View.h"

namespace ui {

class SplitView;

class SplitViewDelegate {
public:
  virtual ~SplitViewDelegate() = default;
  // The smallest and largest position of divider `dividerIndex`, given the
  // proposed ones (the panes' own room).
  virtual double splitViewConstrainMinCoordinateOfSubviewAt(SplitView&, double proposedMinimumPosition, int) {
    return proposedMinimumPosition;
  }
  virtual double splitViewConstrainMaxCoordinateOfSubviewAt(SplitView&, double proposedMaximumPosition, int) {
    return proposedMaximumPosition;
  }
  virtual void splitViewDidResizeSubviews(SplitView&) {}
};

class SplitView : public View {
public:
  SplitView() = default;
  explicit SplitView(Rect frame) : View(frame) {}
  std::string className() const override { return "SplitView"; }
  bool isFlipped() const override { return true; }

  // True: panes side by side, dividers vertical.
  bool isVertical() const { return vertical_; }
  void setVertical(bool v);
  double dividerThickness() const { return thickness_; }
  void setDividerThickness(double t);
  Color dividerColor() const { return dividerColor_; }
  void setDividerColor(const Color& c);
  void setDelegate(std::weak_ptr<SplitViewDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<SplitViewDelegate> delegate() const { return delegate_.lock(); }

  // Where divider `index` starts along the split axis.
  double positionOfDividerAtIndex(int index) const;
  // Moves the divider within the delegate's limits and the panes' room.
  void setPosition(double position, int dividerIndex);
  // Lays the panes out along the axis, keeping their sizes where they fit.
  void adjustSubviews();
  Rect dividerRect(int index) const;

  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
  virtual void drawDividerInRect(GraphicsContext& ctx, const Rect& rect);
  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;
  void resizeSubviewsWithOldSize(Size oldSize) override;
  void layout() override;

private:
  double length(const View& v) const;
  double total() const;
  // The limits of a divider: the panes' room, then the delegate's say.
  std::pair<double, double> limits(int index) const;
  void placePanes(const std::vector<double>& sizes);

  bool vertical_ = true;
  double thickness_ = 1;
  Color dividerColor_ = Color::calibratedWhite(0.2);
  std::weak_ptr<SplitViewDelegate> delegate_;
  int dragging_ = -1;
  double grab_ = 0;
};

}  // namespace ui
