// The unit's system and rhythm settings.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class HIDServiceSystemModel : public fnd::Object {
public:
  HIDServiceSystemModel();

  fnd::Property<std::optional<int>> inputLevel;   // 0 to 21
  fnd::Property<std::optional<int>> screenLevel;  // 1 to 20
  fnd::Property<std::optional<int>> leftOutCab;   // 0 off, otherwise on
  fnd::Property<std::optional<int>> rightOutCab;  // 0 off, otherwise on
  // " CAB-L: ON\n CAB-R: THRU" and the like (outCabStatusText).
  fnd::Property<std::optional<std::string>> outCabStatus;
  fnd::Property<std::optional<int>> OtgOutLevel;  // 0 to 21
  fnd::Property<std::optional<int>> rhythm_switch;
  fnd::Property<std::optional<int>> rhythm_mode;
  fnd::Property<std::optional<int>> rhythm_style;
  // "VOL: %d" and "BPM: %d": the rhythm command reads the number after the
  // five-character prefix, so both keep it. Empty until the unit reports.
  fnd::Property<std::string> rhythm_vol;
  fnd::Property<std::string> rhythm_bpm;

  void setInputLevel(std::optional<int> v) { inputLevel.set(v); }
  void setScreenLevel(std::optional<int> v) { screenLevel.set(v); }
  void setLeftOutCab(std::optional<int> v) { leftOutCab.set(v); }
  void setRightOutCab(std::optional<int> v) { rightOutCab.set(v); }
  void setOutCabStatus(std::optional<std::string> v) { outCabStatus.set(std::move(v)); }
  void setOtgOutLevel(std::optional<int> v) { OtgOutLevel.set(v); }
  void setRhythm_switch(std::optional<int> v) { rhythm_switch.set(v); }
  void setRhythm_mode(std::optional<int> v) { rhythm_mode.set(v); }
  void setRhythm_style(std::optional<int> v) { rhythm_style.set(v); }
  void setRhythm_vol(std::string v) { rhythm_vol.set(std::move(v)); }
  void setRhythm_bpm(std::string v) { rhythm_bpm.set(std::move(v)); }

  // A new record with the same values.
  std::shared_ptr<HIDServiceSystemModel> copy() const;
  std::shared_ptr<HIDServiceSystemModel> mutableCopy() const { return copy(); }

  // The texts the records hold.
  static std::string outCabStatusText(int left, int right);
  static std::string rhythmVolText(int volume);
  static std::string rhythmBpmText(int bpm);
  // The number after the five-character prefix of those two texts; 0 when
  // there is none (a record the unit never reported).
  static int rhythmNumber(const std::string& text);

  std::string className() const override { return "HIDServiceSystemModel"; }
};

using HIDServiceSystemModelPtr = std::shared_ptr<HIDServiceSystemModel>;
