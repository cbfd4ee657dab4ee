#include "platform/ui/LayoutConstraint.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ConstraintEngine.h"
#include "platform/ui/View.h"

namespace ui {

namespace {
LayoutConstraint::DescriptionProvider& provider() {
  static LayoutConstraint::DescriptionProvider p;
  return p;
}

std::string viewName(const std::shared_ptr<View>& v) {
  if (!v) return "nil";
  char buf[64];
  std::snprintf(buf, sizeof buf, ":%p", static_cast<const void*>(v.get()));
  return v->className() + buf;
}
}  // namespace

bool isSizeAttribute(LayoutAttribute a) { return a == LayoutAttribute::Width || a == LayoutAttribute::Height; }

bool isHorizontalAttribute(LayoutAttribute a) {
  switch (a) {
    case LayoutAttribute::Left:
    case LayoutAttribute::Right:
    case LayoutAttribute::Leading:
    case LayoutAttribute::Trailing:
    case LayoutAttribute::CenterX:
    case LayoutAttribute::Width: return true;
    default: return false;
  }
}

LayoutConstraint::~LayoutConstraint() {
  // Still listed when it goes with the view holding it.
  unlinkItems();
  if (animationTick_) AnimationClock::shared().unsubscribe(animationTick_);
}

void LayoutConstraint::linkItems() {
  unlinkItems();
  auto first = firstItem();
  auto second = secondItem();
  if (first) linked_[0] = first.get();
  if (second && second != first) linked_[1] = second.get();
  for (View* v : linked_)
    if (v) v->namingConstraints_.push_back(this);
}

void LayoutConstraint::unlinkItems() {
  for (View*& v : linked_) {
    if (!v) continue;
    auto& list = v->namingConstraints_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
      *it = list.back();
      list.pop_back();
    }
    v = nullptr;
  }
}

void LayoutConstraint::itemWillGo(const View* item) {
  for (View*& v : linked_)
    if (v == item) v = nullptr;
}

void LayoutConstraint::setUp(View* first, LayoutAttribute a1, LayoutRelation r, View* second, LayoutAttribute a2,
                             double m, double c) {
  if (first) first_ = first->sharedFromThis();
  if (second) second_ = second->sharedFromThis();
  hadFirst_ = first != nullptr;
  hadSecond_ = second != nullptr;
  firstAttribute_ = a1;
  relation_ = r;
  secondAttribute_ = a2;
  multiplier_ = m;
  constant_ = c;
}

bool LayoutConstraint::hasLostItem() const {
  return (hadFirst_ && first_.expired()) || (hadSecond_ && second_.expired());
}

void LayoutConstraint::setDescriptionProvider(DescriptionProvider p) { provider() = std::move(p); }

std::string LayoutConstraint::description() const {
  if (provider()) return provider()(*this);
  return plainDescription();
}

std::string LayoutConstraint::plainDescription() const {
  char buf[160];
  std::snprintf(buf, sizeof buf, " relation %ld attribute %ld * %g + %g priority %g>", long(relation_),
                long(secondAttribute_), multiplier_, constant_, double(priority_));
  return "<" + className() + " " + viewName(firstItem()) + " attribute " + std::to_string(long(firstAttribute_)) +
         " " + viewName(secondItem()) + buf;
}

void LayoutConstraint::changed() {
  if (!isActive()) return;
  if (auto* engine = dynamic_cast<ConstraintEngine*>(layoutEngineHooks())) engine->constraintDidChange(*this, false);
}

void LayoutConstraint::setConstant(double constant) {
  if (constant == constant_) return;
  constant_ = constant;
  changed();
}

void LayoutConstraint::setPriority(float priority) {
  if (priority == priority_) return;
  priority_ = priority;
  changed();
}

void LayoutConstraint::setActive(bool active) {
  if (active == isActive()) return;
  auto self = std::static_pointer_cast<LayoutConstraint>(shared_from_this());
  if (!active) {
    if (auto h = holder()) removeConstraint(*h, self);
    return;
  }
  auto first = firstItem();
  auto second = secondItem();
  View* holder = nullptr;
  if (first) holder = second ? first->ancestorSharedWith(second.get()) : first.get();
  if (!holder) {
    fnd::log("Layout constraint not activated: %s: %s",
             !first             ? (hasLostItem() ? "its first item has gone" : "it has no first item")
             : hasLostItem()    ? "its second item has gone"
                                : "its items have no common ancestor",
             description().c_str());
    return;
  }
  addConstraint(*holder, self);
}

void addConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c) {
  if (!c) return;
  if (auto old = c->holder()) {
    if (old.get() == &holder) return;
    removeConstraint(*old, c);
  }
  ConstraintEngine::shared();  // the engine is there before the first constraint
  holder.constraintStorage().push_back(c);
  c->holder_ = holder.sharedFromThis();
  c->linkItems();
  if (auto* engine = dynamic_cast<ConstraintEngine*>(layoutEngineHooks())) engine->constraintDidChange(*c, true);
}

void removeConstraint(View& holder, const std::shared_ptr<LayoutConstraint>& c) {
  if (!c || c->holder().get() != &holder) return;
  auto keep = c;
  auto& list = holder.constraintStorage();
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
  c->unlinkItems();
  if (auto* engine = dynamic_cast<ConstraintEngine*>(layoutEngineHooks())) engine->constraintDidChange(*c, true);
  c->holder_.reset();
}

LayoutConstraintAnimator LayoutConstraint::animator() {
  return LayoutConstraintAnimator(std::static_pointer_cast<LayoutConstraint>(shared_from_this()));
}

void LayoutConstraintAnimator::setConstant(double to) {
  LayoutConstraint& c = *c_;
  AnimationContext* group = AnimationContext::current();
  const double duration = group ? group->duration() : AnimationContext::kDefaultDuration;
  AnimationClock& clock = AnimationClock::shared();
  if (c.animationTick_) clock.unsubscribe(c.animationTick_);
  c.animationTick_ = 0;
  if (duration <= 0) {
    c.setConstant(to);
    return;
  }
  const double from = c.constant(), start = clock.now();
  std::weak_ptr<LayoutConstraint> weak = c_;
  c.animationTick_ = clock.subscribe([weak, from, to, start, duration](double now) {
    auto k = weak.lock();
    if (!k) return;
    const double t = std::clamp((now - start) / duration, 0.0, 1.0);
    const double eased = t * t * (3 - 2 * t);
    k->setConstant(t >= 1 ? to : from + (to - from) * eased);
    if (t >= 1) {
      const uint64_t token = k->animationTick_;
      k->animationTick_ = 0;
      AnimationClock::shared().unsubscribe(token);
    }
  });
}

}  // namespace ui
