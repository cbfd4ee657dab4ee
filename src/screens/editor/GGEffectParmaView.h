// One cell of the module editor's knob grid: a parameter's name, a rotary
// knob, its value as text, and a down and an up button.
//
// The knob runs on an offset scale: 0 to max - min (0 to the number of
// choices - 1 for a choice), the parameter's value being min + the knob's
// value. Turning the knob or pressing a button writes the parameter into the
// item model, shows it, and calls GoSendData. A held button repeats its
// step (see AutoRepeat: the first repeat 0.3 s after the press, then every
// 0.1 s), and the release steps once more.
//
// Made by the "GGEffectParmaView" layout (see createView). Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/AutoRepeat.h"
#include "controls/GGCircularSlider.h"
#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "layout/collection/CLCollectionViewCell.h"
#include "platform/ui/TextField.h"
#include "screens/models/GGEffectItemModel.h"

class GGEffectParmaView : public CLCollectionViewCell {
public:
  static constexpr const char* kLayoutName = "GGEffectParmaView";
  static constexpr double kWidth = 180, kHeight = 150;

  GGEffectParmaView() = default;
  explicit GGEffectParmaView(ui::Rect frame) : CLCollectionViewCell(frame) {}

  std::string className() const override { return "GGEffectParmaView"; }

  // A cell from the "GGEffectParmaView" layout (its builder is registered on
  // first use), or null when the layout gives none.
  static std::shared_ptr<GGEffectParmaView> createView();
  // Registers the layout's builder with ui::LayoutRegistry (once).
  static void registerLayout();

  void awakeFromNib() override;
  void prepareUI();

  // Outlets, connected by the layout.
  std::weak_ptr<ui::View> contentBgView;
  std::weak_ptr<ui::TextField> titleLabel;
  std::weak_ptr<GGCircularSlider> cirSlider;
  std::weak_ptr<TitleLabel> valueLabel;
  std::weak_ptr<SWSTAnswerButton> downButton;
  std::weak_ptr<SWSTAnswerButton> upButton;

  const GGEffectItemModelPtr& itemModel() const { return itemModel_; }
  void setItemModel(GGEffectItemModelPtr item);

  std::function<void()> GoSendData;

  // The knob's callback; isEnd is not used.
  void slideValueChange(double value, bool isEnd);
  void sliderValueUp();
  void sliderValueDown();
  void refreshControlModel();
  void mouseDownDownLong();
  void mouseDownUpLong();
  void upComplete(bool);
  void downComplete(bool);

  bool isMouseDown() const { return repeat_.isMouseDown(); }
  // The step buttons' auto-repeat (its timing is settable).
  AutoRepeat& autoRepeat() { return repeat_; }

  // The text a parameter's value shows as: the choice at `current` (the
  // number itself when the unit reports one past the list), else the value
  // (times per_unit, "%.1f", when it has one), then " unit" when it has one.
  static std::string valueText(GGEffectItemModel& item);

private:
  void stepValue(int direction);
  void showValue(const std::string& text);
  std::string withUnit(const std::string& text) const;
  double minimum() const;
  void send();

  GGEffectItemModelPtr itemModel_;
  // The text last asked of the value label, and that label.
  std::weak_ptr<TitleLabel> shownBy_;
  std::string shownText_;
  AutoRepeat repeat_{[this](bool up, bool atRelease) { up ? upComplete(atRelease) : downComplete(atRelease); }};
};

using GGEffectParmaViewPtr = std::shared_ptr<GGEffectParmaView>;
