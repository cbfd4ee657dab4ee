#include "platform/ui/Window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/ViewWidget.h"

namespace ui {

namespace {
// What runs over a window that closes or goes ends with it: its dialogs
// (alerts, panels) as cancelled, its menus with no choice. They would
// otherwise run on over nothing: the event that opened them may still hold
// the window, and its widget is deleted only once the event being handled is
// over. Innermost first; hidden ones (a panel's own menus) are left alone.
void endPopUpsOver(QWidget& widget) {
  const QList<QMenu*> menus = widget.findChildren<QMenu*>();
  for (auto m = menus.rbegin(); m != menus.rend(); ++m)
    if ((*m)->isVisible()) (*m)->close();
  const QList<QDialog*> dialogs = widget.findChildren<QDialog*>();
  for (auto d = dialogs.rbegin(); d != dialogs.rend(); ++d)
    if ((*d)->isVisible()) (*d)->reject();
}
}  // namespace

// The top-level widget of a window.
class WindowWidget : public QWidget {
public:
  explicit WindowWidget(Window* w) : window_(w) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
  }
  void detach() { window_ = nullptr; }
  void ensureCreated() { create(); }

protected:
  // Qt calls in here outside the application's filter too (it closes a
  // popup as another program takes the focus, hides the popups of a parent
  // that goes): the window may go while Qt is still in its widget.
  bool event(QEvent* e) override {
    ViewWidget::DispatchScope scope;
    if (window_) {
      switch (e->type()) {
        case QEvent::UpdateRequest:
          window_->layoutIfNeeded();
          break;
        case QEvent::WindowActivate:
          window_->makeKeyWindow();
          break;
        case QEvent::WindowDeactivate:
          if (window_->isKeyWindow() && !window_->popup_) Application::shared().setKeyWindow(nullptr);
          break;
        default:
          break;
      }
    }
    return QWidget::event(e);
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    if (window_) window_->contentResized();
  }
  void closeEvent(QCloseEvent* e) override {
    QWidget::closeEvent(e);
    if (e->isAccepted()) endPopUpsOver(*this);
    if (window_ && window_->willClose) tellWillClose();
  }
  void hideEvent(QHideEvent* e) override {
    QWidget::hideEvent(e);
    // A popup closed by an outside click only hides.
    if (window_ && window_->popup_ && window_->willClose && !closing_) tellWillClose();
  }

public:
  bool closing_ = false;

private:
  // The window and the handler last out the call: the handler may let go of
  // the window, or set willClose again.
  void tellWillClose() {
    auto keep = window_->weakFromThis().lock();
    const auto handler = window_->willClose;
    handler(*window_);
  }

  Window* window_;
};

std::shared_ptr<Window> Window::create(Rect contentRect, unsigned style) {
  auto w = fnd::make<Window>(contentRect, style);
  Application::shared().registerWindow(w);
  return w;
}

Window::Window(Rect contentRect, unsigned style) : widget_(new WindowWidget(this)), style_(style) {
  UI_ASSERT_MAIN_THREAD();
  if (style == Borderless) widget_->setWindowFlag(Qt::FramelessWindowHint);
  widget_->setGeometry(int(contentRect.origin.x), int(contentRect.origin.y), int(std::lround(contentRect.size.width)),
                       int(std::lround(contentRect.size.height)));
  widget_->ensureCreated();  // the window handle exists from now on, for the event filter
  auto content = View::create<View>(Rect(0, 0, contentRect.size.width, contentRect.size.height));
  content->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
  setContentView(std::move(content));
}

Window::~Window() {
  Application::shared().unregisterWindow(this);
  for (auto& c : children_)
    if (auto child = c.lock()) child->parent_ = nullptr;
  // Popups made here have widgets that are Qt children of ours, also once
  // closed: they must outlive ours.
  if (widget_) {
    endPopUpsOver(*widget_);
    const QObjectList kids = widget_->children();  // changes as they leave
    for (QObject* o : kids) {
      if (auto* w = dynamic_cast<WindowWidget*>(o)) {
        w->hide();
        w->setParent(nullptr);
      }
    }
  }
  if (parent_) parent_->removeChildWindow(this);
  if (contentView_) {
    contentView_->notifyWillMoveToWindow(nullptr);
    contentView_->setWindowRecursive(nullptr);
    contentView_->widget_->hide();
    contentView_->widget_->setParent(nullptr);
  }
  if (widget_) {
    widget_->detach();
    widget_->hide();
    ViewWidget::dispose(widget_);
  }
}

