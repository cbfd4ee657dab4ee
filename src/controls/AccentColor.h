// The editor's accent colour, RGB(138, 214, 255): the filled part of sliders
// and bars, the selected rows and titles, pressed buttons, the loading and
// activity views. Controls and screens take it from here, and the editor
// state's mainColor and selectColor are made from it, so it is one value.
#pragma once

#include "platform/ui/Color.h"

inline ui::Color accentColor() { return ui::Color::rgb255(138, 214, 255); }
