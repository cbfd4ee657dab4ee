#include "controls/SWSTAnswerButton.h"

#include "controls/GGFrame.h"
#include "platform/dispatch/Queue.h"

SWSTAnswerButton::SWSTAnswerButton() : SWSTAnswerButton(ui::Rect()) {}

SWSTAnswerButton::SWSTAnswerButton(ui::Rect frame) : ui::Button(frame) { commonInitialize(); }

void SWSTAnswerButton::commonInitialize() {
  borderWidths = {1.0, 1.0, 1.0, 2.0};
  const ui::Color grey = colorWithRGB(0xC4C5CC);
  borderColors = {grey, grey, grey, colorWithRGB(0x6482FA)};
  titleColors.fill(ui::Color::clearColor());
  backgroundColors.fill(ui::Color::clearColor());
  canSelected_ = false;
  // initializeUI
  setWantsLayer(true);
  setButtonType(ui::ButtonType::MomentaryPushIn);
  setBezelStyle(ui::BezelStyle::TexturedSquare);
  setBordered(false);
  setFontColor(titleColors[Normal]);
}

void SWSTAnswerButton::setFontColor(const ui::Color& c) {
  ui::AttributedString t = attributedTitle();
  if (t.string.empty() || t.foregroundColor == c) return;
  t.foregroundColor = c;
  setAttributedTitle(t);
}

void SWSTAnswerButton::setTitle(const std::string& t) {
  ui::Button::setTitle(t);
  setFontColor(titleColors[Normal]);
}

void SWSTAnswerButton::updateButtonApperaceWithState(unsigned state) {
  if (state > Selected) return;
  if (images[state]) defaultImage_ = images[state];
  if (defaultImage_) setImage(defaultImage_);
  setFontColor(titleColors[state]);
  if (hasBorder_) {
    layer().setCornerRadius(cornerRadii[state]);
    layer().setBorderWidth(borderWidths[state]);
    layer().setBorderColor(borderColors[state]);
  } else {
    layer().setCornerRadius(0);
    layer().setBorderWidth(0);
    layer().setBorderColor(ui::Color::clearColor());
  }
  layer().setBackgroundColor(backgroundColors[state]);
  setNeedsDisplay(true);
}

void SWSTAnswerButton::setButtonState(unsigned state) {
  if (state == buttonState_) return;
  buttonState_ = state;
  selected_ = state == Selected;
  updateButtonApperaceWithState(state);
}

void SWSTAnswerButton::setCanSelected(bool c) {
  canSelected_ = c;
  updateButtonApperaceWithState(buttonState_);
}

void SWSTAnswerButton::setHasBorder(bool b) {
  hasBorder_ = b;
  updateButtonApperaceWithState(buttonState_);
}

void SWSTAnswerButton::viewWillMoveToSuperview(ui::View* newSuperview) {
  ui::Button::viewWillMoveToSuperview(newSuperview);
  updateButtonApperaceWithState(buttonState_);
}

void SWSTAnswerButton::awakeFromNib() {
  ui::Button::awakeFromNib();
  updateButtonApperaceWithState(buttonState_);
}

void SWSTAnswerButton::updateTrackingAreas() {
  ui::Button::updateTrackingAreas();
  if (trackingArea_) return;
  // Made once: it follows the visible rectangle.
  trackingArea_ = ui::TrackingArea::make(
      ui::Rect::zero(),
      ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveAlways | ui::TrackingArea::InVisibleRect,
      sharedFromThis());
  addTrackingArea(trackingArea_);
}

void SWSTAnswerButton::report(MouseEvent kind) {
  if (arrowMouseAction) {
    auto fn = arrowMouseAction;
    fn(kind);
  }
}

void SWSTAnswerButton::mouseEntered(ui::Event&) {
  auto keep = sharedFromThis();
  exitSent_ = false;
  hover_ = true;
  if (!selected_) setButtonState(Hover);
  report(MouseEvent::Entered);
}

void SWSTAnswerButton::mouseExited(ui::Event&) {
  if (exitSent_) {
    exitSent_ = false;  // already told when the press was cut short
    return;
  }
  auto keep = sharedFromThis();
  hover_ = false;
  if (!selected_) setButtonState(Normal);
  report(MouseEvent::Exited);
}

void SWSTAnswerButton::mouseDown(ui::Event&) {
  auto keep = sharedFromThis();
  mouseUp_ = false;
  pressed_ = true;
  if (isEnabled() && !selected_) setButtonState(Highlight);
  report(MouseEvent::Down);
}

void SWSTAnswerButton::mouseDragged(ui::Event&) {}

void SWSTAnswerButton::mouseUp(ui::Event&) {
  auto keep = std::static_pointer_cast<SWSTAnswerButton>(sharedFromThis());
  mouseUp_ = true;
  pressed_ = false;
  if (isEnabled()) {
    if (canSelected_ && hover_) {
      selected_ = !selected_;
      setButtonState(selected_ ? Selected : Hover);
      selected_ = buttonState_ == Selected;
    } else if (!selected_) {
      setButtonState(hover_ ? Hover : Normal);
    }
    if (hover_) {
      // On a later turn of the main queue, not inside the release.
      dispatch::mainQueue()->async([keep] { keep->sendAction(); });
    }
  }
  report(MouseEvent::Up);
}

void SWSTAnswerButton::mouseCancelled(ui::Event& e) {
  if (!pressed_) return;
  // The release will never come: end the press as a release outside.
  if (hover_) {
    mouseExited(e);
    exitSent_ = true;
  }
  mouseUp(e);
}
