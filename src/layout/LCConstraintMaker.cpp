#include "layout/LCConstraintMaker.h"

#include <algorithm>

#include "layout/LCCompositeConstraint.h"
#include "layout/LCDebugAdditions.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewConstraint.h"
#include "platform/foundation/Log.h"
#include "platform/ui/View.h"

using LayoutAttribute = ui::LayoutAttribute;

std::shared_ptr<LCConstraintMaker> LCConstraintMaker::make(ui::View& view) {
  return std::make_shared<LCConstraintMaker>(view);
}

LCConstraintMaker::LCConstraintMaker(ui::View& view) : view_(view.sharedFromThis()) { LCDebugAdditions::install(); }

LCConstraintRef LCConstraintMaker::addConstraintWithLayoutAttribute(LayoutAttribute attribute) {
  return constraint(nullptr, attribute);
}

std::shared_ptr<LCConstraint> LCConstraintMaker::constraint(const std::shared_ptr<LCConstraint>& given,
                                                            LayoutAttribute attribute) {
  auto v = view();
  auto made = LCViewConstraint::make(LCViewAttribute(v.get(), attribute));
  if (std::dynamic_pointer_cast<LCViewConstraint>(given)) {
    auto composite = LCCompositeConstraint::make({given, made});
    composite->delegate = std::static_pointer_cast<LCConstraintDelegate>(shared_from_this());
    constraint(given, composite);
    return composite;
  }
  if (!given) {
    made->delegate = std::static_pointer_cast<LCConstraintDelegate>(shared_from_this());
    constraints_.push_back(made);
  }
  return made;
}

LCConstraintRef LCConstraintMaker::addConstraintWithAttributes(unsigned mask) {
  static const LayoutAttribute order[] = {LayoutAttribute::Left,    LayoutAttribute::Right,   LayoutAttribute::Top,
                                          LayoutAttribute::Bottom,  LayoutAttribute::Leading, LayoutAttribute::Trailing,
                                          LayoutAttribute::Width,   LayoutAttribute::Height,  LayoutAttribute::CenterX,
                                          LayoutAttribute::CenterY, LayoutAttribute::Baseline};
  auto v = view();
  std::vector<std::shared_ptr<LCConstraint>> children;
  for (LayoutAttribute a : order)
    if (mask & (1u << unsigned(long(a)))) children.push_back(LCViewConstraint::make(LCViewAttribute(v.get(), a)));
  auto composite = LCCompositeConstraint::make(children);
  composite->delegate = std::static_pointer_cast<LCConstraintDelegate>(shared_from_this());
  constraints_.push_back(composite);
  return LCConstraintRef(composite);
}

LCConstraintRef LCConstraintMaker::group(const std::function<void()>& block) {
  const size_t start = constraints_.size();
  if (block) block();
  std::vector<std::shared_ptr<LCConstraint>> members(constraints_.begin() + long(std::min(start, constraints_.size())),
                                                     constraints_.end());
  auto composite = LCCompositeConstraint::make(members);
  composite->delegate = std::static_pointer_cast<LCConstraintDelegate>(shared_from_this());
  return LCConstraintRef(composite);
}

void LCConstraintMaker::constraint(const std::shared_ptr<LCConstraint>& old,
                                   const std::shared_ptr<LCConstraint>& replacement) {
  auto it = std::find(constraints_.begin(), constraints_.end(), old);
  if (it != constraints_.end() && replacement) *it = replacement;
}

std::vector<std::shared_ptr<LCConstraint>> LCConstraintMaker::install() {
  if (removeExisting)
    if (auto v = view())
      for (auto& c : LCViewConstraint::installedConstraintsForView(*v)) c->uninstall();
  auto list = constraints_;
  for (auto& c : list) {
    c->updateExisting = updateExisting;
    c->install();
  }
  constraints_.clear();
  return list;
}

namespace {
LCConstraints run(ui::View& view, const LCConstraintMakerBlock& block, bool update, bool remake) {
  view.setTranslatesAutoresizingMaskIntoConstraints(false);
  auto maker = LCConstraintMaker::make(view);
  maker->updateExisting = update;
  maker->removeExisting = remake;
  if (block) block(*maker);
  return maker->install();
}

LCConstraints runAll(const std::vector<std::shared_ptr<ui::View>>& views, const LCConstraintMakerBlock& block,
                     bool update, bool remake) {
  LCConstraints all;
  for (const auto& v : std::vector<std::shared_ptr<ui::View>>(views)) {
    if (!v) continue;
    auto made = run(*v, block, update, remake);
    all.insert(all.end(), made.begin(), made.end());
  }
  return all;
}
}  // namespace

