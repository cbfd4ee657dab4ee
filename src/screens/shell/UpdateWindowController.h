// The firmware update window. For now a plain window that says the update is
// not available in this version; the progress of an update is therefore
// always 0.
//
// Main thread only.
#pragma once

#include "screens/shell/RootWindowConroller.h"

class UpdateWindowController : public RootWindowConroller {
public:
  static constexpr const char* kLayout = "UpdateWindowController";
  static constexpr const char* kNotYetText = "Firmware update comes in a later version.";
  static constexpr double kWidth = 420;
  static constexpr double kHeight = 160;

  UpdateWindowController();
  std::string className() const override { return "UpdateWindowController"; }

  // The update's progress bar, 0 to 1.
  double progressValue() const { return 0; }

  void loadWindow() override;
};
