// Real pointer input for a window of views, through the X server the test
// runs under (support/XPointer.h): points in the window's y-up coordinates,
// and waits until the window has taken what was sent. Only for tests that run
// under xvfb-run with QT_QPA_PLATFORM=xcb.
#pragma once

#include <QCoreApplication>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <string>

#include "platform/dispatch/MainQueueDriver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "support/XPointer.h"

namespace ui::testing {

class RealPointer {
public:
  using Button = xtest::XPointer::Button;
  static constexpr auto kBound = std::chrono::seconds(20);

  // Counts what the window's event filter takes from the X server.
  explicit RealPointer(Window& w) : window_(w) {
    token_ = Application::shared().addLocalMonitorForEvents(kEventMaskAny, [this](Event& e) -> Event* {
      if (e.isMouseDown()) ++downs_[slot(e.buttonNumber())];
      if (e.isMouseUp()) ++ups_[slot(e.buttonNumber())];
      if (e.type() == EventType::ScrollWheel) ++wheels_;
      if (e.type() == EventType::MouseMoved || e.isDragged()) last_ = e.locationInWindow();
      return &e;
    });
  }
  ~RealPointer() { Application::shared().removeMonitor(token_); }
  RealPointer(const RealPointer&) = delete;
  RealPointer& operator=(const RealPointer&) = delete;

  // Empty when the pointer can be driven, else what is missing.
  std::string problem() const {
    if (!x_.problem().empty()) return x_.problem();
    if (!window_.widget()->windowHandle()) return "the window has no window of the windowing system";
    return {};
  }

  // The window shown on the screen, so that the pointer can reach it.
  bool waitUntilShown() {
    return dispatch::runMainLoopUntil(
        [&] { return window_.isVisible() && window_.widget()->windowHandle()->isExposed(); }, kBound);
  }

  // Moves to the point, by way of one beside it (Qt drops a move to where
  // the pointer was last, and merges moves that come together), and waits
  // until the window saw the pointer there.
  bool moveTo(Point p) {
    const QPoint to = global(p);
    QPoint via = to + QPoint(-3, -2);
    if (via == lastSent()) via = to + QPoint(3, 2);
    return glide(via) && glide(to);
  }

  // One press or release where the pointer is; waits until the window took it.
  bool press(Button b) {
    const int before = downs_[slot(b)];
    x_.press(b);
    x_.flush();
    return dispatch::runMainLoopUntil([&] { return downs_[slot(b)] > before; }, kBound);
  }
  bool release(Button b) {
    const int before = ups_[slot(b)];
    x_.release(b);
    x_.flush();
    return dispatch::runMainLoopUntil([&] { return ups_[slot(b)] > before; }, kBound);
  }

  // `n` left clicks where the pointer is, `gapMs` apart by the server's
  // clock (press and release at once), all sent before the window sees the
  // first; waits until the window took every release.
  bool quickClicks(int n, unsigned gapMs) {
    const int before = ups_[0];
    for (int i = 0; i < n; ++i) {
      x_.press(xtest::XPointer::Left, i == 0 ? 0 : gapMs);
      x_.release(xtest::XPointer::Left);
    }
    x_.flush();
    return dispatch::runMainLoopUntil([&] { return ups_[0] >= before + n; }, kBound);
  }

  // `notches` turns of the wheel (WheelUp, WheelDown, ...) where the pointer
  // is; waits until the window took them.
  bool turnWheel(Button b, int notches) {
    const int before = wheels_;
    for (int i = 0; i < notches; ++i) {
      x_.press(b);
      x_.release(b);
    }
    x_.flush();
    return dispatch::runMainLoopUntil([&] { return wheels_ >= before + notches; }, kBound);
  }

  // Clicks with each button at each place on the screen in turn, `gapMs`
  // apart by the server's clock, all sent at once; waits for nothing (the
  // clicks may land in windows of other kinds, a menu's say).
  struct Click {
    QPoint global;
    Button button;
  };
  void clickAtOnce(const std::vector<Click>& clicks, unsigned gapMs) {
    for (const Click& c : clicks) {
      x_.moveTo(c.global.x(), c.global.y(), gapMs);
      x_.press(c.button);
      x_.release(c.button);
      lastSent() = c.global;
    }
    x_.flush();
  }

  // The place on the screen of a point in the window.
  QPoint global(Point p) const {
    QWidget* w = window_.widget();
    return w->mapToGlobal(QPoint(int(std::lround(p.x)), int(std::lround(w->height() - p.y))));
  }

  int downs(Button b) const { return downs_[slot(b)]; }
  int ups(Button b) const { return ups_[slot(b)]; }

private:
  // Where this process last moved the X pointer to.
  static QPoint& lastSent() {
    static QPoint at(-1, -1);
    return at;
  }
  bool glide(QPoint to) {
    x_.moveTo(to.x(), to.y());
    x_.flush();
    lastSent() = to;
    const Point expected = local(to);
    return dispatch::runMainLoopUntil(
        [&] { return std::abs(last_.x - expected.x) < 0.5 && std::abs(last_.y - expected.y) < 0.5; }, kBound);
  }
  static int slot(int buttonNumber) { return buttonNumber == 0 ? 0 : buttonNumber == 1 ? 1 : 2; }
  static int slot(Button b) { return b == xtest::XPointer::Left ? 0 : b == xtest::XPointer::Right ? 1 : 2; }
  Point local(QPoint g) const {
    QWidget* w = window_.widget();
    const QPoint q = w->mapFromGlobal(g);
    return {double(q.x()), double(w->height() - q.y())};
  }

  Window& window_;
  xtest::XPointer x_;
  uint64_t token_ = 0;
  int downs_[3] = {0, 0, 0};
  int ups_[3] = {0, 0, 0};
  int wheels_ = 0;
  Point last_{-1e9, -1e9};
};

}  // namespace ui::testing