QWidget* Window::widget() const { return widget_; }

void Window::setContentView(std::shared_ptr<View> view) {
  UI_ASSERT_MAIN_THREAD();
  if (view == contentView_) return;
  if (contentView_) {
    viewWillLeave(*contentView_);
    contentView_->notifyWillMoveToWindow(nullptr);
    contentView_->setWindowRecursive(nullptr);
    contentView_->widget_->hide();
    contentView_->widget_->setParent(nullptr);
    contentView_->notifyDidMoveToWindow();
  }
  contentView_ = std::move(view);
  if (!contentView_) return;
  contentView_->removeFromSuperview();
  contentView_->notifyWillMoveToWindow(this);
  contentView_->setWindowRecursive(this);
  contentView_->widget_->setParent(widget_);
  contentView_->frame_ = Rect(0, 0, widget_->width(), widget_->height());
  contentView_->placeWidget();
  contentView_->widget_->setVisible(!contentView_->hidden_);
  contentView_->notifyDidMoveToWindow();
  setNeedsLayoutPass();
}

Size Window::contentSize() const { return {double(widget_->width()), double(widget_->height())}; }

void Window::setContentSize(Size size) {
  UI_ASSERT_MAIN_THREAD();
  widget_->resize(int(std::lround(size.width)), int(std::lround(size.height)));
  contentResized();
}

Size Window::contentMinSize() const {
  const QSize m = widget_->minimumSize();
  return {double(m.width()), double(m.height())};
}

void Window::setContentMinSize(Size size) {
  UI_ASSERT_MAIN_THREAD();
  widget_->setMinimumSize(int(std::lround(size.width)), int(std::lround(size.height)));
  contentResized();
}

void Window::contentResized() {
  if (!contentView_) return;
  const Size s = contentSize();
  if (contentView_->frame_.size == s) return;
  contentView_->setFrame(Rect(0, 0, s.width, s.height));
  setNeedsLayoutPass();
}

Rect Window::frame() const {
  const QRect g = widget_->geometry();
  return Rect(g.x(), g.y(), g.width(), g.height());
}

void Window::setFrame(const Rect& frame, bool display) {
  UI_ASSERT_MAIN_THREAD();
  widget_->setGeometry(int(std::lround(frame.origin.x)), int(std::lround(frame.origin.y)),
                       int(std::lround(frame.size.width)), int(std::lround(frame.size.height)));
  contentResized();
  if (display && contentView_) contentView_->setNeedsDisplay(true);
}

void Window::setFrameOrigin(Point topLeft) {
  UI_ASSERT_MAIN_THREAD();
  widget_->move(int(std::lround(topLeft.x)), int(std::lround(topLeft.y)));
}

void Window::setTitle(const std::string& title) {
  UI_ASSERT_MAIN_THREAD();
  title_ = title;
  widget_->setWindowTitle(QString::fromStdString(title));
}

void Window::makeKeyAndOrderFront() {
  UI_ASSERT_MAIN_THREAD();
  orderFront();
  makeKeyWindow();
}

void Window::orderFront() {
  UI_ASSERT_MAIN_THREAD();
  widget_->show();
  layoutIfNeeded();
}

void Window::orderOut() {
  UI_ASSERT_MAIN_THREAD();
  if (contentView_) viewWillLeave(*contentView_);
  widget_->hide();
  if (isKeyWindow()) Application::shared().setKeyWindow(nullptr);
}

bool Window::isVisible() const { return widget_->isVisible(); }

void Window::close() {
  UI_ASSERT_MAIN_THREAD();
  auto keep = weakFromThis().lock();
  if (contentView_) viewWillLeave(*contentView_);
  widget_->closing_ = true;
  widget_->close();  // tells willClose through the close event
  widget_->closing_ = false;
  if (isKeyWindow()) Application::shared().setKeyWindow(nullptr);
  if (parent_) parent_->removeChildWindow(this);
  if (releasedWhenClosed_) setContentView(nullptr);
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow() == this; }

void Window::makeKeyWindow() {
  UI_ASSERT_MAIN_THREAD();
  if (isKeyWindow()) return;
  Application::shared().setKeyWindow(this);
  if (!popup_) widget_->activateWindow();
}

