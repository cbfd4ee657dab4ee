// The general push button of the screens. Four looks, each with its image,
// title colour, background and (when hasBorder) border and corner radius:
// 0 normal, 1 hover, 2 pressed, 3 selected.
//
// It tracks the mouse itself: entering gives hover, a press gives pressed,
// leaving gives normal (also during a press), and a release over the button
// sends the action on a later turn of the main queue, with the button as the
// sender. With canSelected a click toggles the selected look, which enter,
// leave and press then leave alone. Every enter, press, release and exit is
// reported to arrowMouseAction, even while the button is disabled (which
// changes no look and sends nothing). A press that ends
// without a release (the button hidden or taken away) reports its exit and
// release all the same.
//
// A state without an image keeps showing the image shown last.
//
// Main thread only.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/Button.h"
#include "platform/ui/TrackingArea.h"

class SWSTAnswerButton : public ui::Button {
public:
  enum State : unsigned { Normal = 0, Hover = 1, Highlight = 2, Selected = 3 };

  SWSTAnswerButton();
  explicit SWSTAnswerButton(ui::Rect frame);
  std::string className() const override { return "SWSTAnswerButton"; }

  // Per-state looks, indexed by State. Setting them shows at the next look
  // change.
  std::array<double, 4> cornerRadii{};
  std::array<double, 4> borderWidths{};
  std::array<ui::Color, 4> borderColors;
  std::array<ui::Color, 4> titleColors;
  std::array<std::shared_ptr<ui::Image>, 4> images;
  std::array<ui::Color, 4> backgroundColors;
  // What arrowMouseAction is told (the numbers are the kinds' old codes).
  enum class MouseEvent : int { Entered = 1, Down = 2, Up = 3, Exited = 4 };
  std::function<void(MouseEvent)> arrowMouseAction;

  bool selected() const { return selected_; }
  bool hover() const { return hover_; }
  bool mouseUpFlag() const { return mouseUp_; }
  unsigned buttonState() const { return buttonState_; }
  void setButtonState(unsigned state);
  bool canSelected() const { return canSelected_; }
  void setCanSelected(bool c);
  bool hasBorder() const { return hasBorder_; }
  void setHasBorder(bool b);
  const std::shared_ptr<ui::Image>& defaultImage() const { return defaultImage_; }

  void updateButtonApperaceWithState(unsigned state);
  void setFontColor(const ui::Color& c);
  void setTitle(const std::string& t);

  void viewWillMoveToSuperview(ui::View* newSuperview) override;
  void awakeFromNib() override;
  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void mouseCancelled(ui::Event& e) override;

private:
  void commonInitialize();
  void report(MouseEvent kind);
  bool selected_ = false;
  bool hover_ = false;
  bool mouseUp_ = true;
  bool pressed_ = false;
  bool exitSent_ = false;  // an exit told for a press cut short
  bool canSelected_ = false;
  bool hasBorder_ = false;
  unsigned buttonState_ = Normal;
  std::shared_ptr<ui::Image> defaultImage_;
  std::shared_ptr<ui::TrackingArea> trackingArea_;
};
