#pragma once
// ui::Cell: the drawing and state object a control owns. A cell draws into
// the frame its control gives it and keeps the highlight, the background
// style, the font, the alignment and the value text; it holds its control
// weakly. ButtonCell, SliderCell and TextFieldCell live beside their controls.
//
// Main thread only.

#include <memory>
#include <string>

#include "platform/ui/AttributedString.h"
#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"

namespace ui {

class Control;
class GraphicsContext;
class View;

enum class BackgroundStyle { Normal = 0, Emphasized = 1, Raised = 2, Lowered = 3 };

class Cell {
public:
  Cell() = default;
  virtual ~Cell() = default;
  Cell(const Cell&) = delete;
  Cell& operator=(const Cell&) = delete;

  // The control drawing this cell, or null. The control sets and clears it.
  Control* controlView() const { return control_; }
  void setControlView(Control* control) { control_ = control; }

  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool h);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  BackgroundStyle backgroundStyle() const { return backgroundStyle_; }
  void setBackgroundStyle(BackgroundStyle s) { backgroundStyle_ = s; }

  const std::string& stringValue() const { return string_; }
  virtual void setStringValue(std::string s) { string_ = std::move(s); }
  const Font& font() const { return font_; }
  void setFont(Font f) { font_ = std::move(f); }
  TextAlignment alignment() const { return alignment_; }
  void setAlignment(TextAlignment a) { alignment_ = a; }
  LineBreakMode lineBreakMode() const { return lineBreak_; }
  void setLineBreakMode(LineBreakMode m) { lineBreak_ = m; }
  // The value with the cell's font, alignment and line break mode in black.
  virtual AttributedString attributedStringValue() const;

  // Draws the cell's look (drawWithFrame) or its content (drawInterior).
  virtual void drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view);
  virtual void drawInteriorWithFrame(GraphicsContext& ctx, const Rect& frame, View& view);

protected:
  // Asks the control to draw again.
  void redraw() const;

private:
  Control* control_ = nullptr;
  bool highlighted_ = false;
  bool enabled_ = true;
  BackgroundStyle backgroundStyle_ = BackgroundStyle::Normal;
  std::string string_;
  Font font_ = Font::systemFontOfSize(13);
  TextAlignment alignment_ = TextAlignment::Natural;
  LineBreakMode lineBreak_ = LineBreakMode::Clipping;
};

}  // namespace ui
