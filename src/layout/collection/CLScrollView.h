#pragma once
// CLScrollView: a scroll view whose clip view is always a CLClipView, so that
// it can scroll to a rectangle with an animation.
//
// Main thread only.

#include <memory>

#include "layout/collection/CLClipView.h"
#include "platform/ui/ScrollView.h"

class CLScrollView : public ui::ScrollView {
public:
  CLScrollView() : CLScrollView(ui::Rect()) {}
  explicit CLScrollView(ui::Rect frame);
  std::string className() const override { return "CLScrollView"; }

  // The content view when it is a CLClipView.
  CLClipView* clipView() const;
  // Puts a CLClipView in place of the current clip view, keeping the document.
  void swapClipView();
  void awakeFromNib() override;
};
