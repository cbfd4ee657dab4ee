#pragma once
// LCCompositeConstraint: a statement about several attributes at once (edges,
// size, centre, a mask of attributes, a group of statements, or one attribute
// related to an array of views). Every chain word goes to every child, which
// applies it by its own attribute: edges with insets (t, l, b, r) give the
// left, right, top and bottom children l, -r, t and -b. The composite makes
// no platform constraint itself.
//
// Main thread only.

#include <memory>
#include <string>
#include <vector>

#include "layout/LCConstraint.h"

class LCCompositeConstraint : public LCConstraint, public LCConstraintDelegate {
public:
  // The children take the new composite as their delegate.
  static std::shared_ptr<LCCompositeConstraint> make(const std::vector<std::shared_ptr<LCConstraint>>& children);

  const std::vector<std::shared_ptr<LCConstraint>>& childConstraints() const { return children_; }
  const std::string& lc_key() const { return key_; }

  // ---- delegate of the children
  void constraint(const std::shared_ptr<LCConstraint>& old,
                  const std::shared_ptr<LCConstraint>& shouldBeReplacedWithConstraint) override;
  std::shared_ptr<LCConstraint> constraint(const std::shared_ptr<LCConstraint>& constraint,
                                           ui::LayoutAttribute addConstraintWithLayoutAttribute) override;

  // ---- operations, each applied to every child
  std::shared_ptr<LCConstraint> addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) override;
  std::shared_ptr<LCConstraint> multipliedBy(double multiplier) override;
  std::shared_ptr<LCConstraint> dividedBy(double divider) override;
  std::shared_ptr<LCConstraint> priority(float priority) override;
  std::shared_ptr<LCConstraint> equalToWithRelation(const LCValue& attribute, ui::LayoutRelation relation) override;
  // The composite's own key, and "key[i]" for child i.
  std::shared_ptr<LCConstraint> key(const std::string& key) override;
  void setInsets(ui::EdgeInsets insets) override;
  void setInset(double inset) override;
  void setSizeOffset(ui::Size sizeOffset) override;
  void setCenterOffset(ui::Point centerOffset) override;
  void setOffset(double offset) override;
  std::shared_ptr<LCConstraint> animator() override;
  void activate() override;
  void deactivate() override;
  // Children install with the composite's updateExisting.
  void install() override;
  void uninstall() override;

private:
  template <class F>
  std::shared_ptr<LCConstraint> each(F f) {
    auto keep = shared_from_this();
    for (auto& c : std::vector<std::shared_ptr<LCConstraint>>(children_)) f(*c);
    return keep;
  }
  std::vector<std::shared_ptr<LCConstraint>> children_;
  std::string key_;
};
