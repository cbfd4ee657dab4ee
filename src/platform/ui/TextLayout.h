// Text measurements for sizing views around their text.
#pragma once

#include <string_view>

#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"

namespace ui {

class TextLayout {
public:
  // The height `text` needs in `font`, wrapped at `width` (words broken
  // where a word alone is wider), with no padding and no height limit. An
  // empty text needs 0.
  static double usedHeight(std::string_view text, const Font& font, double width);
  // Unwrapped: the widest line's width, and the number of lines times the
  // line height.
  static Size singleLineSize(std::string_view text, const Font& font);
};

}  // namespace ui
