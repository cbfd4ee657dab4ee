// The screens the main window's holders show: the top bar, the unit preset
// list, the computer preset library, the module bar and the module editor,
// each made for one device service and one editor state.
#pragma once

#include "device/service/HIDServiceViewMode.h"
#include "screens/models/GGEffectFunManager.h"

// Fills ViewController::screens(). Null parts mean the process-wide ones.
void installMainScreens(HIDServiceViewModePtr service = nullptr, GGEffectFunManagerPtr manager = nullptr);
