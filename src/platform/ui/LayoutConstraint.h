#pragma once
// ui::LayoutConstraint: one linear relation between attributes of two views
// (or of one view and a constant), solved by the constraint engine
// (ConstraintEngine.h):
//
//     first.attribute  relation  multiplier * second.attribute + constant
//
//  - Items are held weakly. A view that goes deactivates the constraints
//    naming it, and a view taken out of its superview those naming it (or a
//    view inside it) that a view outside it holds (View.h).
//  - Active means held by a view. setActive(true) gives the constraint to the
//    closest common ancestor of its items (the item itself when there is one);
//    when they have none it logs and stays inactive. Nothing here throws.
//  - constant and priority may change at any time; the change reaches the
//    frames at the next layout pass, through an incremental update of the
//    engine's system. Priorities below 1000 are optional.
//  - A constraint that cannot be solved (a missing item, a position related
//    to a constant or to a size, a non-finite multiplier or constant, items
//    with no common ancestor, a conflict with required constraints) is logged
//    and left out; the rest of the layout goes on.
//
// Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Object.h"

namespace ui {

class View;

enum class LayoutAttribute : long {
  NotAnAttribute = 0,
  Left = 1,
  Right = 2,
  Top = 3,
  Bottom = 4,
  Leading = 5,
  Trailing = 6,
  Width = 7,
  Height = 8,
  CenterX = 9,
  CenterY = 10,
  Baseline = 11,
};

enum class LayoutRelation : long { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

bool isSizeAttribute(LayoutAttribute a);
// Left, right, leading, trailing, centerX, width.
bool isHorizontalAttribute(LayoutAttribute a);

class LayoutConstraint;

// Changes of the constant made through it run as an animation over the
// current animation group's duration (AnimationContext).
class LayoutConstraintAnimator {
public:
  explicit LayoutConstraintAnimator(std::shared_ptr<LayoutConstraint> c) : c_(std::move(c)) {}
  void setConstant(double constant);

private:
  std::shared_ptr<LayoutConstraint> c_;
};

class LayoutConstraint : public fnd::Object {
public:
  // Makes an inactive constraint of class T (LayoutConstraint or a subclass).
  template <class T = LayoutConstraint>
  static std::shared_ptr<T> constraintWithItem(View* first, LayoutAttribute firstAttribute, LayoutRelation relation,
                                               View* second, LayoutAttribute secondAttribute, double multiplier,
                                               double constant) {
    auto c = fnd::make<T>();
    c->setUp(first, firstAttribute, relation, second, secondAttribute, multiplier, constant);
    return c;
  }

  LayoutConstraint() = default;
  ~LayoutConstraint() override;

  std::string className() const override { return "LayoutConstraint"; }
  std::string description() const override;

  std::shared_ptr<View> firstItem() const { return first_.lock(); }
  LayoutAttribute firstAttribute() const { return firstAttribute_; }
  LayoutRelation relation() const { return relation_; }
  std::shared_ptr<View> secondItem() const { return second_.lock(); }
  LayoutAttribute secondAttribute() const { return secondAttribute_; }
  double multiplier() const { return multiplier_; }
  // True when an item the constraint was made with has since gone.
  bool hasLostItem() const;

  double constant() const { return constant_; }
  void setConstant(double constant);
  float priority() const { return priority_; }
  void setPriority(float priority);
  const std::string& identifier() const { return identifier_; }
  void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

  bool isActive() const { return !holder_.expired(); }
  void setActive(bool active);
  // The view holding the constraint while it is active.
  std::shared_ptr<View> holder() const { return holder_.lock(); }

  LayoutConstraintAnimator animator();

  // Every constraint's description() comes from here; the layout language
  // installs its own. An empty function restores the plain one.
  using DescriptionProvider = std::function<std::string(const LayoutConstraint&)>;
  static void setDescriptionProvider(DescriptionProvider provider);
  std::string plainDescription() const;

private:
  friend class LayoutConstraintAnimator;
  friend class View;
  friend void addConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c);
  friend void removeConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c);
  void setUp(View* first, LayoutAttribute a1, LayoutRelation r, View* second, LayoutAttribute a2, double m,
             double c);
  void changed();
  // While active, the constraint is listed with its items (View's
  // namingConstraints_), and they here; a view that goes unlists itself.
  void linkItems();
  void unlinkItems();
  void itemWillGo(const View* item);

  std::weak_ptr<View> first_;
  std::weak_ptr<View> second_;
  bool hadFirst_ = false;
  bool hadSecond_ = false;
  LayoutAttribute firstAttribute_ = LayoutAttribute::NotAnAttribute;
  LayoutAttribute secondAttribute_ = LayoutAttribute::NotAnAttribute;
  LayoutRelation relation_ = LayoutRelation::Equal;
  double multiplier_ = 1;
  double constant_ = 0;
  float priority_ = 1000;
  std::string identifier_;
  std::weak_ptr<View> holder_;
  View* linked_[2] = {nullptr, nullptr};
  uint64_t animationTick_ = 0;
};

// `holder` holds the constraint and the constraint becomes active; a
// constraint held by another view moves. The holder should contain both
// items; when it does not, the solve leaves the constraint out.
void addConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c);
void removeConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c);

}  // namespace ui
