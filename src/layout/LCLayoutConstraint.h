#pragma once
// LCLayoutConstraint: the platform constraint the layout language makes.
// Being of this class is what marks a constraint as the language's own: the
// search for a similar constraint (LCViewConstraint) considers no other.
// Made with ui::LayoutConstraint::constraintWithItem<LCLayoutConstraint>().

#include <string>

#include "platform/ui/LayoutConstraint.h"

class LCLayoutConstraint : public ui::LayoutConstraint {
public:
  std::string className() const override { return "LCLayoutConstraint"; }
  // Debugging label copied from the language's constraint; empty for none.
  const std::string& lc_key() const { return key_; }
  void setLc_key(std::string key) { key_ = std::move(key); }

private:
  std::string key_;
};
