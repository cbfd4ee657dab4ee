// Key-path strings: components separated by ".".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The components; nothing for the empty string.
std::optional<std::vector<std::string>> rs_keyPathComponents(std::string_view keyPath);
// The text before the last "."; nothing when there is no ".".
std::optional<std::string> rs_keyPathByDeletingLastKeyPathComponent(std::string_view keyPath);
// The text after the first "."; nothing when there is no ".".
std::optional<std::string> rs_keyPathByDeletingFirstKeyPathComponent(std::string_view keyPath);
