#include "layout/LCViewAdditions.h"

#include <algorithm>

#include "layout/LCViewConstraint.h"
#include "platform/ui/View.h"

namespace {
const char kKeyTag = 0;
const char kInstalledTag = 0;
using A = ui::LayoutAttribute;
}  // namespace

LCViewAttribute lc_left(ui::View& v) { return LCViewAttribute(&v, A::Left); }
LCViewAttribute lc_top(ui::View& v) { return LCViewAttribute(&v, A::Top); }
LCViewAttribute lc_right(ui::View& v) { return LCViewAttribute(&v, A::Right); }
LCViewAttribute lc_bottom(ui::View& v) { return LCViewAttribute(&v, A::Bottom); }
LCViewAttribute lc_leading(ui::View& v) { return LCViewAttribute(&v, A::Leading); }
LCViewAttribute lc_trailing(ui::View& v) { return LCViewAttribute(&v, A::Trailing); }
LCViewAttribute lc_width(ui::View& v) { return LCViewAttribute(&v, A::Width); }
LCViewAttribute lc_height(ui::View& v) { return LCViewAttribute(&v, A::Height); }
LCViewAttribute lc_centerX(ui::View& v) { return LCViewAttribute(&v, A::CenterX); }
LCViewAttribute lc_centerY(ui::View& v) { return LCViewAttribute(&v, A::CenterY); }
LCViewAttribute lc_baseline(ui::View& v) { return LCViewAttribute(&v, A::Baseline); }

std::function<LCViewAttribute(ui::LayoutAttribute)> lc_attribute(ui::View& view) {
  std::weak_ptr<ui::View> weak = view.sharedFromThis();
  return [weak](ui::LayoutAttribute a) {
    auto v = weak.lock();
    return LCViewAttribute(v.get(), a);
  };
}

std::string lc_key(const ui::View& view) {
  const fnd::Value v = view.lifetime().associatedObject(&kKeyTag);
  return v.isString() ? v.asString() : std::string();
}

void setLc_key(ui::View& view, const std::string& key) {
  view.lifetime().setAssociatedObject(&kKeyTag, key.empty() ? fnd::Value() : fnd::Value(key));
}

bool LCInstalledConstraints::contains(const LCViewConstraint* c) const {
  return std::any_of(members_.begin(), members_.end(), [&](const auto& m) { return m.get() == c; });
}

void LCInstalledConstraints::add(std::shared_ptr<LCViewConstraint> c) {
  if (c && !contains(c.get())) members_.push_back(std::move(c));
}

void LCInstalledConstraints::remove(const LCViewConstraint* c) {
  members_.erase(std::remove_if(members_.begin(), members_.end(), [&](const auto& m) { return m.get() == c; }),
                 members_.end());
}

std::shared_ptr<LCInstalledConstraints> lc_installedConstraints(ui::View& view) {
  auto set = view.lifetime().associatedObject(&kInstalledTag).asObject<LCInstalledConstraints>();
  if (!set) {
    set = fnd::make<LCInstalledConstraints>();
    view.lifetime().setAssociatedObject(&kInstalledTag, fnd::Value(set));
  }
  return set;
}

ui::View* lc_closestCommonSuperview(ui::View* view, ui::View* other) {
  for (ui::View* candidate = other; candidate; candidate = candidate->superview())
    for (ui::View* v = view; v; v = v->superview())
      if (v == candidate) return candidate;
  return nullptr;
}
