// The bar slider of the vertical slider view: a groove picture, a rounded
// accent bar whose length follows the value, and a knob picture (a hover
// variant while the pointer is over it). It reports through two blocks
// instead of its action: SlideChangeBlock while the knob is dragged, only
// when the whole part of the value changes since the last report, and
// SlideEndDragBlock at every release. setFloatValue() may be called from
// any thread and always applies the value later, on the main queue.
//
// Main thread only, except setFloatValue.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TrackingArea.h"

class GGSlierCell : public ui::SliderCell {
public:
  GGSlierCell(std::shared_ptr<ui::Image> knob, std::shared_ptr<ui::Image> hover, ui::Color minColor,
              ui::Color maxColor, double barHeight);

  std::shared_ptr<ui::Image> knobImage;
  std::shared_ptr<ui::Image> knobHlightImage;
  std::optional<ui::Color> minColor;
  std::optional<ui::Color> maxColor;
  double barHeight = 8;
  ui::Rect currentKnobRect;
  // "sliderGroove", its lower half kept when stretched; made once.
  std::shared_ptr<ui::Image> sliderGroveImage();
  // The filled bar for the current value in the control's (flipped) bounds.
  ui::Rect filledBarRect(const ui::Rect& bar) const;

  void drawKnob(ui::GraphicsContext& ctx, const ui::Rect& knobRect) override;
  void drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& rect, bool flipped) override;

private:
  std::shared_ptr<ui::Image> groove_;
};

class GGSlider : public ui::Slider {
public:
  using ReportBlock = std::function<void(GGSlider&, const std::string& value)>;

  // Set up as a layout makes it: the project's knob pictures, bar 8 thick.
  explicit GGSlider(ui::FromLayout);
  GGSlider(std::shared_ptr<ui::Image> knob, std::shared_ptr<ui::Image> hover, ui::Color minColor, ui::Color maxColor,
           double barHeight);
  std::string className() const override { return "GGSlider"; }
  GGSlierCell& sliderCell() const;

  std::string lastSendValue;
  ReportBlock SlideChangeBlock;
  ReportBlock SlideEndDragBlock;
  void setKnobImage(std::shared_ptr<ui::Image> i);
  void setKnobHlightImage(std::shared_ptr<ui::Image> i);
  void setBarHeight(double h);

  // Reports by the current event: a release ends, a drag changes.
  bool sendAction() override;
  void setFloatValue(float v) override;
  void setNeedsDisplayInRect(const ui::Rect& rect) override;
  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;

private:
  std::shared_ptr<ui::TrackingArea> area_;
};
