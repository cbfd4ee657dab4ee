// One level with its title, a vertical bar slider, the value text and an up
// and a down button, made from the "GGVerticalSliderView" layout. It reports
// to its delegate: every drag of the slider (whole values) and its release,
// and every step of the buttons. A held button repeats its step (see
// AutoRepeat: the first repeat 0.3 s after the press, then every 0.1 s until
// the press ends, released, pointer gone or button hidden); the release
// steps once more, and only one repetition ever runs. Steps reach the
// delegate on the main queue. The view changes no value itself: its
// owner writes the value back.
//
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "controls/AutoRepeat.h"
#include "controls/GGSlider.h"
#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/View.h"

class GGVerticalSliderView;

class GGVerticalSliderViewDelegate {
public:
  virtual ~GGVerticalSliderViewDelegate() = default;
  virtual void sliderDragAtCell(GGVerticalSliderView&, const std::string& value, bool isEnd) = 0;
  virtual void addOrMinusActionAtCell(GGVerticalSliderView&, bool isAdd) = 0;
};

class GGVerticalSliderView : public ui::View {
public:
  static constexpr const char* kLayoutName = "GGVerticalSliderView";

  explicit GGVerticalSliderView(ui::FromLayout) {}
  std::string className() const override { return "GGVerticalSliderView"; }

  // Loads the layout (registering its builder on first use).
  static std::shared_ptr<GGVerticalSliderView> createView();
  static void registerLayout();

  std::weak_ptr<GGVerticalSliderViewDelegate> delegate;
  std::weak_ptr<ui::TextField> titleTF;
  std::weak_ptr<GGSlider> valueSlider;
  std::weak_ptr<TitleLabel> valueTF;
  std::weak_ptr<SWSTAnswerButton> downButton;
  std::weak_ptr<SWSTAnswerButton> upButton;
  bool isMouseDown() const { return repeat_.isMouseDown(); }
  // The buttons' auto-repeat (its timing is settable).
  AutoRepeat& autoRepeat() { return repeat_; }

  void awakeFromNib() override;
  void mouseDownDownLong();
  void mouseDownUpLong();
  void upComplete(bool);
  void downComplete(bool);

private:
  void step(bool up, bool atRelease);
  AutoRepeat repeat_{[this](bool up, bool atRelease) { step(up, atRelease); }};
};
