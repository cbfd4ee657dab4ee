#include "controls/SettingResetView.h"

#include <algorithm>

#include "controls/NSPopNormalView.h"
#include "platform/ui/GraphicsContext.h"

std::shared_ptr<SettingResetView> SettingResetView::initWithTitle(const std::string& title,
                                                                  const std::vector<std::string>& btnTitles,
                                                                  ButtonAction btnAction) {
  auto panel = ui::View::create<SettingResetView>();
  panel->title_ = title;
  panel->btnTitles_ = btnTitles;
  panel->btnAction = std::move(btnAction);
  panel->configUI();
  return panel;
}

double SettingResetView::heightForString(const std::string& text, const ui::Font& font, double width) {
  return NSPopNormalView::heightForString(text, font, width);
}

std::shared_ptr<ui::Image> SettingResetView::backImage() {
  if (!backImage_) backImage_ = ui::Image::imageNamed("main_bg");
  return backImage_;
}

void SettingResetView::configUI() {
  auto background = ui::View::create<ui::ImageView>();
  background->setImage(ui::Image::imageNamed("resetbg"));
  background->setImageScaling(ui::ImageScaling::AxesIndependently);
  background->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  addSubview(background);

  titleLabel_ = ui::TextField::labelWithString(title_);
  titleLabel_->setAlignment(ui::TextAlignment::Center);
  titleLabel_->setFont(ui::Font::systemFontOfSize(kFontSize));
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrapping);
  addSubview(titleLabel_);

  const ui::Font font = titleLabel_->font();
  const double w = std::clamp(ui::AttributedString(title_, font).size().width - 10, kMinTextWidth, kMaxTextWidth);
  // The lines the label makes: it lays its text out at W less its inset.
  const double lineWidth = titleLabel_->textFieldCell().titleRectForBounds(ui::Rect(0, 0, w, 100)).width();
  const double textHeight = double(float(heightForString(title_, font, lineWidth) + 8));
  const double width = w + 30, height = textHeight + 108;
  setFrame(ui::Rect(0, 0, width, height));
  background->setFrame(bounds());
  // y-up: the label hangs 28 below the top.
  titleLabel_->setFrame(ui::Rect((width - w) / 2, height - 28 - textHeight, w, textHeight));

  // Any other number of titles (none, three or more) gives no buttons: the
  // panel then closes only from its owner or with every open panel.
  if (btnTitles_.size() == 1) {
    auto only = configBtnWithTitle(btnTitles_[0], 1);
    only->setFrame(ui::Rect((width - 88) / 2, 20, 88, 34));
    addSubview(only);
    buttons_ = {only};
  } else if (btnTitles_.size() == 2) {
    auto first = configBtnWithTitle(btnTitles_[0], 1);
    auto second = configBtnWithTitle(btnTitles_[1], 2);
    first->setFrame(ui::Rect(28, 28, 68, 28));
    second->setFrame(ui::Rect(width - 28 - 68, 28, 68, 28));
    addSubview(first);
    addSubview(second);
    buttons_ = {first, second};
  }
}

std::shared_ptr<GGCoustomButton> SettingResetView::configBtnWithTitle(const std::string& title, int64_t index) {
  auto button = ui::View::create<GGCoustomButton>();
  button->setDefaultTitle(title);
  button->setDefaultTitleColor(ui::Color::whiteColor());
  button->setSelectedTitleColor(ui::Color::blackColor());
  button->setDefaultBackgroundColor(ui::Color::rgb255(99, 100, 100));
  button->entertBackgroundColor = ui::Color::whiteColor();
  button->setSelectedBackgroundColor(ui::Color::whiteColor());
  button->setRadius(4.0);
  button->setTarget(sharedFromThis());
  button->flagIndex = index;
  std::weak_ptr<ui::View> weak = sharedFromThis();
  button->action = [weak](GGCoustomButton& sender) {
    if (auto panel = std::static_pointer_cast<SettingResetView>(weak.lock())) panel->styleBtnAction(sender);
  };
  return button;
}

void SettingResetView::styleBtnAction(GGCoustomButton& button) {
  if (btnAction) {
    auto fn = btnAction;
    fn(button);
  }
}

void SettingResetView::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  auto image = backImage();
  if (!image) return;
  // The whole picture over the bounds, however little is repainted.
  ctx.saveGState();
  ctx.clipToRect(dirty);
  ctx.drawImage(*image, bounds());
  ctx.restoreGState();
}

void SettingResetView::updateTrackingAreas() {
  ui::View::updateTrackingAreas();
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveAlways);
}

void SettingResetView::mouseUp(ui::Event&) {}
void SettingResetView::mouseEntered(ui::Event&) {}
void SettingResetView::mouseDown(ui::Event&) {}
void SettingResetView::mouseDragged(ui::Event&) {}
void SettingResetView::rightMouseDown(ui::Event&) {}
void SettingResetView::rightMouseUp(ui::Event&) {}
void SettingResetView::rightMouseDragged(ui::Event&) {}
