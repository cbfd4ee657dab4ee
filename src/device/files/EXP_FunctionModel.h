// The EXP volume entry of the EXP pedal screen: on/off and the pedal's volume
// range with the texts shown for it.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class EXP_FunctionModel : public fnd::Object {
public:
  EXP_FunctionModel();

  fnd::Property<bool> on;
  // Kept by the EXP screen as the opposite of `on`.
  fnd::Property<bool> off;
  // Volume maximum and minimum, 0 to 100.
  fnd::Property<double> maxValue;
  fnd::Property<double> minValue;
  fnd::Property<std::string> maxValueString;
  fnd::Property<std::string> minValueString;

  void setOn(bool v) { on.set(v); }
  void setOff(bool v) { off.set(v); }
  void setMaxValue(double v) { maxValue.set(v); }
  void setMinValue(double v) { minValue.set(v); }
  void setMaxValueString(std::string s) { maxValueString.set(std::move(s)); }
  void setMinValueString(std::string s) { minValueString.set(std::move(s)); }

  // A new entry given every value through its setter, in the order on, off,
  // maxValue, minValue, maxValueString, minValueString.
  std::shared_ptr<EXP_FunctionModel> copy() const;
  std::shared_ptr<EXP_FunctionModel> mutableCopy() const { return copy(); }

  std::string className() const override { return "EXP_FunctionModel"; }
};

using EXP_FunctionModelPtr = std::shared_ptr<EXP_FunctionModel>;
