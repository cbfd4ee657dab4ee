// The pop-up service's extra overlays: one placed beside a reference view,
// the wide loading panel, the activity panel, the test drawing, and a bare
// overlay.
#include <functional>

#include "controls/GGFrame.h"
#include "controls/GGPopView.h"
#include "controls/KKActivityIndicator.h"
#include "controls/ZrLoadingView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace {

std::shared_ptr<ui::View> firstWindowContent() {
  const auto windows = ui::Application::shared().windows();
  return windows.empty() ? nullptr : windows.front()->contentView();
}

}  // namespace

std::shared_ptr<GGPopView> GGPopView::ShowCoustomView(const std::shared_ptr<ui::View>& custom,
                                                      const std::shared_ptr<ui::View>& container,
                                                      const std::shared_ptr<ui::View>& reference) {
  if (!custom || !container) return nullptr;
  ui::View* root = container.get();
  while (root->superview()) root = root->superview();
  auto overlay = ui::View::create<GGPopView>();
  overlay->layer().setBackgroundColor(std::nullopt);
  root->addSubview(overlay);
  overlay->setFrame(root->bounds());
  overlay->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  overlay->addSubview(custom);

  ui::Rect r;
  if (reference) r = root->convertRectFromView(reference->frame(), reference->superview());
  const double w = gg_width(*custom), h = gg_height(*custom);
  // Below the reference when there is room, else above it; flush with its
  // right edge on the right half of the window, else with its left edge.
  const double y = (r.minY() - r.height()) - h > 10 ? r.minY() - h : r.maxY();
  const double x = r.minX() > gg_width(*root) / 2 ? r.maxX() - w : r.minX();
  custom->setFrame(ui::Rect(x, y, w, h));
  return nullptr;
}

std::shared_ptr<GGPopView> GGPopView::ShowLoadingView(const std::function<void()>&,
                                                      const std::shared_ptr<ui::View>& view) {
  auto loading = ZrLoadingView::initWithType(0, ui::Rect(0, 0, 528, 100));
  auto overlay = ShowCoustomView(loading, view ? view : firstWindowContent());
  if (!overlay) return nullptr;
  overlay->setDontTouchDissmiss(true);
  overlay->layer().setBackgroundColor(ui::Color::blackColor().withAlphaComponent(0.3));
  return overlay;
}

std::shared_ptr<GGPopView> GGPopView::showTestView() {
  return ShowCoustomView(ui::View::create<PopTestView>(ui::Rect(0, 0, 450, 100)), firstWindowContent());
}

std::shared_ptr<GGPopView> GGPopView::configPopView() { return ui::View::create<GGPopView>(); }

std::shared_ptr<GGPopView> GGPopView::showActivityWithTip(const std::string& message,
                                                          const std::shared_ptr<ui::View>& view) {
  auto panel = GGPopActivityView::initWithTip(message, ui::Color::whiteColor(), ui::Color::rgb255(75, 75, 75));
  auto overlay = ShowCoustomView(panel, view);
  if (!overlay) return nullptr;
  overlay->layer().setBackgroundColor(ui::Color::blackColor().withAlphaComponent(0.3));
  overlay->setDontTouchDissmiss(true);
  return overlay;
}
