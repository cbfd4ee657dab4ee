#pragma once
// ui::Scroller: the project's own scroll bar, a view laid over the edge of a
// scroll view. It shows a knob whose length is the visible share of the
// document and whose place is the scroll position (0 at the top or left, 1 at
// the end). Dragging the knob or clicking the slot (one page per click)
// changes the value and tells the action. Subclasses change the look through
// drawKnob, drawKnobSlotInRect and scrollerWidth.
//
// Main thread only.

#include <functional>

#include "platform/ui/View.h"

namespace ui {

enum class ScrollerPart { NoPart = 0, DecrementPage = 1, Knob = 2, IncrementPage = 3, KnobSlot = 6 };
enum class ScrollerStyle { Legacy = 0, Overlay = 1 };
enum class ScrollerKnobStyle { Default = 0, Dark = 1, Light = 2 };

class Scroller : public View {
public:
  Scroller() = default;
  explicit Scroller(Rect frame) : View(frame) {}
  std::string className() const override { return "Scroller"; }
  bool isFlipped() const override { return true; }

  // The thickness the scroll view gives the scroller.
  virtual double scrollerWidth() const { return 11; }
  static constexpr double kMinimumKnobLength = 18;

  double doubleValue() const { return value_; }
  void setDoubleValue(double v);
  double knobProportion() const { return proportion_; }
  void setKnobProportion(double p);
  bool isVertical() const { return frame().size.height >= frame().size.width; }
  ScrollerStyle scrollerStyle() const { return style_; }
  void setScrollerStyle(ScrollerStyle s) { style_ = s; }
  ScrollerKnobStyle knobStyle() const { return knobStyle_; }
  void setKnobStyle(ScrollerKnobStyle s);
  ScrollerPart hitPart() const { return hitPart_; }
  ScrollerPart testPart(Point p) const;

  virtual Rect rectForPart(ScrollerPart part) const;
  virtual void drawKnob(GraphicsContext& ctx);
  virtual void drawKnobSlotInRect(GraphicsContext& ctx, const Rect& slot, bool highlight);
  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;

  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;
  void mouseCancelled(Event& e) override;

  // Told after a user change of the value.
  std::function<void(Scroller&)> action;

private:
  double along(Point p) const { return isVertical() ? p.y : p.x; }
  double slotLength() const;
  double knobLength() const;

  double value_ = 0;
  double proportion_ = 1;
  ScrollerStyle style_ = ScrollerStyle::Overlay;
  ScrollerKnobStyle knobStyle_ = ScrollerKnobStyle::Default;
  ScrollerPart hitPart_ = ScrollerPart::NoPart;
  double grabOffset_ = 0;  // where the press was inside the knob
  bool tracking_ = false;
};

}  // namespace ui
