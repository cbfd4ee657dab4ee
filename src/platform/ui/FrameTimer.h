#pragma once
// A per-frame callback on the main thread, at the refresh rate of the screen
// a window is on (60 Hz when unknown), following the window to another
// screen. Dies with its owner, so no frame comes after. Tests call fire().
//
// Main thread only.

#include <functional>
#include <memory>

class QObject;
class QTimer;

namespace ui {

class Window;

class FrameTimer {
public:
  explicit FrameTimer(std::function<void()> onFrame);
  ~FrameTimer();
  FrameTimer(const FrameTimer&) = delete;
  FrameTimer& operator=(const FrameTimer&) = delete;

  void start();
  void stop();
  bool isRunning() const;
  // One frame now.
  void fire();
  // Takes the frame interval from the window's screen, now and after it
  // moves to another screen; null goes back to 60 Hz.
  void followWindow(Window* window);
  double intervalSeconds() const { return interval_; }

private:
  void setRate(double hz);

  std::function<void()> onFrame_;
  std::unique_ptr<QTimer> timer_;
  std::unique_ptr<QObject> screenWatch_;
  double interval_ = 1.0 / 60;
};

}  // namespace ui
