#include "controls/ZrButton.h"

void setTintColor(ui::Button& button, const ui::Color& colour) {
  if (button.title().empty()) button.setTitle(" ");
  ui::AttributedString title = button.attributedTitle();
  title.foregroundColor = colour;
  title.paragraphStyle.alignment = ui::TextAlignment::Center;
  button.setAttributedTitle(title);
}

ZrButton::ZrButton() { initButton(); }

ZrButton::ZrButton(ui::Rect frame) : ui::Button(frame) { initButton(); }

void ZrButton::initButton() {
  buttonCell().setHighlightsBy(ui::NoCellMask);
  buttonBorderColor = ui::Color::whiteColor();
  buttonBorderSelectColor = ui::Color::clearColor();
  buttonEnterTitleColor = ui::Color::srgb(0.0, 0.4470588235294118, 0.6745098039215687, 1.0);
  buttonEnterBackgroundColor = ui::Color::rgb(0.5411764705882353, 0.8392156862745098, 1.0, 1.0);
  buttonTitleColor_ = ui::Color::whiteColor();
  setTintColor(*this, buttonTitleColor_);
  setBordered(false);
  setWantsLayer(true);
  layer().setBorderWidth(1.0);
  layer().setCornerRadius(4.0);
  layer().setBorderColor(*buttonBorderColor);
}

void ZrButton::setOn(bool on) {
  on_ = on;
  const auto& background = on ? buttonOnColor : buttonOffColor;
  const auto& border = on ? buttonBorderSelectColor : buttonBorderColor;
  layer().setBackgroundColor(background);
  layer().setBorderColor(border.value_or(ui::Color::clearColor()));
}

void ZrButton::setButtonBackgroundColor(std::optional<ui::Color> c) {
  buttonBackgroundColor_ = std::move(c);
  setNeedsDisplay(true);
}

void ZrButton::setButtonTitleColor(const ui::Color& c) {
  buttonTitleColor_ = c;
  setNeedsDisplay(true);
}

void ZrButton::setDefaultImage(std::shared_ptr<ui::Image> image) {
  defaultImage_ = std::move(image);
  setImage(defaultImage_);
}

void ZrButton::setTitle(const std::string& title) {
  ui::Button::setTitle(title);
  setNeedsDisplay(true);
  setTintColor(*this, buttonTitleColor_);
}

void ZrButton::setBtnWidth(double w) {
  btnWidth_ = w;
  setFrameSize({w, frame().height()});
}

void ZrButton::setBtnHeight(double h) {
  btnHeight_ = h;
  setFrameSize({frame().width(), h});
}

void ZrButton::updateTrackingAreas() {
  ui::Button::updateTrackingAreas();
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::MouseMoved | ui::TrackingArea::ActiveInActiveApp | ui::TrackingArea::InVisibleRect);
}

void ZrButton::mouseEntered(ui::Event&) {
  setTintColor(*this, buttonEnterTitleColor);
  if (enterImage) setImage(enterImage);
}

void ZrButton::mouseExited(ui::Event&) {
  setTintColor(*this, buttonTitleColor_);
  if (enterImage) setImage(defaultImage_);
}
