// One module of the module bar: the module's picture ("<name>-on" or
// "<name>-off", 69 × 80, centred), a white rounded frame while selected and
// a grey one while the pointer is over it (unless a pop-up covers the first
// window), and its action sent to a weak target on a release inside. The
// module bar sets every state.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

class GGFunctionButton : public ui::View {
public:
  using Action = std::function<void(GGFunctionButton&)>;
  static std::shared_ptr<GGFunctionButton> initWithTitle(const std::string& title, const std::string& image,
                                                         const std::shared_ptr<fnd::Object>& target, Action action);
  std::string className() const override { return "GGFunctionButton"; }

  std::shared_ptr<ui::Image> defaultImage;
  std::shared_ptr<ui::Image> enterImage;
  std::shared_ptr<ui::Image> onImage;
  std::shared_ptr<ui::Image> offImage;
  std::string title;
  int64_t index = 0;
  Action action;
  std::shared_ptr<fnd::Object> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<fnd::Object>& t) { target_ = t; }

  bool isOn() const { return isOn_; }
  void setIsOn(bool on);
  bool isHlight() const { return isHlight_; }
  void setIsHlight(bool h);
  bool isSelect() const { return isSelect_; }
  void setIsSelect(bool s);
  // Where the picture goes.
  ui::Rect pictureRect() const;

  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void updateTrackingAreas() override;
  void removeFromSuperview() override;
  void mouseDown(ui::Event& e) override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;

private:
  std::weak_ptr<fnd::Object> target_;
  bool isOn_ = false;
  bool isHlight_ = false;
  bool isSelect_ = false;
  std::shared_ptr<ui::TrackingArea> area_;
};
