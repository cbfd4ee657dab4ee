// A push button with a rounded, bordered look (border 1, radius 4, white), a
// title colour and an optional image that change while the pointer is over
// it, and an on/off look (background and border colours). Clicks go through
// the platform button's own tracking; a press does not highlight it.
//
// setTintColor (also usable on any button) colours and centres the whole
// title, turning an empty title into " " first.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/Button.h"
#include "platform/ui/TrackingArea.h"

void setTintColor(ui::Button& button, const ui::Color& colour);

class ZrButton : public ui::Button {
public:
  ZrButton();
  // A button made with a frame keeps the frame's size until btnWidth or
  // btnHeight is set.
  explicit ZrButton(ui::Rect frame);
  std::string className() const override { return "ZrButton"; }

  bool on() const { return on_; }
  void setOn(bool on);

  std::optional<ui::Color> buttonEnterBackgroundColor;
  std::optional<ui::Color> buttonSelectBackgroundColor;
  std::optional<ui::Color> buttonBorderNormalColor;
  std::optional<ui::Color> buttonBorderColor;
  std::optional<ui::Color> buttonBorderSelectColor;
  ui::Color buttonEnterTitleColor;
  std::optional<ui::Color> buttonOnColor;
  std::optional<ui::Color> buttonOffColor;
  std::shared_ptr<ui::Image> enterImage;
  std::shared_ptr<ui::Image> downImage;

  const std::optional<ui::Color>& buttonBackgroundColor() const { return buttonBackgroundColor_; }
  void setButtonBackgroundColor(std::optional<ui::Color> c);
  const ui::Color& buttonTitleColor() const { return buttonTitleColor_; }
  // Shows at the next setTitle or pointer exit.
  void setButtonTitleColor(const ui::Color& c);
  const std::shared_ptr<ui::Image>& defaultImage() const { return defaultImage_; }
  void setDefaultImage(std::shared_ptr<ui::Image> image);
  void setTitle(const std::string& title);

  double btnWidth() const { return btnWidth_; }
  void setBtnWidth(double w);
  double btnHeight() const { return btnHeight_; }
  void setBtnHeight(double h);

  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;

private:
  void initButton();
  bool on_ = false;
  std::optional<ui::Color> buttonBackgroundColor_;
  ui::Color buttonTitleColor_ = ui::Color::whiteColor();
  std::shared_ptr<ui::Image> defaultImage_;
  double btnWidth_ = 0;
  double btnHeight_ = 0;
  std::shared_ptr<ui::TrackingArea> area_;
};
