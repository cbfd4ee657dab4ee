// qv450-edit: the QV450 editor.
#include <cstdlib>

#include "platform/ui/Application.h"
#if defined(HAVE_QV450_DEVICE)
#include <atomic>
#include <chrono>
#include <memory>

#include "device/service/HIDServiceViewMode.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#endif
#if defined(HAVE_QV450_SIM)
#include "sim/SimBackend.h"
#endif

int main(int argc, char** argv) {
  return ui::runApplication(argc, argv, []() -> std::optional<int> {
    // The device layer and the screens start here as they are built.
#if defined(HAVE_QV450_SIM)
    sim::installAsSimulator();  // QV450_SIMULATOR=app|boot picks the simulated unit
#endif
#if defined(HAVE_QV450_DEVICE)
    {  // Until the screens exist: connect, read the whole unit, log, quit.
      auto service = HIDServiceViewMode::shared();
      service->init();
      const std::string status = service->deviceStatus.get().value_or("D");
      fnd::log("device status: %s", status.c_str());
      if (status == "A") {
        auto done = std::make_shared<std::atomic<bool>>(false);
        service->startBulkRead([done](int progress) {
          if (progress >= HIDServiceViewMode::kProgressDone) {
            fnd::log("start-up read: %d, done", progress);
            done->store(true);
          } else {
            fnd::log("start-up read: %d/200", progress);
          }
        });
        if (!dispatch::runMainLoopUntil([done] { return done->load(); }, std::chrono::seconds(60))) {
          fnd::log("start-up read: not finished");
          return 1;
        }
      }
    }
#endif
    return 0;
  });
}
