#include "screens/shell/RootWindowConroller.h"

RootWindowConroller::RootWindowConroller(std::string layoutName, ShellParts parts)
    : ui::WindowController(std::move(layoutName)), parts_(std::move(parts)) {}

void RootWindowConroller::windowDidLoad() {
  ui::WindowController::windowDidLoad();
  if (auto w = window()) styleWindow(*w);
}

void RootWindowConroller::styleWindow(ui::Window& window) { window.setTitle(""); }
