#include "screens/shell/MainScreens.h"

#include "screens/bars/GGFunctionBottomView.h"
#include "screens/bars/TopBarScreens.h"
#include "screens/bars/TopView.h"
#include "screens/editor/EffectDataView.h"
#include "screens/exp/ExpViewController.h"
#include "screens/presets/PresetView.h"
#include "screens/presets/LocalPresetView.h"
#include "screens/shell/ViewController.h"
#include "screens/system/SystemViewController.h"

void installMainScreens(HIDServiceViewModePtr service, GGEffectFunManagerPtr manager) {
  ViewController::Screens& screens = ViewController::screens();
  screens.topView = [service, manager]() -> std::shared_ptr<ui::View> { return TopView::create({service, manager}); };
  screens.presetView = [service, manager]() -> std::shared_ptr<ui::View> {
    PresetView::Parts parts;
    parts.service = service;
    parts.manager = manager;
    return PresetView::create(parts);
  };
  screens.localPresetView = [service, manager]() -> std::shared_ptr<ui::View> {
    return LocalPresetView::create({service, manager, nullptr});
  };
  screens.chainView = [service, manager]() -> std::shared_ptr<ui::View> {
    return GGFunctionBottomView::create({service, manager});
  };
  screens.moduleView = [service, manager]() -> std::shared_ptr<ui::View> {
    return EffectDataView::create({service, manager, nullptr});
  };
  // Held weakly: the maker outlives the main window that made it.
  TopBarScreens::registerScreen(TopBarScreens::kExpScreen,
                                [weak = std::weak_ptr<GGEffectFunManager>(manager)](const HIDServiceViewModePtr& hid) {
                                  return ExpViewController::makeScreen({hid, weak.lock()});
                                });
  TopBarScreens::registerScreen(TopBarScreens::kSystemScreen, [](const HIDServiceViewModePtr& hid) {
    return SystemViewController::makeScreen({hid, nullptr, {}});
  });
}
