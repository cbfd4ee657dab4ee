// Makes the two pop-up screens of the top bar, the EXP pedal screen
// ("ExpViewController") and the system settings screen
// ("SystemViewController"), by name. A screen whose maker has not been
// registered yet is a plain panel that names it and closes itself with its
// "Close" button, as the real screens do: dev::page::kHome to the unit,
// overlay closed.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/View.h"

class TopBarScreens {
public:
  static constexpr const char* kExpScreen = "ExpViewController";
  static constexpr const char* kSystemScreen = "SystemViewController";

  using Maker = std::function<std::shared_ptr<ui::View>(const HIDServiceViewModePtr& service)>;

  // Replaces the maker of a screen (an empty maker restores the placeholder).
  static void registerScreen(const std::string& name, Maker maker);
  static bool hasScreen(const std::string& name);
  // A new screen of that name.
  static std::shared_ptr<ui::View> makeScreen(const std::string& name, const HIDServiceViewModePtr& service);
  // The panel shown for a screen that has no maker.
  static std::shared_ptr<ui::View> placeholder(const std::string& name, const HIDServiceViewModePtr& service);
};
