#pragma once
// LCConstraint: the grammar of one statement of the layout language, shared
// by the single constraint (LCViewConstraint) and the composite one
// (LCCompositeConstraint). A statement reads as one chain:
//
//     make.left().equalTo(lc_right(other)).offset(8);
//     make.edges().equalTo(superview).insets({10, 10, 10, 10});
//
// The chain runs on LCConstraintRef, a handle that is safe when empty (every
// word on an empty handle does nothing and gives an empty handle). The
// operations each kind of constraint supplies are the virtual members of
// LCConstraint; on LCConstraint itself they throw std::logic_error
// ("You must override install in a subclass.").
//
// Owners (the maker, a composite) are the constraint's delegate: they make
// constraints for further attribute words and put a replacement where a
// constraint stood. Main thread only.

#include <memory>
#include <string>

#include "layout/LCValue.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/LayoutConstraint.h"

class LCConstraint;

class LCConstraintDelegate {
public:
  virtual ~LCConstraintDelegate() = default;
  // `replacement` takes the place of `old` in the owner's list.
  virtual void constraint(const std::shared_ptr<LCConstraint>& old,
                          const std::shared_ptr<LCConstraint>& shouldBeReplacedWithConstraint) = 0;
  // A constraint for a further attribute of the same view.
  virtual std::shared_ptr<LCConstraint> constraint(const std::shared_ptr<LCConstraint>& constraint,
                                                   ui::LayoutAttribute addConstraintWithLayoutAttribute) = 0;
};

class LCConstraint : public std::enable_shared_from_this<LCConstraint> {
public:
  LCConstraint() = default;
  virtual ~LCConstraint() = default;
  LCConstraint(const LCConstraint&) = delete;
  LCConstraint& operator=(const LCConstraint&) = delete;

  // Set by the maker just before install(): update the constant of a similar
  // installed constraint instead of adding one.
  bool updateExisting = false;
  std::weak_ptr<LCConstraintDelegate> delegate;

  // ---- operations every kind supplies
  virtual std::shared_ptr<LCConstraint> addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute);
  virtual std::shared_ptr<LCConstraint> multipliedBy(double multiplier);
  virtual std::shared_ptr<LCConstraint> dividedBy(double divider);
  virtual std::shared_ptr<LCConstraint> priority(float priority);
  virtual std::shared_ptr<LCConstraint> equalToWithRelation(const LCValue& attribute, ui::LayoutRelation relation);
  virtual std::shared_ptr<LCConstraint> key(const std::string& key);
  virtual void setInsets(ui::EdgeInsets insets);
  virtual void setInset(double inset);
  virtual void setSizeOffset(ui::Size sizeOffset);
  virtual void setCenterOffset(ui::Point centerOffset);
  virtual void setOffset(double offset);
  virtual std::shared_ptr<LCConstraint> animator();
  virtual void activate();
  virtual void deactivate();
  virtual void install();
  virtual void uninstall();

  // A boxed number is an offset; a boxed point, size or edge insets sets
  // the centre offset, size offset or insets; anything else is ignored.
  void setLayoutConstantWithValue(const LCValue& value);

  std::shared_ptr<LCConstraint> self() { return shared_from_this(); }
};

// The chain handle. Blocks of the language are its members.
class LCConstraintRef {
public:
  LCConstraintRef() = default;
  LCConstraintRef(std::shared_ptr<LCConstraint> c) : c_(std::move(c)) {}  // NOLINT: implicit by design

  explicit operator bool() const { return c_ != nullptr; }
  const std::shared_ptr<LCConstraint>& get() const { return c_; }
  LCConstraint* operator->() const { return c_.get(); }

