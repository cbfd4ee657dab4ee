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
