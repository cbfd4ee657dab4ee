// Helpers of the layout language tests: flipped views (frames read top-down),
// views with an intrinsic size and a class name of their own, log capture.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "support/LogCapture.h"

namespace ui {
// Frames in test messages.
inline void PrintTo(const Rect& r, std::ostream* os) { *os << describe(r); }
}  // namespace ui

namespace lctest {

class FlippedView : public ui::View {
public:
  using View::View;
  bool isFlipped() const override { return true; }
};

class Label : public ui::View {
public:
  std::string className() const override { return "Label"; }
  ui::Size intrinsic{80, 20};
  ui::Size intrinsicContentSize() const override { return intrinsic; }
};

class Button : public ui::View {
public:
  std::string className() const override { return "Button"; }
};

inline std::shared_ptr<ui::View> addChild(const std::shared_ptr<ui::View>& parent, ui::Rect frame = {}) {
  auto v = ui::View::create(frame);
  parent->addSubview(v);
  return v;
}

// A window whose content is flipped, so frames read from the top left.
inline std::shared_ptr<ui::Window> flippedWindow(double w, double h) {
  auto window = ui::Window::create(ui::Rect(0, 0, w, h));
  window->setContentView(ui::View::create<FlippedView>(ui::Rect(0, 0, w, h)));
  return window;
}

// A window of 400 x 300 with a flipped content view, laid out on
// request: where most statements are tried.
struct FlippedScene {
  std::shared_ptr<ui::Window> window = flippedWindow(400, 300);
  std::shared_ptr<ui::View> content = window->contentView();
  void layout() { window->layoutIfNeeded(); }
};

}  // namespace lctest
