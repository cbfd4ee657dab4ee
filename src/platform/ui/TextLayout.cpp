#include "platform/ui/TextLayout.h"

#include "platform/ui/AttributedString.h"
#include "platform/ui/TextLines.h"

namespace ui {

double TextLayout::usedHeight(std::string_view text, const Font& font, double width) {
  const AttributedString s(std::string(text), font);
  // A width of 0 or less would mean "unlimited" to the layout; a container
  // that narrow still breaks at every character.
  return detail::cachedLayout(s, width > 0 ? width : 1e-3, 0, UsesLineFragmentOrigin)->height;
}

Size TextLayout::singleLineSize(std::string_view text, const Font& font) {
  const auto laid = detail::cachedLayout(AttributedString(std::string(text), font), 0, 0, UsesLineFragmentOrigin);
  return {laid->width, laid->height};
}

}  // namespace ui
