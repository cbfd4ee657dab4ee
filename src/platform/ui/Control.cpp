#include "platform/ui/Control.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/MainThreadCheck.h"

namespace ui {

// ---- Cell

AttributedString Cell::attributedStringValue() const {
  ParagraphStyle style;
  style.alignment = alignment_;
  style.lineBreakMode = lineBreak_;
  return AttributedString(string_, font_, Color::blackColor(), style);
}

void Cell::setHighlighted(bool h) {
  if (h == highlighted_) return;
  highlighted_ = h;
  redraw();
}

void Cell::redraw() const {
  if (control_) control_->setNeedsDisplay(true);
}

void Cell::drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) { drawInteriorWithFrame(ctx, frame, view); }

void Cell::drawInteriorWithFrame(GraphicsContext&, const Rect& frame, View&) {
  if (string_.empty()) return;
  attributedStringValue().drawInRect(frame, UsesLineFragmentOrigin);
}

// ---- Control

Control::Control() : Control(Rect()) {}

Control::Control(Rect frame) : View(frame) { setCell(std::make_shared<Cell>()); }

Control::~Control() {
  if (cell_ && cell_->controlView() == this) cell_->setControlView(nullptr);
}

void Control::setTarget(const std::shared_ptr<fnd::Object>& target) {
  UI_ASSERT_MAIN_THREAD();
  target_ = target;
  targetSet_ = target != nullptr;
}

void Control::setAction(ActionFn fn, std::string name) {
  UI_ASSERT_MAIN_THREAD();
  action_ = std::move(fn);
  actionName_ = std::move(name);
}

bool Control::sendAction() {
  UI_ASSERT_MAIN_THREAD();
  if (!action_) return false;
  std::shared_ptr<fnd::Object> target = target_.lock();
  if (targetSet_ && !target) return false;
  // Keep ourselves and the action alive while it runs: it may replace either.
  auto self = sharedFromThis();
  ActionFn fn = action_;
  fn(*this);
  return true;
}

void Control::setEnabled(bool enabled) {
  UI_ASSERT_MAIN_THREAD();
  willChangeValueForKey("enabled");
  const bool changed = enabled != enabled_;
  enabled_ = enabled;
  if (cell_) cell_->setEnabled(enabled);
  if (changed) setNeedsDisplay(true);
  didChangeValueForKey("enabled");
}

void Control::setCell(std::shared_ptr<Cell> cell) {
  UI_ASSERT_MAIN_THREAD();
  if (cell_ && cell_->controlView() == this) cell_->setControlView(nullptr);
  cell_ = std::move(cell);
  if (cell_) {
    cell_->setControlView(this);
    cell_->setEnabled(enabled_);
  }
  setNeedsDisplay(true);
}

std::string Control::stringValue() const { return cell_ ? cell_->stringValue() : std::string(); }

void Control::setStringValue(const std::string& s) {
  UI_ASSERT_MAIN_THREAD();
  if (cell_) cell_->setStringValue(s);
  setNeedsDisplay(true);
}

double Control::doubleValue() const { return leadingNumber(stringValue()); }

void Control::setDoubleValue(double v) { setStringValue(shortestText(v)); }

long Control::integerValue() const {
  const double d = doubleValue();
  if (!std::isfinite(d)) return 0;
  if (d >= 9.2e18) return std::numeric_limits<long>::max();
  if (d <= -9.2e18) return std::numeric_limits<long>::min();
  return long(d);
}

Font Control::font() const { return cell_ ? cell_->font() : Font::systemFontOfSize(13); }

void Control::setFont(const Font& f) {
  UI_ASSERT_MAIN_THREAD();
  if (cell_) cell_->setFont(f);
  fontDidChange();
  setNeedsDisplay(true);
}

TextAlignment Control::alignment() const { return cell_ ? cell_->alignment() : TextAlignment::Natural; }

void Control::setAlignment(TextAlignment a) {
  UI_ASSERT_MAIN_THREAD();
  if (cell_) cell_->setAlignment(a);
  setNeedsDisplay(true);
}

void Control::mouseDown(Event& e) { Responder::mouseDown(e); }
void Control::mouseDragged(Event& e) { Responder::mouseDragged(e); }
void Control::mouseUp(Event& e) { Responder::mouseUp(e); }

void Control::drawRect(GraphicsContext& ctx, const Rect&) {
  if (cell_) cell_->drawWithFrame(ctx, bounds(), *this);
}

fnd::Value Control::valueForUndefinedKey(std::string_view key) const {
  if (key == "enabled") return fnd::Value(enabled_);
  if (key == "stringValue") return fnd::Value(stringValue());
  if (key == "doubleValue") return fnd::Value(doubleValue());
  return View::valueForUndefinedKey(key);
}

bool Control::setValueForUndefinedKey(std::string_view key, const fnd::Value& v) {
  if (key == "enabled") {
    setEnabled(v.boolValue());
    return true;
  }
  if (key == "stringValue") {
    setStringValue(v.isString() ? v.stringValue() : std::string());
    return true;
  }
  if (key == "doubleValue") {
    setDoubleValue(v.doubleValue());
    return true;
  }
  return View::setValueForUndefinedKey(key, v);
}

std::string Control::shortestText(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buf[64];
  const double mag = std::fabs(v);
  // Plain digits for everyday magnitudes, an exponent for the rest; the
  // fewest digits that read back as the same double either way.
  const auto format = (mag == 0 || (mag >= 1e-5 && mag < 1e16)) ? std::chars_format::fixed : std::chars_format::general;
  auto res = std::to_chars(buf, buf + sizeof buf, v, format);
  if (res.ec != std::errc()) return "0";
  return std::string(buf, res.ptr);
}

double Control::leadingNumber(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      i = j;
    }
  }
  const double d = std::strtod(s.substr(start, i - start).c_str(), nullptr);
  return std::isfinite(d) ? d : 0;
}

}  // namespace ui
