#include "controls/GGCircularSlider.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

namespace {

// The needle: drawn over the knob's whole bounds, turned about its pivot, so
// the turned picture is never clipped. Presses on it (and on the background
// picture) climb the responder chain to the knob; a press cut short is
// handed up the same way.
class NeedleView : public ui::View {
public:
  NeedleView(ui::Rect frame, GGCircularSlider& knob) : ui::View(frame), knob_(knob) {}
  std::string className() const override { return "GGCircularSliderNeedle"; }
  void mouseCancelled(ui::Event& e) override {
    if (auto* knob = superview()) knob->mouseCancelled(e);
  }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect&) override {
    auto image = knob_.needleImage();
    if (!image) return;
    ctx.saveGState();
    ctx.translate(45, 30);
    ctx.rotate(knob_.currentAngle() * 180 / GGCircularSlider::kPi);
    ctx.drawImage(*image, ui::Rect(-20, -20, 40, 40));
    ctx.restoreGState();
  }

private:
  GGCircularSlider& knob_;
};

class KnobPictureView : public ui::ImageView {
public:
  using ui::ImageView::ImageView;
  void mouseCancelled(ui::Event& e) override {
    if (auto* knob = superview()) knob->mouseCancelled(e);
  }
};

}  // namespace

void GGCircularSlider::setup() {
  maxValue_ = 100;
  minValue_ = 0;
}

void GGCircularSlider::awakeFromNib() {
  ui::Control::awakeFromNib();
  setup();
  setWantsLayer(true);
  setHidden(false);
  if (backgroundView_) return;
  backgroundView_ = ui::View::create<KnobPictureView>(ui::Rect(15, 0, 60, 60));
  backgroundView_->setImage(ui::Image::imageNamed("background"));
  backgroundView_->setImageScaling(ui::ImageScaling::AxesIndependently);
  addSubview(backgroundView_);
  needleImageView_ = ui::View::create<NeedleView>(bounds(), *this);
  needleImageView_->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  addSubview(needleImageView_);
}

std::shared_ptr<ui::Image> GGCircularSlider::pointSelectImage() {
  if (!pointSelectImage_) pointSelectImage_ = ui::Image::imageNamed("blue_point");
  return pointSelectImage_;
}

std::shared_ptr<ui::Image> GGCircularSlider::pointUnSelectImage() {
  if (!pointUnSelectImage_) pointUnSelectImage_ = ui::Image::imageNamed("sliderHandle");
  return pointUnSelectImage_;
}

std::shared_ptr<ui::Image> GGCircularSlider::needleImage() {
  if (!needleImage_) needleImage_ = ui::Image::imageNamed("fx_needle");
  return needleImage_;
}

ui::Point GGCircularSlider::centerPoint() {
  if (centerPoint_.x == 0) centerPoint_ = {45, 30};
  return centerPoint_;
}

double GGCircularSlider::span() const {
  const double s = maxValue_ - minValue_;
  return std::isfinite(s) && s > 0 ? s : 0;
}

double GGCircularSlider::value() const {
  const double s = span();
  if (s <= 0) return 0;
  const double k = kTravel / s;
  const double raw = currentAngle_ == 0 ? s * 0.5 : (kHalfTravel - currentAngle_) / k;
  const double whole = std::trunc(raw);
  const double v = raw - whole > 0.8 ? whole + 1 : raw;
  return std::clamp(v, 0.0, s);
}

void GGCircularSlider::configValue(double x) {
  if (std::isnan(x)) return;
  const double s = span();
  if (s <= 0) {
    currentAngle_ = kHalfTravel;
  } else {
    x = std::clamp(x, 0.0, s);
    currentAngle_ = x == s * 0.5 ? 0 : kHalfTravel - x * kTravel / s;
  }
  if (needleImageView_) needleImageView_->setNeedsDisplay(true);
  setNeedsDisplay(true);
}

