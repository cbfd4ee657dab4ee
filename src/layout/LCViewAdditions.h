#pragma once
// What the layout language adds to every view: its attributes as
// LCViewAttribute values, a debugging label, the set of the language's
// constraints installed with the view as their first view, and the closest
// common superview of two views. The label and the set live with the view
// (as associated objects) and do not keep it alive.
//
// Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "layout/LCViewAttribute.h"
#include "platform/foundation/Object.h"

namespace ui {
class View;
}
class LCViewConstraint;

LCViewAttribute lc_left(ui::View& view);
LCViewAttribute lc_top(ui::View& view);
LCViewAttribute lc_right(ui::View& view);
LCViewAttribute lc_bottom(ui::View& view);
LCViewAttribute lc_leading(ui::View& view);
LCViewAttribute lc_trailing(ui::View& view);
LCViewAttribute lc_width(ui::View& view);
LCViewAttribute lc_height(ui::View& view);
LCViewAttribute lc_centerX(ui::View& view);
LCViewAttribute lc_centerY(ui::View& view);
LCViewAttribute lc_baseline(ui::View& view);
// A function making attributes of the view.
std::function<LCViewAttribute(ui::LayoutAttribute)> lc_attribute(ui::View& view);

// The same for views held by pointer; a null view gives a null attribute.
#define LC_VIEW_ATTRIBUTE_PTR(name) \
  inline LCViewAttribute name(const std::shared_ptr<ui::View>& v) { return v ? name(*v) : LCViewAttribute(); }
LC_VIEW_ATTRIBUTE_PTR(lc_left)
LC_VIEW_ATTRIBUTE_PTR(lc_top)
LC_VIEW_ATTRIBUTE_PTR(lc_right)
LC_VIEW_ATTRIBUTE_PTR(lc_bottom)
LC_VIEW_ATTRIBUTE_PTR(lc_leading)
LC_VIEW_ATTRIBUTE_PTR(lc_trailing)
LC_VIEW_ATTRIBUTE_PTR(lc_width)
LC_VIEW_ATTRIBUTE_PTR(lc_height)
LC_VIEW_ATTRIBUTE_PTR(lc_centerX)
LC_VIEW_ATTRIBUTE_PTR(lc_centerY)
LC_VIEW_ATTRIBUTE_PTR(lc_baseline)
#undef LC_VIEW_ATTRIBUTE_PTR

// The view's debugging label; empty when none is set.
std::string lc_key(const ui::View& view);
void setLc_key(ui::View& view, const std::string& key);

// The language's constraints installed with this view as first view, in the
// order they were installed; each at most once.
class LCInstalledConstraints : public fnd::Object {
public:
  std::string className() const override { return "LCInstalledConstraints"; }
  const std::vector<std::shared_ptr<LCViewConstraint>>& members() const { return members_; }
  size_t count() const { return members_.size(); }
  bool contains(const LCViewConstraint* c) const;
  void add(std::shared_ptr<LCViewConstraint> c);
  void remove(const LCViewConstraint* c);

private:
  std::vector<std::shared_ptr<LCViewConstraint>> members_;
};
// Made empty on first use; the same set every time (never null).
std::shared_ptr<LCInstalledConstraints> lc_installedConstraints(ui::View& view);

// The nearest view that is `view` or one of its ancestors and at the same
// time `other` or one of its ancestors; null when there is none.
ui::View* lc_closestCommonSuperview(ui::View* view, ui::View* other);