LCConstraints lc_makeConstraints(ui::View& view, const LCConstraintMakerBlock& block) {
  return run(view, block, false, false);
}
LCConstraints lc_updateConstraints(ui::View& view, const LCConstraintMakerBlock& block) {
  return run(view, block, true, false);
}
LCConstraints lc_remakeConstraints(ui::View& view, const LCConstraintMakerBlock& block) {
  return run(view, block, false, true);
}
LCConstraints lc_makeConstraints(const std::vector<std::shared_ptr<ui::View>>& views,
                                 const LCConstraintMakerBlock& block) {
  return runAll(views, block, false, false);
}
LCConstraints lc_updateConstraints(const std::vector<std::shared_ptr<ui::View>>& views,
                                   const LCConstraintMakerBlock& block) {
  return runAll(views, block, true, false);
}
LCConstraints lc_remakeConstraints(const std::vector<std::shared_ptr<ui::View>>& views,
                                   const LCConstraintMakerBlock& block) {
  return runAll(views, block, false, true);
}

ui::View* lc_commonSuperviewOfViews(const std::vector<std::shared_ptr<ui::View>>& views) {
  ui::View* result = nullptr;
  bool first = true;
  for (const auto& v : views) {
    if (!v) continue;
    result = first ? v.get() : lc_closestCommonSuperview(v.get(), result);
    first = false;
  }
  return result;
}

namespace {
ui::View* distributionSuperview(const std::vector<std::shared_ptr<ui::View>>& views) {
  if (views.size() < 2) return nullptr;
  ui::View* s = lc_commonSuperviewOfViews(views);
  if (s && std::none_of(views.begin(), views.end(), [](const auto& v) { return !v; })) return s;
  fnd::log("lc_distributeViewsAlongAxis: the views have no common superview; nothing laid out");
  return nullptr;
}
}  // namespace

void lc_distributeViewsAlongAxisWithFixedSpacing(const std::vector<std::shared_ptr<ui::View>>& views, unsigned axis,
                                                 double spacing, double lead, double tail) {
  ui::View* s = distributionSuperview(views);
  if (!s) return;
  auto superview = s->sharedFromThis();
  const bool horizontal = axis == 0;
  const size_t n = views.size();
  std::shared_ptr<ui::View> prev;
  for (size_t i = 0; i < n; ++i) {
    auto v = views[i];
    lc_makeConstraints(*v, [&](LCConstraintMaker& make) {
      if (i == 0) {
        (horizontal ? make.left() : make.top())
            .equalTo(horizontal ? lc_left(*superview) : lc_top(*superview))
            .offset(lead);
        return;
      }
      (horizontal ? make.width() : make.height()).equalTo(prev);
      (horizontal ? make.left() : make.top())
          .equalTo(horizontal ? lc_right(*prev) : lc_bottom(*prev))
          .offset(spacing);
      if (i == n - 1)
        (horizontal ? make.right() : make.bottom())
            .equalTo(horizontal ? lc_right(*superview) : lc_bottom(*superview))
            .offset(-tail);
    });
    prev = v;
  }
}

void lc_distributeViewsAlongAxisWithFixedItemLength(const std::vector<std::shared_ptr<ui::View>>& views,
                                                    unsigned axis, double length, double lead, double tail) {
  ui::View* s = distributionSuperview(views);
  if (!s) return;
  auto superview = s->sharedFromThis();
  const bool horizontal = axis == 0;
  const size_t n = views.size();
  for (size_t i = 0; i < n; ++i) {
    lc_makeConstraints(*views[i], [&](LCConstraintMaker& make) {
      (horizontal ? make.width() : make.height()).equalTo(LCWrapTypedValue(length));
      if (i == 0) {
        (horizontal ? make.left() : make.top())
            .equalTo(horizontal ? lc_left(*superview) : lc_top(*superview))
            .offset(lead);
      } else if (i == n - 1) {
        (horizontal ? make.right() : make.bottom())
            .equalTo(horizontal ? lc_right(*superview) : lc_bottom(*superview))
            .offset(-tail);
      } else {
        const double share = double(i) / (double(n) - 1);
        (horizontal ? make.right() : make.bottom())
            .equalTo(horizontal ? lc_right(*superview) : lc_bottom(*superview))
            .multipliedBy(share)
            .offset((length + lead) * (1 - share) - double(i) * tail / (double(n) - 1));
      }
    });
  }
}
