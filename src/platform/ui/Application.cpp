#include "platform/ui/Application.h"

#include <QApplication>

#include "platform/dispatch/Queue.h"
#include "platform/ui/QtMainQueueDriver.h"
#include "platform/ui/Style.h"

namespace ui {

int runApplication(int& argc, char** argv, const StartFunction& start) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("qv450-edit");
  applyApplicationStyle();
  dispatch::setMainThread();
  installQtMainQueueDriver();
  // Stop background work while the windows still exist: what it would post to
  // them from now on is dropped.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { dispatch::shutdown(kQuitBound); });

  std::optional<int> early = start ? start() : std::nullopt;
  const int status = early ? *early : app.exec();

  dispatch::shutdown(kQuitBound);  // also when the loop never ran
  dispatch::setMainQueueDriver(nullptr);  // its receiver goes before the QApplication
  return status;
}

}  // namespace ui

#include <QMetaObject>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/ui/ViewWidget.h"
#include "platform/ui/Window.h"

namespace ui {

struct Application::Filter : QObject {
  bool eventFilter(QObject* obj, QEvent* e) override {
    if (!obj->isWindowType()) return false;
    Window* w = Application::shared().windowForQWindow(obj);
    if (!w) return false;
    // Qt goes on with the event (and its window) after the filter: nothing
    // the window's handlers let go of is deleted before that (an area's exit
    // as the pointer leaves may let the window itself go).
    ViewWidget::DispatchScope scope;
    return w->filterWindowEvent(static_cast<QWindow*>(obj), e);
  }
};

Application& Application::shared() {
  static Application* app = new Application();  // lives as long as the process
  if (!app->filter_ && qApp) {
    app->filter_ = new Filter();
    qApp->installEventFilter(app->filter_);
  }
  return *app;
}

Application::Application() = default;

std::vector<std::shared_ptr<Window>> Application::windows() const {
  std::vector<std::shared_ptr<Window>> out;
  for (auto& w : windows_)
    if (auto s = w.lock()) out.push_back(s);
  return out;
}

Window* Application::mainWindow() const { return main_; }
void Application::setMainWindow(Window* w) { main_ = w; }
Window* Application::keyWindow() const { return key_; }

void Application::setKeyWindow(Window* w) { key_ = w; }

void Application::registerWindow(const std::shared_ptr<Window>& w) {
  windows_.push_back(w);
  raw_.push_back(w.get());
}

void Application::unregisterWindow(Window* w) {
  auto it = std::find(raw_.begin(), raw_.end(), w);
  if (it != raw_.end()) {
    windows_.erase(windows_.begin() + (it - raw_.begin()));
    raw_.erase(it);
  }
  if (main_ == w) main_ = nullptr;
  if (key_ == w) key_ = nullptr;
}

Window* Application::windowForQWindow(const QObject* qwindow) const {
  for (Window* w : raw_)
    if (w->widget() && w->widget()->windowHandle() == qwindow) return w;
  return nullptr;
}

uint64_t Application::addLocalMonitorForEvents(uint64_t mask, Monitor fn) {
  const uint64_t token = nextToken_++;
  monitors_.push_back({token, mask, std::make_shared<Monitor>(std::move(fn))});
  return token;
}

void Application::removeMonitor(uint64_t token) {
  monitors_.erase(std::remove_if(monitors_.begin(), monitors_.end(), [&](auto& m) { return m.token == token; }),
                  monitors_.end());
}

bool Application::runMonitors(Event& e) {
  // A monitor may add or remove monitors: run over a copy.
  auto monitors = monitors_;
  Event* ev = &e;
  for (auto& m : monitors) {
    if (!(m.mask & eventMaskFor(e.type()))) continue;
    bool stillThere = std::any_of(monitors_.begin(), monitors_.end(), [&](auto& x) { return x.token == m.token; });
    if (!stillThere) continue;
    ev = (*m.fn)(*ev);
    if (!ev) return false;
    if (ev != &e) e = *ev;
    ev = &e;
  }
  return true;
}

void Application::performOnMainThread(std::function<void()> fn) {
  QMetaObject::invokeMethod(qApp, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

Application::CurrentEventScope::CurrentEventScope(Event* e) : previous_(Application::shared().current_) {
  Application::shared().current_ = e;
}

Application::CurrentEventScope::~CurrentEventScope() { Application::shared().current_ = previous_; }

}  // namespace ui
