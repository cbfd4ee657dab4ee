// qv450-edit: the QV450 editor.
#include <memory>
#include <optional>

#include "platform/ui/Application.h"
#if defined(HAVE_QV450_SCREENS)
#include "controls/GGPopView.h"
#include "screens/shell/AppDelegate.h"
#include "screens/shell/MainScreens.h"
#endif
#if defined(HAVE_QV450_SIM)
#include "sim/SimBackend.h"
#endif

int main(int argc, char** argv) {
  return ui::runApplication(argc, argv, []() -> std::optional<int> {
#if defined(HAVE_QV450_SIM)
    sim::installAsSimulator();  // QV450_SIMULATOR=app|boot picks the simulated unit
#endif
#if defined(HAVE_QV450_SCREENS)
    GGPopView::installAsPopUpService();
    installMainScreens();
    // The shell lives as long as the process, which ends through its exits.
    static auto* delegate = new std::shared_ptr<AppDelegate>(fnd::make<AppDelegate>());
    (*delegate)->launch();
    return std::nullopt;
#else
    return 0;
#endif
  });
}
