// Driving windows of views in tests: a fixture owning a window, pointer and
// key input sent to a window's Qt window, as the windowing system would, at
// points in y-up window coordinates; and a view that records what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui::testing {

// The base of tests with a window of their own: the window is closed after
// the test and what it let go is deleted, so that none outlives its test.
struct WindowFixture : ::testing::Test {
  void TearDown() override {
    if (window) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  std::shared_ptr<Window> window;
};

class Pointer {
public:
  explicit Pointer(Window& w) : window_(w) {}

  void press(Point p, Qt::MouseButton b = Qt::LeftButton) {
    buttons_ |= b;
    send(QEvent::MouseButtonPress, p, b);
  }
  void release(Point p, Qt::MouseButton b = Qt::LeftButton) {
    buttons_ &= ~Qt::MouseButtons(b);
    send(QEvent::MouseButtonRelease, p, b);
  }
  void move(Point p) { send(QEvent::MouseMove, p, Qt::NoButton); }
  void click(Point p, Qt::MouseButton b = Qt::LeftButton) {
    press(p, b);
    release(p, b);
  }
  // The button went up where this window did not see it (a menu's loop).
  void releasedElsewhere(Qt::MouseButton b) { buttons_ &= ~Qt::MouseButtons(b); }
  // Lets time pass between presses (milliseconds).
  void wait(unsigned long ms) { time_ += ms; }
  void leave() {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(handle(), &e);
  }
  void wheel(Point p, QPoint angleDelta, QPoint pixelDelta = {}) {
    const QPointF local = toQt(p);
    QWheelEvent e(local, handle()->mapToGlobal(local), pixelDelta, angleDelta, buttons_, modifiers, Qt::NoScrollPhase,
                  false);
    e.setTimestamp(++time_);
    QCoreApplication::sendEvent(handle(), &e);
  }
  void key(int qtKey, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, qtKey, mods, text);
    QCoreApplication::sendEvent(handle(), &down);
    QKeyEvent up(QEvent::KeyRelease, qtKey, mods, text);
    QCoreApplication::sendEvent(handle(), &up);
  }

  Qt::KeyboardModifiers modifiers = Qt::NoModifier;

private:
  QWindow* handle() const { return window_.widget()->windowHandle(); }
  QPointF toQt(Point p) const { return QPointF(p.x, window_.widget()->height() - p.y); }
  void send(QEvent::Type type, Point p, Qt::MouseButton b) {
    const QPointF local = toQt(p);
    QMouseEvent e(type, local, local, handle()->mapToGlobal(local), b, buttons_, modifiers);
    time_ += 10;
    e.setTimestamp(time_);
    QCoreApplication::sendEvent(handle(), &e);
  }

  Window& window_;
  Qt::MouseButtons buttons_ = Qt::NoButton;
  unsigned long time_ = 100000;
};

// A view that records the events it gets as short words ("down:2" for a press
// with click count 2), in its own coordinates. Its hit test may be replaced.
class RecordingView : public View {
public:
  using View::View;
  std::string className() const override { return "RecordingView"; }
  bool isFlipped() const override { return flipped; }
  bool acceptsFirstResponder() const override { return acceptsFirst; }

  void mouseDown(Event& e) override { note("down:" + std::to_string(e.clickCount()), e); }
  void mouseDragged(Event& e) override { note("drag", e); }
  void mouseUp(Event& e) override {
    note("up:" + std::to_string(e.clickCount()), e);
    if (onMouseUp) onMouseUp();
  }
  void rightMouseDown(Event& e) override {
    note("rdown", e);
    if (passRightMouse) View::rightMouseDown(e);
  }
  void rightMouseUp(Event& e) override { note("rup", e); }
  void rightMouseDragged(Event& e) override { note("rdrag", e); }
  void otherMouseDown(Event& e) override { note("odown", e); }
  void otherMouseDragged(Event& e) override { note("odrag", e); }
  void otherMouseUp(Event& e) override { note("oup", e); }
  // Null from hitTestOverride: the default hit test.
  View* hitTest(Point p) override {
    if (hitTestOverride) return hitTestOverride(p);
    return View::hitTest(p);
  }
  void mouseEntered(Event& e) override { note("enter", e); }
  void mouseExited(Event& e) override { note("exit", e); }
  void mouseMoved(Event& e) override { note("moved", e); }
  void mouseCancelled(Event& e) override { note("cancel", e); }
  void scrollWheel(Event& e) override {
    note("wheel", e);
    lastDeltaY = e.deltaY();
    if (passWheel) View::scrollWheel(e);
  }
  void keyDown(Event& e) override {
    note("key:" + e.characters(), e);
    if (passKeys) View::keyDown(e);
  }
  void moveLeft() override { log.push_back("moveLeft"); }

  std::vector<std::string> log;
  std::vector<Point> where;
  std::vector<double> when;  // the events' timestamps, in seconds
  bool flipped = false;
  bool acceptsFirst = false;
  bool passKeys = false;
  bool passWheel = false;
  bool passRightMouse = false;
  double lastDeltaY = 0;
  std::function<void()> onMouseUp;
  std::function<View*(Point)> hitTestOverride;

private:
  void note(std::string what, Event& e) {
    log.push_back(std::move(what));
    where.push_back(e.locationInView(*this));
    when.push_back(e.timestamp());
  }
};

}  // namespace ui::testing
