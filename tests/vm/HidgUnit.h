// A second virtual unit on the USB bus, made with the kernel's HID gadget
// function (configfs, /dev/hidgN) and served by a simulated unit. /init sets
// up its descriptors; it differs from the unit the editor looks for only in
// its release number (configfs accepts only BCD values for it).
//
// The host's output reports are read from the hidg device and handed to the
// simulated unit; its input reports are written back. All waits are polls
// with a short slice, so stop() returns within a bound.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/SimulatedUnit.h"

namespace vmtest {

class HidgUnit {
public:
  explicit HidgUnit(std::shared_ptr<sim::SimulatedUnit> unit);
  ~HidgUnit();
  HidgUnit(const HidgUnit&) = delete;
  HidgUnit& operator=(const HidgUnit&) = delete;

  // Starts serving the hidg device at `path`; false with the reason in `error`.
  bool start(const std::string& path, std::string& error);
  void stop();

private:
  void loop();

  const std::shared_ptr<sim::SimulatedUnit> unit_;
  int fd_ = -1;
  uint64_t connection_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vmtest
