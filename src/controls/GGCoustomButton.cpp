#include "controls/GGCoustomButton.h"

#include <algorithm>

#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace {
const char* const kFallbackTitle = "按钮";
constexpr double kFallbackFontSize = 15;

template <class T>
bool differs(const std::optional<T>& a, const std::optional<T>& b) {
  return a.has_value() != b.has_value() || (a && !(*a == *b));
}
}  // namespace

GGCoustomButton::GGCoustomButton() : GGCoustomButton(ui::Rect()) {}

GGCoustomButton::GGCoustomButton(ui::Rect frame) : ui::View(frame) {}

void GGCoustomButton::redraw() {
  if (superview()) setNeedsDisplay(true);
}

void GGCoustomButton::setMouseDown(bool d) {
  if (d == mouseDown_) return;
  mouseDown_ = d;
  redraw();
}

void GGCoustomButton::setIsOn(bool on) {
  isOn_ = on;
  redraw();
}

void GGCoustomButton::setRadius(double r) {
  if (r == radius_) return;
  radius_ = r;
  setWantsLayer(true);
  layer().setCornerRadius(r);
  redraw();
}

void GGCoustomButton::setBorderWidth(double w) {
  if (w == borderWidth_) return;
  borderWidth_ = w;
  // The border shows on a layer-backed button only.
  if (wantsLayer()) layer().setBorderWidth(w);
  redraw();
}

void GGCoustomButton::setBorderColor(std::optional<ui::Color> c) {
  borderColor_ = c;
  if (c && wantsLayer()) layer().setBorderColor(*c);
  redraw();
}

void GGCoustomButton::setDefaultTitle(const std::string& t) {
  if (t == defaultTitle_) return;
  defaultTitle_ = t;
  redraw();
}

void GGCoustomButton::setSelectedTitle(const std::string& t) {
  if (t == selectedTitle_) return;
  selectedTitle_ = t;
  redraw();
}

void GGCoustomButton::setDefaultTitleColor(std::optional<ui::Color> c) {
  const bool changed = differs(c, defaultTitleColor_);
  defaultTitleColor_ = c;
  if (changed) redraw();
}

void GGCoustomButton::setSelectedTitleColor(std::optional<ui::Color> c) {
  const bool changed = differs(c, selectedTitleColor_);
  selectedTitleColor_ = c;
  if (changed) redraw();
}

void GGCoustomButton::setTextAlignment(int32_t a) {
  if (a == textAlignment_) return;
  textAlignment_ = a;
  redraw();
}

void GGCoustomButton::setDefaultFont(std::optional<ui::Font> f) {
  const bool changed = differs(f, defaultFont_);
  defaultFont_ = std::move(f);
  if (changed) redraw();
}

void GGCoustomButton::setSelectedFont(std::optional<ui::Font> f) {
  const bool changed = differs(f, selectedFont_);
  selectedFont_ = std::move(f);
  if (changed) redraw();
}

void GGCoustomButton::setDefaultBackgroundImage(std::shared_ptr<ui::Image> i) {
  const bool changed = i != defaultBackgroundImage_;
  defaultBackgroundImage_ = std::move(i);
  if (changed) redraw();
}

void GGCoustomButton::setSelectedBackgroundImage(std::shared_ptr<ui::Image> i) {
  const bool changed = i != selectedBackgroundImage_;
  selectedBackgroundImage_ = std::move(i);
  if (changed) redraw();
}

void GGCoustomButton::setDefaultBackgroundColor(std::optional<ui::Color> c) {
  const bool changed = differs(c, defaultBackgroundColor_);
  defaultBackgroundColor_ = c;
  if (changed) redraw();
}

void GGCoustomButton::setSelectedBackgroundColor(std::optional<ui::Color> c) {
  const bool changed = differs(c, selectedBackgroundColor_);
  selectedBackgroundColor_ = c;
  if (changed) redraw();
}

GGCoustomButton::Look GGCoustomButton::currentLook() const {
  std::string title;
  std::optional<ui::Font> font;
  std::optional<ui::Color> titleColor, background;
  std::shared_ptr<ui::Image> image;
  if (mouseDown_) {
    title = !selectedTitle_.empty() ? selectedTitle_ : defaultTitle_;
    font = selectedFont_ ? selectedFont_ : defaultFont_;
    titleColor = selectedTitleColor_ ? selectedTitleColor_ : defaultTitleColor_;
    background = selectedBackgroundColor_ ? selectedBackgroundColor_ : defaultBackgroundColor_;
    image = selectedBackgroundImage_ ? selectedBackgroundImage_ : defaultBackgroundImage_;
  } else if (mouseEnter_) {
    title = !selectedTitle_.empty() ? selectedTitle_ : defaultTitle_;
    font = selectedFont_ ? selectedFont_ : defaultFont_;
    titleColor = enterTitleColor ? enterTitleColor : defaultTitleColor_;
    background = entertBackgroundColor ? entertBackgroundColor : defaultBackgroundColor_;
    image = selectedBackgroundImage_;
  } else {
    title = defaultTitle_;
    font = defaultFont_;
    titleColor = defaultTitleColor_;
    background = defaultBackgroundColor_;
    image = defaultBackgroundImage_;
  }
  if (isOn_) {
    if (selectedTitleColor_) titleColor = selectedTitleColor_;
    if (selectedBackgroundImage_) image = selectedBackgroundImage_;
  } else if (mouseEnter_ && selectedTitleColor_) {
    titleColor = selectedTitleColor_;
  }
  Look look;
  look.title = title.empty() ? kFallbackTitle : title;
  look.font = font ? *font : ui::Font::systemFontOfSize(kFallbackFontSize);
  look.titleColor = titleColor ? *titleColor : ui::Color::blackColor();
  look.backgroundColor = background ? *background : ui::Color::clearColor();
  look.backgroundImage = image;
  return look;
}

