// A horizontal slider drawn in code: a rounded green track, a rounded brown
// fill up to the value and a diamond knob that turns white while the pointer
// is over the slider (grey otherwise).
//
//  - The fill is (value - min) / (max - min) of 95 % of the slider's width,
//    never wider than the bar; an empty range (max = min) has no fill.
//  - One tracking area over the current bounds, made again at every update
//    (the old one goes first).
//  - Any redraw redraws the whole slider.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/Slider.h"
#include "platform/ui/TrackingArea.h"

class GGDrawSliderCell : public ui::SliderCell {
public:
  // The width of the brown fill for a bar and a slider `frameWidth` wide.
  double fillWidth(const ui::Rect& bar, double frameWidth) const;
  void drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& rect, bool flipped) override;
  void drawKnob(ui::GraphicsContext& ctx, const ui::Rect& knobRect) override;
};

class GGDrawSlider : public ui::Slider {
public:
  GGDrawSlider();
  explicit GGDrawSlider(ui::Rect frame);
  std::string className() const override { return "GGDrawSlider"; }

  void configSliderCell();
  void setNeedsDisplayInRect(const ui::Rect& rect) override;
  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;

private:
  std::shared_ptr<ui::TrackingArea> area_;
};
