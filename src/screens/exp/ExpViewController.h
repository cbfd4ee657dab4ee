// The EXP pedal screen, shown by the top bar in a pop-up over the main
// window. The user assigns the pedal to one parameter of one module (nine
// module buttons, up to fifteen parameter buttons of the chosen module) and
// sets the pedal's volume function: on or off, and its minimum and maximum,
// 0 to 100 (a switch and the "MIN" and "MAX" sliders).
//
// Every choice goes to the unit at once through the device service; the
// screen keeps no device state of its own and redraws from the module record
// whenever its EXP words change:
//   FuncDataArr  [module 0..8, index in the 61 EXP parameters, function on/off]
//   ExpDataArr   [volume on/off, minimum, maximum]
//
// The view comes from the layout "ExpViewController" (registered by
// registerLayout), which gives the five outlets below and wires its close
// control to closeAction. The top bar keeps views, not controllers:
// makeScreen gives it a holder view that owns the controller.
//
// Main thread only; record changes from the unit's thread are redrawn on the
// main queue.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/GGCoustomButton.h"
#include "controls/GGSwitch.h"
#include "controls/GGVerticalSliderView.h"
#include "device/files/EXP_FunctionModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/ViewController.h"
#include "screens/models/GGEffectFunManager.h"

class ExpViewController : public ui::ViewController, public GGVerticalSliderViewDelegate {
public:
  static constexpr const char* kLayoutName = "ExpViewController";
  static constexpr int kModuleCount = dev::kModuleCount;
  static constexpr int kEffectButtonCount = 15;
  static constexpr int kVolumeMin = 0;
  static constexpr int kVolumeMax = dev::kExpVolumeMax;

  struct Parts {
    HIDServiceViewModePtr service;  // HIDServiceViewMode::shared() when null
    GGEffectFunManagerPtr manager;  // the editor state; its EXP parameter list names the unit's indices
  };
  static std::shared_ptr<ExpViewController> create(Parts parts = {});
  // The screen's view inside a holder that keeps the controller alive as long
  // as the view is kept.
  static std::shared_ptr<ui::View> makeScreen(Parts parts = {});
  // The controller of a view made by makeScreen, or null.
  static std::shared_ptr<ExpViewController> controllerOf(const ui::View& screen);
  static void registerLayout();

  explicit ExpViewController(Parts parts);
  std::string className() const override { return "ExpViewController"; }

  // --- outlets of the layout
  std::weak_ptr<ui::View> ExpVolBgView;
  std::weak_ptr<ui::View> expFunctionView;
  std::weak_ptr<ui::View> moduleView;
  std::weak_ptr<ui::View> effectView;
  std::weak_ptr<GGSwitch> expVolSwitch;
  std::weak_ptr<GGCoustomButton> closeButton;

  // --- made by prepareUI
  std::shared_ptr<GGVerticalSliderView> minVolSliderView;
  std::shared_ptr<GGVerticalSliderView> maxVolSliderView;
  std::vector<std::shared_ptr<GGCoustomButton>> moduleButtons;  // in creation order
  // Keyed by the decimal text of the parameter position, "0" to "14".
  std::map<std::string, std::shared_ptr<GGCoustomButton>> effectButtons;
  std::weak_ptr<GGCoustomButton> firstModuleButton;

  // --- state
  int64_t selectMoudle = 0;
  // Position of the assigned parameter in its module's list; -1 for none.
  int64_t selectEffect = 0;
  // The volume settings being edited; off, 0 and 100 until the unit's first
  // report.
  EXP_FunctionModelPtr volModel;

  // The EXP parameter names of each module, by name and by module index.
  static const std::map<std::string, std::vector<std::string>>& function_Para();
  static const std::vector<std::vector<std::string>>& ttExp_para();
  // Index in the unit's flat list of EXP parameters of position p of module m.
  static int64_t flatIndex(int64_t module, int64_t position);

  void viewDidLoad() override;
  void prepareUI();
  void prepareObersver();
  void closeAction();
  void chooseModule(GGCoustomButton& button);
  void chooseEffect(GGCoustomButton& button);
  void sendExpDataModule(int64_t module, int64_t subModuleIndex);
  void refreshExpButtons();
  void refreshExpVol();
  void sendExpVolData();
  void sliderDragAtCell(GGVerticalSliderView& slider, const std::string& value, bool isEnd) override;
  void addOrMinusActionAtCell(GGVerticalSliderView& slider, bool isAdd) override;

  // The parameter button of position k, or null.
  std::shared_ptr<GGCoustomButton> effectButton(int64_t k) const;

private:
  // Shows the parameter buttons for `list` (none when null), lighting
  // position selectEffect.
  void showEffectButtons(const std::vector<std::string>* list);
  std::shared_ptr<GGCoustomButton> makeButton(const std::string& title, int64_t flag, bool module);
  std::weak_ptr<ExpViewController> weakSelf();

  HIDServiceViewModePtr hid_;
  GGEffectFunManagerPtr manager_;
};

using ExpViewControllerPtr = std::shared_ptr<ExpViewController>;