namespace {
ui::AttributedString titleText(const GGCoustomButton::Look& look, int32_t alignment) {
  ui::ParagraphStyle style;
  style.lineSpacing = 1;
  style.lineBreakMode = ui::LineBreakMode::WordWrapping;
  style.alignment = alignment == 1   ? ui::TextAlignment::Left
                    : alignment == 0 ? ui::TextAlignment::Center
                                     : ui::TextAlignment::Right;
  return ui::AttributedString(look.title, look.font, look.titleColor, style);
}
}  // namespace

ui::Rect GGCoustomButton::titleRect() const {
  const ui::Rect b = bounds();
  const ui::Size size = titleText(currentLook(), textAlignment_).boundingRect(ui::Size{b.width(), 0}, ui::UsesLineFragmentOrigin).size;
  const double x = textAlignment_ == 1 ? 0 : textAlignment_ == 0 ? (b.width() - size.width) / 2 : b.width() - size.width;
  return {x, (b.height() - size.height) / 2, size.width, size.height};
}

void GGCoustomButton::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  const Look look = currentLook();
  const ui::Rect b = bounds();
  if (rectCorners == 0) {
    if (look.backgroundImage) {
      ctx.drawImage(*look.backgroundImage, b);
    } else {
      // Over what is there: a clear colour leaves the button transparent.
      ctx.saveGState();
      ctx.setFillColor(look.backgroundColor);
      ctx.fillRect(dirty);
      ctx.restoreGState();
    }
  } else {
    ui::BezierPath path;
    if (rectCorners == AllCorners) {
      path.appendRoundedRect(b, radius_, radius_);
    } else {
      auto r = [&](int64_t bit) { return (rectCorners & bit) ? radius_ : 0.0; };
      path.appendArc({b.maxX() - r(TopRight), b.maxY() - r(TopRight)}, r(TopRight), 0, 90, false);
      path.appendArc({b.minX() + r(TopLeft), b.maxY() - r(TopLeft)}, r(TopLeft), 90, 180, false);
      path.appendArc({b.minX() + r(BottomLeft), b.minY() + r(BottomLeft)}, r(BottomLeft), 180, 270, false);
      path.appendArc({b.maxX() - r(BottomRight), b.minY() + r(BottomRight)}, r(BottomRight), 270, 360, false);
      path.closePath();
    }
    ctx.saveGState();
    if (look.backgroundImage) {
      // The picture inside the rounded outline.
      ctx.clipToPath(path);
      ctx.drawImage(*look.backgroundImage, b);
    } else {
      ctx.setFillColor(look.backgroundColor);
      ctx.fillPath(path);
    }
    ctx.restoreGState();
  }
  // Laid out at the width it was measured at, each line placed by the
  // alignment: laid out again at its own measured width, a line could be a
  // hair too wide for it and break inside its last word.
  const ui::Rect title = titleRect();
  titleText(look, textAlignment_).drawInRect(ui::Rect(0, title.minY(), b.width(), title.height()),
                                             ui::UsesLineFragmentOrigin);
}

void GGCoustomButton::updateTrackingAreas() {
  // One area over the current bounds: replaced when the size changes.
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void GGCoustomButton::removeFromSuperview() {
  if (area_) removeTrackingArea(area_);
  area_.reset();
  ui::View::removeFromSuperview();
}

void GGCoustomButton::mouseEntered(ui::Event& e) {
  if (!bounds().contains(e.locationInView(*this))) return;
  mouseEnter_ = true;
  setNeedsDisplay(true);
}

void GGCoustomButton::mouseExited(ui::Event&) {
  if (!mouseEnter_) return;
  mouseEnter_ = false;
  setNeedsDisplay(true);
}

void GGCoustomButton::mouseDown(ui::Event&) {
  mouseDown_ = true;
  setNeedsDisplay(true);
}

void GGCoustomButton::mouseCancelled(ui::Event&) {
  mouseDown_ = false;
  mouseEnter_ = false;
  setNeedsDisplay(true);
}

void GGCoustomButton::mouseUp(ui::Event& e) {
  if (!mouseDown_) return;
  // The action often closes what holds the button: keep it for the call.
  auto keep = std::static_pointer_cast<GGCoustomButton>(sharedFromThis());
  mouseDown_ = false;
  setNeedsDisplay(true);
  if (!bounds().contains(e.locationInView(*this))) return;
  auto t = target_.lock();
  if (t && action) {
    auto fn = action;
    fn(*this);
  }
}
