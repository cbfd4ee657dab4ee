#include "platform/ui/ImageView.h"

#include "platform/ui/GraphicsContext.h"

namespace ui {

void ImageView::setImage(std::shared_ptr<Image> image) {
  image_ = std::move(image);
  invalidateIntrinsicContentSize();
  setNeedsDisplay(true);
}

void ImageView::setImageScaling(ImageScaling s) {
  scaling_ = s;
  setNeedsDisplay(true);
}

Size ImageView::intrinsicContentSize() const {
  if (!image_) return {NoIntrinsicMetric, NoIntrinsicMetric};
  return image_->size();
}

void ImageView::drawRect(GraphicsContext& ctx, const Rect&) {
  if (!image_) return;
  // A stretchable image fills the bounds; others keep their proportions.
  const Rect dst = image_->hasCapInsets() ? bounds() : scaledImageRect(image_->size(), bounds(), scaling_);
  ctx.drawImage(*image_, dst);
}

}  // namespace ui
