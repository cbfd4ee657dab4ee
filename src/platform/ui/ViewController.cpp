#include "platform/ui/ViewController.h"

#include "platform/ui/LayoutRegistry.h"

namespace ui {

std::shared_ptr<View> ViewController::view() {
  if (!view_ && !loading_) {
    loading_ = true;
    // A registered layout sets the view through setView (its owner is us).
    if (!layoutName_.empty() && LayoutRegistry::shared().hasBuilder(layoutName_)) {
      LayoutRegistry::shared().loadTopLevelObjects(layoutName_, this);
    }
    if (!view_) loadView();
    loading_ = false;
    if (view_) viewDidLoad();
  }
  return view_;
}

void ViewController::loadView() { view_ = View::create(); }

WindowController::WindowController(std::shared_ptr<Window> window) : window_(std::move(window)) {
  if (window_) window_->controller_ = this;
}

WindowController::~WindowController() {
  if (window_ && window_->controller_ == this) window_->controller_ = nullptr;
}

std::shared_ptr<Window> WindowController::window() {
  if (!window_ && !loading_) {
    loading_ = true;
    if (!layoutName_.empty() && LayoutRegistry::shared().hasBuilder(layoutName_)) {
      LayoutRegistry::shared().loadTopLevelObjects(layoutName_, this);
    }
    if (!window_) loadWindow();
    loading_ = false;
    if (window_) windowDidLoad();
  }
  return window_;
}

void WindowController::setWindow(std::shared_ptr<Window> w) {
  if (window_ && window_->controller_ == this) window_->controller_ = nullptr;
  window_ = std::move(w);
  if (window_) window_->controller_ = this;
}

void WindowController::setContentViewController(std::shared_ptr<ViewController> vc) {
  content_ = std::move(vc);
  if (auto w = window(); w && content_) w->setContentView(content_->view());
}

void WindowController::loadWindow() { setWindow(Window::create(Rect(0, 0, 480, 360))); }

void WindowController::showWindow() {
  if (auto w = window()) w->makeKeyAndOrderFront();
}

void WindowController::close() {
  if (window_) window_->close();
}

}  // namespace ui
