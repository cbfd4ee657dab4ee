#include "platform/ui/Button.h"

#include <algorithm>

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace ui {

Rect scaledImageRect(Size image, const Rect& frame, ImageScaling scaling) {
  Size s = image;
  if (image.width > 0 && image.height > 0) {
    const double fit = std::min(frame.width() / image.width, frame.height() / image.height);
    switch (scaling) {
      case ImageScaling::AxesIndependently: s = frame.size; break;
      case ImageScaling::None: break;
      case ImageScaling::ProportionallyDown:
        if (fit < 1) s = {image.width * fit, image.height * fit};
        break;
      case ImageScaling::ProportionallyUpOrDown: s = {image.width * fit, image.height * fit}; break;
    }
  }
  return {frame.midX() - s.width / 2, frame.midY() - s.height / 2, s.width, s.height};
}

// ---- ButtonCell

ButtonCell::ButtonCell() { setAlignment(TextAlignment::Center); }

void ButtonCell::setTitle(std::string t) {
  attributedTitle_.reset();
  setStringValue(std::move(t));
  redraw();
}

AttributedString ButtonCell::attributedTitle() const {
  if (attributedTitle_) return *attributedTitle_;
  ParagraphStyle style;
  style.alignment = alignment();
  style.lineBreakMode = LineBreakMode::TruncatingTail;
  return AttributedString(title(), font(), isEnabled() ? Color::blackColor() : Color::grayColor(), style);
}

void ButtonCell::setAttributedTitle(AttributedString t) {
  setStringValue(t.string);
  attributedTitle_ = std::move(t);
  redraw();
}

void ButtonCell::setImage(std::shared_ptr<Image> i) {
  image_ = std::move(i);
  redraw();
}

void ButtonCell::setState(int s) {
  if (s == state_) return;
  state_ = s;
  redraw();
}

bool ButtonCell::toggles() const {
  switch (type_) {
    case ButtonType::PushOnPushOff:
    case ButtonType::Toggle:
    case ButtonType::Switch:
    case ButtonType::OnOff: return true;
    case ButtonType::Radio: return state_ == OffState;
    default: return false;
  }
}

void ButtonCell::drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) {
  if (bordered_) drawBezelWithFrame(ctx, frame, view);
  const AttributedString t = attributedTitle();
  if (image_ && t.string.empty()) {
    drawImage(ctx, *image_, frame, view);
  } else if (image_) {
    // Image left of the title.
    const Rect imageFrame(frame.minX() + 2, frame.minY(), std::min(frame.height(), frame.width() / 2), frame.height());
    drawImage(ctx, *image_, imageFrame, view);
    drawTitle(ctx, t, Rect(imageFrame.maxX() + 2, frame.minY(), frame.maxX() - imageFrame.maxX() - 4, frame.height()),
              view);
  } else {
    drawTitle(ctx, t, frame.insetBy(bordered_ ? 6 : 0, 0), view);
  }
  if (isHighlighted() && highlightsBy_ != NoCellMask && !bordered_) {
    ctx.saveGState();
    ctx.setFillColor(Color::blackColor().withAlphaComponent(0.15));
    ctx.fillRect(frame);
    ctx.restoreGState();
  }
}

void ButtonCell::drawBezelWithFrame(GraphicsContext& ctx, const Rect& frame, View&) {
  if (bezel_ == BezelStyle::TexturedSquare) return;
  const bool down = (isHighlighted() && highlightsBy_ != NoCellMask) || (state_ == OnState && toggles());
  BezierPath path;
  path.appendRoundedRect(frame.insetBy(0.5, 0.5), 4, 4);
  ctx.saveGState();
  ctx.setFillColor(down ? Color::calibratedWhite(0.78) : Color::calibratedWhite(isEnabled() ? 0.96 : 0.9));
  ctx.fillPath(path);
  ctx.setStrokeColor(Color::calibratedWhite(0.6));
  path.setLineWidth(1);
  ctx.strokePath(path);
  ctx.restoreGState();
}

void ButtonCell::drawImage(GraphicsContext& ctx, const Image& image, const Rect& frame, View&) {
  ctx.drawImage(image, scaledImageRect(image.size(), frame, scaling_), Rect::zero(), CompositingOperation::SourceOver,
                isEnabled() ? 1.0 : 0.5);
}

void ButtonCell::drawTitle(GraphicsContext&, const AttributedString& title, const Rect& frame, View&) {
  if (title.string.empty()) return;
  const Rect used = title.boundingRect(Size{frame.width(), 0}, UsesLineFragmentOrigin);
  const double h = std::min(used.height(), frame.height());
  title.drawInRect(Rect(frame.minX(), frame.midY() - h / 2, frame.width(), h), UsesLineFragmentOrigin);
}

// ---- Button

Button::Button() : Button(Rect()) {}

Button::Button(Rect frame) : Control(frame) { setCell(std::make_shared<ButtonCell>()); }

std::shared_ptr<Button> Button::buttonWithTitle(const std::string& title, Control::ActionFn action) {
  auto b = View::create<Button>();
  b->setTitle(title);
  b->setAction(std::move(action));
  const Size s = b->intrinsicContentSize();
  b->setFrameSize(s);
  return b;
}

ButtonCell& Button::buttonCell() const { return static_cast<ButtonCell&>(*cell()); }

void Button::setTitle(const std::string& t) {
  buttonCell().setTitle(t);
  invalidateIntrinsicContentSize();
}

void Button::setAttributedTitle(const AttributedString& t) {
  buttonCell().setAttributedTitle(t);
  invalidateIntrinsicContentSize();
}

void Button::setImage(std::shared_ptr<Image> i) {
  buttonCell().setImage(std::move(i));
  invalidateIntrinsicContentSize();
}

void Button::setImageScaling(ImageScaling s) {
  buttonCell().setImageScaling(s);
  setNeedsDisplay(true);
}

void Button::setBordered(bool b) {
  buttonCell().setBordered(b);
  setNeedsDisplay(true);
}

void Button::setBezelStyle(BezelStyle b) {
  buttonCell().setBezelStyle(b);
  setNeedsDisplay(true);
}

Size Button::intrinsicContentSize() const {
  const AttributedString t = attributedTitle();
  Size s = t.string.empty() ? Size{} : t.size();
  if (auto img = image()) {
    s.width += img->size().width + (t.string.empty() ? 0 : 4);
    s.height = std::max(s.height, img->size().height);
  }
  if (isBordered()) {
    s.width += 24;
    s.height = std::max(s.height + 8, 24.0);
  }
  return s;
}

void Button::performClick() {
  if (!isEnabled()) return;
  auto keep = sharedFromThis();
  if (buttonCell().toggles()) setState(state() == OnState ? OffState : OnState);
  sendAction();
}

void Button::mouseDown(Event& e) {
  if (!isEnabled()) {
    Control::mouseDown(e);
    return;
  }
  tracking_ = true;
  highlight(true);
}

void Button::mouseDragged(Event& e) {
  if (!tracking_) {
    Control::mouseDragged(e);
    return;
  }
  highlight(bounds().contains(e.locationInView(*this)));
}

void Button::mouseUp(Event& e) {
  if (!tracking_) {
    Control::mouseUp(e);
    return;
  }
  tracking_ = false;
  auto keep = sharedFromThis();
  highlight(false);
  if (bounds().contains(e.locationInView(*this)) && isEnabled()) {
    if (buttonCell().toggles()) setState(state() == OnState ? OffState : OnState);
    sendAction();
  }
}

void Button::mouseCancelled(Event&) {
  tracking_ = false;
  highlight(false);
}

}  // namespace ui
