// The application delegate: loads the main window through its controller
// (which runs the start-up), then readies the window before the main loop
// turns: hidden until the unit is known to be in application mode, sized
// 1100 x 650 and no smaller, its close button ending the process.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/foundation/Object.h"
#include "screens/shell/ShellParts.h"

namespace ui {
class Window;
}
class RootWindowConroller;
class ViewController;

class AppDelegate : public fnd::Object {
public:
  static constexpr double kContentWidth = 1100;
  static constexpr double kContentHeight = 650;

  explicit AppDelegate(ShellParts parts = {});
  ~AppDelegate() override;
  std::string className() const override { return "AppDelegate"; }

  // Loads the main layout (its content controller's start-up runs as it
  // loads), then applicationWillFinishLaunching. Call once, before the main
  // loop runs.
  void launch();
  void applicationWillFinishLaunching();
  // Ends the process at once with status 0: no prompt, nothing saved.
  void exitApp();

  std::shared_ptr<ui::Window> baseWindow() const { return baseWindow_; }
  void setBaseWindow(std::shared_ptr<ui::Window> w) { baseWindow_ = std::move(w); }
  std::shared_ptr<RootWindowConroller> windowController() const { return windowController_; }
  std::shared_ptr<ViewController> viewController() const;

private:
  ShellParts parts_;
  std::shared_ptr<RootWindowConroller> windowController_;
  std::shared_ptr<ui::Window> baseWindow_;
};
