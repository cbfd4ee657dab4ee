#include "controls/GGFunctionButton.h"

#include "controls/GGFrame.h"
#include "controls/GGPopView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Window.h"

std::shared_ptr<GGFunctionButton> GGFunctionButton::initWithTitle(const std::string& title, const std::string& image,
                                                                  const std::shared_ptr<fnd::Object>& target,
                                                                  Action action) {
  auto b = ui::View::create<GGFunctionButton>();
  b->defaultImage = ui::Image::imageNamed(image + "-on");
  b->offImage = ui::Image::imageNamed(image + "-off");
  b->title = title;
  b->setTarget(target);
  b->action = std::move(action);
  return b;
}

void GGFunctionButton::setIsOn(bool on) {
  isOn_ = on;
  setNeedsDisplay(true);
}

void GGFunctionButton::setIsHlight(bool h) {
  isHlight_ = h;
  setNeedsDisplay(true);
}

void GGFunctionButton::setIsSelect(bool s) {
  isSelect_ = s;
  setNeedsDisplay(true);
}

ui::Rect GGFunctionButton::pictureRect() const {
  return {gg_width(*this) / 2 - 34.5, gg_height(*this) / 2 - 40.0, 69.0, 80.0};
}

void GGFunctionButton::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  if (isSelect_ || isHlight_) {
    // Round the bounds, not the part being repainted.
    ui::BezierPath frame;
    frame.appendRoundedRect(bounds().insetBy(0.75, 0.75), 6.0, 6.0);
    frame.setLineWidth(1.5);
    ctx.saveGState();
    ctx.setStrokeColor(isSelect_ ? ui::Color::whiteColor() : ui::Color::rgb255(160, 160, 160));
    ctx.strokePath(frame);
    ctx.restoreGState();
  }
  const auto& picture = isOn_ ? defaultImage : offImage;
  if (picture) ctx.drawImage(*picture, pictureRect());
}

void GGFunctionButton::updateTrackingAreas() {
  // One area over the current bounds: made again when the bar resizes.
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void GGFunctionButton::removeFromSuperview() {
  if (area_) removeTrackingArea(area_);
  area_.reset();
  ui::View::removeFromSuperview();
}

void GGFunctionButton::mouseDown(ui::Event&) {}

void GGFunctionButton::mouseEntered(ui::Event&) {
  // Areas fire under an overlay too: no hover while a pop-up covers the window.
  const auto windows = ui::Application::shared().windows();
  const ui::View* content = windows.empty() ? nullptr : windows.front()->contentView().get();
  if (!GGPopViewManager::shareManager().hasPopInView(content)) setIsHlight(true);
}

void GGFunctionButton::mouseExited(ui::Event&) { setIsHlight(false); }

void GGFunctionButton::mouseUp(ui::Event& e) {
  auto keep = std::static_pointer_cast<GGFunctionButton>(sharedFromThis());
  setNeedsDisplay(true);
  if (!bounds().contains(e.locationInView(*this))) return;
  auto t = target_.lock();
  if (t && action) {
    auto fn = action;
    fn(*this);
  }
}
