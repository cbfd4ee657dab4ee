// The controller of the main window, and the base of the editor's other
// top-level window controllers so that they share its styling: no title
// text; the native frame and its buttons stay (a Linux desktop decides how
// the title bar looks).
//
// Main thread only.
#pragma once

#include <string>

#include "platform/ui/ViewController.h"
#include "screens/shell/ShellParts.h"

class RootWindowConroller : public ui::WindowController {
public:
  // The main window's layout.
  static constexpr const char* kMainLayout = "main";

  explicit RootWindowConroller(std::string layoutName, ShellParts parts = {});
  std::string className() const override { return "RootWindowConroller"; }

  void windowDidLoad() override;
  // What the layout's content controller is made with.
  const ShellParts& parts() const { return parts_; }

  // The styling every window of the editor gets.
  static void styleWindow(ui::Window& window);

private:
  ShellParts parts_;
};
