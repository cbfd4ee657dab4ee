// The add/delete button at the end of a user slot row: one box split into a
// plus half (left) and a minus half (right), white strokes on a white-rimmed
// box. The pressed half is filled in the accent colour until the release;
// the release's x decides: the left half (the middle line included) calls
// AddActionBlock, the right half DeleteActionBlock, also when the release
// lies outside the box.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui/TrackingArea.h"
#include "platform/ui/View.h"

class EffectInsertButton : public ui::View {
public:
  EffectInsertButton();
  explicit EffectInsertButton(ui::Rect frame);
  std::string className() const override { return "EffectInsertButton"; }

  int64_t index = 0;
  std::function<void(EffectInsertButton&)> AddActionBlock;
  std::function<void(EffectInsertButton&)> DeleteActionBlock;

  bool isMouseDown() const { return isMouseDown_; }
  bool isAdd() const { return isAdd_; }
  // The half filled while pressed.
  ui::Rect pressedRect() const;

  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void updateTrackingAreas() override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void mouseCancelled(ui::Event& e) override;

private:
  bool isMouseDown_ = false;
  bool isAdd_ = false;
  std::shared_ptr<ui::TrackingArea> area_;
};
