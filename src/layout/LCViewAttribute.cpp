#include "layout/LCViewAttribute.h"

#include <cstdint>

#include "platform/ui/View.h"

LCViewAttribute::LCViewAttribute(ui::View* view, ui::View* item, ui::LayoutAttribute attribute)
    : attribute_(attribute) {
  if (view) view_ = view->sharedFromThis();
  if (item) item_ = item->sharedFromThis();
}

bool LCViewAttribute::isEqual(const LCViewAttribute& other) const {
  return view().get() == other.view().get() && attribute_ == other.attribute_;
}

size_t LCViewAttribute::hash() const {
  const auto v = view();
  const uint64_t h = v ? uint64_t(v->hash()) : 0;
  const uint64_t rotated = (h << 32) | (h >> 32);
  return size_t(rotated ^ uint64_t(long(attribute_)));
}
