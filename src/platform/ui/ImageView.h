#pragma once
// ui::ImageView: shows one image, scaled as its image scaling says and
// centred; an image with cap insets keeps its edges when stretched.
//
// Main thread only.

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/View.h"

namespace ui {

class ImageView : public View {
public:
  using View::View;
  std::string className() const override { return "ImageView"; }

  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image);
  ImageScaling imageScaling() const { return scaling_; }
  void setImageScaling(ImageScaling s);
  Size intrinsicContentSize() const override;
  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;

private:
  std::shared_ptr<Image> image_;
  ImageScaling scaling_ = ImageScaling::ProportionallyDown;
};

}  // namespace ui
