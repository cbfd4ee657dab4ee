#include "platform/ui/MainThreadCheck.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {
std::atomic<MainThreadViolationHandler> gHandler{nullptr};

// Straight to standard error: a log sink a test installed may never show it.
[[noreturn]] void logAndAbort(const char* entryPoint) {
  std::fprintf(stderr, "UI used off the main thread: %s\n", entryPoint);
  std::fflush(stderr);
  std::abort();
}
}  // namespace

MainThreadViolationHandler setMainThreadViolationHandler(MainThreadViolationHandler handler) {
  return gHandler.exchange(handler);
}

void checkMainThread(const char* entryPoint) {
  const QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) return;
  if (MainThreadViolationHandler handler = gHandler.load()) {
    handler(entryPoint);
  } else {
    logAndAbort(entryPoint);
  }
}

}  // namespace ui
