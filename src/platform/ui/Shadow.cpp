#include "platform/ui/Shadow.h"

#include "platform/ui/GraphicsContext.h"

namespace ui {

void Shadow::set() const {
  if (auto* ctx = GraphicsContext::current()) ctx->setShadow(*this);
}

}  // namespace ui
