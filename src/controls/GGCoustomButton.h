// A button drawn entirely by the application: a background colour or
// picture, a centred (or left or right aligned), wrapped title, looks for
// hover, press and on, and an action sent to a weak target, at once, when a
// press is released inside it. Owners tell buttons apart by flagIndex or
// defaultTitle. Unset looks fall back to the title "按钮", the system font
// of size 15, black, and a clear background.
//
// y-up. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

class GGCoustomButton : public ui::View {
public:
  // Corners of the drawn background that are rounded.
  enum RectCorner : int64_t { TopLeft = 1, TopRight = 2, BottomLeft = 4, BottomRight = 8, AllCorners = -1 };

  GGCoustomButton();
  explicit GGCoustomButton(ui::Rect frame);
  std::string className() const override { return "GGCoustomButton"; }

  // ---- state
  bool mouseDown() const { return mouseDown_; }
  void setMouseDown(bool d);
  bool mouseEnter() const { return mouseEnter_; }
  bool isOn() const { return isOn_; }
  // Redraws, also when unchanged.
  void setIsOn(bool on);
  int64_t flagIndex = 0;
  bool isNeedEnterStatus = false;

  // ---- target and action: sent with the button when the target is alive.
  std::shared_ptr<fnd::Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<fnd::Object>& t) { target_ = t; }
  std::function<void(GGCoustomButton&)> action;

  // ---- looks (setters that change the drawing redraw)
  double radius() const { return radius_; }
  void setRadius(double r);
  int64_t rectCorners = 0;
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double w);
  std::optional<ui::Color> borderColor() const { return borderColor_; }
  void setBorderColor(std::optional<ui::Color> c);
  std::shared_ptr<ui::Image> iconImage;
  const std::string& defaultTitle() const { return defaultTitle_; }
  void setDefaultTitle(const std::string& t);
  const std::string& selectedTitle() const { return selectedTitle_; }
  void setSelectedTitle(const std::string& t);
  std::optional<ui::Color> defaultTitleColor() const { return defaultTitleColor_; }
  void setDefaultTitleColor(std::optional<ui::Color> c);
  std::optional<ui::Color> selectedTitleColor() const { return selectedTitleColor_; }
  void setSelectedTitleColor(std::optional<ui::Color> c);
  std::optional<ui::Color> hlightTitleColor;
  std::optional<ui::Color> enterTitleColor;
  // 0 centred, 1 left, others right.
  int32_t textAlignment() const { return textAlignment_; }
  void setTextAlignment(int32_t a);
  std::optional<ui::Font> defaultFont() const { return defaultFont_; }
  void setDefaultFont(std::optional<ui::Font> f);
  std::optional<ui::Font> selectedFont() const { return selectedFont_; }
  void setSelectedFont(std::optional<ui::Font> f);
  std::shared_ptr<ui::Image> defaultBackgroundImage() const { return defaultBackgroundImage_; }
  void setDefaultBackgroundImage(std::shared_ptr<ui::Image> i);
  std::shared_ptr<ui::Image> selectedBackgroundImage() const { return selectedBackgroundImage_; }
  void setSelectedBackgroundImage(std::shared_ptr<ui::Image> i);
  std::optional<ui::Color> defaultBackgroundColor() const { return defaultBackgroundColor_; }
  void setDefaultBackgroundColor(std::optional<ui::Color> c);
  std::optional<ui::Color> selectedBackgroundColor() const { return selectedBackgroundColor_; }
  void setSelectedBackgroundColor(std::optional<ui::Color> c);
  std::optional<ui::Color> entertBackgroundColor;

  // What the button draws now.
  struct Look {
    std::string title;
    ui::Font font = ui::Font::systemFontOfSize(15);
    ui::Color titleColor;
    ui::Color backgroundColor;
    std::shared_ptr<ui::Image> backgroundImage;
  };
  Look currentLook() const;
  // Where the title goes in the bounds.
  ui::Rect titleRect() const;

  void redraw();
  void updateTrackingAreas() override;
  void removeFromSuperview() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseCancelled(ui::Event& e) override;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  bool mouseDown_ = false;
  bool mouseEnter_ = false;
  bool isOn_ = false;
  std::weak_ptr<fnd::Object> target_;
  double radius_ = 0;
  double borderWidth_ = 0;
  std::optional<ui::Color> borderColor_;
  std::string defaultTitle_;
  std::string selectedTitle_;
  std::optional<ui::Color> defaultTitleColor_;
  std::optional<ui::Color> selectedTitleColor_;
  int32_t textAlignment_ = 0;
  std::optional<ui::Font> defaultFont_;
  std::optional<ui::Font> selectedFont_;
  std::shared_ptr<ui::Image> defaultBackgroundImage_;
  std::shared_ptr<ui::Image> selectedBackgroundImage_;
  std::optional<ui::Color> defaultBackgroundColor_;
  std::optional<ui::Color> selectedBackgroundColor_;
  std::shared_ptr<ui::TrackingArea> area_;
};
