// The "main" layout: the main window and its holders.
//
//   +--------------------------- topBgView (1100 x 60) ---------------------------+
//   | presetBgView (220..280 wide) | effectBgView                                  |
//   |          mainSplitView (vertical divider, 1 point), the rest of the height   |
//   +-------------------------------------------------------------------------------+
//
// Made for a RootWindowConroller that loads it (its parts go to the content
// controller); the window's content controller is a ViewController, whose
// viewDidLoad runs as the layout loads.
#pragma once

namespace main_layout {

inline constexpr double kWidth = 1100;
inline constexpr double kHeight = 650;
inline constexpr double kTopHeight = 60;
inline constexpr double kPresetPaneWidth = 250;

// Registers the builder under RootWindowConroller::kMainLayout (again: no
// harm).
void registerMainLayout();

}  // namespace main_layout
