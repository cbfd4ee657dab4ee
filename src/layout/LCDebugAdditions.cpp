#include "layout/LCDebugAdditions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "layout/LCLayoutConstraint.h"
#include "layout/LCViewAdditions.h"
#include "platform/ui/View.h"

namespace {
const char* kMissing = "(null)";

std::string g(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

template <class M, class K>
std::string lookup(const M& table, K key) {
  auto it = table.find(key);
  return it == table.end() ? kMissing : it->second;
}
}  // namespace

const std::map<long, std::string>& LCDebugAdditions::layoutRelationDescriptionsByValue() {
  static const std::map<long, std::string> table{{0, "=="}, {1, ">="}, {-1, "<="}};
  return table;
}

const std::map<long, std::string>& LCDebugAdditions::layoutAttributeDescriptionsByValue() {
  static const std::map<long, std::string> table{
      {1, "left"},     {2, "right"},     {3, "top"},     {4, "bottom"},  {5, "leading"},  {6, "trailing"},
      {7, "width"},    {8, "height"},    {9, "centerX"}, {10, "centerY"}, {11, "baseline"}};
  return table;
}

const std::map<float, std::string>& LCDebugAdditions::layoutPriorityDescriptionsByValue() {
  static const std::map<float, std::string> table{{1000.f, "required"},
                                                  {750.f, "high"},
                                                  {510.f, "drag can resize window"},
                                                  {501.f, "medium"},
                                                  {500.f, "window size stay put"},
                                                  {490.f, "drag cannot resize window"},
                                                  {250.f, "low"},
                                                  {50.f, "fitting size"}};
  return table;
}

std::string LCDebugAdditions::descriptionForObject(const fnd::Object* object) {
  if (!object) return kMissing;
  std::string key;
  if (auto* c = dynamic_cast<const LCLayoutConstraint*>(object)) key = c->lc_key();
  else if (auto* v = dynamic_cast<const ui::View*>(object)) key = lc_key(*v);
  if (!key.empty()) return object->className() + ":" + key;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", static_cast<const void*>(object));
  return object->className() + ":" + buf;
}

std::string LCDebugAdditions::description(const ui::LayoutConstraint& c) {
  std::string s = "<" + descriptionForObject(&c);
  auto first = c.firstItem();
  s += " " + descriptionForObject(first.get());
  if (c.firstAttribute() != ui::LayoutAttribute::NotAnAttribute)
    s += "." + lookup(layoutAttributeDescriptionsByValue(), long(c.firstAttribute()));
  s += " " + lookup(layoutRelationDescriptionsByValue(), long(c.relation()));
  if (auto second = c.secondItem()) s += " " + descriptionForObject(second.get());
  const bool hasSecondAttribute = c.secondAttribute() != ui::LayoutAttribute::NotAnAttribute;
  if (hasSecondAttribute) s += "." + lookup(layoutAttributeDescriptionsByValue(), long(c.secondAttribute()));
  if (c.multiplier() != 1) s += " * " + g(c.multiplier());
  if (!hasSecondAttribute) {
    s += " " + g(c.constant());
  } else if (c.constant() != 0) {
    s += std::string(c.constant() < 0 ? " - " : " + ") + g(std::fabs(c.constant()));
  }
  if (c.priority() != 1000) {
    auto& table = layoutPriorityDescriptionsByValue();
    auto it = table.find(c.priority());
    if (it != table.end()) {
      s += " ^" + it->second;
    } else {
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, double(c.priority()));
      s += " ^" + std::string(buf, r.ptr);
    }
  }
  return s + ">";
}

void LCDebugAdditions::install() {
  static std::once_flag once;
  std::call_once(once, [] { ui::LayoutConstraint::setDescriptionProvider(&LCDebugAdditions::description); });
}
