// The firmware window's progress bar: a pill with a grey gradient track, a
// light fill as wide as the progress, a thin border, an inner highlight and
// faint diagonal stripes that move one tile per animationDuration while it
// animates (and is shown in a window). Hiding and showing fade. A progress
// outside 0 to 1, or not a number, is refused (logged) and the bar keeps its
// value.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/ui/Image.h"
#include "platform/ui/View.h"

class ITProgressBar : public ui::View {
public:
  static constexpr double kStripesOpacity = 0.04;

  ITProgressBar();
  explicit ITProgressBar(ui::Rect frame);
  ~ITProgressBar() override;
  std::string className() const override { return "ITProgressBar"; }

  double floatValue() const { return floatValue_; }
  // False (and nothing changes) for a value outside 0 to 1 or not a number.
  bool setFloatValue(double v);
  bool animates() const { return animates_; }
  void setAnimates(bool a);
  double animationDuration() const { return animationDuration_; }
  void setAnimationDuration(double seconds);
  std::optional<ui::Color> colorTint() const { return colorTint_; }
  void setColorTint(std::optional<ui::Color> c);
  double colorTintOpacity() const { return colorTintOpacity_; }
  void setColorTintOpacity(double o);
  const std::array<ui::Color, 2>& backgroundColors() const { return backgroundColors_; }
  void setBackgroundColors(std::array<ui::Color, 2> c);
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double w);
  ui::Color borderColor() const { return borderColor_; }
  void setBorderColor(const ui::Color& c);
  double shadowWidth() const { return shadowWidth_; }
  void setShadowWidth(double w);
  const std::shared_ptr<ui::Image>& stripesImage() const { return stripesImage_; }
  void setStripesImage(std::shared_ptr<ui::Image> i);
  bool it_isHidden() const { return it_isHidden_; }
  // Fades out (hiding at the end, unless shown again meanwhile) or in.
  void setHidden(bool hidden);

  // The inner (filled) pill and the stripes' strip, in the bounds.
  ui::Rect innerClipRect() const;
  ui::Rect stripesRect() const;
  // How far the stripes have moved within one tile.
  double stripesOffset() const { return stripesOffset_; }
  bool stripesRunning() const { return tick_ != 0; }
  static std::shared_ptr<ui::Image> stripesImageWithSize(ui::Size size);

  void viewDidMoveToWindow() override;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  void updateClock();
  double floatValue_ = 0;
  bool animates_ = false;
  double animationDuration_ = 0.3;
  std::optional<ui::Color> colorTint_;
  double colorTintOpacity_ = double(0.2f);
  std::array<ui::Color, 2> backgroundColors_;
  double borderWidth_ = 1.0;
  ui::Color borderColor_;
  double shadowWidth_ = 1.0;
  std::shared_ptr<ui::Image> stripesImage_;
  bool it_isHidden_ = false;
  uint64_t tick_ = 0;
  double start_ = -1;
  double stripesOffset_ = 0;
};