bool Window::isMainWindow() const { return Application::shared().mainWindow() == this; }
void Window::makeMainWindow() { Application::shared().setMainWindow(this); }

// ---- layout pass

void Window::setNeedsLayoutPass() {
  UI_ASSERT_MAIN_THREAD();
  if (passScheduled_) return;
  passScheduled_ = true;
  std::weak_ptr<Window> weak = weakFromThis();
  QMetaObject::invokeMethod(
      widget_,
      [weak] {
        if (auto w = weak.lock()) w->layoutIfNeeded();
      },
      Qt::QueuedConnection);
}

void Window::layoutIfNeeded() {
  UI_ASSERT_MAIN_THREAD();
  passScheduled_ = false;
  if (inLayout_ || !contentView_) return;
  inLayout_ = true;
  auto keep = contentView_;
  runLayoutPass(*keep);
  inLayout_ = false;
}

namespace {
void collectNeedingLayout(const std::shared_ptr<View>& v, std::vector<std::shared_ptr<View>>& out) {
  if (v->needsLayout()) out.push_back(v);
  for (auto& s : v->subviews()) collectNeedingLayout(s, out);
}
}  // namespace

int Window::runLayoutPass(View& root) {
  auto keep = root.sharedFromThis();
  for (int round = 1; round <= kMaxLayoutRounds; ++round) {
    bool worked = false;
    LayoutEngineHooks* hooks = layoutEngineHooks();
    if (hooks && hooks->needsSolve(root)) {
      hooks->solve(root);
      worked = true;
    }
    std::vector<std::shared_ptr<View>> pending;
    collectNeedingLayout(keep, pending);
    for (auto& v : pending) {
      if (!v->needsLayout() || !v->isDescendantOf(&root)) continue;
      v->needsLayout_ = false;
      v->layout();
      worked = true;
    }
    if (!worked) return round - 1;
  }
  std::vector<std::shared_ptr<View>> still;
  collectNeedingLayout(keep, still);
  LayoutEngineHooks* hooks = layoutEngineHooks();
  if (!still.empty() || (hooks && hooks->needsSolve(root))) {
    fnd::log("Window: layout did not settle after %d rounds (%zu views still need layout)", kMaxLayoutRounds,
             still.size());
  }
  return kMaxLayoutRounds;
}

// ---- child windows

void Window::addChildWindow(const std::shared_ptr<Window>& child, WindowOrderingMode) {
  UI_ASSERT_MAIN_THREAD();
  if (!child || child.get() == this) return;
  const Rect f = child->frame();
  child->popUp(this, f.origin);
}

void Window::popUp(Window* parent, Point topLeft, bool closesOnOutsideClick) {
  UI_ASSERT_MAIN_THREAD();
  if (parent && parent != parent_) {
    if (parent_) parent_->removeChildWindow(this);
    parent_ = parent;
    parent->children_.push_back(weakFromThis());
  }
  popup_ = true;
  const QSize size = widget_->size();
  widget_->setParent(parent ? parent->widget_ : nullptr,
                     (closesOnOutsideClick ? Qt::Popup : Qt::Tool) | Qt::FramelessWindowHint);
  widget_->setGeometry(int(std::lround(topLeft.x)), int(std::lround(topLeft.y)), size.width(), size.height());
  widget_->ensureCreated();
  widget_->show();
  layoutIfNeeded();
}

void Window::removeChildWindow(Window* child) {
  UI_ASSERT_MAIN_THREAD();
  children_.erase(std::remove_if(children_.begin(), children_.end(),
                                 [&](const std::weak_ptr<Window>& w) {
                                   auto s = w.lock();
                                   return !s || s.get() == child;
                                 }),
                  children_.end());
  if (child && child->parent_ == this) child->parent_ = nullptr;
}

std::vector<std::shared_ptr<Window>> Window::childWindows() const {
  std::vector<std::shared_ptr<Window>> out;
  for (auto& c : children_)
    if (auto s = c.lock()) out.push_back(s);
  return out;
}

double Window::screenRefreshRate() const {
  QScreen* s = widget_->screen();
  const double rate = s ? s->refreshRate() : 0;
  return rate >= 1 ? rate : 60.0;
}

}  // namespace ui
