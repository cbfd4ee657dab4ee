#include "platform/ui/TextField.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QColor>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ViewWidget.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
constexpr double kBezelInset = 3;
}  // namespace

// ---- TextFieldCell

TextFieldCell::TextFieldCell() { setLineBreakMode(LineBreakMode::Clipping); }

AttributedString TextFieldCell::attributedStringValue() const {
  AttributedString s = Cell::attributedStringValue();
  s.foregroundColor = isEnabled() ? textColor_ : textColor_.withAlphaComponent(textColor_.alphaComponent() * 0.5);
  return s;
}

Rect TextFieldCell::titleRectForBounds(const Rect& bounds) const {
  const double inset = (bezeled_ || bordered_) ? kBezelInset : 0;
  return bounds.insetBy(inset + 2, inset);
}

void TextFieldCell::drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) {
  drawBezelWithFrame(ctx, frame);
  drawInteriorWithFrame(ctx, titleRectForBounds(frame), view);
}

void TextFieldCell::drawBezelWithFrame(GraphicsContext& ctx, const Rect& frame) {
  if (drawsBackground_ || bezeled_) {
    ctx.saveGState();
    ctx.setFillColor(drawsBackground_ ? backgroundColor_ : Color::whiteColor());
    ctx.fillRect(frame);
    ctx.restoreGState();
  }
  if (bezeled_ || bordered_) {
    BezierPath border;
    border.appendRect(frame.insetBy(0.5, 0.5));
    border.setLineWidth(1);
    ctx.saveGState();
    ctx.setStrokeColor(bezeled_ ? Color::calibratedWhite(0.6) : Color::blackColor());
    ctx.strokePath(border);
    ctx.restoreGState();
  }
}

void TextFieldCell::drawInteriorWithFrame(GraphicsContext&, const Rect& frame, View&) {
  AttributedString s = attributedStringValue();
  if (s.string.empty()) {
    if (placeholder_.empty()) return;
    s.string = placeholder_;
    s.foregroundColor = Color::grayColor();
  }
  const bool wraps = s.paragraphStyle.lineBreakMode == LineBreakMode::WordWrapping ||
                     s.paragraphStyle.lineBreakMode == LineBreakMode::CharWrapping;
  s.drawInRect(frame, UsesLineFragmentOrigin | (wraps ? TruncatesLastVisibleLine : 0u));
}

void TextFieldCell::setUpFieldEditorAttributes(QLineEdit& editor) const {
  editor.setFont(font().toQFont());
  QPalette pal = editor.palette();
  pal.setColor(QPalette::Text, textColor_.toQColor());
  pal.setColor(QPalette::Base, drawsBackground_ ? backgroundColor_.toQColor() : QColor(0, 0, 0, 0));
  // While the field is edited its placeholder shows in the editor, as the
  // label shows it: grey, whenever the text is empty.
  pal.setColor(QPalette::PlaceholderText, Color::grayColor().toQColor());
  editor.setPalette(pal);
  editor.setPlaceholderText(QString::fromStdString(placeholder_));
  switch (alignment()) {
    case TextAlignment::Center: editor.setAlignment(Qt::AlignCenter); break;
    case TextAlignment::Right: editor.setAlignment(Qt::AlignRight | Qt::AlignVCenter); break;
    default: editor.setAlignment(Qt::AlignLeft | Qt::AlignVCenter); break;
  }
}

void TextFieldCell::setFieldEditorTextColor(QLineEdit& editor, const Color& color) {
  QPalette pal = editor.palette();
  pal.setColor(QPalette::Text, color.toQColor());
  editor.setPalette(pal);
}

// ---- the editor's keys and focus

struct TextField::EditorHooks : QObject {
  explicit EditorHooks(TextField& f) : field(f) {}
  bool eventFilter(QObject*, QEvent* e) override {
    ViewWidget::DispatchScope scope;  // Qt goes on in the editor and its window
    if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        field.editorKey(key == Qt::Key_Tab && (static_cast<QKeyEvent*>(e)->modifiers() & Qt::ShiftModifier)
                            ? int(Qt::Key_Backtab)
                            : key);
        return true;
      }
    } else if (e->type() == QEvent::FocusOut) {
      const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
      // The window going to the background keeps the edit, as do menus.
      if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) field.editorLostFocus();
    }
    return false;
  }
  TextField& field;
};

// ---- TextField

TextField::TextField() : TextField(Rect()) {}

