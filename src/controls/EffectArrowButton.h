// A button for layouts that reports the pointer entering (1), a press (2)
// and a release (3) through one callback, and nothing else: it sends no
// action of its own and reports no exit. Made from a layout it is
// layer-backed and tracks the pointer over its bounds (the area follows its
// size); made in code it reports presses and releases only.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/TrackingArea.h"

class EffectArrowButton : public ui::Button {
public:
  enum Kind : long { Entered = 1, Down = 2, Up = 3 };
  EffectArrowButton() = default;
  explicit EffectArrowButton(ui::Rect frame) : ui::Button(frame) {}
  EffectArrowButton(ui::FromLayout, ui::Rect frame);
  std::string className() const override { return "EffectArrowButton"; }

  std::function<void(long kind, ui::Event& e)> arrowMouseAction;

  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseDragged(ui::Event&) override {}

private:
  void report(long kind, ui::Event& e);
  bool fromLayout_ = false;
  std::shared_ptr<ui::TrackingArea> area_;
};
