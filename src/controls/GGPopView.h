// The pop-up service: overlays and tips.
//
//  - An overlay (GGPopView) dims a container (black at 0.3), fills it, and
//    holds one custom view centred at the size it was given. It swallows the
//    mouse; a mouse-up closes it unless dontTouchDissmiss is set. Overlays
//    holding a confirm panel are listed by GGPopViewManager so that
//    AOEHideAllView can close them all at once.
//  - A tip (NSPopNormalView) is placed in the middle of a view (by default
//    the main window's content view), stays kTipDuration, then fades out over
//    kFadeSeconds and is removed. Tips pile up, each on its own timer.
//
// Main thread, except AOEHideAllView and the tips, which may be called on any
// thread and do their work on the main queue. An overlay closed from its own
// event is removed at once and freed when the event is over.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/NSPopNormalView.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

// Views that register their overlay with GGPopViewManager: the confirm panel
// and its subclasses derive from this.
class GGConfirmPanel {
public:
  virtual ~GGConfirmPanel() = default;
};

class GGPopView : public ui::View {
public:
  static constexpr std::chrono::milliseconds kTipDuration{2500};
  static constexpr std::chrono::milliseconds kOverlayTipDuration{2000};
  static constexpr double kFadeSeconds = 0.3;

  GGPopView();
  std::string className() const override { return "GGPopView"; }

  // ---- overlays
  // Null when either is null.
  static std::shared_ptr<GGPopView> ShowCoustomView(const std::shared_ptr<ui::View>& custom,
                                                    const std::shared_ptr<ui::View>& container);
  // The topmost open overlay among the view's direct subviews, or null.
  static std::shared_ptr<GGPopView> HUDForView(const ui::View* view);
  static void hideViewInView(const ui::View* view);
  // Closes every open confirm-panel overlay, on the main queue.
  static void AOEHideAllView();
  // Extra overlays (GGPopView+Extra.cpp). An undimmed overlay over the
  // container's whole window, with the custom view beside `reference`
  // (returns null); the wide loading panel in `view` or the first window,
  // not closed by clicks; the test drawing in the first window; a bare
  // overlay, not shown; the activity panel in `view`, not closed by clicks.
  static std::shared_ptr<GGPopView> ShowCoustomView(const std::shared_ptr<ui::View>& custom,
                                                    const std::shared_ptr<ui::View>& container,
                                                    const std::shared_ptr<ui::View>& reference);
  static std::shared_ptr<GGPopView> ShowLoadingView(const std::function<void()>& unused,
                                                    const std::shared_ptr<ui::View>& view);
  static std::shared_ptr<GGPopView> showTestView();
  static std::shared_ptr<GGPopView> configPopView();
  static std::shared_ptr<GGPopView> showActivityWithTip(const std::string& message,
                                                        const std::shared_ptr<ui::View>& view);

  bool isFinished() const { return finished_; }
  bool dontTouchDissmiss() const { return dontTouchDissmiss_; }
  void setDontTouchDissmiss(bool d) { dontTouchDissmiss_ = d; }
  std::shared_ptr<ui::View> coustomView() const { return coustomView_.lock(); }
  void setCoustomView(const std::shared_ptr<ui::View>& v) { coustomView_ = v; }
  // Closes at once (the argument is ignored).
  void hideAnimated(bool animated);
  void doneHide();
  // Replaces the content with a success tip that fades after
  // kOverlayTipDuration; the overlay stays.
  void OBJShowSuccessTip(const std::string& message);

  // ---- tips (null view: the main window's content view)
  static void showSuccessWithTip(const std::string& message);
  static void showSuccessWithTip(const std::string& message, const std::shared_ptr<ui::View>& view);
  static void showWarningWithTip(const std::string& message, const std::shared_ptr<ui::View>& view);
  static void showFailWithTip(const std::string& message, const std::shared_ptr<ui::View>& view);
  static void PrivateShowTyep(NSPopNormalView::TipType type, const std::string& message,
                              const std::shared_ptr<ui::View>& view);
  // Fades the view out over kFadeSeconds, then removes it.
  static void JustHideView(const std::shared_ptr<ui::View>& view);

  // Makes the device layer's tips and panel closing go through this service.
  static void installAsPopUpService();

  // ---- events: the overlay swallows the mouse
  void updateTrackingAreas() override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void mouseEntered(ui::Event& e) override;
  void rightMouseDown(ui::Event& e) override;
  void rightMouseUp(ui::Event& e) override;
  void rightMouseDragged(ui::Event& e) override;

private:
  bool finished_ = false;
  bool dontTouchDissmiss_ = false;
  std::weak_ptr<ui::View> coustomView_;
  std::shared_ptr<ui::TrackingArea> area_;
};

// The open overlays that hold a confirm panel, in the order shown.
class GGPopViewManager {
public:
  static GGPopViewManager& shareManager();
  std::vector<std::shared_ptr<GGPopView>>& allPopViews() { return allPopViews_; }
  void setAllPopViews(std::vector<std::shared_ptr<GGPopView>> v) { allPopViews_ = std::move(v); }
  bool hasPopInView(const ui::View* view) const;

private:
  GGPopViewManager() = default;
  std::vector<std::shared_ptr<GGPopView>> allPopViews_;
};
