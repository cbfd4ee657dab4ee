#pragma once
// LCViewConstraint: one statement of the layout language about one attribute
// of one view: first attribute, relation, right-hand side (another view's
// attribute, the superview's same attribute, or only the constant),
// multiplier, constant and priority. install() turns it into one platform
// constraint (LCLayoutConstraint) held by the right view:
//  - the closest common superview of the two views when there is a second;
//  - otherwise the view itself for a size, and its superview for a position
//    (which is then related to the superview's same attribute).
// After installation a new constant moves the view at the next layout pass;
// multiplier and priority are read only at installation.
//
// The platform constraint is held strongly, so uninstall() followed by
// install() reactivates the same one. A statement that cannot be installed
// (its view gone, no view to hold it) is logged and has no effect.
//
// Main thread only.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/LCConstraint.h"
#include "layout/LCLayoutConstraint.h"
#include "layout/LCViewAttribute.h"

class LCViewConstraint : public LCConstraint {
public:
  static std::shared_ptr<LCViewConstraint> make(const LCViewAttribute& firstViewAttribute);
  explicit LCViewConstraint(const LCViewAttribute& firstViewAttribute) : firstViewAttribute_(firstViewAttribute) {}

  // The language's constraints installed with `view` as first view.
  static std::vector<std::shared_ptr<LCViewConstraint>> installedConstraintsForView(ui::View& view);

  // ---- fields
  const LCViewAttribute& firstViewAttribute() const { return firstViewAttribute_; }
  const std::optional<LCViewAttribute>& secondViewAttribute() const { return secondViewAttribute_; }
  double layoutConstant() const { return layoutConstant_; }
  void setLayoutConstant(double constant);
  ui::LayoutRelation layoutRelation() const { return layoutRelation_; }
  void setLayoutRelation(ui::LayoutRelation relation) { layoutRelation_ = relation; }
  // A view means its same attribute; a view attribute is kept; a boxed
  // value is the constant; anything else is ignored.
  void setSecondViewAttribute(const LCValue& value);
  float layoutPriority() const { return layoutPriority_; }
  double layoutMultiplier() const { return layoutMultiplier_; }
  const std::string& lc_key() const { return key_; }
  bool useAnimator() const { return useAnimator_; }
  std::shared_ptr<ui::View> installedView() const { return installedView_.lock(); }
  const std::shared_ptr<LCLayoutConstraint>& layoutConstraint() const { return layoutConstraint_; }

  // A copy with the same first attribute, constant, relation, priority,
  // multiplier and delegate; nothing else.
  std::shared_ptr<LCViewConstraint> copy() const;

  bool supportsActiveProperty() const { return layoutConstraint_ != nullptr; }
  bool isActive() const { return !supportsActiveProperty() || layoutConstraint_->isActive(); }
  bool hasBeenInstalled() const { return layoutConstraint_ && isActive(); }
  // The last constraint the holding view holds that the language made with
  // the same items, attributes, relation, multiplier and priority.
  std::shared_ptr<LCLayoutConstraint> layoutConstraintSimilarTo(const LCLayoutConstraint& c) const;

  // ---- operations
  std::shared_ptr<LCConstraint> addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) override;
  std::shared_ptr<LCConstraint> multipliedBy(double multiplier) override;
  std::shared_ptr<LCConstraint> dividedBy(double divider) override;
  std::shared_ptr<LCConstraint> priority(float priority) override;
  std::shared_ptr<LCConstraint> equalToWithRelation(const LCValue& attribute, ui::LayoutRelation relation) override;
  std::shared_ptr<LCConstraint> key(const std::string& key) override;
  void setInsets(ui::EdgeInsets insets) override;
  void setInset(double inset) override;
  void setSizeOffset(ui::Size sizeOffset) override;
  void setCenterOffset(ui::Point centerOffset) override;
  void setOffset(double offset) override;
  std::shared_ptr<LCConstraint> animator() override;
  void activate() override { install(); }
  void deactivate() override { uninstall(); }
  void install() override;
  void uninstall() override;

private:
  std::shared_ptr<LCViewConstraint> shared() {
    return std::static_pointer_cast<LCViewConstraint>(shared_from_this());
  }

  LCViewAttribute firstViewAttribute_;
  double layoutConstant_ = 0;
  ui::LayoutRelation layoutRelation_ = ui::LayoutRelation::Equal;
  std::optional<LCViewAttribute> secondViewAttribute_;
  std::weak_ptr<ui::View> installedView_;
  std::shared_ptr<LCLayoutConstraint> layoutConstraint_;
  float layoutPriority_ = 1000;
  double layoutMultiplier_ = 1;
  std::string key_;
  bool useAnimator_ = false;
};
