// The main window's content controller: the start-up of the editor.
//
//  - Made by the "main" layout: writes the missing user defaults and makes
//    the computer preset folder.
//  - viewDidLoad connects the device service and acts on the unit's status:
//    "A" brings the window to the front and runs the start-up read behind the
//    loading pop-up; "B" opens the firmware update window (the main window
//    stays hidden); "L" says the firmware does not match and "D" that there
//    is no unit, then the process ends. A status that is none of these (a
//    unit answering in an unknown mode) ends like "D".
//  - The read's progress shows in the pop-up; the service itself asks again
//    while the unit is silent, and ends the read through its disconnection
//    handling when it cannot finish. At the read's end the main screen is
//    built, once; later reports of the current preset build nothing.
//  - While a write of the current preset waits for the unit (and after a lost
//    one, for the unit's current preset), the views may show words the unit
//    no longer holds: the loading pop-up covers the main screen and takes its
//    clicks, so that no edit is built on them.
//  - Losing the unit, at any time, gives one final alert and ends the process.
//
// Main thread, except the service's callbacks, which move their work to the
// main queue.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/SplitView.h"
#include "platform/ui/ViewController.h"
#include "screens/shell/ShellParts.h"

class GGPopView;
class StartLoadingView;
class UpdateWindowController;

class ViewController : public ui::ViewController, public ui::SplitViewDelegate {
public:
  // User-default keys written when missing, and their values (0xRRGGBB).
  static constexpr const char* kSliderColorKey = "theme_sliderColor";
  static constexpr const char* kSelectedColorKey = "theme_selectedColor";
  static constexpr const char* kEnterColorKey = "theme_enterColor";
  static constexpr const char* kComputerPresetPathKey = "computerPresetPath";
  static constexpr int64_t kDefaultSliderColor = 0xB1CF36;
  static constexpr int64_t kDefaultSelectedColor = 0xB1CF36;
  static constexpr int64_t kDefaultEnterColor = 0x888888;

  static constexpr const char* kProductName = "VLTfx Rig";
  static constexpr const char* kDisconnectedText = "The device is disconnected.";
  static constexpr const char* kUpdateSuccessText = "Update Success !";
  static constexpr const char* kVersionMismatchText = "Device versions do not match.\nPlease update the firmware of ";
  static constexpr const char* kAlertButton = "Yes";
  static constexpr const char* kPresetTitle = "PRESET";

  // Where the split view's divider may go.
  static constexpr double kSplitMin = 220.0;
  static constexpr double kSplitMax = 280.0;
  static constexpr double kLoadingWidth = 242;
  static constexpr double kLoadingHeight = 100;
  // An update whose bar is past this when the unit leaves its boot loader
  // has succeeded.
  static constexpr double kUpdateDone = 0.99;

  // The screens of the main window, one factory each. Empty ones give a
  // placeholder holding the screen's name until the screen is built.
  struct Screens {
    std::function<std::shared_ptr<ui::View>()> topView;
    std::function<std::shared_ptr<ui::View>()> presetView;
    std::function<std::shared_ptr<ui::View>()> localPresetView;
    std::function<std::shared_ptr<ui::View>()> chainView;
    std::function<std::shared_ptr<ui::View>()> moduleView;
  };
  static Screens& screens();

  // Made by the "main" layout: the defaults and the preset folder.
  ViewController(ui::FromLayout, ShellParts parts);
  std::string className() const override { return "ViewController"; }

  void viewDidLoad() override;
  // Shows the loading pop-up and asks the service for the start-up read.
  void startAndGetAllData();
  // Builds the main screen in the holders (once).
  void prepareUI();

  double splitViewConstrainMinCoordinateOfSubviewAt(ui::SplitView&, double, int) override { return kSplitMin; }
  double splitViewConstrainMaxCoordinateOfSubviewAt(ui::SplitView&, double, int) override { return kSplitMax; }

  // Made on first use; its window is not loaded until shown.
  std::shared_ptr<UpdateWindowController> updateVC();

  // ---- outlets, connected by the layout
  std::weak_ptr<ui::View> topBgView;
  std::weak_ptr<ui::View> presetBgView;
  std::weak_ptr<ui::View> effectBgView;
  std::weak_ptr<ui::SplitView> mainSplitView;

  // ---- the main screen (null until it is built)
  std::shared_ptr<ui::View> presetHeader;
  std::shared_ptr<ui::View> topView;
  std::shared_ptr<ui::View> presetView;
  std::shared_ptr<ui::View> localPresetView;
  std::shared_ptr<ui::View> chainView;
  std::shared_ptr<ui::View> moduleView;

  std::shared_ptr<HIDServiceViewMode> hid;
  const std::shared_ptr<fnd::UserDefaults>& defaults() const { return defaults_; }
  bool mainScreenBuilt() const { return built_; }
  // The loading pop-up's content while the start-up read runs.
  std::shared_ptr<StartLoadingView> loadingView() const { return loadingView_.lock(); }

  // The final alert and the end of the process with `status` (once; later
  // calls do nothing): EXIT_FAILURE where the editor ends because it cannot
  // work (no usable unit, the unit lost), 0 after a firmware update's success.
  void alertAndExit(const std::string& message, int status);

private:
  void connect();
  // Shows the pop-up that holds the edits while the service awaits the
  // current preset, and closes it after.
  void followCurrentPresetWrites();
  std::shared_ptr<GGPopView> writeHold() const;
  void unitLost();
  // The unit left after a firmware update that got to its end.
  bool updateSucceeded();

  std::shared_ptr<fnd::UserDefaults> defaults_;
  std::shared_ptr<UpdateWindowController> updateVC_;
  std::weak_ptr<StartLoadingView> loadingView_;
  std::weak_ptr<GGPopView> writeHold_;
  bool built_ = false;
  bool ending_ = false;
};
