#include "platform/ui/ViewWidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
int dispatchDepth = 0;
}  // namespace

ViewWidget::DispatchScope::DispatchScope() { ++dispatchDepth; }
ViewWidget::DispatchScope::~DispatchScope() { --dispatchDepth; }

ViewWidget::ViewWidget(View* view) : view_(view) {
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
}

ViewWidget::~ViewWidget() = default;

void ViewWidget::dispose(QWidget* w) {
  if (!w) return;
  if (dispatchDepth > 0 || !QCoreApplication::instance()) {
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
