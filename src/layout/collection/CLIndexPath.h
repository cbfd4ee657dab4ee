#pragma once
// Index paths of collection views: (section, item), ordered section first,
// then item. They key the collection view's maps of visible cells and its
// selection. An absent path ("no item") is std::nullopt.

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct CLIndexPath {
  int64_t section = 0;
  int64_t item = 0;

  friend bool operator==(const CLIndexPath&, const CLIndexPath&) = default;
  friend auto operator<=>(const CLIndexPath&, const CLIndexPath&) = default;
};

using CLOptionalIndexPath = std::optional<CLIndexPath>;

inline CLIndexPath cl_indexPathForItem(int64_t item, int64_t section) { return CLIndexPath{section, item}; }
inline int64_t cl_section(const CLIndexPath& p) { return p.section; }
inline int64_t cl_item(const CLIndexPath& p) { return p.item; }

// "(section, item)", for logs and test messages.
inline std::string describe(const CLIndexPath& p) {
  return "(" + std::to_string(p.section) + ", " + std::to_string(p.item) + ")";
}

template <>
struct std::hash<CLIndexPath> {
  size_t operator()(const CLIndexPath& p) const noexcept {
    return std::hash<int64_t>()(p.section) * 1000003u ^ std::hash<int64_t>()(p.item);
  }
};
