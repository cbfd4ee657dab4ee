#include "controls/ZrTextField.h"

#include <cctype>
#include <cmath>

#include "platform/dispatch/Queue.h"
#include "platform/ui/GraphicsContext.h"

namespace {

// True when the whole text (blanks around it aside) is one number.
bool isWholeNumber(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  size_t end = s.size();
  while (end > i && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  if (i == end) return false;
  char* stop = nullptr;
  const std::string body = s.substr(i, end - i);
  std::strtod(body.c_str(), &stop);
  return stop == body.c_str() + body.size();
}

std::string decimalPattern(bool sign, long places) {
  return std::string(sign ? "^(\\-|\\+)?" : "^(\\+)?") + "\\d+(\\.\\d{1," + std::to_string(places) + "})?$";
}

}  // namespace

// ---- ZrTextField

ZrTextField::ZrTextField() : ZrTextField(ui::Rect()) {}

ZrTextField::ZrTextField(ui::Rect frame) : ui::TextField(frame) {
  setWantsLayer(true);
  setFocusRingType(FocusRingType::None);
  if (auto arial = ui::Font::fontWithName("Arial", 11)) {
    setFont(*arial);
  } else {
    setFont(ui::Font::systemFontOfSize(11));
  }
  customTextColor = textColor();
  // The field would be its own delegate, with handlers that do nothing:
  // without a delegate it behaves the same until an owner sets one.
}

void ZrTextField::Zr_TextFieldStyle(long style, double minValue_, double maxValue_, long places) {
  inputStyle = style;
  minValue = minValue_;
  maxValue = maxValue_;
  decimallaces = places;
  // Only numeric styles clamp, and only a text that is a number: a name is
  // never turned into a bound.
  if (style >= 0 && style <= 3 && isWholeNumber(stringValue())) {
    if (double(floatValue()) > maxValue) setFloatValue(float(maxValue));
    if (minValue > double(floatValue())) setFloatValue(float(minValue));
  }
  switch (style) {
    case 0:
    case 1: pattern_ = kIntegerPattern; break;
    case 2: pattern_ = decimalPattern(true, places); break;
    case 3: pattern_ = decimalPattern(false, places); break;
    case 4: pattern_ = patternString; break;
    default: break;
  }
}

// ---- ZrTextFieldCell

ui::Rect ZrTextFieldCell::titleRectForBounds(const ui::Rect& bounds) const {
  ui::Rect r = ui::TextFieldCell::titleRectForBounds(bounds);
  const ui::AttributedString s = attributedStringValue();
  // Measured at the width only: a taller text keeps the whole rectangle.
  const double h =
      s.string.empty() ? 0 : s.boundingRect(ui::Size{r.width(), 0}, ui::UsesLineFragmentOrigin).height();
  if (r.height() > h) {
    r.origin.y = bounds.minY() + (bounds.height() - h) * 0.5;
    r.size.height = h;
  }
  return r;
}

void ZrTextFieldCell::drawInteriorWithFrame(ui::GraphicsContext&, const ui::Rect& frame, ui::View&) {
  ui::AttributedString s = attributedStringValue();
  if (isHighlighted() && backgroundStyle() == ui::BackgroundStyle::Emphasized) {
    s.foregroundColor = ui::Color::whiteColor();
  }
  s.drawInRect(titleRectForBounds(frame), ui::UsesLineFragmentOrigin | ui::TruncatesLastVisibleLine);
}

void ZrEditTextFieldCell::setUpFieldEditorAttributes(QLineEdit& editor) const {
  ZrTextFieldCell::setUpFieldEditorAttributes(editor);
  // The line editor draws its caret in the text colour.
  setFieldEditorTextColor(editor, ui::Color::whiteColor());
}

// ---- TitleLabel

TitleLabel::TitleLabel() : TitleLabel(ui::Rect()) {}

TitleLabel::TitleLabel(ui::Rect frame) : ui::TextField(frame) { setWantsLayer(true); }

void TitleLabel::setBgC(std::optional<ui::Color> c) {
  bgC_ = c;
  layer().setBackgroundColor(c);
}

void TitleLabel::setStringValue(const std::string& s) {
  auto self = std::static_pointer_cast<TitleLabel>(sharedFromThis());
  dispatch::mainQueue()->async([self, s] { self->ui::TextField::setStringValue(s); });
}
