#include "platform/ui/FrameTimer.h"

#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cmath>

#include "platform/ui/Window.h"

namespace ui {

FrameTimer::FrameTimer(std::function<void()> onFrame) : onFrame_(std::move(onFrame)), timer_(new QTimer()) {
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { fire(); });
  setRate(60);
}

FrameTimer::~FrameTimer() { timer_->stop(); }

void FrameTimer::start() {
  if (!timer_->isActive()) timer_->start();
}

void FrameTimer::stop() { timer_->stop(); }

bool FrameTimer::isRunning() const { return timer_->isActive(); }

void FrameTimer::fire() {
  if (onFrame_) onFrame_();
}

void FrameTimer::setRate(double hz) {
  if (!(hz >= 1)) hz = 60;
  interval_ = 1.0 / hz;
  timer_->setInterval(std::max(1, int(std::lround(interval_ * 1000))));
}

void FrameTimer::followWindow(Window* window) {
  screenWatch_.reset();
  if (!window || !window->widget()) {
    setRate(60);
    return;
  }
  setRate(window->screenRefreshRate());
  if (QWindow* handle = window->widget()->windowHandle()) {
    screenWatch_ = std::make_unique<QObject>();
    QObject::connect(handle, &QWindow::screenChanged, screenWatch_.get(), [this](QScreen* s) {
      setRate(s ? s->refreshRate() : 60);
    });
  }
}

}  // namespace ui
