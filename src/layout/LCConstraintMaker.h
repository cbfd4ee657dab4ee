#pragma once
// LCConstraintMaker and the entry points of the layout language:
//
//     lc_makeConstraints(*label, [&](LCConstraintMaker& make) {
//       make.left().equalTo(lc_right(icon)).offset(12);
//       make.centerY().equalTo(icon);
//       make.width().equalTo(120);
//     });
//
// The maker collects the statements of the block for one view, in order (a
// composite counts as one), and installs them. lc_updateConstraints changes
// the constants of statements that match an installed constraint instead of
// adding them; lc_remakeConstraints first uninstalls every constraint the
// language installed with the view as first view. Every entry point turns off
// the view's autoresizing-mask translation. The array forms run the block for
// every view in turn; two more spread a row or column of views across their
// common superview.
//
// Main thread only; the block runs inside the call.

#include <functional>
#include <memory>
#include <vector>

#include "layout/LCConstraint.h"

namespace ui {
class View;
}

class LCConstraintMaker : public LCConstraintDelegate, public std::enable_shared_from_this<LCConstraintMaker> {
public:
  static std::shared_ptr<LCConstraintMaker> make(ui::View& view);
  explicit LCConstraintMaker(ui::View& view);

  bool updateExisting = false;
  bool removeExisting = false;
  std::shared_ptr<ui::View> view() const { return view_.lock(); }
  const std::vector<std::shared_ptr<LCConstraint>>& constraints() const { return constraints_; }

  LCConstraintRef left() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Left); }
  LCConstraintRef top() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Top); }
  LCConstraintRef right() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Right); }
  LCConstraintRef bottom() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Bottom); }
  LCConstraintRef leading() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Leading); }
  LCConstraintRef trailing() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Trailing); }
  LCConstraintRef width() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Width); }
  LCConstraintRef height() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Height); }
  LCConstraintRef centerX() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterX); }
  LCConstraintRef centerY() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterY); }
  LCConstraintRef baseline() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Baseline); }
  LCConstraintRef edges() { return addConstraintWithAttributes(30); }
  LCConstraintRef size() { return addConstraintWithAttributes(384); }
  LCConstraintRef center() { return addConstraintWithAttributes(1536); }
  LCConstraintRef attributes(unsigned mask) { return addConstraintWithAttributes(mask); }
  // A composite of the statements the block makes (they stay listed here).
  LCConstraintRef group(const std::function<void()>& block);

  std::vector<std::shared_ptr<LCConstraint>> install();

  LCConstraintRef addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute);
  LCConstraintRef addConstraintWithAttributes(unsigned mask);

  void constraint(const std::shared_ptr<LCConstraint>& old,
                  const std::shared_ptr<LCConstraint>& shouldBeReplacedWithConstraint) override;
  std::shared_ptr<LCConstraint> constraint(const std::shared_ptr<LCConstraint>& constraint,
                                           ui::LayoutAttribute addConstraintWithLayoutAttribute) override;

private:
  std::weak_ptr<LCConstraintMaker> weakSelf() { return weak_from_this(); }
  std::weak_ptr<ui::View> view_;
  std::vector<std::shared_ptr<LCConstraint>> constraints_;
};

using LCConstraintMakerBlock = std::function<void(LCConstraintMaker& make)>;
using LCConstraints = std::vector<std::shared_ptr<LCConstraint>>;

LCConstraints lc_makeConstraints(ui::View& view, const LCConstraintMakerBlock& block);
LCConstraints lc_updateConstraints(ui::View& view, const LCConstraintMakerBlock& block);
LCConstraints lc_remakeConstraints(ui::View& view, const LCConstraintMakerBlock& block);

// Every element in order; null elements are skipped.
LCConstraints lc_makeConstraints(const std::vector<std::shared_ptr<ui::View>>& views, const LCConstraintMakerBlock& block);
LCConstraints lc_updateConstraints(const std::vector<std::shared_ptr<ui::View>>& views,
                                   const LCConstraintMakerBlock& block);
LCConstraints lc_remakeConstraints(const std::vector<std::shared_ptr<ui::View>>& views,
                                   const LCConstraintMakerBlock& block);

// The closest common superview of all the views (one view: itself).
ui::View* lc_commonSuperviewOfViews(const std::vector<std::shared_ptr<ui::View>>& views);

// Axis 0 is horizontal, any other vertical. Both do nothing for fewer than two
// views, and (logged) for views without a common superview.
// Equal lengths with fixed gaps, filling the common superview between the lead
// and the tail spacing.
void lc_distributeViewsAlongAxisWithFixedSpacing(const std::vector<std::shared_ptr<ui::View>>& views, unsigned axis,
                                                 double fixedSpacing, double leadSpacing, double tailSpacing);
// Fixed lengths, the first at the lead spacing, the last at the tail spacing,
// the gaps between equal.
void lc_distributeViewsAlongAxisWithFixedItemLength(const std::vector<std::shared_ptr<ui::View>>& views,
                                                    unsigned axis, double fixedItemLength, double leadSpacing,
                                                    double tailSpacing);
