#include "controls/GGPopView.h"

#include <algorithm>

#include "controls/GGFrame.h"
#include "controls/NSPopNormalView.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/PopUpService.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace {

// Centres `v` in `in` at its own size, keeping it centred as `in` resizes.
void centre(ui::View& v, const ui::View& in) {
  const ui::Size s = v.frame().size;
  v.setFrameOrigin({(gg_width(in) - s.width) / 2, (gg_height(in) - s.height) / 2});
  v.setAutoresizingMask(ui::ViewMinXMargin | ui::ViewMaxXMargin | ui::ViewMinYMargin | ui::ViewMaxYMargin);
}

class GGPopUpService : public PopUpService {
public:
  void showSuccessWithTip(const std::string& tip) override { GGPopView::showSuccessWithTip(tip); }
  void showWarningWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) override {
    GGPopView::showWarningWithTip(tip, std::dynamic_pointer_cast<ui::View>(view));
  }
  void showFailWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) override {
    GGPopView::showFailWithTip(tip, std::dynamic_pointer_cast<ui::View>(view));
  }
  void AOEHideAllView() override { GGPopView::AOEHideAllView(); }
};

}  // namespace

GGPopViewManager& GGPopViewManager::shareManager() {
  static GGPopViewManager manager;
  return manager;
}

bool GGPopViewManager::hasPopInView(const ui::View* view) const { return GGPopView::HUDForView(view) != nullptr; }

GGPopView::GGPopView() {
  setWantsLayer(true);
  layer().setBackgroundColor(ui::Color::blackColor().withAlphaComponent(0.3));
}

std::shared_ptr<GGPopView> GGPopView::ShowCoustomView(const std::shared_ptr<ui::View>& custom,
                                                      const std::shared_ptr<ui::View>& container) {
  if (!custom || !container) return nullptr;
  auto overlay = ui::View::create<GGPopView>();
  container->addSubview(overlay);
  overlay->addSubview(custom);
  // Fills the container, and the custom view stays centred at its size.
  overlay->setFrame(container->bounds());
  overlay->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  centre(*custom, *overlay);
  if (dynamic_cast<GGConfirmPanel*>(custom.get())) GGPopViewManager::shareManager().allPopViews().push_back(overlay);
  return overlay;
}

std::shared_ptr<GGPopView> GGPopView::HUDForView(const ui::View* view) {
  if (!view) return nullptr;
  const auto& subviews = view->subviews();
  for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
    auto pop = std::dynamic_pointer_cast<GGPopView>(*it);
    if (pop && !pop->isFinished()) return pop;
  }
  return nullptr;
}

void GGPopView::hideViewInView(const ui::View* view) {
  auto hud = HUDForView(view);
  if (!hud) return;
  for (auto subviews = hud->subviews(); auto& v : subviews) v->removeFromSuperview();
  hud->hideAnimated(true);
}

void GGPopView::AOEHideAllView() {
  dispatch::mainQueue()->async([] {
    auto& list = GGPopViewManager::shareManager().allPopViews();
    auto overlays = std::move(list);
    list.clear();
    for (auto& overlay : overlays) overlay->removeFromSuperview();
  });
}

void GGPopView::hideAnimated(bool) {
  finished_ = true;
  doneHide();
}

void GGPopView::doneHide() {
  auto keep = std::static_pointer_cast<GGPopView>(sharedFromThis());
  setAlphaValue(0);
  if (auto custom = coustomView()) custom->removeFromSuperview();
  removeFromSuperview();
  auto& list = GGPopViewManager::shareManager().allPopViews();
  list.erase(std::remove(list.begin(), list.end(), keep), list.end());
}

void GGPopView::OBJShowSuccessTip(const std::string& message) {
  for (auto subviews = this->subviews(); auto& v : subviews) v->removeFromSuperview();
  auto tip = NSPopNormalView::initWithType(NSPopNormalView::Success, message);
  addSubview(tip);
  centre(*tip, *this);
  dispatch::mainQueue()->after(kOverlayTipDuration, [tip] { JustHideView(tip); });
}

// ---- tips

void GGPopView::showSuccessWithTip(const std::string& message) {
  PrivateShowTyep(NSPopNormalView::Success, message, nullptr);
}

void GGPopView::showSuccessWithTip(const std::string& message, const std::shared_ptr<ui::View>& view) {
  PrivateShowTyep(NSPopNormalView::Success, message, view);
}

void GGPopView::showWarningWithTip(const std::string& message, const std::shared_ptr<ui::View>& view) {
  PrivateShowTyep(NSPopNormalView::Warning, message, view);
}

void GGPopView::showFailWithTip(const std::string& message, const std::shared_ptr<ui::View>& view) {
  PrivateShowTyep(NSPopNormalView::Fail, message, view);
}

void GGPopView::PrivateShowTyep(NSPopNormalView::TipType type, const std::string& message,
                                const std::shared_ptr<ui::View>& view) {
  if (!dispatch::isMainThread()) {
    // Views are made and touched on the main thread only.
    dispatch::mainQueue()->async([type, message, view] { PrivateShowTyep(type, message, view); });
    return;
  }
  auto tip = NSPopNormalView::initWithType(type, message);
  std::shared_ptr<ui::View> container = view;
  if (!container) {
    if (ui::Window* main = ui::Application::shared().mainWindow()) container = main->contentView();
  }
  if (container) {
    tip->setFrame(ui::Rect((gg_width(*container) - gg_width(*tip)) / 2, (gg_height(*container) - gg_height(*tip)) / 2,
                           gg_width(*tip), gg_height(*tip)));
    container->addSubview(tip);
  }
  dispatch::mainQueue()->after(kTipDuration, [tip] { JustHideView(tip); });
}

void GGPopView::JustHideView(const std::shared_ptr<ui::View>& view) {
  if (!view) return;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& ctx) {
        ctx.setDuration(kFadeSeconds);
        view->animator().setAlphaValue(0);
      },
      [view] { view->removeFromSuperview(); });
}

void GGPopView::installAsPopUpService() { PopUpService::setShared(std::make_shared<GGPopUpService>()); }

// ---- events

void GGPopView::updateTrackingAreas() {
  View::updateTrackingAreas();
  // One area over the current bounds: the old one goes first.
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveAlways);
}

void GGPopView::mouseDown(ui::Event&) {}
void GGPopView::mouseDragged(ui::Event&) {}
void GGPopView::mouseEntered(ui::Event&) {}
void GGPopView::rightMouseDown(ui::Event&) {}
void GGPopView::rightMouseUp(ui::Event&) {}
void GGPopView::rightMouseDragged(ui::Event&) {}

void GGPopView::mouseUp(ui::Event&) {
  if (!dontTouchDissmiss_) hideAnimated(true);
}
