// An hid::Backend whose devices are simulated units (and, for tests, devices
// that cannot be opened). QV450_SIMULATOR=app or =boot makes the program use
// one simulated unit in application mode or in its boot loader.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid/Backend.h"
#include "sim/SimulatedUnit.h"

namespace sim {

class SimBackend final : public hid::Backend {
public:
  // The unit's USB ids.
  static constexpr uint16_t kVendorId = 0x0483;
  static constexpr uint16_t kProductId = 0x5703;
  static constexpr uint16_t kReleaseNumber = 200;

  // The ids of the unit, with a made-up path "sim:<n>".
  static hid::DeviceInfo unitInfo(int n);

  // Adds a unit, listed under these ids; returns them.
  hid::DeviceInfo addUnit(std::shared_ptr<SimulatedUnit> unit);
  hid::DeviceInfo addUnit(std::shared_ptr<SimulatedUnit> unit, hid::DeviceInfo info);
  // Adds a listed device that fails to open with this error.
  void addUnopenable(hid::DeviceInfo info, hid::OpenError error);
  // The units added, in order.
  std::vector<std::shared_ptr<SimulatedUnit>> units() const;
  // The unit listed under this path, or null.
  std::shared_ptr<SimulatedUnit> unitAt(const std::string& path) const;
  // Plugs a unit that was pulled out in again: it is listed under a new path
  // from now on. Returns the new ids.
  hid::DeviceInfo replug(const std::shared_ptr<SimulatedUnit>& unit);
  // False makes init() fail.
  void setInitSucceeds(bool succeeds);

  std::string name() const override { return "simulator"; }
  bool init() override;
  std::vector<hid::DeviceInfo> enumerate(uint16_t vendorId, uint16_t productId, uint16_t releaseNumber) override;
  hid::OpenResult open(const hid::DeviceInfo& info) override;

  // The backend for a value of QV450_SIMULATOR: "app" one unit in
  // application mode, "boot" one in its boot loader; paced like USB.
  static std::shared_ptr<SimBackend> forEnvironment(const std::string& value);

private:
  struct Entry {
    hid::DeviceInfo info;
    std::shared_ptr<SimulatedUnit> unit;  // null: cannot be opened
    hid::OpenError error = hid::OpenError::None;
  };

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  bool initSucceeds_ = true;
  int replugs_ = 0;
};

// Lets hid::createBackend() pick the simulated unit when QV450_SIMULATOR is
// set.
void installAsSimulator();

}  // namespace sim
