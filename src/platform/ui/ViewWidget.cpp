#include "platform/ui/ViewWidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QWheelEvent>
#include <vector>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
int dispatchDepth = 0;
// Widgets disposed of while an event was being handled, kept until the
// outermost handling ends.
std::vector<QPointer<QWidget>>& disposedDuringDispatch() {
  static std::vector<QPointer<QWidget>> widgets;
  return widgets;
}
}  // namespace

ViewWidget::DispatchScope::DispatchScope() { ++dispatchDepth; }

ViewWidget::DispatchScope::~DispatchScope() {
  if (--dispatchDepth > 0) return;
  // Qt is still in the outermost event: deleted once it has returned to the
  // loop that handed that event out. Asked for earlier, from inside a nested
  // loop (a menu's, a dialog's), the deletion would run when that loop turns,
  // under the event still being handed on.
  const std::vector<QPointer<QWidget>> widgets = std::move(disposedDuringDispatch());
  disposedDuringDispatch().clear();
  for (const QPointer<QWidget>& w : widgets)
    if (w) w->deleteLater();
}

ViewWidget::ViewWidget(View* view) : view_(view) {
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
}

ViewWidget::~ViewWidget() = default;

void ViewWidget::dispose(QWidget* w) {
  if (!w) return;
  if (dispatchDepth > 0) {
    disposedDuringDispatch().emplace_back(w);
  } else if (!QCoreApplication::instance()) {
    w->deleteLater();
  } else {
    delete w;
  }
}

bool ViewWidget::dispatching() { return dispatchDepth > 0; }

bool ViewWidget::event(QEvent* e) {
  DispatchScope scope;
  return QWidget::event(e);
}

void ViewWidget::paintEvent(QPaintEvent* e) {
  if (!view_) return;
  const QRect r = e->rect();
  view_->paint(*this, Rect(r.x(), r.y(), r.width(), r.height()));
}

void ViewWidget::mousePressEvent(QMouseEvent* e) {
  e->accept();
  if (view_ && view_->window()) view_->window()->deliverMouse(*view_, *e);
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* e) {
  e->accept();
  if (view_ && view_->window()) view_->window()->deliverMouse(*view_, *e);
}

void ViewWidget::mouseMoveEvent(QMouseEvent* e) {
  e->accept();
  if (view_ && view_->window()) view_->window()->deliverMouse(*view_, *e);
}

void ViewWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  // Qt's stand-in for the second press of a double click: a press like any
  // other (the window counted it).
  e->accept();
  if (view_ && view_->window()) view_->window()->deliverMouse(*view_, *e);
}

void ViewWidget::wheelEvent(QWheelEvent* e) {
  e->accept();
  if (view_ && view_->window()) view_->window()->deliverWheel(*view_, *e);
}

}  // namespace ui
