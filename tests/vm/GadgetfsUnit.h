// A virtual QV450 on a real USB bus: a user-space USB device written through
// gadgetfs, whose protocol side is a simulated unit.
//
// The device is what the host sees of the unit: vendor 0x0483, product
// 0x5703, a release number of our choice (bcdDevice, 200 for the unit the
// editor matches), one HID interface with a vendor-page report descriptor of
// one 64-byte input and one 64-byte output report without report IDs, and an
// interrupt endpoint each way. Output reports the host writes go to the
// simulated unit as they are; its input reports go out on the IN endpoint.
//
// Pulling the plug on the simulated unit (SimulatedUnit::unplug) disconnects
// the device from the bus, as pulling the cable would.
//
// Threads: one for ep0 (enumeration requests, teardown), one per data
// endpoint once the host has configured the device. A thread blocked in an
// endpoint read or write holds that endpoint, and the unbind done by closing
// ep0 waits for it: teardown interrupts those threads with a signal (handler
// without SA_RESTART) until they are out, and only then closes ep0.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/SimulatedUnit.h"

namespace vmtest {

using Clock = std::chrono::steady_clock;

struct UsbIdentity {
  uint16_t vendorId = 0x0483;
  uint16_t productId = 0x5703;
  // bcdDevice as the host reads it: 200 is 0x00C8.
  uint16_t release = 200;
  std::string manufacturer = "VLTfx";
  std::string product = "VLTfx Rig";
  std::string serial = "QV450-VM";
};

// The HID report descriptor both virtual units present: vendor page 0xFF00,
// one 64-byte input and one 64-byte output report, no report IDs.
extern const uint8_t kReportDescriptor[27];

class GadgetfsUnit {
public:
  GadgetfsUnit(std::shared_ptr<sim::SimulatedUnit> unit, UsbIdentity identity);
  ~GadgetfsUnit();
  GadgetfsUnit(const GadgetfsUnit&) = delete;
  GadgetfsUnit& operator=(const GadgetfsUnit&) = delete;

  // Plugs the device in: writes its descriptors to the ep0 file of the
  // gadgetfs mounted at `dir` (gadgetfs then binds to a free controller).
  // False, with the reason in `error`, when that fails.
  bool plug(const std::string& dir, std::string& error);
  // Pulls the plug (also done when the simulated unit is unplugged, and by the
  // destructor). Returns when the device is off the bus.
  void unplug();

  // True once the host has set the configuration.
  bool configured() const { return configured_.load(); }
  // When the device began to leave the bus (its endpoints, then ep0, being
  // closed); the epoch before that.
  Clock::time_point disconnectedAt() const;

private:
  void ep0Loop();
  void handleSetup(const void* request);
  void startEndpoints();
  void inLoop();
  void outLoop();
  void teardown();

  const std::shared_ptr<sim::SimulatedUnit> unit_;
  const UsbIdentity identity_;
  std::string dir_;
  int ep0_ = -1;
  int epIn_ = -1;
  int epOut_ = -1;
  int wake_[2] = {-1, -1};  // the IN thread tells ep0's thread the unit went
  uint64_t connection_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> configured_{false};
  std::atomic<bool> inRunning_{false};
  std::atomic<bool> outRunning_{false};
  std::thread ep0Thread_;
  std::thread inThread_;
  std::thread outThread_;
  mutable std::mutex mutex_;
  Clock::time_point disconnectedAt_{};
};

}  // namespace vmtest
