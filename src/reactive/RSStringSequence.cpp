#include "reactive/RSStringSequence.h"

#include <cstdio>
#include <vector>

#include "platform/foundation/Utf8.h"

namespace {

// UTF-8 to UTF-16. Three-byte forms of surrogates (as this class writes lone
// halves) come back as those halves; malformed bytes become U+FFFD.
std::u16string toUTF16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  auto byte = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
  auto continuation = [&](size_t k) { return k < text.size() && (byte(k) & 0xC0) == 0x80; };
  while (i < text.size()) {
    unsigned char c = byte(i);
    char32_t cp = 0xFFFD;
    size_t length = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && continuation(i + 1)) {
      cp = ((c & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
      length = 2;
      if (cp < 0x80) cp = 0xFFFD;
    } else if ((c & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
      cp = ((c & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
      length = 3;
      if (cp < 0x800) cp = 0xFFFD;
    } else if ((c & 0xF8) == 0xF0 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
      cp = ((c & 0x07u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) | ((byte(i + 2) & 0x3Fu) << 6) | (byte(i + 3) & 0x3Fu);
      length = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    }
    i += length;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

bool isHigh(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool isLow(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

// Units [from, to) to UTF-8; a pair becomes one character, a lone half its
// own three bytes.
std::string toUTF8(const std::u16string& units, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; ++i) {
    char16_t u = units[i];
    if (isHigh(u) && i + 1 < to && isLow(units[i + 1])) {
      fnd::utf8::append(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      fnd::utf8::append(out, u);
    }
  }
  return out;
}

// The code point at i and its length in units.
char32_t codePointAt(const std::u16string& units, size_t i, size_t* length) {
  char16_t u = units[i];
  if (isHigh(u) && i + 1 < units.size() && isLow(units[i + 1])) {
    *length = 2;
    return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
  }
  *length = 1;
  return u;
}

// Code points that belong to the character before them.
bool extendsCharacter(char32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
         (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE20 && cp <= 0xFE2F) || (cp >= 0xFE00 && cp <= 0xFE0F) ||
         (cp >= 0x1F3FB && cp <= 0x1F3FF) || (cp >= 0xE0020 && cp <= 0xE007F) || (cp >= 0xE0100 && cp <= 0xE01EF);
}

}  // namespace

RSSequencePtr RSStringSequence::sequenceWithString(const std::string& string, uint64_t offset) {
  auto units = std::make_shared<const std::u16string>(toUTF16(string));
  if (offset >= units->size()) return RSSequence::empty();
  return fnd::make<RSStringSequence>(units, offset);
}

fnd::Value RSStringSequence::head() const { return fnd::Value(toUTF8(*units_, offset_, offset_ + 1)); }

RSSequencePtr RSStringSequence::tail() const {
  if (offset_ + 1 >= units_->size()) return RSSequence::empty();
  auto tail = fnd::make<RSStringSequence>(units_, offset_ + 1);
  tail->setName(name());
  return tail;
}

fnd::Array RSStringSequence::array() const {
  std::vector<fnd::Value> characters;
  const std::u16string& units = *units_;
  size_t i = offset_;
  while (i < units.size()) {
    size_t start = i;
    size_t length = 0;
    char32_t cp = codePointAt(units, i, &length);
    i += length;
    if (cp == '\r' && i < units.size() && units[i] == '\n') {
      ++i;
    } else {
      while (i < units.size()) {
        char32_t next = codePointAt(units, i, &length);
        if (next == 0x200D && i + 1 < units.size()) {  // a joiner takes the character after it along
          i += length;
          codePointAt(units, i, &length);
          i += length;
        } else if (extendsCharacter(next)) {
          i += length;
        } else {
          break;
        }
      }
    }
    characters.emplace_back(toUTF8(units, start, i));
  }
  return fnd::Array(std::move(characters));
}

std::string RSStringSequence::string() const { return toUTF8(*units_, 0, units_->size()); }

std::string RSStringSequence::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<" + className() + ": " + address + ">{ name = " + name() +
         ", string = " + toUTF8(*units_, offset_, units_->size()) + " }";
}
