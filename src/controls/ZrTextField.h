// The text classes of the screens:
//
//  - ZrTextField: the preset-name field. It carries an input style (0 to 4)
//    with bounds, decimal places and a pattern; choosing a style clamps a
//    numeric text into the bounds. It never selects its whole text by itself
//    and does nothing at the end of an edit (no action, no delegate call).
//    Owners set themselves as its delegate and filter the typed text against
//    the pattern themselves.
//  - ZrTextFieldCell: centres its text vertically and draws it white when
//    highlighted on the emphasised (dark) background; ZrEditTextFieldCell
//    also gives the editor white text and caret.
//  - KATextField: never selects its whole text by itself. CommonTextField:
//    plain.
//  - TitleLabel: a label whose text is always set on the main queue, so any
//    thread may set it; a read straight after a set still gives the old text.
//
// Main thread only, except TitleLabel::setStringValue.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/TextField.h"

class ZrTextField : public ui::TextField {
public:
  static constexpr const char* kIntegerPattern = "^(\\-|\\+)?\\d{1,5}?$";

  ZrTextField();
  explicit ZrTextField(ui::Rect frame);
  std::string className() const override { return "ZrTextField"; }

  // Sets the style and bounds, clamps a numeric text into them and picks
  // the pattern: 0 and 1 integers, 2 signed and 3 unsigned decimals with
  // `decimallaces` places, 4 the owner's patternString; others keep it.
  void Zr_TextFieldStyle(long style, double minValue, double maxValue, long decimallaces);

  long inputStyle = 1;
  double maxValue = 2147483647.0;
  double minValue = -2147483648.0;
  long decimallaces = 2;
  long tagNumber = 0;
  std::string patternString;
  ui::Color customTextColor;
  long inputCount = 999;
  bool editsStatu = false;
  long result = 0;
  std::string tempString;
  const std::string& pattern() const { return pattern_; }

  bool textShouldBeginEditing() override { return true; }
  void textDidEndEditing() override {}
  void selectText() override {}

private:
  std::string pattern_ = kIntegerPattern;
};

class ZrTextFieldCell : public ui::TextFieldCell {
public:
  ui::Rect titleRectForBounds(const ui::Rect& bounds) const override;
  void drawInteriorWithFrame(ui::GraphicsContext& ctx, const ui::Rect& frame, ui::View& view) override;
};

class ZrEditTextFieldCell : public ZrTextFieldCell {
public:
  void setUpFieldEditorAttributes(QLineEdit& editor) const override;
};

class KATextField : public ui::TextField {
public:
  using ui::TextField::TextField;
  std::string className() const override { return "KATextField"; }
  bool textShouldBeginEditing() override { return true; }
  void selectText() override {}
};

class CommonTextField : public ui::TextField {
public:
  using ui::TextField::TextField;
  std::string className() const override { return "CommonTextField"; }
};

class TitleLabel : public ui::TextField {
public:
  TitleLabel();
  explicit TitleLabel(ui::Rect frame);
  std::string className() const override { return "TitleLabel"; }

  std::optional<ui::Color> bgC() const { return bgC_; }
  void setBgC(std::optional<ui::Color> c);
  // Applied on the main queue, later, whatever the calling thread.
  void setStringValue(const std::string& s) override;

private:
  std::optional<ui::Color> bgC_;
};
