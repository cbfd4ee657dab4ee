// The pop-up service as the layers below the controls see it: three kinds of
// tip and closing every open confirm panel. The device layer raises tips
// through it; the controls layer installs the real one (GGPopView) with
// setShared(). It lives here, below both, so that neither depends on the
// other. Until one is installed (and without a window) the default writes
// the tips to the log.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Object.h"

class PopUpService {
public:
  virtual ~PopUpService() = default;

  // A success tip in the main window's content view.
  virtual void showSuccessWithTip(const std::string& tip) = 0;
  // A warning tip in `view`, or in the main window's content view when null.
  virtual void showWarningWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) = 0;
  // A failure tip, placed the same way.
  virtual void showFailWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) = 0;
  // Closes every open confirm panel. May be called from any thread; returns
  // at once (the work happens on the main queue). Loading views and tips stay.
  virtual void AOEHideAllView() = 0;

  // The process-wide service; the logging default until one is installed.
  static std::shared_ptr<PopUpService> shared();
  // Installs the process-wide service (null puts the default back).
  static void setShared(std::shared_ptr<PopUpService> service);
};

// Writes every tip to the log and closes nothing.
class LoggingPopUpService : public PopUpService {
public:
  void showSuccessWithTip(const std::string& tip) override;
  void showWarningWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) override;
  void showFailWithTip(const std::string& tip, std::shared_ptr<fnd::Object> view) override;
  void AOEHideAllView() override;
};
