#pragma once
// The QWidget behind a ui::View: paints the view and hands Qt's events to the
// view's window for dispatch. Private to the ui layer.

#include <QWidget>

namespace ui {

class View;

class ViewWidget : public QWidget {
public:
  explicit ViewWidget(View* view);
  ~ViewWidget() override;

  View* view() const { return view_; }
  void detachView() { view_ = nullptr; }

  // Deletes the widget now, or later when an event is being handled (the
  // widget may be the one handling it).
  static void dispose(QWidget* w);
  // True while any widget of ours is handling an event.
  static bool dispatching();

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

private:
  View* view_;
};

}  // namespace ui
