#include "layout/LCConstraint.h"

#include <stdexcept>

namespace {
[[noreturn]] void mustOverride(const char* operation) {
  throw std::logic_error(std::string("You must override ") + operation + " in a subclass.");
}
}  // namespace

std::shared_ptr<LCConstraint> LCConstraint::addConstraintWithLayoutAttribute(ui::LayoutAttribute) {
  mustOverride("addConstraintWithLayoutAttribute");
}
std::shared_ptr<LCConstraint> LCConstraint::multipliedBy(double) { mustOverride("multipliedBy"); }
std::shared_ptr<LCConstraint> LCConstraint::dividedBy(double) { mustOverride("dividedBy"); }
std::shared_ptr<LCConstraint> LCConstraint::priority(float) { mustOverride("priority"); }
std::shared_ptr<LCConstraint> LCConstraint::equalToWithRelation(const LCValue&, ui::LayoutRelation) {
  mustOverride("equalToWithRelation");
}
std::shared_ptr<LCConstraint> LCConstraint::key(const std::string&) { mustOverride("key"); }
void LCConstraint::setInsets(ui::EdgeInsets) { mustOverride("setInsets"); }
void LCConstraint::setInset(double) { mustOverride("setInset"); }
void LCConstraint::setSizeOffset(ui::Size) { mustOverride("setSizeOffset"); }
void LCConstraint::setCenterOffset(ui::Point) { mustOverride("setCenterOffset"); }
void LCConstraint::setOffset(double) { mustOverride("setOffset"); }
std::shared_ptr<LCConstraint> LCConstraint::animator() { mustOverride("animator"); }
void LCConstraint::activate() { mustOverride("activate"); }
void LCConstraint::deactivate() { mustOverride("deactivate"); }
void LCConstraint::install() { mustOverride("install"); }
void LCConstraint::uninstall() { mustOverride("uninstall"); }

void LCConstraint::setLayoutConstantWithValue(const LCValue& value) {
  if (const LCNumber* n = value.number()) {
    setOffset(n->doubleValue());
  } else if (const ui::Point* p = value.point()) {
    setCenterOffset(*p);
  } else if (const ui::Size* s = value.size()) {
    setSizeOffset(*s);
  } else if (const ui::EdgeInsets* i = value.insets()) {
    setInsets(*i);
  }
}
