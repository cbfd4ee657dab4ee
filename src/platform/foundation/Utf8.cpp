#include "platform/foundation/Utf8.h"

#include <cstdint>

namespace fnd::utf8 {

size_t sequenceLength(std::string_view text, size_t at) {
  if (at >= text.size()) return 0;
  const auto b = static_cast<unsigned char>(text[at]);
  if (b < 0x80) return 1;
  size_t len = 0;
  uint32_t cp = 0;
  if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1Fu;
  else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0Fu;
  else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07u;
  else return 0;
  if (text.size() - at < len) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto c = static_cast<unsigned char>(text[at + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  // Overlong forms, surrogates and code points beyond U+10FFFF.
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
    return 0;
  return len;
}

bool isValid(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t len = sequenceLength(text, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

void append(std::string& out, char32_t codePoint) {
  char32_t cp = codePoint > 0x10FFFF ? 0xFFFD : codePoint;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  // The lead byte's marker and the number of continuation bytes.
  const int more = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[more] | (cp >> (6 * more)));
  for (int k = more - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

}  // namespace fnd::utf8
