#include "layout/LCViewConstraint.h"

#include "layout/LCCompositeConstraint.h"
#include "layout/LCDebugAdditions.h"
#include "layout/LCViewAdditions.h"
#include "platform/foundation/Log.h"
#include "platform/ui/View.h"

using LayoutAttribute = ui::LayoutAttribute;

std::shared_ptr<LCViewConstraint> LCViewConstraint::make(const LCViewAttribute& first) {
  return std::make_shared<LCViewConstraint>(first);
}

std::vector<std::shared_ptr<LCViewConstraint>> LCViewConstraint::installedConstraintsForView(ui::View& view) {
  return lc_installedConstraints(view)->members();
}

void LCViewConstraint::setLayoutConstant(double constant) {
  layoutConstant_ = constant;
  if (!layoutConstraint_) return;
  if (useAnimator_) layoutConstraint_->animator().setConstant(constant);
  else layoutConstraint_->setConstant(constant);
}

void LCViewConstraint::setSecondViewAttribute(const LCValue& value) {
  if (value.number() || value.point() || value.size() || value.insets()) {
    setLayoutConstantWithValue(value);
  } else if (auto view = value.view()) {
    secondViewAttribute_ = LCViewAttribute(view.get(), firstViewAttribute_.layoutAttribute());
  } else if (const LCViewAttribute* a = value.attribute()) {
    secondViewAttribute_ = *a;
  }
}

std::shared_ptr<LCViewConstraint> LCViewConstraint::copy() const {
  auto c = make(firstViewAttribute_);
  c->layoutConstant_ = layoutConstant_;
  c->layoutRelation_ = layoutRelation_;
  c->layoutPriority_ = layoutPriority_;
  c->layoutMultiplier_ = layoutMultiplier_;
  c->delegate = delegate;
  return c;
}

std::shared_ptr<LCConstraint> LCViewConstraint::addConstraintWithLayoutAttribute(LayoutAttribute attribute) {
  auto d = delegate.lock();
  return d ? d->constraint(shared_from_this(), attribute) : nullptr;
}

std::shared_ptr<LCConstraint> LCViewConstraint::multipliedBy(double m) {
  layoutMultiplier_ = m;
  return shared_from_this();
}

std::shared_ptr<LCConstraint> LCViewConstraint::dividedBy(double d) {
  layoutMultiplier_ = 1.0 / d;
  return shared_from_this();
}

std::shared_ptr<LCConstraint> LCViewConstraint::priority(float p) {
  layoutPriority_ = p;
  return shared_from_this();
}

std::shared_ptr<LCConstraint> LCViewConstraint::equalToWithRelation(const LCValue& value, ui::LayoutRelation r) {
  auto keep = shared_from_this();
  if (const LCValue::Array* array = value.array()) {
    std::vector<std::shared_ptr<LCConstraint>> copies;
    for (const LCValue& element : *array) {
      auto c = copy();
      c->setLayoutRelation(r);
      c->setSecondViewAttribute(element);
      copies.push_back(c);
    }
    auto composite = LCCompositeConstraint::make(copies);
    composite->delegate = delegate;
    if (auto d = delegate.lock()) d->constraint(keep, composite);
    return composite;
  }
  setLayoutRelation(r);
  setSecondViewAttribute(value);
  return keep;
}

std::shared_ptr<LCConstraint> LCViewConstraint::key(const std::string& k) {
  key_ = k;
  return shared_from_this();
}

void LCViewConstraint::setInsets(ui::EdgeInsets i) {
  switch (firstViewAttribute_.layoutAttribute()) {
    case LayoutAttribute::Left:
    case LayoutAttribute::Leading: setLayoutConstant(i.left); break;
    case LayoutAttribute::Right:
    case LayoutAttribute::Trailing: setLayoutConstant(-i.right); break;
    case LayoutAttribute::Top: setLayoutConstant(i.top); break;
    case LayoutAttribute::Bottom: setLayoutConstant(-i.bottom); break;
    default: break;
  }
}

void LCViewConstraint::setInset(double v) { setInsets({v, v, v, v}); }