TextField::TextField(Rect frame) : Control(frame) {
  setCell(std::make_shared<TextFieldCell>());
  setEditable(true);
  setBezeled(true);
  setDrawsBackground(true);
}

TextField::~TextField() {
  if (editor_) {
    if (widget()) widget()->setFocusProxy(nullptr);
    delete hooks_;
    hooks_ = nullptr;
    editor_->hide();
    editor_->setParent(nullptr);
    editor_->deleteLater();
    editor_ = nullptr;
  }
}

std::shared_ptr<TextField> TextField::labelWithString(const std::string& text) {
  auto f = View::create<TextField>();
  f->setEditable(false);
  f->setSelectable(false);
  f->setBezeled(false);
  f->setBordered(false);
  f->setDrawsBackground(false);
  f->setStringValue(text);
  f->setFrameSize(f->intrinsicContentSize());
  return f;
}

TextFieldCell& TextField::textFieldCell() const { return static_cast<TextFieldCell&>(*cell()); }

std::string TextField::stringValue() const {
  if (editor_) return editor_->text().toStdString();
  return Control::stringValue();
}

void TextField::setStringValue(const std::string& s) {
  if (!dispatch::isMainThread()) {
    auto self = std::static_pointer_cast<TextField>(sharedFromThis());
    dispatch::mainQueue()->async([self, s] { self->setStringValue(s); });
    return;
  }
  willChangeValueForKey("stringValue");
  cell()->setStringValue(s);
  if (editor_) editor_->setText(QString::fromStdString(s));
  invalidateIntrinsicContentSize();
  setNeedsDisplay(true);
  didChangeValueForKey("stringValue");
}

void TextField::setTextColor(const Color& c) {
  textFieldCell().setTextColor(c);
  if (editor_) textFieldCell().setUpFieldEditorAttributes(*editor_);
}

void TextField::setBackgroundColor(const Color& c) { textFieldCell().setBackgroundColor(c); }
void TextField::setDrawsBackground(bool d) { textFieldCell().setDrawsBackground(d); }

void TextField::setBezeled(bool b) {
  textFieldCell().setBezeled(b);
  invalidateIntrinsicContentSize();
}

void TextField::setBordered(bool b) {
  textFieldCell().setBordered(b);
  invalidateIntrinsicContentSize();
}

void TextField::setLineBreakMode(LineBreakMode m) {
  textFieldCell().setLineBreakMode(m);
  setNeedsDisplay(true);
}

void TextField::setEditable(bool e) {
  editable_ = e;
  if (!e && editor_) endEditing(true);
}

void TextField::fontDidChange() {
  if (editor_) textFieldCell().setUpFieldEditorAttributes(*editor_);
  invalidateIntrinsicContentSize();
}

Size TextField::intrinsicContentSize() const {
  const AttributedString s = textFieldCell().attributedStringValue();
  const std::string& text = s.string.empty() ? textFieldCell().placeholderString() : s.string;
  const Size used = s.withString(text.empty() ? std::string(" ") : text).size();
  const double inset = (isBezeled() || isBordered()) ? 2 * kBezelInset : 0;
  return {std::ceil(used.width + 4 + inset), std::ceil(std::max(used.height, s.font.lineHeight()) + inset)};
}

double TextField::baselineOffsetFromBottom() const {
  const Font f = font();
  const double inset = (isBezeled() || isBordered()) ? kBezelInset : 0;
  return inset - f.descender();
}

bool TextField::acceptsFirstResponder() const { return isEnabled() && isSelectable(); }

bool TextField::textShouldBeginEditing() { return true; }

void TextField::selectText() {
  if (editor_) editor_->selectAll();
}

bool TextField::becomeFirstResponder() {
  if (editable_ && isEnabled() && textShouldBeginEditing()) startEditing();
  return true;
}

bool TextField::resignFirstResponder() {
  if (editor_) endEditing(true);
  return true;
}

void TextField::abortEditing() {
  if (editor_) endEditing(false);
}

