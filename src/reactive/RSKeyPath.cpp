#include "reactive/RSKeyPath.h"

std::optional<std::vector<std::string>> rs_keyPathComponents(std::string_view keyPath) {
  if (keyPath.empty()) return std::nullopt;
  std::vector<std::string> components;
  size_t start = 0;
  while (true) {
    size_t dot = keyPath.find('.', start);
    if (dot == std::string_view::npos) {
      components.emplace_back(keyPath.substr(start));
      return components;
    }
    components.emplace_back(keyPath.substr(start, dot - start));
    start = dot + 1;
  }
}

std::optional<std::string> rs_keyPathByDeletingLastKeyPathComponent(std::string_view keyPath) {
  size_t dot = keyPath.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(keyPath.substr(0, dot));
}

std::optional<std::string> rs_keyPathByDeletingFirstKeyPathComponent(std::string_view keyPath) {
  size_t dot = keyPath.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(keyPath.substr(dot + 1));
}
