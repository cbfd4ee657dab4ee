// The levels and switches the system settings screen shows, with the texts of
// the input and OTG levels and the steps of the screen's plus and minus
// buttons. It holds values only: the screen copies them to and from the
// system record and sends them through the device service.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class SettingModel : public fnd::Object {
public:
  // The step buttons' types.
  enum : long { kInputLevel = 0, kScreenLevel = 1, kOtgLevel = 2 };

  SettingModel();

  // Input level 0 to 21, screen level 1 to 20, OTG output level 0 to 21. An
  // unset level counts as 0.
  fnd::Property<std::optional<int>> inputLevel;
  fnd::Property<std::optional<int>> screenLevel;
  fnd::Property<std::optional<int>> otgLevel;
  // Cabinet simulation on the left and right outputs.
  fnd::Property<bool> leftOpen;
  fnd::Property<bool> rightOpen;
  fnd::Property<std::string> filePath;

  void setInputLevel(std::optional<int> v) { inputLevel.set(v); }
  void setScreenLevel(std::optional<int> v) { screenLevel.set(v); }
  void setOtgLevel(std::optional<int> v) { otgLevel.set(v); }
  void setLeftOpen(bool on) { leftOpen.set(on); }
  void setRightOpen(bool on) { rightOpen.set(on); }
  void setFilePath(std::string path) { filePath.set(std::move(path)); }

  // "-" for level 0, else the level in decibels ("-30 dB", "3.0 dB").
  std::string inputLevelText() const { return levelText(inputLevel.get()); }
  std::string otgLevelText() const { return levelText(otgLevel.get()); }

  // One step up or down of the level of `type` (kInputLevel, kScreenLevel,
  // kOtgLevel), kept within its range; any other type does nothing.
  void addValueForType(long type);
  void minusValueForType(long type);

  // The decibel text of a level; the same whatever the process locale.
  static std::string levelText(std::optional<int> level);

  std::string className() const override { return "SettingModel"; }
};

using SettingModelPtr = std::shared_ptr<SettingModel>;
