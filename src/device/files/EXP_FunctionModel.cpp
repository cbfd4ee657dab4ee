#include "device/files/EXP_FunctionModel.h"

EXP_FunctionModel::EXP_FunctionModel()
    : on(this, "on", false),
      off(this, "off", false),
      maxValue(this, "maxValue", 0.0),
      minValue(this, "minValue", 0.0),
      maxValueString(this, "maxValueString"),
      minValueString(this, "minValueString") {}

std::shared_ptr<EXP_FunctionModel> EXP_FunctionModel::copy() const {
  auto out = fnd::make<EXP_FunctionModel>();
  out->setOn(on.get());
  out->setOff(off.get());
  out->setMaxValue(maxValue.get());
  out->setMinValue(minValue.get());
  out->setMaxValueString(maxValueString.get());
  out->setMinValueString(minValueString.get());
  return out;
}
