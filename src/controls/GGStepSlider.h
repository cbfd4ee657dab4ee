// A slider with a few discrete steps, drawn as a row of short rounded bars
// (8 high, radius 4, 10 apart, 8 from both ends); the selected bar is painted
// in the accent colour, the others in defaultColor.
//
//  - A press or drag selects the bar under the pointer: each bar owns its
//    width plus half the gap on either side, and points beyond the row pick
//    the first or last bar. StepChangeBlock runs when the step changes;
//    StepDragEndBlock runs at every release.
//  - setNumberOfStep refuses counts below 2 and rebuilds the bars, all in
//    defaultColor until the next setSelectIndex.
//  - setSelectIndex takes 0 to n - 1 only.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

class GGStepSlider : public ui::View {
public:
  static constexpr double kBarHeight = 8;
  static constexpr double kGap = 10;
  static constexpr double kMargin = 8;
  using StepFn = std::function<void(GGStepSlider& slider, long index)>;

  GGStepSlider();
  explicit GGStepSlider(ui::Rect frame);
  std::string className() const override { return "GGStepSlider"; }

  long numberOfStep() const { return numberOfStep_; }
  void setNumberOfStep(long n);
  long selectIndex() const { return selectIndex_; }
  void setSelectIndex(long i);

  // RGB(100, 100, 100) until set; a new colour shows at the next
  // setSelectIndex or rebuild.
  ui::Color defaultColor() const;
  void setDefaultColor(std::optional<ui::Color> c) { defaultColor_ = std::move(c); }
  // Kept for the owner: RGB(194, 207, 80) until set.
  ui::Color selectColor() const;
  void setSelectColor(std::optional<ui::Color> c) { selectColor_ = std::move(c); }

  StepFn StepChangeBlock;
  StepFn StepDragEndBlock;

  const std::vector<std::shared_ptr<ui::View>>& viewArr() const { return viewArr_; }
  // The frame of bar i for a control of the given size.
  ui::Rect barFrame(long i, double width, double height) const;
  // The bar under x (in the control's coordinates), within 0..n - 1.
  long indexAtX(double x) const;

  void configViews();
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;
  void updateTrackingAreas() override;
  void mouseDown(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;

private:
  void selectAt(ui::Event& e);
  long numberOfStep_ = 0;
  long selectIndex_ = 0;
  std::optional<ui::Color> defaultColor_;
  std::optional<ui::Color> selectColor_;
  std::vector<std::shared_ptr<ui::View>> viewArr_;
  std::shared_ptr<ui::TrackingArea> area_;
};
