#include "platform/foundation/PopUpService.h"

#include <mutex>

#include "platform/foundation/Log.h"

namespace {

std::mutex sharedMutex;
std::shared_ptr<PopUpService> sharedService;

}  // namespace

std::shared_ptr<PopUpService> PopUpService::shared() {
  std::lock_guard guard(sharedMutex);
  if (!sharedService) sharedService = std::make_shared<LoggingPopUpService>();
  return sharedService;
}

void PopUpService::setShared(std::shared_ptr<PopUpService> service) {
  std::shared_ptr<PopUpService> old;
  std::lock_guard guard(sharedMutex);
  old = std::move(sharedService);  // released after unlocking
  sharedService = std::move(service);
}

void LoggingPopUpService::showSuccessWithTip(const std::string& tip) { fnd::log("[tip success] %s", tip.c_str()); }

void LoggingPopUpService::showWarningWithTip(const std::string& tip, std::shared_ptr<fnd::Object>) {
  fnd::log("[tip warning] %s", tip.c_str());
}

void LoggingPopUpService::showFailWithTip(const std::string& tip, std::shared_ptr<fnd::Object>) {
  fnd::log("[tip failure] %s", tip.c_str());
}

void LoggingPopUpService::AOEHideAllView() {}
