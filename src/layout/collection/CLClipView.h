#pragma once
// CLClipView: a clip view that can glide to a destination. An animated
// scrollToPoint stores the destination and starts a frame timer; each frame
// moves the origin by the share (1 - decelerationRate) of the distance left
// (22 % at the default 0.78) and tells the scroll view, so a collection view
// lays out its cells on the way. The glide ends when a step moves less than
// 0.1 point on both axes: the origin is then set on the destination and the
// completion, if any, is called with true, once. A destination the document
// no longer reaches (it shrank during the glide) is brought back to the
// nearest offset it allows, and the glide ends there.
//
// An immediate scrollToPoint (the wheel, a scroller, code) stops a running
// glide; so does leaving the window. Neither calls the completion.
//
// Main thread only.

#include <functional>
#include <memory>

#include "platform/ui/ClipView.h"
#include "platform/ui/FrameTimer.h"

class CLClipView : public ui::ClipView {
public:
  static constexpr double kDefaultDecelerationRate = 0.78;
  static constexpr double kStopDistance = 0.1;

  CLClipView() : CLClipView(ui::Rect()) {}
  explicit CLClipView(ui::Rect frame);
  ~CLClipView() override;
  std::string className() const override { return "CLClipView"; }

  double decelerationRate() const { return decelerationRate_; }
  // Clamped to [0, 1].
  void setDecelerationRate(double rate);
  ui::Point destinationOrigin() const { return destination_; }
  bool shouldAnimateOriginChange() const { return shouldAnimate_; }

  // Shows `rect` (in bounds coordinates), gliding when `animated`. True when
  // a scroll was needed. The animation request never outlives the call: when
  // nothing has to move, the next scroll is not animated either.
  bool scrollRectToVisible(const ui::Rect& rect, bool animated);
  // The same; `completion` runs when the glide ends (true), or at once with
  // the result when nothing glides.
  bool scrollRectToVisible(const ui::Rect& rect, bool animated, std::function<void(bool)> completion);
  using ui::ClipView::scrollRectToVisible;

  void scrollToPoint(ui::Point p) override;
  void beginScrolling();
  void endScrolling();
  bool isScrolling() const;
  // One glide step (the frame timer's callback).
  void updateOrigin();
  ui::FrameTimer& frameTimer() { return timer_; }

  void viewWillMoveToWindow(ui::Window* newWindow) override;
  void viewDidMoveToSuperview() override;

private:
  void handleCompletionIfNeededWithSuccess(bool success);
  ui::ScrollView* containingScrollView();

  double decelerationRate_ = kDefaultDecelerationRate;
  ui::Point destination_;
  bool shouldAnimate_ = false;
  std::function<void(bool)> scrollCompletion_;
  ui::FrameTimer timer_;
  ui::ScrollView* containingScrollView_ = nullptr;
};
