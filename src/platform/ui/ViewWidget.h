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

  // Deletes the widget now or, while an event is being handled, once the
  // outermost handling is over and Qt is back in its loop; never in a loop
  // nested inside the handling (a menu's, a dialog's). Qt may still be on
  // its way through the widget: a popup that closes itself on a click
  // outside it is still Qt's active popup when its handler returns, and
  // after a right press, and any menu it opened, Qt still hands the press's
  // context-menu event to the widget that took it.
  static void dispose(QWidget* w);
  // True while any widget or window of ours is handling an event.
  static bool dispatching();
  // Marks a stretch in which Qt has called into our code and goes on after
  // it: widgets disposed of meanwhile are deleted once Qt is done with the
  // outermost. Every way Qt calls our code from inside a widget holds one:
  // the view widgets' and the windows' own widgets' event() (Qt hides,
  // closes, activates and deactivates those windows from its own calls too:
  // a popup closed as another program takes the focus), the application's
  // event filter, and the filters and signals of the Qt editors and drop
  // targets we put in views. Elsewhere (timers, the main queue's tasks) Qt is
  // in no widget of ours, and one disposed of is deleted at once.
  class DispatchScope {
  public:
    DispatchScope();
    ~DispatchScope();
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
  };

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
