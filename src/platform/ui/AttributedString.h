// Text with attributes over its whole length: font, foreground colour and
// paragraph style. Drawing and measuring follow the string drawing options:
// with UsesLineFragmentOrigin the text is laid out in lines from the top of
// the rectangle, wrapped at its width; without it the rectangle's origin is
// the first baseline's start and nothing wraps. TruncatesLastVisibleLine
// drops the lines that do not fit the height and ends the last one shown with
// an ellipsis when text was left out.
#pragma once

#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"

namespace ui {

enum class TextAlignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

enum class LineBreakMode {
  WordWrapping = 0,
  CharWrapping = 1,
  Clipping = 2,
  TruncatingHead = 3,
  TruncatingTail = 4,
  TruncatingMiddle = 5,
};

struct ParagraphStyle {
  TextAlignment alignment = TextAlignment::Natural;
  // Extra space between the bottom of one line and the top of the next.
  double lineSpacing = 0;
  LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;

  friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

enum StringDrawingOptions : unsigned {
  UsesLineFragmentOrigin = 1u << 0,
  TruncatesLastVisibleLine = 1u << 5,
};

struct AttributedString {
  std::string string;
  Font font = Font::systemFontOfSize(12);
  Color foregroundColor = Color::blackColor();
  ParagraphStyle paragraphStyle;

  AttributedString() = default;
  explicit AttributedString(std::string text) : string(std::move(text)) {}
  AttributedString(std::string text, Font f, Color colour = Color::blackColor(), ParagraphStyle style = {})
      : string(std::move(text)), font(std::move(f)), foregroundColor(colour), paragraphStyle(style) {}

  size_t length() const { return string.size(); }
  // The same attributes with other text.
  AttributedString withString(std::string text) const;

  // The size of the text on one line per paragraph.
  Size size() const;
  // The rectangle the text covers when laid out in `size` (a width or height
  // of 0 or less is unlimited). With UsesLineFragmentOrigin the origin is
  // (0, 0); without it the origin is the first baseline's start, so y is
  // minus the descent in y-up terms.
  Rect boundingRect(Size size, unsigned options) const;

  // In the current drawing context.
  void drawInRect(const Rect& rect, unsigned options = UsesLineFragmentOrigin) const;
  // One line per paragraph with the top-left (flipped) or bottom-left corner
  // of its box at `point`.
  void drawAtPoint(Point point) const;

  friend bool operator==(const AttributedString&, const AttributedString&) = default;
};

}  // namespace ui
