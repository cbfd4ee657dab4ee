#pragma once
// ui::TextField and its TextFieldCell: a label or an editable line of text,
// flipped (y down).
//
//  - Label mode paints the text with the cell's colours, background, border,
//    alignment and line break mode (a placeholder while empty).
//  - Edit mode: an editable field that becomes first responder (a click, Tab,
//    makeFirstResponder) puts a line editor over its text and calls
//    selectText(), which selects everything unless a subclass says otherwise.
//    Typing updates the text and posts ControlTextDidChangeNotification (the
//    delegate hears controlTextDidChange). Return, Tab or the focus moving
//    away ends the edit: the editor goes, and textDidEndEditing() runs, whose
//    default sends the action and tells the delegate.
//  - stringValue (key "stringValue") notifies its observers only when code
//    sets it, never for typing. A set from another thread is applied on the
//    main thread later (the field is kept alive until then).
//  - The intrinsic size follows the text and font.
//
// Main thread only, except setStringValue.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"

class QLineEdit;

namespace ui {

class TextField;

inline constexpr const char* ControlTextDidBeginEditingNotification = "ControlTextDidBeginEditingNotification";
inline constexpr const char* ControlTextDidChangeNotification = "ControlTextDidChangeNotification";
inline constexpr const char* ControlTextDidEndEditingNotification = "ControlTextDidEndEditingNotification";

class TextFieldDelegate {
public:
  virtual ~TextFieldDelegate() = default;
  virtual void controlTextDidBeginEditing(TextField&) {}
  virtual void controlTextDidChange(TextField&) {}
  virtual void controlTextDidEndEditing(TextField&) {}
  // Return ("insertNewline:"), Tab ("insertTab:") and Shift-Tab
  // ("insertBacktab:") while editing; true when the delegate handled the
  // key, which then does nothing more.
  virtual bool doCommandBySelector(TextField&, const std::string&) { return false; }
};

class TextFieldCell : public Cell {
public:
  TextFieldCell();

  Color textColor() const { return textColor_; }
  void setTextColor(const Color& c) { textColor_ = c; redraw(); }
  Color backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const Color& c) { backgroundColor_ = c; redraw(); }
  bool drawsBackground() const { return drawsBackground_; }
  void setDrawsBackground(bool d) { drawsBackground_ = d; redraw(); }
  bool isBezeled() const { return bezeled_; }
  void setBezeled(bool b) { bezeled_ = b; redraw(); }
  bool isBordered() const { return bordered_; }
  void setBordered(bool b) { bordered_ = b; redraw(); }
  const std::string& placeholderString() const { return placeholder_; }
  void setPlaceholderString(std::string p) { placeholder_ = std::move(p); redraw(); }

  AttributedString attributedStringValue() const override;
  // Where the text goes inside the control's bounds.
  virtual Rect titleRectForBounds(const Rect& bounds) const;
  void drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) override;
  // The background and the border alone.
  void drawBezelWithFrame(GraphicsContext& ctx, const Rect& frame);
  void drawInteriorWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) override;
  // Sets the editor's font, colours and caret colour from the cell.
  virtual void setUpFieldEditorAttributes(QLineEdit& editor) const;
  // For cells that override the above: the colour the editor draws its
  // text and caret in.
  static void setFieldEditorTextColor(QLineEdit& editor, const Color& color);

private:
  Color textColor_ = Color::blackColor();
  Color backgroundColor_ = Color::whiteColor();
  bool drawsBackground_ = false;
  bool bezeled_ = false;
  bool bordered_ = false;
  std::string placeholder_;
};

class TextField : public Control {
public:
  enum class FocusRingType { Default = 0, None = 1, Exterior = 2 };

  TextField();
  explicit TextField(Rect frame);
  ~TextField() override;
  // A non-editable, non-selectable label without background or border.
  static std::shared_ptr<TextField> labelWithString(const std::string& text);

  std::string className() const override { return "TextField"; }
  bool isFlipped() const override { return true; }
  TextFieldCell& textFieldCell() const;

  // ---- the value
  // While editing: the editor's text.
  std::string stringValue() const override;
  void setStringValue(const std::string& s) override;
  std::string placeholderString() const { return textFieldCell().placeholderString(); }
  void setPlaceholderString(const std::string& p) { textFieldCell().setPlaceholderString(p); }

  // ---- look
  Color textColor() const { return textFieldCell().textColor(); }
  void setTextColor(const Color& c);
  Color backgroundColor() const { return textFieldCell().backgroundColor(); }
  void setBackgroundColor(const Color& c);
  bool drawsBackground() const { return textFieldCell().drawsBackground(); }
  void setDrawsBackground(bool d);
  bool isBezeled() const { return textFieldCell().isBezeled(); }
  void setBezeled(bool b);
  bool isBordered() const { return textFieldCell().isBordered(); }
  void setBordered(bool b);
  LineBreakMode lineBreakMode() const { return textFieldCell().lineBreakMode(); }
  void setLineBreakMode(LineBreakMode m);
  FocusRingType focusRingType() const { return focusRing_; }
  void setFocusRingType(FocusRingType t) { focusRing_ = t; }

  // ---- editing
  bool isEditable() const { return editable_; }
  void setEditable(bool e);
  bool isSelectable() const { return selectable_ || editable_; }
  void setSelectable(bool s) { selectable_ = s; }
  std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TextFieldDelegate> d) { delegate_ = std::move(d); }
  bool isEditing() const { return editor_ != nullptr; }
  // The line editor while editing, else null.
  QLineEdit* fieldEditor() const { return editor_; }
  // Whether an edit may start; default true.
  virtual bool textShouldBeginEditing();
  // Runs when an edit ends; the default sends the action and tells the
  // delegate and the notification centre.
  virtual void textDidEndEditing();
  // Called when the field takes the keyboard; the default selects all.
  virtual void selectText();
  // Ends an edit in progress, keeping the typed text.
  void abortEditing();

  Size intrinsicContentSize() const override;
  double baselineOffsetFromBottom() const override;

  bool acceptsFirstResponder() const override;
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  void mouseDown(Event& e) override;
  void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
  void resizeSubviewsWithOldSize(Size oldSize) override;

protected:
  void fontDidChange() override;

private:
  struct EditorHooks;
  void startEditing();
  void endEditing(bool notify);
  void userTyped(const std::string& text);
  void editorKey(int key);
  void editorLostFocus();
  void placeEditor();

  bool editable_ = false;
  bool selectable_ = false;
  FocusRingType focusRing_ = FocusRingType::Default;
  std::weak_ptr<TextFieldDelegate> delegate_;
  QLineEdit* editor_ = nullptr;
  EditorHooks* hooks_ = nullptr;
  bool ending_ = false;
  bool begun_ = false;
};

}  // namespace ui