  LCConstraintRef equalTo(const LCValue& v) const { return relate(v, ui::LayoutRelation::Equal); }
  LCConstraintRef lc_equalTo(const LCValue& v) const { return equalTo(v); }
  LCConstraintRef greaterThanOrEqualTo(const LCValue& v) const { return relate(v, ui::LayoutRelation::GreaterThanOrEqual); }
  LCConstraintRef lc_greaterThanOrEqualTo(const LCValue& v) const { return greaterThanOrEqualTo(v); }
  LCConstraintRef lessThanOrEqualTo(const LCValue& v) const { return relate(v, ui::LayoutRelation::LessThanOrEqual); }
  LCConstraintRef lc_lessThanOrEqualTo(const LCValue& v) const { return lessThanOrEqualTo(v); }
  LCConstraintRef equalToWithRelation(const LCValue& v, ui::LayoutRelation r) const { return relate(v, r); }

  LCConstraintRef priorityLow() const { return priority(250); }
  LCConstraintRef priorityMedium() const { return priority(501); }
  LCConstraintRef priorityHigh() const { return priority(750); }
  LCConstraintRef priority(float p) const { return c_ ? LCConstraintRef(c_->priority(p)) : *this; }
  LCConstraintRef multipliedBy(double m) const { return c_ ? LCConstraintRef(c_->multipliedBy(m)) : *this; }
  LCConstraintRef dividedBy(double d) const { return c_ ? LCConstraintRef(c_->dividedBy(d)) : *this; }
  LCConstraintRef key(const std::string& k) const { return c_ ? LCConstraintRef(c_->key(k)) : *this; }
  LCConstraintRef animator() const { return c_ ? LCConstraintRef(c_->animator()) : *this; }

  LCConstraintRef insets(ui::EdgeInsets i) const { return apply([&](LCConstraint& c) { c.setInsets(i); }); }
  LCConstraintRef inset(double v) const { return apply([&](LCConstraint& c) { c.setInset(v); }); }
  LCConstraintRef sizeOffset(ui::Size s) const { return apply([&](LCConstraint& c) { c.setSizeOffset(s); }); }
  LCConstraintRef centerOffset(ui::Point p) const { return apply([&](LCConstraint& c) { c.setCenterOffset(p); }); }
  LCConstraintRef offset(double v) const { return apply([&](LCConstraint& c) { c.setOffset(v); }); }
  LCConstraintRef valueOffset(const LCValue& v) const {
    return apply([&](LCConstraint& c) { c.setLayoutConstantWithValue(v); });
  }
  // A boxed offset is written as valueOffset(LCWrapTypedValue(...)).
  LCConstraintRef lc_offset() const { return {}; }

  LCConstraintRef with() const { return *this; }
  LCConstraintRef and_() const { return *this; }

  LCConstraintRef left() const { return add(ui::LayoutAttribute::Left); }
  LCConstraintRef top() const { return add(ui::LayoutAttribute::Top); }
  LCConstraintRef right() const { return add(ui::LayoutAttribute::Right); }
  LCConstraintRef bottom() const { return add(ui::LayoutAttribute::Bottom); }
  LCConstraintRef leading() const { return add(ui::LayoutAttribute::Leading); }
  LCConstraintRef trailing() const { return add(ui::LayoutAttribute::Trailing); }
  LCConstraintRef width() const { return add(ui::LayoutAttribute::Width); }
  LCConstraintRef height() const { return add(ui::LayoutAttribute::Height); }
  LCConstraintRef centerX() const { return add(ui::LayoutAttribute::CenterX); }
  LCConstraintRef centerY() const { return add(ui::LayoutAttribute::CenterY); }
  LCConstraintRef baseline() const { return add(ui::LayoutAttribute::Baseline); }

  void activate() const { if (c_) c_->activate(); }
  void deactivate() const { if (c_) c_->deactivate(); }
  void install() const { if (c_) c_->install(); }
  void uninstall() const { if (c_) c_->uninstall(); }

private:
  LCConstraintRef relate(const LCValue& v, ui::LayoutRelation r) const {
    return c_ ? LCConstraintRef(c_->equalToWithRelation(v, r)) : *this;
  }
  LCConstraintRef add(ui::LayoutAttribute a) const {
    return c_ ? LCConstraintRef(c_->addConstraintWithLayoutAttribute(a)) : *this;
  }
  template <class F>
  LCConstraintRef apply(F f) const {
    if (c_) f(*c_);
    return *this;
  }
  std::shared_ptr<LCConstraint> c_;
};
