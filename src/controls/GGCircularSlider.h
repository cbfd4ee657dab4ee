// The rotary knob of the parameter cells: a background picture, a needle
// that turns with the value within ±135 degrees, and a ring of 19 dots lit
// from the minimum up to the needle.
//
//  - The value runs from 0 to maxValue − minValue over 270 degrees: the
//    needle at +135° (lower left) reads 0, upright half the span, at −135°
//    (lower right) the span. A value whose fraction is above 0.8 reads as the
//    next whole number.
//  - A press turns the needle towards the pointer at once; a drag turns it by
//    the angle swept round the centre since the press. Every change of angle
//    calls circularValueChange(value, false); every release calls it once
//    with true. configValue() sets the needle without calling back.
//  - A span of zero or less reads 0 with the needle at the start; values are
//    held within the travel, and a press on the centre turns nothing.
//
// y-up, like every control. Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"

class GGCircularSlider : public ui::Control {
public:
  static constexpr double kHalfTravel = 2.356194490192345;  // 3π/4
  static constexpr double kTravel = 4.71238898038469;       // 3π/2
  static constexpr double kTwoPi = 6.283185307179586;
  static constexpr double kPi = 3.141592653589793;
  static constexpr int kDots = 19;

  GGCircularSlider() = default;
  explicit GGCircularSlider(ui::Rect frame) : ui::Control(frame) {}
  std::string className() const override { return "GGCircularSlider"; }

  // Builds the pictures (background, needle); called by the layout's
  // builder, or by the owner of a knob made in code.
  void awakeFromNib() override;
  void setup();

  double minValue() const { return minValue_; }
  void setMinValue(double v) { minValue_ = v; }
  double maxValue() const { return maxValue_; }
  void setMaxValue(double v) { maxValue_ = v; }
  // From the needle's angle (see above); 0 for an empty span.
  double value() const;
  // Puts the needle at a value (held within the travel) without calling back.
  void configValue(double x);
  double currentAngle() const { return currentAngle_; }
  void setCurrentAngle(double a);
  double startAngle() const { return startAngle_; }
  ui::Point centerPoint();
  void setCenterPoint(ui::Point p) { centerPoint_ = p; }

  std::function<void(double value, bool isEnd)> circularValueChange;

  // The signed angle at p2 from p1 to p3, clockwise positive (0 when either
  // arm has no length).
  static double getAnglesWithThreePoint(ui::Point p1, ui::Point p2, ui::Point p3);
  static ui::Point calcCircleCoordinateWithCenter(ui::Point centre, double degrees, double radius);
  // How many dots of the ring show lit for a needle angle.
  static int litDots(double angle);
  void rotateJustAngle(double a);
  void absoluteRotateAngle(double a);

  const std::shared_ptr<ui::View>& needleImageView() const { return needleImageView_; }
  std::shared_ptr<ui::Image> pointSelectImage();
  std::shared_ptr<ui::Image> pointUnSelectImage();
  std::shared_ptr<ui::Image> needleImage();

  void mouseDown(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  // A press that ends without a release (the knob hidden or taken away)
  // still reports its end.
  void mouseCancelled(ui::Event& e) override;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  double span() const;
  void turnTo(double d);

  double minValue_ = 0;
  double maxValue_ = 100;
  double currentAngle_ = 0;
  double startAngle_ = 0;
  ui::Point centerPoint_;
  ui::Point startPoint_;
  ui::Point endPoint_;
  std::shared_ptr<ui::ImageView> backgroundView_;
  std::shared_ptr<ui::View> needleImageView_;
  std::shared_ptr<ui::Image> pointSelectImage_;
  std::shared_ptr<ui::Image> pointUnSelectImage_;
  std::shared_ptr<ui::Image> needleImage_;
};
