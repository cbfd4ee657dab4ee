// A wide loading panel (528 × 100 as the pop-up service shows it): a
// stretched "loaddingbg" background, the "loadingprogress" track, a
// light-blue fill over the track that follows the progress, the status text
// above it ("Loading...", the caller's title, or "Success!" from 0.99 on)
// and the percentage below it. Type 1 puts an unwired "Cancel" button below
// the track instead, with the percentage above and no status text.
//
// The progress is used as it comes: above 1 the percentage passes 100 and
// the fill is clipped to its pill. setProgress may be called on any thread:
// it stores the value and updates the views on the main queue with the value
// stored by then.
//
// Main thread only, except setProgress.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"

// The fill: a rectangle over the progress's share of the width.
class ZrLoadingMaskView : public ui::View {
public:
  using ui::View::View;
  std::string className() const override { return "ZrLoadingMaskView"; }
  double progress() const { return progress_; }
  void setProgress(double p);
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  double progress_ = 0;
};

class ZrLoadingView : public ui::View {
public:
  static constexpr double kBandHeight = 26;

  static std::shared_ptr<ZrLoadingView> initWithType(unsigned type, ui::Rect frame = ui::Rect(0, 0, 528, 100));
  explicit ZrLoadingView(ui::Rect frame = ui::Rect()) : ui::View(frame) {}
  std::string className() const override { return "ZrLoadingView"; }

  unsigned type() const { return type_; }
  // Only stores; the panel keeps the variant it was built with.
  void setType(unsigned t) { type_ = t; }
  double progress() const { return progress_.load(); }
  void setProgress(double p);
  // The status text for a progress and title (empty: the default text).
  static std::string statusText(double p, const std::string& title);
  static std::string percentText(double p);

  const std::string& loadingTitle() const { return loadingTitle_; }
  void setLoadingTitle(const std::string& t) { loadingTitle_ = t; }
  const std::shared_ptr<TitleLabel>& statusLabel() const { return statusLabel_; }
  const std::shared_ptr<TitleLabel>& progressLabel() const { return progressLabel_; }
  const std::shared_ptr<SWSTAnswerButton>& cancelButton() const { return cancelButton_; }
  const std::shared_ptr<ZrLoadingMaskView>& maskView() const { return maskView_; }
  const std::shared_ptr<ui::Image>& proImage();

  void prepareUI();
  // Where the track picture goes: x 15, 498 × 26, centred in height.
  ui::Rect trackRect() const;
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

private:
  void place();
  unsigned type_ = 0;
  std::atomic<double> progress_{0};
  std::string loadingTitle_;
  std::shared_ptr<TitleLabel> statusLabel_;
  std::shared_ptr<TitleLabel> progressLabel_;
  std::shared_ptr<SWSTAnswerButton> cancelButton_;
  std::shared_ptr<ZrLoadingMaskView> maskView_;
  std::shared_ptr<ui::View> background_;
  std::shared_ptr<ui::Image> proImage_;
};
