// A spinner and the two small panels built around it.
//
//  - KKActivityIndicator: twelve spokes round the centre. While it runs, a
//    0.05 s tick lights one spoke after the other clockwise, and every spoke
//    fades by 0.85 a tick down to alpha 0.15, which leaves a fading tail.
//    stopAnimation lets the spokes fade out before the timer ends. Idle
//    spokes are drawn at 0.15. The timer runs only while the spinner is in a
//    window: it stops when the spinner leaves and starts again when it comes
//    back still animating.
//  - GGPopActivityView: a rounded panel (black at 0.8 unless a colour is
//    given) with a running spinner above a wrapped white tip:
//      W = tip width + 5, held in [100, 220]; width = W + 30
//      H = tip height at 220, + 8 (0 without a tip); height = 100 + H, or 90
//  - PopTestView: a fixed drawing (a green disc with a red outline, and an
//    open yellow outline).
//
// Main thread only.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Timer.h"
#include "platform/ui/View.h"

class KKActivityIndicator : public ui::View {
public:
  static constexpr int kFins = 12;
  static constexpr double kTickSeconds = 0.05;
  static constexpr double kFloorAlpha = 0.15;
  static constexpr double kFade = 0.85;

  KKActivityIndicator();
  explicit KKActivityIndicator(ui::Rect frame);
  ~KKActivityIndicator() override;
  std::string className() const override { return "KKActivityIndicator"; }

  void startAnimation();
  // Lets the spokes fade, then stops.
  void stopAnimation();
  bool isAnimating() const { return isAnimating_; }
  void setIsAnimating(bool a) { isAnimating_ = a; }
  bool isFadingOut() const { return isFadingOut_; }
  bool hasTimer() const { return timer_ != nullptr; }

  const ui::Color& color() const { return foreColor_; }
  void setColor(const ui::Color& c);
  const ui::Color& backgroundColor() const { return backColor_; }
  void setBackgroundColor(const ui::Color& c);

  int position() const { return position_; }
  const std::array<ui::Color, kFins>& finColors() const { return finColors_; }

  // One tick of the sweep.
  void updateFrame();
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void viewDidMoveToWindow() override;

private:
  void init();
  void actuallyStartAnimation();
  void actuallyStopAnimation();
  void startTimer();
  void stopTimer();
  int position_ = 0;
  std::array<ui::Color, kFins> finColors_;
  bool isAnimating_ = false;
  bool isFadingOut_ = false;
  std::shared_ptr<ui::Timer> timer_;
  ui::Color foreColor_ = ui::Color::blackColor();
  ui::Color backColor_ = ui::Color::clearColor();
};

class GGPopActivityView : public ui::View {
public:
  static constexpr double kMinTextWidth = 100;
  static constexpr double kMaxTextWidth = 220;
  static constexpr double kFontSize = 18;

  // A null background colour gives black at 0.8.
  static std::shared_ptr<GGPopActivityView> initWithTip(const std::string& tip, const ui::Color& activityColor,
                                                        std::optional<ui::Color> bgColor);
  std::string className() const override { return "GGPopActivityView"; }

  const std::shared_ptr<KKActivityIndicator>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::TextField>& titleLabel() const { return titleLabel_; }
  const std::string& tipStr() const { return tipStr_; }
  const ui::Color& activityColor() const { return activityColor_; }
  const std::optional<ui::Color>& bgColor() const { return bgColor_; }

  void prepareUI();

private:
  std::shared_ptr<KKActivityIndicator> activityView_;
  std::shared_ptr<ui::TextField> titleLabel_;
  std::string tipStr_;
  ui::Color activityColor_;
  std::optional<ui::Color> bgColor_;
};

class PopTestView : public ui::View {
public:
  using ui::View::View;
  std::string className() const override { return "PopTestView"; }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
};
