// The editor's Qt application: creates the QApplication, makes its thread the
// main thread, puts the main queue on Qt's event loop, runs the loop, and
// stops the dispatch runtime (workers, timers, pending work) when quitting.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace ui {

// How long quitting waits for background work to finish.
inline constexpr std::chrono::seconds kQuitBound{2};

// Runs after the set-up, before the event loop. Returns nothing to run the
// loop, or an exit status to quit at once.
using StartFunction = std::function<std::optional<int>()>;

// Returns the exit status.
int runApplication(int& argc, char** argv, const StartFunction& start);

}  // namespace ui

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/ui/Event.h"

class QObject;

namespace ui {

class Window;

// The application object: the windows in creation order, the main and key
// windows, the event being handled, local event monitors and work posted to
// the main thread. Main thread only.
class Application {
public:
  static Application& shared();

  // Live windows, oldest first.
  std::vector<std::shared_ptr<Window>> windows() const;
  // The registered main window, whether or not the application is active.
  Window* mainWindow() const;
  void setMainWindow(Window* w);
  Window* keyWindow() const;
  void setKeyWindow(Window* w);
  // True while one of the application's windows is key.
  bool isActive() const { return keyWindow() != nullptr; }

  // The event being dispatched, or null outside a dispatch.
  Event* currentEvent() const { return current_; }

  // A monitor returns the event to let it through (possibly changed), or
  // null to swallow it. Monitors see the events of the application's windows
  // before any view does.
  using Monitor = std::function<Event*(Event&)>;
  uint64_t addLocalMonitorForEvents(uint64_t mask, Monitor fn);
  void removeMonitor(uint64_t token);
  // False when a monitor swallowed the event.
  bool runMonitors(Event& e);

  // Runs fn on the main thread later, also when called on the main thread.
  static void performOnMainThread(std::function<void()> fn);

  // Sets the current event for a scope.
  class CurrentEventScope {
  public:
    explicit CurrentEventScope(Event* e);
    ~CurrentEventScope();
    CurrentEventScope(const CurrentEventScope&) = delete;
    CurrentEventScope& operator=(const CurrentEventScope&) = delete;

  private:
    Event* previous_;
  };

  // Bookkeeping by Window.
  void registerWindow(const std::shared_ptr<Window>& w);
  void unregisterWindow(Window* w);
  Window* windowForQWindow(const QObject* qwindow) const;

private:
  Application();
  struct Filter;
  std::vector<std::weak_ptr<Window>> windows_;
  std::vector<Window*> raw_;
  Window* main_ = nullptr;
  Window* key_ = nullptr;
  Event* current_ = nullptr;
  struct MonitorEntry {
    uint64_t token;
    uint64_t mask;
    std::shared_ptr<Monitor> fn;
  };
  std::vector<MonitorEntry> monitors_;
  uint64_t nextToken_ = 1;
  QObject* filter_ = nullptr;
};

}  // namespace ui
