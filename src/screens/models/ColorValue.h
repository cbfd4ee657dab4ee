// Colours as observable property values: an array of the four components red,
// green, blue and alpha (0 to 1). A value of another shape reads as black.
#pragma once

#include "platform/foundation/Value.h"
#include "platform/ui/Color.h"

namespace fnd {

template <>
struct ValueTraits<ui::Color, void> {
  static Value toValue(const ui::Color& c) {
    return Value(Array{c.redComponent(), c.greenComponent(), c.blueComponent(), c.alphaComponent()});
  }
  static ui::Color fromValue(const Value& v) {
    const Array& a = v.asArray();
    if (a.size() != 4) return ui::Color();
    return ui::Color(a[0].doubleValue(), a[1].doubleValue(), a[2].doubleValue(), a[3].doubleValue());
  }
};

}  // namespace fnd
