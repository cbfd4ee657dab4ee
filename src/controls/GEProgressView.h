// Two plain views for layouts: GEProgressView keeps a progress value (any
// value, unchecked) and draws nothing of its own; GGNormalView fills itself
// with backBgColor when it has one.
//
// Main thread only.
#pragma once

#include <optional>

#include "platform/ui/View.h"

class GEProgressView : public ui::View {
public:
  using ui::View::View;
  std::string className() const override { return "GEProgressView"; }
  double progress() const { return progress_; }
  void setProgress(double p) { progress_ = p; }

private:
  double progress_ = 0;
};

class GGNormalView : public ui::View {
public:
  using ui::View::View;
  std::string className() const override { return "GGNormalView"; }
  const std::optional<ui::Color>& backBgColor() const { return backBgColor_; }
  void setBackBgColor(std::optional<ui::Color> c);
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  std::optional<ui::Color> backBgColor_;
};
