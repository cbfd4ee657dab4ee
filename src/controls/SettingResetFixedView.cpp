#include "controls/SettingResetFixedView.h"

#include <limits>

#include "controls/GGFrame.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/GraphicsContext.h"

namespace {

ui::AttributedString messageString(const std::string& text) {
  ui::ParagraphStyle style;
  style.lineSpacing = 1.0;
  style.lineBreakMode = ui::LineBreakMode::WordWrapping;
  return ui::AttributedString(text, ui::Font::systemFontOfSize(SettingResetView::kFontSize), ui::Color::whiteColor(),
                              style);
}

ui::Size messageSize(const std::string& text) {
  if (text.empty()) return {0, 0};
  const ui::Rect r = messageString(text).boundingRect(
      ui::Size{SettingResetFixedView::kMessageWidth, double(std::numeric_limits<float>::max())},
      ui::UsesLineFragmentOrigin);
  return r.size;
}

}  // namespace

std::shared_ptr<SettingResetFixedView> SettingResetFixedView::initWithTitle(const std::string& message,
                                                                            ui::Rect frame) {
  auto panel = ui::View::create<SettingResetFixedView>();
  panel->setFrame(frame);
  panel->message_ = message;
  panel->prepareUI();
  return panel;
}

std::shared_ptr<GGCoustomButton> SettingResetFixedView::makeButton(const std::string& title,
                                                                   void (SettingResetFixedView::*answer)()) {
  auto button = ui::View::create<GGCoustomButton>();
  button->setDefaultTitle(title);
  button->setDefaultTitleColor(ui::Color::whiteColor());
  button->setSelectedTitleColor(ui::Color::blackColor());
  button->setDefaultBackgroundColor(ui::Color::rgb255(99, 100, 100));
  button->entertBackgroundColor = ui::Color::whiteColor();
  button->setSelectedBackgroundColor(ui::Color::whiteColor());
  button->setRadius(3.0);
  button->setTarget(sharedFromThis());
  std::weak_ptr<ui::View> weak = sharedFromThis();
  button->action = [weak, answer](GGCoustomButton&) {
    if (auto panel = std::static_pointer_cast<SettingResetFixedView>(weak.lock())) ((*panel).*answer)();
  };
  addSubview(button);
  return button;
}

void SettingResetFixedView::prepareUI() {
  setWantsLayer(true);
  layer().setCornerRadius(4);
  layer().setBorderWidth(1);
  layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  if (message_.empty()) {
    titleImageView_ = ui::View::create<ui::ImageView>();
    titleImageView_->setImage(ui::Image::imageNamed("reset"));
    titleImageView_->setImageScaling(ui::ImageScaling::AxesIndependently);
    addSubview(titleImageView_);
  }
  cancelButton_ = makeButton("NO", &SettingResetFixedView::cancelIt);
  confirmButton_ = makeButton("YES", &SettingResetFixedView::confirmIt);
  place();
}

void SettingResetFixedView::resizeSubviewsWithOldSize(ui::Size oldSize) {
  SettingResetView::resizeSubviewsWithOldSize(oldSize);
  place();
}

void SettingResetFixedView::place() {
  if (!cancelButton_) return;
  const double w = gg_width(*this), h = gg_height(*this);
  // y-up: 25 above the bottom, 25 in from the sides.
  cancelButton_->setFrame(ui::Rect(25, 25, 68, 28));
  confirmButton_->setFrame(ui::Rect(w - 25 - 68, 25, 68, 28));
  if (titleImageView_) titleImageView_->setFrame(ui::Rect((w - 141) / 2, h - 25 - 25, 141, 25));
}

void SettingResetFixedView::confirmIt() {
  if (ChooseConfirmAction) ChooseConfirmAction(*this);
}

void SettingResetFixedView::cancelIt() {
  if (ChooseCancelAction) ChooseCancelAction(*this);
}

void SettingResetFixedView::configFrame() {
  setFrame(ui::Rect(0, 0, kMessageWidth, messageSize(message_).height + 20 + 100));
}

ui::Rect SettingResetFixedView::messageRect() const {
  const ui::Size s = messageSize(message_);
  return ui::Rect((kMessageWidth - s.width) / 2, gg_height(*this) - 20 - s.height, s.width, s.height);
}

void SettingResetFixedView::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  SettingResetView::drawRect(ctx, dirty);
  if (message_.empty()) return;
  messageString(message_).drawInRect(messageRect());
}