void TextField::startEditing() {
  if (editor_ || !widget()) return;
  editor_ = new QLineEdit(widget());
  editor_->setFrame(false);
  editor_->setText(QString::fromStdString(Control::stringValue()));
  textFieldCell().setUpFieldEditorAttributes(*editor_);
  hooks_ = new EditorHooks(*this);
  editor_->installEventFilter(hooks_);
  QObject::connect(editor_, &QLineEdit::textEdited, hooks_, [this](const QString& text) {
    ViewWidget::DispatchScope scope;
    userTyped(text.toStdString());
  });
  placeEditor();
  editor_->show();
  // The window focuses the view's widget when it becomes first responder:
  // the editor takes that focus.
  widget()->setFocusProxy(editor_);
  editor_->setFocus(Qt::OtherFocusReason);
  // The editor selects nothing by itself; the field decides.
  editor_->deselect();
  editor_->setCursorPosition(int(editor_->text().size()));
  begun_ = false;
  setNeedsDisplay(true);
  selectText();
}

void TextField::placeEditor() {
  if (!editor_) return;
  const Rect r = textFieldCell().titleRectForBounds(bounds());
  editor_->setGeometry(int(std::floor(r.minX())), int(std::floor(r.minY())), int(std::ceil(r.width())),
                       int(std::ceil(r.height())));
}

void TextField::resizeSubviewsWithOldSize(Size oldSize) {
  Control::resizeSubviewsWithOldSize(oldSize);
  placeEditor();
}

void TextField::userTyped(const std::string& text) {
  auto keep = sharedFromThis();
  // Typing changes the text without telling the value's observers.
  cell()->setStringValue(text);
  invalidateIntrinsicContentSize();
  auto& centre = fnd::NotificationCenter::defaultCenter();
  if (!begun_) {
    begun_ = true;
    if (auto d = delegate()) d->controlTextDidBeginEditing(*this);
    centre.post(ControlTextDidBeginEditingNotification, fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
  }
  if (auto d = delegate()) d->controlTextDidChange(*this);
  centre.post(ControlTextDidChangeNotification, fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
}

void TextField::editorKey(int key) {
  auto keep = sharedFromThis();
  if (auto d = delegate()) {
    const char* command = key == Qt::Key_Tab       ? "insertTab:"
                          : key == Qt::Key_Backtab ? "insertBacktab:"
                                                   : "insertNewline:";
    if (d->doCommandBySelector(*this, command)) return;
  }
  Window* w = window();
  if (key == Qt::Key_Tab) {
    if (w) w->selectNextKeyView();
  } else if (key == Qt::Key_Backtab) {
    if (w) w->selectPreviousKeyView();
  } else if (w) {
    w->makeFirstResponder(nullptr);
  }
  // Outside a window (or when the window kept us) end the edit anyway.
  if (editor_) endEditing(true);
}

void TextField::editorLostFocus() {
  if (ending_ || !editor_) return;
  // The focus went to another editor (a text view, say): the edit ends and
  // the focus stays where it went. A click on the field edits again.
  auto keep = sharedFromThis();
  endEditing(true);
}

void TextField::endEditing(bool notify) {
  if (!editor_ || ending_) return;
  ending_ = true;
  auto keep = sharedFromThis();
  cell()->setStringValue(editor_->text().toStdString());
  QLineEdit* editor = editor_;
  EditorHooks* hooks = hooks_;
  editor_ = nullptr;
  hooks_ = nullptr;
  editor->removeEventFilter(hooks);
  if (widget()) widget()->setFocusProxy(nullptr);
  QObject::disconnect(editor, nullptr, hooks, nullptr);
  delete hooks;
  // Never deleted inside its own event: hidden, detached, deleted later.
  editor->hide();
  editor->setParent(nullptr);
  editor->deleteLater();
  invalidateIntrinsicContentSize();
  setNeedsDisplay(true);
  ending_ = false;
  if (notify) textDidEndEditing();
}

void TextField::textDidEndEditing() {
  auto keep = sharedFromThis();
  sendAction();
  if (auto d = delegate()) d->controlTextDidEndEditing(*this);
  fnd::NotificationCenter::defaultCenter().post(ControlTextDidEndEditingNotification,
                                                fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
}

void TextField::mouseDown(Event& e) {
  if (!isEnabled() || !isSelectable()) {
    Control::mouseDown(e);
    return;
  }
  Window* w = window();
  if (!w) return;
  if (w->firstResponder() != this) {
    w->makeFirstResponder(this);
  } else if (!editor_ && editable_ && textShouldBeginEditing()) {
    startEditing();
  }
}

void TextField::drawRect(GraphicsContext& ctx, const Rect& dirty) {
  if (!editor_) {
    Control::drawRect(ctx, dirty);
    return;
  }
  // The editor shows the text; the cell draws only its background and border.
  textFieldCell().drawBezelWithFrame(ctx, bounds());
}

}  // namespace ui
