#pragma once
// LCViewAttribute: one layout attribute of one view, the right-hand side of a
// statement of the layout language (`left equal to that view's right`). The
// view (and the item, always the same view) are held weakly: once the view
// has gone both read as null, and equality compares null with the other side.
//
// Attribute masks have one bit per attribute (1 shifted left by its value);
// LCAttributeEdges, LCAttributeSize and LCAttributeCenter name the usual sets.
//
// Main thread only.

#include <cstddef>
#include <functional>
#include <memory>

#include "platform/ui/LayoutConstraint.h"

namespace ui {
class View;
}

enum LCAttribute : unsigned {
  LCAttributeLeft = 1u << 1,
  LCAttributeRight = 1u << 2,
  LCAttributeTop = 1u << 3,
  LCAttributeBottom = 1u << 4,
  LCAttributeLeading = 1u << 5,
  LCAttributeTrailing = 1u << 6,
  LCAttributeWidth = 1u << 7,
  LCAttributeHeight = 1u << 8,
  LCAttributeCenterX = 1u << 9,
  LCAttributeCenterY = 1u << 10,
  LCAttributeBaseline = 1u << 11,
  LCAttributeEdges = 30,
  LCAttributeSize = 384,
  LCAttributeCenter = 1536,
};

class LCViewAttribute {
public:
  LCViewAttribute() = default;
  LCViewAttribute(ui::View* view, ui::LayoutAttribute attribute) : LCViewAttribute(view, view, attribute) {}
  LCViewAttribute(ui::View* view, ui::View* item, ui::LayoutAttribute attribute);

  std::shared_ptr<ui::View> view() const { return view_.lock(); }
  std::shared_ptr<ui::View> item() const { return item_.lock(); }
  ui::LayoutAttribute layoutAttribute() const { return attribute_; }

  bool isSizeAttribute() const { return ui::isSizeAttribute(attribute_); }
  // The same view (by identity) and the same attribute.
  bool isEqual(const LCViewAttribute& other) const;
  friend bool operator==(const LCViewAttribute& a, const LCViewAttribute& b) { return a.isEqual(b); }
  // The view's hash with its halves swapped, exclusive-or the attribute.
  size_t hash() const;

private:
  std::weak_ptr<ui::View> view_;
  std::weak_ptr<ui::View> item_;
  ui::LayoutAttribute attribute_ = ui::LayoutAttribute::NotAnAttribute;
};

template <>
struct std::hash<LCViewAttribute> {
  size_t operator()(const LCViewAttribute& a) const { return a.hash(); }
};
