#pragma once
// The view under everything else in a collection view cell: paints the cell's
// background colour and image through its layer. A fade transition keeps the
// look it had and lays it over the new look with an opacity falling from 1 to
// 0 over the duration, so a restyle (a selection change) cross-fades.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"

class CLCollectionView;

class CLCollectionViewCellBackgroundView : public ui::View {
public:
  CLCollectionViewCellBackgroundView() : CLCollectionViewCellBackgroundView(ui::Rect()) {}
  explicit CLCollectionViewCellBackgroundView(ui::Rect frame);
  ~CLCollectionViewCellBackgroundView() override;
  std::string className() const override { return "CLCollectionViewCellBackgroundView"; }

  std::optional<ui::Color> color() const { return color_; }
  void setColor(std::optional<ui::Color> c);
  std::shared_ptr<ui::Image> image() const { return image_; }
  void setImage(std::shared_ptr<ui::Image> image);
  std::shared_ptr<CLCollectionView> collectionView() const { return collectionView_.lock(); }
  void setCollectionView(std::weak_ptr<CLCollectionView> cv) { collectionView_ = std::move(cv); }

  void setFrame(const ui::Rect& frame) override;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

  // Cross-fades from the current look over `duration` seconds (on the
  // animation clock); a transition under the same key replaces the old one.
  void addFadeTransition(double duration);
  bool hasFadeTransition() const { return fadeToken_ != 0; }
  void removeAllAnimations();

private:
  void updateLayer();

  std::optional<ui::Color> color_;
  std::shared_ptr<ui::Image> image_;
  std::weak_ptr<CLCollectionView> collectionView_;
  // The look being faded out.
  std::optional<ui::Color> fadeColor_;
  std::shared_ptr<ui::Image> fadeImage_;
  double fadeStart_ = 0;
  double fadeDuration_ = 0;
  double fadeOpacity_ = 0;
  uint64_t fadeToken_ = 0;
};
