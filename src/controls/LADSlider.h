// A slider drawn from pictures: the knob picture centred on the knob's
// place, and the bar as two pictures, the minimum-side one from the bar's
// start to the knob's centre and the maximum-side one from there to the end.
// Without a knob picture, or without both bar pictures, the platform's own
// knob or bar is drawn instead.
//
// The bar pictures handed to the slider are stretched along the bar from a
// one-point strip (the rest is cap); for a vertical slider they are turned a
// quarter first. The slider works on copies, so a named picture used
// elsewhere keeps its own caps.
//
// imageRotated turns a picture by any number of degrees (counter-clockwise):
// a multiple of 360 gives the picture itself, ±90 and ±270 swap its sides,
// ±180 keeps them, any other angle gives a square of the longer side + 20.
//
// Main thread only.
#pragma once

#include <memory>

#include "platform/ui/Image.h"
#include "platform/ui/Slider.h"

std::shared_ptr<ui::Image> imageRotated(const std::shared_ptr<ui::Image>& image, double degrees);

class LADSliderCell : public ui::SliderCell {
public:
  LADSliderCell() = default;
  // Null when the knob picture is null.
  static std::shared_ptr<LADSliderCell> initWithKnobImage(std::shared_ptr<ui::Image> knob);
  // Null unless all three pictures are given.
  static std::shared_ptr<LADSliderCell> initWithKnobImage(std::shared_ptr<ui::Image> knob,
                                                          std::shared_ptr<ui::Image> minimum,
                                                          std::shared_ptr<ui::Image> maximum);

  std::shared_ptr<ui::Image> knobImage;
  std::shared_ptr<ui::Image> minimumValueImage;
  std::shared_ptr<ui::Image> maximumValueImage;
  // Where the knob picture goes for the knob's current place.
  ui::Rect currentKnobRect() const { return currentKnobRect_; }

  bool startTrackingAt(ui::Point p, ui::View& view) override;
  void drawKnob(ui::GraphicsContext& ctx, const ui::Rect& knobRect) override;
  void drawBarInside(ui::GraphicsContext& ctx, const ui::Rect& rect, bool flipped) override;
  ui::Rect beforeKnobRect(const ui::Rect& bar) const;
  ui::Rect afterKnobRect(const ui::Rect& bar) const;

private:
  ui::Rect knobImageRect(const ui::Rect& knobRect) const;
  ui::Rect currentKnobRect_;
};

class LADSlider : public ui::Slider {
public:
  LADSlider();
  explicit LADSlider(ui::Rect frame);
  // Null when the cell cannot be made (see LADSliderCell).
  static std::shared_ptr<LADSlider> initWithKnobImage(std::shared_ptr<ui::Image> knob, ui::Rect frame = {});
  static std::shared_ptr<LADSlider> initWithKnobImage(std::shared_ptr<ui::Image> knob,
                                                      std::shared_ptr<ui::Image> minimum,
                                                      std::shared_ptr<ui::Image> maximum, ui::Rect frame = {});
  std::string className() const override { return "LADSlider"; }

  // Null while the cell is another kind (before awakeFromNib).
  LADSliderCell* ladCell() const;
  std::shared_ptr<ui::Image> knobImage() const;
  void setKnobImage(std::shared_ptr<ui::Image> image);
  std::shared_ptr<ui::Image> minimumValueImage() const;
  void setMinimumValueImage(std::shared_ptr<ui::Image> image);
  std::shared_ptr<ui::Image> maximumValueImage() const;
  void setMaximumValueImage(std::shared_ptr<ui::Image> image);

  void setNeedsDisplayInRect(const ui::Rect& rect) override;
  void awakeFromNib() override;

private:
  void adoptCell(std::shared_ptr<LADSliderCell> cell);
  std::shared_ptr<ui::Image> prepareBarImage(const std::shared_ptr<ui::Image>& image, bool minimumSide) const;
};
