// The firmware update window, shown instead of the main window when the unit
// starts in its boot loader. One button writes the firmware image from the
// resources into the unit; a label and a striped bar show how far it got.
//
//  ready   -> running  the first click (later clicks do nothing)
//  running -> done     a report of 99 % or more: "100%", "Update Success !",
//                      full bar; the shell's disconnection handler reads the
//                      bar when the unit restarts and leaves the bus
//  running -> failed   an error report, an unreadable image, or no report
//                      for progressTimeout: a warning alert with the status,
//                      then the process ends
//
// Without an image in the resources the window says so and offers no
// button. The button is drawn in every state: its picture, lighter under the
// pointer, while ready; its title on a light background once started. The updater reports on its own queue; every report is
// applied on the main queue in the order it came.
//
// Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ui/Color.h"
#include "screens/shell/RootWindowConroller.h"

class GGCoustomButton;
class HIDServiceViewMode;
class ITProgressBar;
class libupdate_zarvo;
namespace ui {
class TextField;
}

class UpdateWindowController : public RootWindowConroller {
public:
  static constexpr const char* kLayout = "UpdateWindowController";
  static constexpr const char* kReadyTitle = " ";
  static constexpr const char* kWaitingTitle = "Waiting...";
  static constexpr const char* kSuccessTitle = "Update Success !";
  static constexpr const char* kDonePercentText = "100%";
  static constexpr const char* kErrorFormat = "Error!\n Error cod: %d\n click 'YES' exit application";
  static constexpr const char* kAlertButton = "YES";
  static constexpr const char* kNoImageText = "No firmware image is installed.";
  // The pictures the button shows while it waits for its click: as it is,
  // and under the pointer or pressed.
  static constexpr const char* kStartImage = "update_start";
  static constexpr const char* kStartHoverImage = "update_start_hover";
  // A report of this much or more means every block is in the unit.
  static constexpr int kDonePercent = 99;
  static constexpr double kWidth = 480;
  static constexpr double kHeight = 240;
  static const ui::Color kRunningBackground;  // sRGB (238, 238, 238)

  enum class State { ready, running, done, failed };

  // Null service: the process-wide one.
  explicit UpdateWindowController(std::shared_ptr<HIDServiceViewMode> service = nullptr);
  std::string className() const override { return "UpdateWindowController"; }

  // ---- outlets, connected by the layout
  std::weak_ptr<ITProgressBar> progressView;
  std::weak_ptr<GGCoustomButton> updateBtn;
  std::weak_ptr<ui::TextField> percentLabel;

  // The update's progress bar, 0 to 1; 0 until the window is loaded. The
  // end the updater has already reached is applied first: the unit restarts
  // and may leave the bus as soon as the closing packet is out, before the
  // report of it has been delivered on the main queue.
  double progressValue();
  State state() const { return state_; }

  // The image the button writes: the bundled one unless set. Setting it
  // offers the button again, or takes it away, by whether there is one.
  std::filesystem::path firmwarePath() const;
  void setFirmwarePath(std::filesystem::path path);
  // True when there is a file at firmwarePath().
  bool imageInstalled() const;

  // Longest time without a report while the update runs; the unit's own
  // wait for the announcement (from the image) comes on top before the
  // first report.
  std::chrono::milliseconds progressTimeout{30000};

  void windowDidLoad() override;
  // The button's action.
  void startUpdate();
  // The updater's reports (main thread).
  void applyProgress(int percent);
  void applyError(int status);
  // A modal warning alert with one "YES", on a later turn of the main loop;
  // with isExit the process ends once it is dismissed, with EXIT_FAILURE
  // (only a failed update ends the process from here).
  void alertApp(const std::string& message, bool isExit);
  static std::string errorMessage(int status);

private:
  std::shared_ptr<UpdateWindowController> self();
  void armWatchdog(std::chrono::milliseconds bound);
  void fail(int status);
  void windowWillClose();
  // Shows whether there is an image to write: the button, or the message.
  void showImagePresence();

  std::shared_ptr<libupdate_zarvo> updater() const;

  std::shared_ptr<HIDServiceViewMode> service_;
  // The updater of the running update.
  std::weak_ptr<libupdate_zarvo> updater_;
  std::filesystem::path firmwarePath_;
  State state_ = State::ready;
  // Counts reports and starts; a watchdog acts only when nothing came since
  // it was armed.
  uint64_t watchdogGeneration_ = 0;
};
