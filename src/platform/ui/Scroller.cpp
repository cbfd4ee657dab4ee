#include "platform/ui/Scroller.h"

#include <algorithm>

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace ui {

void Scroller::setDoubleValue(double v) {
  v = std::clamp(v, 0.0, 1.0);
  if (v == value_) return;
  value_ = v;
  setNeedsDisplay(true);
}

void Scroller::setKnobProportion(double p) {
  p = std::clamp(p, 0.0, 1.0);
  if (p == proportion_) return;
  proportion_ = p;
  setNeedsDisplay(true);
}

void Scroller::setKnobStyle(ScrollerKnobStyle s) {
  knobStyle_ = s;
  setNeedsDisplay(true);
}

double Scroller::slotLength() const { return isVertical() ? bounds().size.height : bounds().size.width; }

double Scroller::knobLength() const {
  const double slot = slotLength();
  return std::min(slot, std::max(kMinimumKnobLength, slot * proportion_));
}

Rect Scroller::rectForPart(ScrollerPart part) const {
  const Rect b = bounds();
  const double slot = slotLength();
  const double knob = knobLength();
  const double start = (slot - knob) * value_;
  auto span = [&](double from, double length) {
    return isVertical() ? Rect(b.minX(), b.minY() + from, b.width(), length)
                        : Rect(b.minX() + from, b.minY(), length, b.height());
  };
  switch (part) {
    case ScrollerPart::Knob: return proportion_ >= 1 ? Rect::zero() : span(start, knob);
    case ScrollerPart::KnobSlot: return b;
    case ScrollerPart::DecrementPage: return span(0, start);
    case ScrollerPart::IncrementPage: return span(start + knob, slot - start - knob);
    default: return Rect::zero();
  }
}

ScrollerPart Scroller::testPart(Point p) const {
  if (!bounds().contains(p) || proportion_ >= 1) return ScrollerPart::NoPart;
  for (ScrollerPart part : {ScrollerPart::Knob, ScrollerPart::DecrementPage, ScrollerPart::IncrementPage})
    if (rectForPart(part).contains(p)) return part;
  return ScrollerPart::KnobSlot;
}

void Scroller::drawKnobSlotInRect(GraphicsContext& ctx, const Rect& slot, bool highlight) {
  if (!highlight) return;  // an overlay slot shows only while in use
  ctx.setFillColor(Color::calibratedWhite(0.5, 0.2));
  ctx.fillPath(BezierPath::bezierPathWithRoundedRect(slot, slot.width() / 2, slot.width() / 2));
}

void Scroller::drawKnob(GraphicsContext& ctx) {
  const Rect knob = rectForPart(ScrollerPart::Knob);
  if (knob.isEmpty()) return;
  const double r = std::min(knob.width(), knob.height()) / 2;
  ctx.setFillColor(knobStyle_ == ScrollerKnobStyle::Light ? Color::calibratedWhite(1, 0.6)
                                                          : Color::calibratedWhite(0, 0.5));
  ctx.fillPath(BezierPath::bezierPathWithRoundedRect(knob, r, r));
  if (knobStyle_ != ScrollerKnobStyle::Default) return;
  // The default knob is dark with a light rim: it shows over light and dark
  // documents alike.
  const Rect rim = knob.insetBy(0.5, 0.5);
  if (rim.isNull()) return;
  const double rr = std::min(rim.width(), rim.height()) / 2;
  BezierPath outline = BezierPath::bezierPathWithRoundedRect(rim, rr, rr);
  outline.setLineWidth(1);
  ctx.setStrokeColor(Color::calibratedWhite(1, 0.55));
  ctx.strokePath(outline);
}

void Scroller::drawRect(GraphicsContext& ctx, const Rect&) {
  drawKnobSlotInRect(ctx, rectForPart(ScrollerPart::KnobSlot), tracking_);
  drawKnob(ctx);
}

void Scroller::mouseDown(Event& e) {
  const Point p = convertPointFromView(e.locationInWindow(), nullptr);
  hitPart_ = testPart(p);
  const double slot = slotLength();
  const double knob = knobLength();
  switch (hitPart_) {
    case ScrollerPart::Knob:
      tracking_ = true;
      grabOffset_ = along(p) - (slot - knob) * value_;
      setNeedsDisplay(true);
      break;
    case ScrollerPart::DecrementPage:
    case ScrollerPart::IncrementPage: {
      // One visible page per click, as a share of the scrollable distance.
      const double page = proportion_ < 1 ? proportion_ / (1 - proportion_) : 1;
      setDoubleValue(value_ + (hitPart_ == ScrollerPart::IncrementPage ? page : -page));
      if (action) action(*this);
      break;
    }
    default:
      break;
  }
}

void Scroller::mouseDragged(Event& e) {
  if (!tracking_) return;
  const Point p = convertPointFromView(e.locationInWindow(), nullptr);
  const double travel = slotLength() - knobLength();
  if (travel <= 0) return;
  const double old = value_;
  setDoubleValue((along(p) - grabOffset_) / travel);
  if (value_ != old && action) action(*this);
}

void Scroller::mouseUp(Event&) {
  tracking_ = false;
  hitPart_ = ScrollerPart::NoPart;
  setNeedsDisplay(true);
}

void Scroller::mouseCancelled(Event& e) { mouseUp(e); }

}  // namespace ui
