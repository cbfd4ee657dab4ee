#pragma once
// Animation on the main thread.
//
// AnimationClock: one ~60 Hz timer that runs only while something listens
// (spinners, progress stripes, fades). Tests switch it to manual time and
// advance it by hand.
//
// AnimationContext: groups changes made through a view's animator() over a
// duration, and calls the group's completion once all of them have ended
// (an animation replaced by a newer one of the same view ends then). A group
// with nothing to animate completes on a later turn of the event loop.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace ui {

class View;

class AnimationClock {
public:
  static AnimationClock& shared();
  static constexpr double kFrameInterval = 1.0 / 60;

  using Tick = std::function<void(double now)>;
  uint64_t subscribe(Tick tick);
  void unsubscribe(uint64_t token);
  size_t subscriberCount() const { return ticks_.size(); }
  // True while the real timer runs (never in manual mode).
  bool isRunning() const;
  // Seconds on the clock's own time line.
  double now() const;

  // Manual time for tests: the timer stops, and advance() moves time on and
  // ticks every listener (in steps of at most one frame).
  void setManual(bool manual);
  bool isManual() const { return manual_; }
  void advance(double seconds);

private:
  AnimationClock();
  void tickAll();
  void updateTimer();

  std::map<uint64_t, std::shared_ptr<Tick>> ticks_;
  uint64_t next_ = 1;
  bool manual_ = false;
  double manualNow_ = 0;
  QTimer* timer_ = nullptr;
};

class AnimationContext {
public:
  static constexpr double kDefaultDuration = 0.25;

  // Runs `changes` with a new current context; `completion` is called when
  // every animation started inside has ended.
  static void runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                std::function<void()> completion = {});
  // The innermost group being set up, or null.
  static AnimationContext* current();

  double duration() const { return duration_; }
  void setDuration(double seconds) { duration_ = seconds < 0 ? 0 : seconds; }

  struct Group;

private:
  AnimationContext() = default;
  double duration_ = kDefaultDuration;
  std::shared_ptr<Group> group_;
  AnimationContext* previous_ = nullptr;
  friend void animateAlpha(View& view, double to);
};

// Starts a fade of the view's alpha; stops a fade still running for it.
void animateAlpha(View& view, double to);
// Fades still running.
size_t runningFadeCount();

}  // namespace ui
