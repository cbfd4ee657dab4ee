#include "controls/NSPopNormalView.h"

#include <algorithm>
#include <limits>

#include "controls/GGFrame.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"

namespace {

// The stretched background picture, inside the box's rounded outline, with
// the box's border drawn over it (children are not clipped to the corners).
class TipBackgroundView : public ui::ImageView {
public:
  using ui::ImageView::ImageView;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override {
    const ui::View* box = superview();
    const double radius = box ? box->layer().cornerRadius() : 0;
    ui::BezierPath outline;
    outline.appendRoundedRect(bounds(), radius, radius);
    ctx.saveGState();
    ctx.clipToPath(outline);
    ui::ImageView::drawRect(ctx, dirty);
    ctx.restoreGState();
    if (!box || box->layer().borderWidth() <= 0) return;
    const double w = box->layer().borderWidth();
    ui::BezierPath border;
    border.appendRoundedRect(bounds().insetBy(w / 2, w / 2), radius, radius);
    border.setLineWidth(w);
    ctx.saveGState();
    ctx.setStrokeColor(box->layer().borderColor());
    ctx.strokePath(border);
    ctx.restoreGState();
  }
};

}  // namespace

std::shared_ptr<NSPopNormalView> NSPopNormalView::initWithType(unsigned type, const std::string& title) {
  auto tip = ui::View::create<NSPopNormalView>();
  tip->setType(type);
  tip->setTitle(title);
  tip->prepareUI();
  return tip;
}

double NSPopNormalView::heightForString(const std::string& text, const ui::Font& font, double width) {
  if (text.empty()) return 0;
  ui::AttributedString s(text, font);
  return s.boundingRect(ui::Size{width, double(std::numeric_limits<float>::max())}, ui::UsesLineFragmentOrigin)
      .height();
}

void NSPopNormalView::setType(unsigned type) {
  type_ = type;
  static const char* const names[] = {"ic_success", "ic_warning", "ic_fail"};
  if (type <= Fail) tipImage_ = ui::Image::imageNamed(names[type]);
}

void NSPopNormalView::prepareUI() {
  for (auto subviews = this->subviews(); auto& v : subviews) v->removeFromSuperview();

  auto background = ui::View::create<TipBackgroundView>();
  background->setImage(ui::Image::imageNamed("resetbg"));
  background->setImageScaling(ui::ImageScaling::AxesIndependently);
  background->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  addSubview(background);

  iconImageView_ = ui::View::create<ui::ImageView>();
  iconImageView_->setImageScaling(ui::ImageScaling::AxesIndependently);
  iconImageView_->setImage(tipImage_);
  addSubview(iconImageView_);

  titleLabel_ = ui::TextField::labelWithString(title_);
  titleLabel_->setAlignment(ui::TextAlignment::Center);
  titleLabel_->setFont(ui::Font::systemFontOfSize(kFontSize));
  titleLabel_->setTextColor(ui::Color::whiteColor());
  titleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrapping);
  addSubview(titleLabel_);

  setWantsLayer(true);
  layer().setCornerRadius(6);
  layer().setBackgroundColor(ui::Color::rgb255(75, 75, 75));
  layer().setBorderWidth(0.8);
  layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  layer().setMasksToBounds(true);

  const ui::Font font = titleLabel_->font();
  const double textWidth = ui::AttributedString(title_, font).size().width + 5;
  const double w = std::clamp(textWidth, kMinTextWidth, kMaxTextWidth);
  // The height is that of the lines the label makes: it lays its text out
  // a little narrower than itself (its cell's inset), so a message just
  // under the widest label's width wraps there and needs its second line.
  const double lineWidth = titleLabel_->textFieldCell().titleRectForBounds(ui::Rect(0, 0, w, 100)).width();
  const double textHeight = title_.empty() ? 0 : double(float(heightForString(title_, font, lineWidth) + 8));
  const double tipWidth = w + 30;
  const double icon = std::clamp(0.4 * tipWidth, kMinIconSide, kMaxIconSide);
  const double tipHeight = textHeight > 0 ? icon + 15 + 20 + 15 + textHeight : icon + 20 + 20;
  setFrame(ui::Rect(0, 0, tipWidth, tipHeight));

  // y-up: the icon hangs 20 below the top, the label stands 15 above the bottom.
  background->setFrame(bounds());
  iconImageView_->setFrame(ui::Rect((tipWidth - icon) / 2, tipHeight - 20 - icon, icon, icon));
  titleLabel_->setHidden(textHeight <= 0);
  titleLabel_->setFrame(ui::Rect((tipWidth - w) / 2, 15, w, textHeight));
}
