// The content of the loading pop-up: a ring of eight pulsing dots beside a
// white "LOADING..." that shows the percentage once progress arrives.
//
//  - TTActivityView paints the ring on the animation clock while it is in a
//    window: dot k sits 45·k degrees round from the bottom and pulses from
//    full size to 40 % once a second, 0.125 s after the dot before it, so the
//    ring builds up during the first second.
//  - setProgress() may be called on any thread: it stores the value and
//    updates the label on the main queue with the latest value.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

class TTActivityView : public ui::View {
public:
  static constexpr int kDots = 8;
  static constexpr double kDotSide = 12;
  static constexpr double kPeriod = 1.0;
  static constexpr double kDelayStep = 0.125;
  static constexpr double kSmallest = 0.4;

  explicit TTActivityView(ui::Rect frame);
  ~TTActivityView() override;
  std::string className() const override { return "TTActivityView"; }

  // The scale of dot k at `t` seconds since the ring started.
  static double dotScale(int k, double t);
  // Seconds since the ring started.
  double elapsed() const { return elapsed_; }
  void viewDidMoveToWindow() override;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  void stop();
  uint64_t tick_ = 0;
  double start_ = -1;
  double elapsed_ = 0;
};

class StartLoadingView : public ui::View {
public:
  StartLoadingView();
  std::string className() const override { return "StartLoadingView"; }

  double progress() const { return progress_.load(); }
  void setProgress(double p);
  // The text for a progress value: "LOADING...(50%)".
  static std::string progressText(double p);

  const std::shared_ptr<TTActivityView>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::TextField>& titleLabel() const { return titleLabel_; }
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

private:
  void prepareUI();
  void place();
  std::atomic<double> progress_{0};
  std::shared_ptr<TTActivityView> activityView_;
  std::shared_ptr<ui::TextField> titleLabel_;
};
