// qv450-edit: the QV450 editor.
#include <cstdlib>

#include "platform/ui/Application.h"
#if defined(HAVE_QV450_DEVICE)
#include "device/HIDClass.h"
#include "platform/foundation/Log.h"
#endif
#if defined(HAVE_QV450_SIM)
#include "sim/SimBackend.h"
#endif

int main(int argc, char** argv) {
  return ui::runApplication(argc, argv, [] {
    // The device layer and the screens start here as they are built.
#if defined(HAVE_QV450_SIM)
    sim::installAsSimulator();  // QV450_SIMULATOR=app|boot picks the simulated unit
#endif
#if defined(HAVE_QV450_DEVICE)
    {  // Until the device service connects: find and identify the unit.
      HIDClass hid;
      hid.setVid(0x0483);
      hid.setPid(0x5703);
      hid.setVer(200);
      hid.setDeviceName("VLT");
      hid.setDeviceVersion("V1.0.5");
      const uint8_t request[11] = {0xAA, 0x55, 0x01, 0x00, 0x00};
      const bool found = hid.OpenDevice(request, sizeof request);
      const uint8_t mode = hid.hid_device_mode();
      const bool known = mode == 'A' || mode == 'B' || mode == 'L';
      fnd::log("device status: %c", found && known ? static_cast<char>(mode) : 'D');
    }
#endif
    return 0;
  });
}
