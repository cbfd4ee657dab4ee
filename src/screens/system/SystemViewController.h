// The system settings screen, shown by the top bar in a pop-up over the main
// window: the unit's input, screen and OTG output levels (three vertical
// sliders), the cabinet simulation of the left and right outputs (two
// switches), the whole-unit backup into a ".bqv" file and its restore
// ("RECALL"), the unit's reset, "NO" and a close control, and the version.
//
//  - Every change made here goes into the device service's system record and
//    to the unit at once (the unit's page first, when it is elsewhere); every
//    change the unit reports redraws the screen.
//  - Backup and restore are SettingViewModel's. A restore runs behind a
//    "Restoring ..." loading view over the screen; success puts a tip in the
//    screen's place, failure closes the loading view and asks the failure
//    alert. Either ends with the restore end command, which restarts the
//    unit. "RECALL" does nothing but a failure tip while a backup or restore
//    runs, so that no restart lands in the middle of one.
//  - "RESET" asks first; once confirmed, the reset command has been written
//    to the unit when the process ends.
//  - Panels, alerts and the end of the process go through the platform
//    handlers.
//
// The top bar gets the screen from makeScreen(): a view that owns its
// controller, so the controller lives as long as the top bar keeps the view.
// The layout "SystemViewController" is a builder whose owner is the
// controller: it makes the view and sets the controller's outlets.
//
// Main thread only; record changes made on the unit's thread are carried over
// to the main queue before the screen changes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "controls/GGCoustomButton.h"
#include "controls/GGPopView.h"
#include "controls/GGSwitch.h"
#include "controls/GGVerticalSliderView.h"
#include "controls/SWSTAnswerButton.h"
#include "device/backup/SettingViewModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class SystemViewController : public ui::ViewController, public GGVerticalSliderViewDelegate {
public:
  static constexpr const char* kLayoutName = "SystemViewController";
  static constexpr const char* kVersion = "V1.0.5";

  static constexpr const char* kBackupExtension = "bqv";
  static constexpr const char* kBackupName = "VLTfx Rig";
  static constexpr const char* kSaveMessage = "Choose the path to creat the document";
  static constexpr const char* kOpenMessage = "Choose the file";
  static constexpr const char* kRestoring = "Restoring ...";
  static constexpr const char* kResetQuestion = "The device will be reset. Please make a data backup";
  static constexpr const char* kNo = "NO";
  static constexpr const char* kYes = "YES";

  struct Parts {
    HIDServiceViewModePtr service;         // empty: the shared service
    std::shared_ptr<PopUpService> popUps;  // empty: PopUpService::shared() at each use
    SettingViewModel::Timing timing;       // the backup's and restore's bounds and delays
  };

  // A controller whose view is made on first use.
  static std::shared_ptr<SystemViewController> create(Parts parts);
  // The screen for the top bar: the controller's view in a holder that keeps
  // the controller alive. Null when the layout cannot be loaded.
  static std::shared_ptr<ui::View> makeScreen(Parts parts);
  // The controller of a view makeScreen made, or null.
  static std::shared_ptr<SystemViewController> controllerOf(const ui::View& screen);
  static void registerLayout();

  explicit SystemViewController(Parts parts);
  ~SystemViewController() override;
  std::string className() const override { return "SystemViewController"; }

  // ---- outlets of the layout
  std::weak_ptr<ui::View> inputBgView;
  std::weak_ptr<ui::View> screenBgView;
  std::weak_ptr<ui::View> otgBgView;
  std::weak_ptr<GGSwitch> cabLeftSwitch;
  std::weak_ptr<GGSwitch> cabRightSwitch;
  std::weak_ptr<GGCoustomButton> backUpButton;
  std::weak_ptr<GGCoustomButton> recallButton;
  std::weak_ptr<GGCoustomButton> resetYesButton;
  std::weak_ptr<GGCoustomButton> resetNoButton;
  std::weak_ptr<ui::TextField> versionTF;
  std::weak_ptr<SWSTAnswerButton> closeButton;

  // ---- made by the controller
  std::shared_ptr<GGVerticalSliderView> inputSliderView;
  std::shared_ptr<GGVerticalSliderView> screenSliderView;
  std::shared_ptr<GGVerticalSliderView> otgSliderView;
  SettingViewModelPtr viewModel() const { return viewModel_; }
  HIDServiceViewModePtr hid() const { return hid_; }
  // The "Restoring ..." overlay while a restore runs, else null.
  std::shared_ptr<GGPopView> recallActivity() const;

  void viewDidLoad() override;

  // ---- actions
  void closeAction(ui::View& sender);
  void justBackUp(GGCoustomButton& sender);
  void justRecall(GGCoustomButton& sender);
  void resetConfirm(GGCoustomButton& sender);
  // The two answers to the reset question.
  void resetConfirm();
  void resetCCancel();
  void resetCancel(GGCoustomButton& sender);

  // Redraws the three sliders and their value texts from the model.
  void totalRefreshView();

  // ---- GGVerticalSliderViewDelegate
  void sliderDragAtCell(GGVerticalSliderView& view, const std::string& value, bool isEnd) override;
  void addOrMinusActionAtCell(GGVerticalSliderView& view, bool isAdd) override;

  // ---- the restore's loading view and endings (main thread)
  void showRecallActivity();
  void hideRecallActivity(bool success);
  void recallFail();

  // One of the three levels (input, screen, OTG).
  struct Level;

private:
  class Recall;

  void prepareUI();
  void addRSOberserve();
  // The level a slider view stands for, or null.
  const Level* levelOf(const GGVerticalSliderView& view) const;
  GGVerticalSliderView* sliderOf(const Level& level) const;
  std::optional<int> modelValue(const Level& level) const;
  void setModelValue(const Level& level, std::optional<int> value);
  std::string valueText(const Level& level) const;
  // Stores the model's level in the record and sends it.
  void sendLevel(const Level& level);
  // Shows a level the unit reported.
  void showLevel(const Level& level, std::optional<int> value);
  // The slider and value text of a level from the model.
  void redrawLevel(const Level& level);
  void switchChanged(bool left, bool on);
  // The content view of the screen's window (where pop-ups go), or null.
  std::shared_ptr<ui::View> popUpContainer();
  // The pop-up holding the screen, or null when it is not shown.
  std::shared_ptr<GGPopView> screenPopUp();
  std::shared_ptr<PopUpService> popUps() const;

  const Parts parts_;
  HIDServiceViewModePtr hid_;
  SettingViewModelPtr viewModel_;
  std::shared_ptr<Recall> recall_;
  std::weak_ptr<GGPopView> recallActivity_;
};

using SystemViewControllerPtr = std::shared_ptr<SystemViewController>;