void GGCircularSlider::setCurrentAngle(double a) {
  // The knob's own drawing is its ring of dots: redrawn only when a dot goes
  // on or off. The needle, drawn over it, shows every angle.
  const bool dotsChange = litDots(a) != litDots(currentAngle_);
  currentAngle_ = a;
  if (dotsChange) setNeedsDisplay(true);
  if (needleImageView_) needleImageView_->setNeedsDisplay(true);
  if (circularValueChange) {
    auto fn = circularValueChange;
    fn(value(), false);
  }
}

double GGCircularSlider::getAnglesWithThreePoint(ui::Point p1, ui::Point p2, ui::Point p3) {
  const double ux = p1.x - p2.x, uy = p1.y - p2.y;
  const double wx = p3.x - p2.x, wy = p3.y - p2.y;
  const double cross = ux * wy - uy * wx;
  const double dot = ux * wx + uy * wy;
  // The angle between the arms, 0 to π; atan2 has no 0/0 at the centre.
  const double theta = std::atan2(std::fabs(cross), dot);
  return cross > 0 ? -theta : theta;
}

ui::Point GGCircularSlider::calcCircleCoordinateWithCenter(ui::Point centre, double degrees, double radius) {
  const float theta = float(degrees * kPi / 180);
  return {centre.x + radius * double(std::cos(theta)), centre.y - radius * double(std::sin(theta))};
}

int GGCircularSlider::litDots(double angle) {
  const double s = std::clamp((135 - angle * 180 / kPi) / 15, 0.0, 18.0);
  if (s == 0) return 0;
  return std::min(kDots, int(std::trunc(s)) + 1);
}

void GGCircularSlider::turnTo(double d) {
  if (!std::isfinite(d)) return;
  if (d < -kPi) d += kTwoPi;
  if (d > kPi) d -= kTwoPi;
  const double degrees = 180 * d / kPi;
  if (degrees < -135) d = -kHalfTravel;
  if (degrees > 135) d = kHalfTravel;
  if (d == currentAngle_) return;
  setCurrentAngle(d);
}

void GGCircularSlider::absoluteRotateAngle(double a) {
  double d = -a;
  if (a < -kTwoPi) d = -kTwoPi - a;
  if (a > kTwoPi) d = kTwoPi - a;
  turnTo(d);
}

void GGCircularSlider::rotateJustAngle(double a) {
  double d = startAngle_ - a;
  if (d > kTwoPi) d -= kTwoPi;
  if (d < -kTwoPi) d += kTwoPi;
  turnTo(d);
}

void GGCircularSlider::mouseDown(ui::Event& e) {
  auto keep = sharedFromThis();
  startPoint_ = e.locationInView(*this);
  // On the centre itself there is no direction to turn to.
  if (!(startPoint_ == centerPoint())) absoluteRotateAngle(getAnglesWithThreePoint({45, 90}, centerPoint(), startPoint_));
  startAngle_ = currentAngle_;
}

void GGCircularSlider::mouseDragged(ui::Event& e) {
  auto keep = sharedFromThis();
  endPoint_ = e.locationInView(*this);
  if (endPoint_ == centerPoint() || startPoint_ == centerPoint()) return;
  rotateJustAngle(getAnglesWithThreePoint(startPoint_, centerPoint(), endPoint_));
}

void GGCircularSlider::mouseUp(ui::Event&) {
  auto keep = sharedFromThis();
  if (circularValueChange) {
    auto fn = circularValueChange;
    fn(value(), true);
  }
}

void GGCircularSlider::mouseCancelled(ui::Event& e) { mouseUp(e); }

void GGCircularSlider::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const int lit = litDots(currentAngle_);
  auto on = pointSelectImage();
  auto off = pointUnSelectImage();
  for (int i = 0; i < kDots; ++i) {
    const ui::Point p = calcCircleCoordinateWithCenter({42, 27}, -225 + 15.0 * i, 38);
    auto& image = i < lit ? on : off;
    if (image) ctx.drawImage(*image, ui::Rect(p.x, p.y, 6, 6));
  }
}
