// A drop shadow: while set in a drawing context, every fill, stroke, text and
// image drawn there is first drawn in the shadow colour, moved by the offset.
// The offset is in screen terms, width to the right and height upwards,
// whatever the view's flipping or the current transform. A blur radius is
// kept but not rendered: the copy is sharp.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace ui {

struct Shadow {
  Size shadowOffset;
  double shadowBlurRadius = 0;
  Color shadowColor = Color::blackColor().withAlphaComponent(1.0 / 3);

  // Makes this the current context's shadow until the state is restored.
  void set() const;

  friend bool operator==(const Shadow&, const Shadow&) = default;
};

}  // namespace ui
