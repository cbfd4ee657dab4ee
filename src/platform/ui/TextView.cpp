#include "platform/ui/TextView.h"

#include <QPlainTextEdit>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ViewWidget.h"

namespace ui {

TextView::TextView() : TextView(Rect()) {}

TextView::TextView(Rect frame) : View(frame) {
  editor_ = new QPlainTextEdit(widget());
  editor_->setFrameShape(QFrame::NoFrame);
  editor_->setGeometry(0, 0, int(frame.width()), int(frame.height()));
  editor_->show();
  widget()->setFocusProxy(editor_);
  QObject::connect(editor_, &QPlainTextEdit::textChanged, editor_, [this] {
    if (settingText_) return;
    ViewWidget::DispatchScope scope;  // Qt goes on in the editor
    auto keep = sharedFromThis();
    fnd::NotificationCenter::defaultCenter().post(TextDidChangeNotification,
                                                  fnd::Value(std::static_pointer_cast<fnd::Object>(keep)));
  });
}

TextView::~TextView() {
  // The editor is a child of the view's widget and goes with it; stop its
  // signal reaching a view being destroyed.
  if (editor_) QObject::disconnect(editor_, nullptr, nullptr, nullptr);
}

std::string TextView::string() const { return editor_->toPlainText().toStdString(); }

void TextView::setString(const std::string& s) {
  settingText_ = true;
  editor_->setPlainText(QString::fromStdString(s));
  settingText_ = false;
}

void TextView::setEditable(bool e) {
  editable_ = e;
  editor_->setReadOnly(!e);
}

void TextView::setFont(const Font& f) { editor_->setFont(f.toQFont()); }

bool TextView::becomeFirstResponder() {
  editor_->setFocus(Qt::OtherFocusReason);
  return true;
}

void TextView::setFrameSize(Size size) {
  View::setFrameSize(size);
  editor_->setGeometry(0, 0, int(size.width), int(size.height));
}

}  // namespace ui
