// The two-picture on/off switch. A click flips it and then tells
// ChangeSwitchStatus the new state; setIsOn() only redraws, so a state set
// from the unit is never echoed back. The picture keeps its proportions,
// fills the width, is never more than 15 high, and is centred. A release
// anywhere after a press on the switch flips it.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Image.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

class GGSwitch : public ui::View {
public:
  static constexpr double kMaxHeight = 15;

  GGSwitch();
  explicit GGSwitch(ui::Rect frame);
  std::string className() const override { return "GGSwitch"; }

  bool isOn() const { return isOn_; }
  void setIsOn(bool on);
  std::function<void(bool)> ChangeSwitchStatus;
  std::shared_ptr<ui::Image> OnImage;
  std::shared_ptr<ui::Image> OffImage;

  // Where the current picture is drawn; empty when there is none.
  ui::Rect pictureRect() const;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void updateTrackingAreas() override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;

private:
  bool isOn_ = false;
  std::shared_ptr<ui::TrackingArea> area_;
};
