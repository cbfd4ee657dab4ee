#include "controls/GGSwitch.h"

#include "controls/GGFrame.h"
#include "platform/ui/GraphicsContext.h"

GGSwitch::GGSwitch() : GGSwitch(ui::Rect()) {}

GGSwitch::GGSwitch(ui::Rect frame) : ui::View(frame) {
  OnImage = ui::Image::imageNamed("switch-ON");
  OffImage = ui::Image::imageNamed("switch-OFF");
}

void GGSwitch::setIsOn(bool on) {
  isOn_ = on;
  if (superview()) setNeedsDisplay(true);
}

ui::Rect GGSwitch::pictureRect() const {
  const auto& picture = isOn_ ? OnImage : OffImage;
  if (!picture) return ui::Rect::zero();
  const ui::Size s = picture->size();
  // A picture without height cannot be scaled to the width.
  if (!(s.width > 0) || !(s.height > 0)) return ui::Rect::zero();
  const double r = s.width / s.height;
  double w = gg_width(*this);
  double h = w / r;
  if (h > kMaxHeight) {
    w = kMaxHeight * r;
    h = kMaxHeight;
  }
  return {gg_width(*this) / 2 - w / 2, gg_height(*this) / 2 - h / 2, w, h};
}

void GGSwitch::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const auto& picture = isOn_ ? OnImage : OffImage;
  const ui::Rect r = pictureRect();
  if (picture && !r.isEmpty()) ctx.drawImage(*picture, r);
}

void GGSwitch::updateTrackingAreas() {
  ui::View::updateTrackingAreas();
  // One area, over the current bounds.
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void GGSwitch::mouseDown(ui::Event&) {}

void GGSwitch::mouseUp(ui::Event&) {
  auto keep = sharedFromThis();
  setNeedsDisplay(true);
  setIsOn(!isOn_);
  if (ChangeSwitchStatus) {
    auto fn = ChangeSwitchStatus;
    fn(isOn_);
  }
}
