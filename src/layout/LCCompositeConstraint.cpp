#include "layout/LCCompositeConstraint.h"

#include <algorithm>

std::shared_ptr<LCCompositeConstraint> LCCompositeConstraint::make(
    const std::vector<std::shared_ptr<LCConstraint>>& children) {
  auto c = std::make_shared<LCCompositeConstraint>();
  c->children_ = children;
  for (auto& child : c->children_) child->delegate = std::static_pointer_cast<LCConstraintDelegate>(c);
  return c;
}

void LCCompositeConstraint::constraint(const std::shared_ptr<LCConstraint>& old,
                                       const std::shared_ptr<LCConstraint>& replacement) {
  auto it = std::find(children_.begin(), children_.end(), old);
  if (it != children_.end() && replacement) *it = replacement;
}

std::shared_ptr<LCConstraint> LCCompositeConstraint::constraint(const std::shared_ptr<LCConstraint>&,
                                                                ui::LayoutAttribute attribute) {
  auto owner = delegate.lock();
  // Without an owner there is no view to make a constraint for.
  auto made = owner ? owner->constraint(shared_from_this(), attribute) : nullptr;
  if (!made) return nullptr;
  made->delegate = std::static_pointer_cast<LCConstraintDelegate>(
      std::static_pointer_cast<LCCompositeConstraint>(shared_from_this()));
  children_.push_back(made);
  return made;
}

std::shared_ptr<LCConstraint> LCCompositeConstraint::addConstraintWithLayoutAttribute(ui::LayoutAttribute a) {
  constraint(shared_from_this(), a);
  return shared_from_this();
}

std::shared_ptr<LCConstraint> LCCompositeConstraint::multipliedBy(double m) {
  return each([&](LCConstraint& c) { c.multipliedBy(m); });
}
std::shared_ptr<LCConstraint> LCCompositeConstraint::dividedBy(double d) {
  return each([&](LCConstraint& c) { c.dividedBy(d); });
}
std::shared_ptr<LCConstraint> LCCompositeConstraint::priority(float p) {
  return each([&](LCConstraint& c) { c.priority(p); });
}
std::shared_ptr<LCConstraint> LCCompositeConstraint::equalToWithRelation(const LCValue& v, ui::LayoutRelation r) {
  return each([&](LCConstraint& c) { c.equalToWithRelation(v, r); });
}

std::shared_ptr<LCConstraint> LCCompositeConstraint::key(const std::string& k) {
  key_ = k;
  auto keep = shared_from_this();
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->key(k + "[" + std::to_string(i) + "]");
  return keep;
}

void LCCompositeConstraint::setInsets(ui::EdgeInsets i) {
  each([&](LCConstraint& c) { c.setInsets(i); });
}
void LCCompositeConstraint::setInset(double v) {
  each([&](LCConstraint& c) { c.setInset(v); });
}
void LCCompositeConstraint::setSizeOffset(ui::Size s) {
  each([&](LCConstraint& c) { c.setSizeOffset(s); });
}
void LCCompositeConstraint::setCenterOffset(ui::Point p) {
  each([&](LCConstraint& c) { c.setCenterOffset(p); });
}
void LCCompositeConstraint::setOffset(double o) {
  each([&](LCConstraint& c) { c.setOffset(o); });
}
std::shared_ptr<LCConstraint> LCCompositeConstraint::animator() {
  return each([&](LCConstraint& c) { c.animator(); });
}
void LCCompositeConstraint::activate() {
  each([&](LCConstraint& c) { c.activate(); });
}
void LCCompositeConstraint::deactivate() {
  each([&](LCConstraint& c) { c.deactivate(); });
}
void LCCompositeConstraint::install() {
  each([&](LCConstraint& c) {
    c.updateExisting = updateExisting;
    c.install();
  });
}
void LCCompositeConstraint::uninstall() {
  each([&](LCConstraint& c) { c.uninstall(); });
}
