// The tip box: a rounded dark box with an icon ("ic_success", "ic_warning"
// or "ic_fail" by type) above a centred white message, sized to the message:
//
//   W = single-line text width + 5, held in [100, 240]; width = W + 30
//   icon side = 0.4 × width, held in [50, 66], 20 from the top
//   text height = height of the message laid out as the label lays it out
//                 (at W less the label's inset), + 8 (0 when empty)
//   height = icon + 15 + 20 + 15 + text height, or icon + 40 without text
//
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

class NSPopNormalView : public ui::View {
public:
  enum TipType : unsigned { Success = 0, Warning = 1, Fail = 2 };
  static constexpr double kMinTextWidth = 100;
  static constexpr double kMaxTextWidth = 240;
  static constexpr double kMinIconSide = 50;
  static constexpr double kMaxIconSide = 66;
  static constexpr double kFontSize = 17;

  // A tip box sized to its message, not yet placed.
  static std::shared_ptr<NSPopNormalView> initWithType(unsigned type, const std::string& title);
  // The height `text` takes laid out in `font` at `width` (no padding).
  static double heightForString(const std::string& text, const ui::Font& font, double width);

  std::string className() const override { return "NSPopNormalView"; }

  unsigned type() const { return type_; }
  // Also picks the icon; other types than the three have none.
  void setType(unsigned type);
  const std::string& title() const { return title_; }
  void setTitle(const std::string& title) { title_ = title; }
  const std::shared_ptr<ui::Image>& tipImage() const { return tipImage_; }
  void setTipImage(std::shared_ptr<ui::Image> image) { tipImage_ = std::move(image); }
  const std::shared_ptr<ui::TextField>& titleLabel() const { return titleLabel_; }
  void setTitleLabel(std::shared_ptr<ui::TextField> l) { titleLabel_ = std::move(l); }
  const std::shared_ptr<ui::ImageView>& iconImageView() const { return iconImageView_; }
  void setIconImageView(std::shared_ptr<ui::ImageView> v) { iconImageView_ = std::move(v); }

  // Builds the box's views and sizes it.
  void prepareUI();

private:
  unsigned type_ = Success;
  std::string title_;
  std::shared_ptr<ui::Image> tipImage_;
  std::shared_ptr<ui::TextField> titleLabel_;
  std::shared_ptr<ui::ImageView> iconImageView_;
};
