#include "controls/EffectInsertButton.h"

#include "controls/AccentColor.h"
#include "controls/GGFrame.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

EffectInsertButton::EffectInsertButton() : EffectInsertButton(ui::Rect()) {}

EffectInsertButton::EffectInsertButton(ui::Rect frame) : ui::View(frame) {
  setWantsLayer(true);
  layer().setBorderColor(ui::Color::whiteColor());
  layer().setBorderWidth(0.8);
  layer().setCornerRadius(2.0);
}

ui::Rect EffectInsertButton::pressedRect() const {
  const double half = gg_width(*this) / 2;
  return {isAdd_ ? 0 : half, 0, half, gg_height(*this)};
}

void EffectInsertButton::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const double w = gg_width(*this), h = gg_height(*this);
  ctx.saveGState();
  if (isMouseDown_) {
    ctx.setFillColor(accentColor());
    ctx.fillRect(pressedRect());
  }
  ui::BezierPath strokes;
  strokes.moveTo({w / 2, 0});
  strokes.lineTo({w / 2, h});
  strokes.moveTo({w / 4, (h - 6) / 2});
  strokes.lineTo({w / 4, h / 2 + 3});
  strokes.moveTo({w / 4 - 3, h / 2});
  strokes.lineTo({w / 4 + 3, h / 2});
  strokes.moveTo({3 * w / 4 - 3, h / 2});
  strokes.lineTo({3 * w / 4 + 3, h / 2});
  strokes.setLineWidth(0.8);
  ctx.setStrokeColor(ui::Color::whiteColor());
  ctx.strokePath(strokes);
  ctx.restoreGState();
}

void EffectInsertButton::updateTrackingAreas() {
  ui::View::updateTrackingAreas();
  // One area over the current bounds.
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void EffectInsertButton::mouseDown(ui::Event& e) {
  isAdd_ = !(e.locationInView(*this).x > gg_width(*this) / 2);
  isMouseDown_ = true;
  setNeedsDisplay(true);
}

void EffectInsertButton::mouseUp(ui::Event& e) {
  auto keep = sharedFromThis();
  const bool remove = e.locationInView(*this).x > gg_width(*this) / 2;
  isMouseDown_ = false;
  auto& block = remove ? DeleteActionBlock : AddActionBlock;
  if (block) {
    auto fn = block;
    fn(*this);
  }
  setNeedsDisplay(true);
}

void EffectInsertButton::mouseCancelled(ui::Event&) {
  isMouseDown_ = false;
  setNeedsDisplay(true);
}
