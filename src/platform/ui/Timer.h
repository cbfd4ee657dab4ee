#pragma once
// Timers on the main thread: repeating or one-shot, running inside nested
// event loops (modal dialogs) as well. A scheduled timer lives until it is
// invalidated (or has fired once); one scheduled for an owner holds it
// weakly and stops for good once the owner is gone.
//
// performAfterDelay runs a function once after a delay, for an owner held
// weakly; cancelPreviousPerformRequests drops every request still pending
// for that owner.
//
// Main thread only.

#include <functional>
#include <memory>

class QTimer;

namespace ui {

class Timer : public std::enable_shared_from_this<Timer> {
public:
  using Fn = std::function<void(Timer&)>;

  static std::shared_ptr<Timer> scheduled(double seconds, bool repeats, Fn fn);
  static std::shared_ptr<Timer> scheduled(double seconds, bool repeats, std::weak_ptr<void> owner, Fn fn);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void invalidate();
  bool isValid() const { return valid_; }
  double timeInterval() const { return seconds_; }
  bool repeats() const { return repeats_; }
  // Runs the function now; a one-shot timer is then spent.
  void fire();
  // Timers scheduled and not yet spent.
  static size_t liveCount();

private:
  Timer(double seconds, bool repeats, bool hasOwner, std::weak_ptr<void> owner, Fn fn);
  void start();

  double seconds_;
  bool repeats_;
  bool hasOwner_;
  std::weak_ptr<void> owner_;
  Fn fn_;
  QTimer* qtimer_ = nullptr;
  bool valid_ = true;
};

void performAfterDelay(const std::shared_ptr<void>& owner, double seconds, std::function<void()> fn);
void cancelPreviousPerformRequests(const void* owner);

}  // namespace ui
