#include "screens/shell/AppDelegate.h"

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/Workspace.h"
#include "screens/shell/MainLayout.h"
#include "screens/shell/RootWindowConroller.h"
#include "screens/shell/ViewController.h"

AppDelegate::AppDelegate(ShellParts parts) : parts_(std::move(parts)) {}

AppDelegate::~AppDelegate() {
  if (baseWindow_) baseWindow_->willClose = nullptr;
}

void AppDelegate::launch() {
  main_layout::registerMainLayout();
  windowController_ = fnd::make<RootWindowConroller>(RootWindowConroller::kMainLayout, parts_);
  windowController_->window();
  applicationWillFinishLaunching();
}

void AppDelegate::applicationWillFinishLaunching() {
  auto window = windowController_ ? windowController_->window() : nullptr;
  if (!window) return;
  std::weak_ptr<AppDelegate> weak = std::static_pointer_cast<AppDelegate>(shared_from_this());
  // The close button ends the editor.
  window->willClose = [weak](ui::Window&) {
    if (auto self = weak.lock()) self->exitApp();
  };
  ui::Application::shared().setMainWindow(window.get());
  window->orderOut();
  setBaseWindow(window);
  window->setContentSize({kContentWidth, kContentHeight});
  window->setContentMinSize({kContentWidth, kContentHeight});
}

void AppDelegate::exitApp() { ui::terminateProcess(0); }

std::shared_ptr<ViewController> AppDelegate::viewController() const {
  return windowController_ ? std::dynamic_pointer_cast<ViewController>(windowController_->contentViewController())
                           : nullptr;
}
