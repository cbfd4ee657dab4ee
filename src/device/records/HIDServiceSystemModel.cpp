#include "device/records/HIDServiceSystemModel.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"

HIDServiceSystemModel::HIDServiceSystemModel()
    : inputLevel(this, "inputLevel"),
      screenLevel(this, "screenLevel"),
      leftOutCab(this, "leftOutCab"),
      rightOutCab(this, "rightOutCab"),
      outCabStatus(this, "outCabStatus"),
      OtgOutLevel(this, "OtgOutLevel"),
      rhythm_switch(this, "rhythm_switch"),
      rhythm_mode(this, "rhythm_mode"),
      rhythm_style(this, "rhythm_style"),
      rhythm_vol(this, "rhythm_vol", ""),
      rhythm_bpm(this, "rhythm_bpm", "") {}

std::shared_ptr<HIDServiceSystemModel> HIDServiceSystemModel::copy() const {
  auto out = fnd::make<HIDServiceSystemModel>();
  out->setInputLevel(inputLevel.get());
  out->setScreenLevel(screenLevel.get());
  out->setOtgOutLevel(OtgOutLevel.get());
  out->setRhythm_switch(rhythm_switch.get());
  out->setRhythm_mode(rhythm_mode.get());
  out->setRhythm_style(rhythm_style.get());
  out->setRhythm_vol(rhythm_vol.get());
  out->setRhythm_bpm(rhythm_bpm.get());
  out->setOutCabStatus(outCabStatus.get());
  out->setLeftOutCab(leftOutCab.get());
  out->setRightOutCab(rightOutCab.get());
  return out;
}

std::string HIDServiceSystemModel::outCabStatusText(int left, int right) {
  return fnd::format(" CAB-L: %s\n CAB-R: %s", left != 0 ? "ON" : "THRU", right != 0 ? "ON" : "THRU");
}

int HIDServiceSystemModel::rhythmNumber(const std::string& text) {
  constexpr size_t kPrefix = 5;
  if (text.size() <= kPrefix) return 0;
  return static_cast<int>(fnd::Value(text.substr(kPrefix)).intValue());
}

std::string HIDServiceSystemModel::rhythmVolText(int volume) { return fnd::format("VOL: %d", volume); }

std::string HIDServiceSystemModel::rhythmBpmText(int bpm) { return fnd::format("BPM: %d", bpm); }
