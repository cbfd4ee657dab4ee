#pragma once
// ui::TextView: a plain multi-line text editor, flipped (y down). Typing
// posts TextDidChangeNotification with the view as its object; setString()
// changes the text without posting it.
//
// Main thread only.

#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

class QPlainTextEdit;

namespace ui {

inline constexpr const char* TextDidChangeNotification = "TextDidChangeNotification";

class TextView : public View {
public:
  TextView();
  explicit TextView(Rect frame);
  ~TextView() override;
  std::string className() const override { return "TextView"; }
  bool isFlipped() const override { return true; }

  std::string string() const;
  void setString(const std::string& s);
  bool isEditable() const { return editable_; }
  void setEditable(bool e);
  void setFont(const Font& f);

  bool acceptsFirstResponder() const override { return true; }
  bool becomeFirstResponder() override;
  void setFrameSize(Size size) override;
  // The editor inside, for tests driving it.
  QPlainTextEdit* editor() const { return editor_; }

private:
  QPlainTextEdit* editor_ = nullptr;
  bool editable_ = true;
  bool settingText_ = false;
};

}  // namespace ui
