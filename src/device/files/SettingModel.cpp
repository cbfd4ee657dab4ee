#include "device/files/SettingModel.h"

#include <algorithm>
#include <charconv>

namespace {

// Decibels of levels 1 to 9, the unit's fixed steps.
constexpr int kLowLevelDecibels[] = {-60, -45, -35, -30, -25, -20, -10, -5, 0};

}  // namespace

SettingModel::SettingModel()
    : inputLevel(this, "inputLevel"),
      screenLevel(this, "screenLevel"),
      otgLevel(this, "otgLevel"),
      leftOpen(this, "leftOpen", false),
      rightOpen(this, "rightOpen", false),
      filePath(this, "filePath") {}

std::string SettingModel::levelText(std::optional<int> level) {
  const int v = level.value_or(0);
  if (v == 0) return "-";
  if (v >= 1 && v <= 9) return std::to_string(kLowLevelDecibels[v - 1]) + " dB";
  // Half a decibel per step above 9, one decimal. to_chars ignores the
  // process locale, so the separator is always '.'.
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, (static_cast<double>(v) - 9.0) * 0.5,
                                 std::chars_format::fixed, 1);
  if (ec != std::errc()) return "-";
  return std::string(buf, end) + " dB";
}

void SettingModel::addValueForType(long type) {
  switch (type) {
    case kInputLevel: setInputLevel(std::min(inputLevel.get().value_or(0), 20) + 1); break;
    case kScreenLevel: setScreenLevel(std::min(screenLevel.get().value_or(0), 19) + 1); break;
    case kOtgLevel: setOtgLevel(std::min(otgLevel.get().value_or(0), 20) + 1); break;
    default: break;
  }
}

void SettingModel::minusValueForType(long type) {
  switch (type) {
    case kInputLevel: setInputLevel(std::max(inputLevel.get().value_or(0), 1) - 1); break;
    case kScreenLevel: setScreenLevel(std::max(screenLevel.get().value_or(0), 2) - 1); break;
    case kOtgLevel: setOtgLevel(std::max(otgLevel.get().value_or(0), 1) - 1); break;
    default: break;
  }
}
