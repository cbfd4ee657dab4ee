// The bar across the top of the main window: the current preset's name
// between the preset-up and preset-down buttons, the save button, and from
// the right edge inwards the settings button, the EXP-VOL switch, the CAB-L
// and CAB-R output switches and the EXP strip (the EXP assignment and the EXP
// button). It also owns the EXP and system pop-up screens and opens and
// closes them as the unit's page changes (pageRule).
//
// Made with create() once the start-up read has filled the device records;
// it binds itself to them when it first moves into a window. Pop-ups and
// prompts go over the content view of the window it is in.
//
// Main thread only; record changes made on the unit's thread are carried over
// to the main queue before any control changes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/GGPopView.h"
#include "controls/GGSwitch.h"
#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "screens/models/GGEffectFunManager.h"

class TopView : public ui::View, public ui::TextFieldDelegate {
public:
  static constexpr int kPresetCount = dev::kPresetCount;
  static constexpr size_t kNameLength = dev::kPresetNameSize;
  static constexpr const char* kModifiedQuestion =
      "The current preset data has been modified,  would you like to save it?";
  static constexpr const char* kSavedTip = "Preset save successful!";

  struct Parts {
    HIDServiceViewModePtr service;  // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;  // GGEffectFunManager::shareManager()
  };
  static std::shared_ptr<TopView> create(Parts parts = {});
  explicit TopView(Parts parts);
  std::string className() const override { return "TopView"; }

  // Which pop-up a unit page asks for (dev::page's screen page sets).
  enum class PageScreen { None, Exp, System };
  static PageScreen screenForPage(int64_t page);
  // The preset the up and down buttons go to from preset n.
  static int presetAbove(int n) { return n >= 2 && n <= kPresetCount ? n - 1 : kPresetCount; }
  static int presetBelow(int n) { return n >= 1 && n < kPresetCount ? n + 1 : 1; }
  // A typed name cleaned: no character of the name set at either end, at
  // most kNameLength characters.
  static std::string cleanName(const std::string& typed);
  // "EXP: <module> - <parameter>" for an EXP assignment; empty names for
  // values outside the lists.
  static std::string expLabelText(const std::vector<int>& function);

  // --- controls ---
  std::shared_ptr<ui::View> presetNameBgView;
  std::shared_ptr<ZrTextField> presetNameTF;
  std::shared_ptr<SWSTAnswerButton> upButton;
  std::shared_ptr<SWSTAnswerButton> downButton;
  std::shared_ptr<SWSTAnswerButton> saveButton;
  std::shared_ptr<SWSTAnswerButton> settingButton;
  std::shared_ptr<SWSTAnswerButton> expButton;
  std::shared_ptr<ui::View> expVolBgView;
  std::shared_ptr<ui::View> cabBgView;
  std::shared_ptr<ui::View> expBgView;
  std::shared_ptr<ui::TextField> expValueLabel;
  std::shared_ptr<GGSwitch> cabLeftSwitch;
  std::shared_ptr<GGSwitch> cabRightSwitch;
  std::shared_ptr<GGSwitch> expVolSwitch;
  // The overlays showing the EXP or the system screen; null when none.
  std::shared_ptr<GGPopView> expPopView;
  std::shared_ptr<GGPopView> systemPopView;
  // The screens, made on first use and kept.
  std::shared_ptr<ui::View> expVC();
  std::shared_ptr<ui::View> SystemVC();

  // --- work ---
  void viewDidMoveToWindow() override;
  void prepareRS();
  void prepareUI();
  void goNextPreset();
  void goLastPreset();
  void savePreset();
  void goExp();
  void goSetting();
  void pageRule(int64_t page);
  void controlTextDidChange(ui::TextField& field) override;

  bool isExpShown() const { return isShown(expPopView); }
  bool isSystemShown() const { return isShown(systemPopView); }

private:
  void preparePresetNameUI();
  void prepareExpVolUI();
  void prepareCabUI();
  void prepareExpUI();
  void goToPreset(int target);
  void showScreen(bool exp);
  void hideScreen(std::shared_ptr<GGPopView>& overlay);
  void showExpAssignment(const std::vector<int>& function);
  std::shared_ptr<ui::View> popUpContainer() const;
  static bool isShown(const std::shared_ptr<GGPopView>& overlay);
  std::weak_ptr<TopView> weakSelf() { return std::static_pointer_cast<TopView>(sharedFromThis()); }

  HIDServiceViewModePtr hid_;
  GGEffectFunManagerPtr manager_;
  std::shared_ptr<ui::View> expVC_;
  std::shared_ptr<ui::View> systemVC_;
  bool bound_ = false;
  bool nameFromRecord_ = false;
};

using TopViewPtr = std::shared_ptr<TopView>;
