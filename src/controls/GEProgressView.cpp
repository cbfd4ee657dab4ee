#include "controls/GEProgressView.h"

#include "platform/ui/GraphicsContext.h"

void GGNormalView::setBackBgColor(std::optional<ui::Color> c) {
  backBgColor_ = std::move(c);
  setNeedsDisplay(true);
}

void GGNormalView::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  ui::View::drawRect(ctx, dirty);
  if (!backBgColor_) return;
  ctx.saveGState();
  ctx.setFillColor(*backBgColor_);
  ctx.fillRect(dirty);
  ctx.restoreGState();
}
