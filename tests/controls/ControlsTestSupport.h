// Shared by the controls' tests: a window to put controls in, the event loop
// run until a condition holds (with a bound), the ui layer's pointer, and the
// galleries' pictures and captions.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QColor>
#include <QImage>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/ui/TextField.h"
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

// Grabs the widget and saves it as `name` in the build folder, for a person
// to look at.
inline QImage snapshot(QWidget* widget, const char* name) {
  const QImage image = widget->grab().toImage();
  const auto path = std::filesystem::path(QV450_RESOURCES_DIR).parent_path() / name;
  EXPECT_TRUE(image.save(QString::fromStdString(path.string())));
  return image;
}

inline QImage snapshot(ui::Window& window, const char* name) {
  window.layoutIfNeeded();
  return snapshot(window.widget(), name);
}

// A view of type T made from `args` and added to `in`.
template <class T, class... A>
std::shared_ptr<T> put(ui::View& in, A&&... args) {
  auto v = ui::View::create<T>(std::forward<A>(args)...);
  in.addSubview(v);
  return v;
}

// A small light label under a row of a gallery.
inline std::shared_ptr<ui::TextField> caption(ui::View& in, double x, double y, const std::string& text) {
  auto l = ui::TextField::labelWithString(text);
  l->setTextColor(ui::Color::calibratedWhite(0.8));
  l->setFont(ui::Font::systemFontOfSize(10));
  l->setFrameOrigin({x, y});
  in.addSubview(l);
  return l;
}

// The colour the picture shows at a point of `view`, in the view's own
// coordinates.
inline QColor colourAt(const QImage& image, const ui::View& view, ui::Point p) {
  const ui::Point w = view.convertPointToView(p, nullptr);
  return image.pixelColor(static_cast<int>(w.x), image.height() - 1 - static_cast<int>(w.y));
}

// Hands `visit` the colour the picture shows at the middle of each point
// within `r` of `view`.
template <class Visit>
void eachColourIn(const QImage& image, const ui::View& view, ui::Rect r, Visit&& visit) {
  for (double y = r.minY() + 0.5; y < r.maxY(); y += 1)
    for (double x = r.minX() + 0.5; x < r.maxX(); x += 1) visit(colourAt(image, view, {x, y}));
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 3) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace controls_test
