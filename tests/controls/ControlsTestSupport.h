// Shared by the controls' tests: a window to put controls in, the event loop
// run until a condition holds (with a bound), and the ui layer's pointer.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <memory>

#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace controls_test {

// Runs the event loop until `done` or the bound passes; returns done().
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

struct WindowFixture {
  WindowFixture(double w = 400, double h = 300) {
    window = ui::Window::create(ui::Rect(0, 0, w, h));
    window->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
  }
  ~WindowFixture() {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  std::shared_ptr<ui::Window> window;
};

}  // namespace controls_test
