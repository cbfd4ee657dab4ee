#include "device/files/NameChecks.h"

#include <algorithm>

namespace {

// The whole text, at least one character, each accepted. A hand-made loop on
// purpose: a pattern's "$" would also accept a final line end.
template <class Accept>
bool allOf(std::string_view text, Accept accept) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) { return accept(static_cast<unsigned char>(c)); });
}

bool isPresetNameChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == ' ';
}

bool isPrintableAscii(unsigned char c) { return c >= ' ' && c <= '~'; }

}  // namespace

std::string deletingPathExtension(std::string_view name) {
  std::string_view trimmed = name;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  const size_t slash = trimmed.rfind('/');
  const size_t componentStart = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = trimmed.rfind('.');
  if (dot == std::string_view::npos || dot <= componentStart) return std::string(trimmed);
  return std::string(trimmed.substr(0, dot));
}

bool checkPresetName(std::string_view name) { return allOf(deletingPathExtension(name), isPresetNameChar); }

bool checkIR_NRName(std::string_view name) { return allOf(deletingPathExtension(name), isPrintableAscii); }