void LCViewConstraint::setSizeOffset(ui::Size s) {
  switch (firstViewAttribute_.layoutAttribute()) {
    case LayoutAttribute::Width: setLayoutConstant(s.width); break;
    case LayoutAttribute::Height: setLayoutConstant(s.height); break;
    default: break;
  }
}

void LCViewConstraint::setCenterOffset(ui::Point p) {
  switch (firstViewAttribute_.layoutAttribute()) {
    case LayoutAttribute::CenterX: setLayoutConstant(p.x); break;
    case LayoutAttribute::CenterY: setLayoutConstant(p.y); break;
    default: break;
  }
}

void LCViewConstraint::setOffset(double offset) { setLayoutConstant(offset); }

std::shared_ptr<LCConstraint> LCViewConstraint::animator() {
  useAnimator_ = true;
  return shared_from_this();
}

std::shared_ptr<LCLayoutConstraint> LCViewConstraint::layoutConstraintSimilarTo(const LCLayoutConstraint& c) const {
  auto holder = installedView();
  if (!holder) return nullptr;
  const auto& list = holder->constraints();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    auto lc = std::dynamic_pointer_cast<LCLayoutConstraint>(*it);
    if (!lc) continue;
    if (lc->firstItem() == c.firstItem() && lc->secondItem() == c.secondItem() &&
        lc->firstAttribute() == c.firstAttribute() && lc->secondAttribute() == c.secondAttribute() &&
        lc->relation() == c.relation() && lc->multiplier() == c.multiplier() && lc->priority() == c.priority())
      return lc;
  }
  return nullptr;
}

void LCViewConstraint::install() {
  LCDebugAdditions::install();
  if (hasBeenInstalled()) return;
  auto firstView = firstViewAttribute_.view();
  if (supportsActiveProperty()) {
    layoutConstraint_->setActive(true);
    if (firstView) lc_installedConstraints(*firstView)->add(shared());
    return;
  }
  auto firstItem = firstViewAttribute_.item();
  if (!firstView || !firstItem) {
    fnd::log("LCViewConstraint: not installed, its view has gone");
    return;
  }
  const LayoutAttribute firstAttribute = firstViewAttribute_.layoutAttribute();
  std::shared_ptr<ui::View> secondItem;
  LayoutAttribute secondAttribute = LayoutAttribute::NotAnAttribute;
  if (secondViewAttribute_) {
    secondItem = secondViewAttribute_->item();
    secondAttribute = secondViewAttribute_->layoutAttribute();
  }
  if (!ui::isSizeAttribute(firstAttribute) && !secondViewAttribute_) {
    if (ui::View* s = firstView->superview()) secondItem = s->sharedFromThis();
    secondAttribute = firstAttribute;
  }
  auto made = ui::LayoutConstraint::constraintWithItem<LCLayoutConstraint>(
      firstItem.get(), firstAttribute, layoutRelation_, secondItem.get(), secondAttribute, layoutMultiplier_,
      layoutConstant_);
  made->setPriority(layoutPriority_);
  made->setLc_key(key_);

  ui::View* holder = nullptr;
  if (secondViewAttribute_ && secondViewAttribute_->view()) {
    holder = lc_closestCommonSuperview(firstView.get(), secondViewAttribute_->view().get());
  } else {
    holder = ui::isSizeAttribute(firstAttribute) ? firstView.get() : firstView->superview();
  }
  installedView_ = holder ? holder->sharedFromThis() : nullptr;

  if (updateExisting && holder) {
    if (auto existing = layoutConstraintSimilarTo(*made)) {
      existing->setConstant(made->constant());
      layoutConstraint_ = existing;
      return;
    }
  }
  if (holder) {
    ui::addConstraint(*holder, made);
  } else {
    fnd::log("LCViewConstraint: no view can hold %s (%s); it has no effect", made->description().c_str(),
             secondViewAttribute_ ? "the views share no superview" : "the view has no superview");
  }
  layoutConstraint_ = made;
  lc_installedConstraints(*firstView)->add(shared());
}

void LCViewConstraint::uninstall() {
  auto keep = shared();
  // The platform constraint is kept, inactive, for a later install().
  if (supportsActiveProperty()) layoutConstraint_->setActive(false);
  if (auto firstView = firstViewAttribute_.view()) lc_installedConstraints(*firstView)->remove(this);
}
