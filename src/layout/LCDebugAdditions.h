#pragma once
// LCDebugAdditions: the description of every layout constraint in the
// process, compact and readable in logs:
//
//     <LCLayoutConstraint:w Button:b.width == 44 ^low>
//     <LCLayoutConstraint:k View:a.left == View:c.right * 0.5 - 8>
//
// Items are named by class and debugging label (lc_key), or class and
// address; attributes, relations and the well-known priorities by words.
// install() makes it the description of ui::LayoutConstraint; the language
// installs it before it makes its first constraint.

#include <map>
#include <string>

#include "platform/ui/LayoutConstraint.h"

namespace fnd {
class Object;
}

struct LCDebugAdditions {
  static const std::map<long, std::string>& layoutRelationDescriptionsByValue();
  static const std::map<long, std::string>& layoutAttributeDescriptionsByValue();
  static const std::map<float, std::string>& layoutPriorityDescriptionsByValue();
  // "Class:key" for an object with a debugging label, else "Class:0x...".
  static std::string descriptionForObject(const fnd::Object* object);
  static std::string description(const ui::LayoutConstraint& constraint);
  static void install();
};
