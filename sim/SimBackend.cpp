#include "sim/SimBackend.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/unit/UnitApplication.h"

namespace sim {

namespace {

class SimDevice final : public hid::Device {
public:
  SimDevice(std::shared_ptr<SimulatedUnit> unit, uint64_t connection, hid::DeviceInfo info)
      : unit_(std::move(unit)), connection_(connection), info_(std::move(info)) {}
  ~SimDevice() override { unit_->hostClose(connection_); }
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  const hid::DeviceInfo& info() const override { return info_; }
  bool write(const hid::Report& report) override { return unit_->hostWrite(connection_, report); }
  int read(hid::Report& out, std::chrono::milliseconds timeout) override {
    return unit_->hostRead(connection_, out, timeout);
  }

private:
  const std::shared_ptr<SimulatedUnit> unit_;
  const uint64_t connection_;
  const hid::DeviceInfo info_;
};

}  // namespace

hid::DeviceInfo SimBackend::unitInfo(int n) {
  hid::DeviceInfo info;
  info.path = fnd::format("sim:%d", n);
  info.vendorId = kVendorId;
  info.productId = kProductId;
  info.releaseNumber = kReleaseNumber;
  info.product = "VLTfx Rig (simulated)";
  return info;
}

hid::DeviceInfo SimBackend::addUnit(std::shared_ptr<SimulatedUnit> unit) {
  int n;
  {
    std::lock_guard guard(mutex_);
    n = static_cast<int>(entries_.size());
  }
  return addUnit(std::move(unit), unitInfo(n));
}

hid::DeviceInfo SimBackend::addUnit(std::shared_ptr<SimulatedUnit> unit, hid::DeviceInfo info) {
  std::lock_guard guard(mutex_);
  entries_.push_back({info, std::move(unit), hid::OpenError::None});
  return info;
}

void SimBackend::addUnopenable(hid::DeviceInfo info, hid::OpenError error) {
  std::lock_guard guard(mutex_);
  entries_.push_back({std::move(info), nullptr, error == hid::OpenError::None ? hid::OpenError::Failed : error});
}

std::vector<std::shared_ptr<SimulatedUnit>> SimBackend::units() const {
  std::lock_guard guard(mutex_);
  std::vector<std::shared_ptr<SimulatedUnit>> out;
  for (const Entry& e : entries_)
    if (e.unit) out.push_back(e.unit);
  return out;
}

std::shared_ptr<SimulatedUnit> SimBackend::unitAt(const std::string& path) const {
  std::lock_guard guard(mutex_);
  for (const Entry& e : entries_)
    if (e.info.path == path) return e.unit;
  return nullptr;
}

hid::DeviceInfo SimBackend::replug(const std::shared_ptr<SimulatedUnit>& unit) {
  hid::DeviceInfo info;
  {
    std::lock_guard guard(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.unit == unit; });
    if (it == entries_.end()) return info;
    // The bus numbers a device anew each time it arrives.
    it->info.path = fnd::format("sim:%d-%d", static_cast<int>(it - entries_.begin()), ++replugs_);
    info = it->info;
  }
  unit->plugIn();
  return info;
}

void SimBackend::setInitSucceeds(bool succeeds) {
  std::lock_guard guard(mutex_);
  initSucceeds_ = succeeds;
}

bool SimBackend::init() {
  std::lock_guard guard(mutex_);
  return initSucceeds_;
}

std::vector<hid::DeviceInfo> SimBackend::enumerate(uint16_t vendorId, uint16_t productId, uint16_t releaseNumber) {
  std::lock_guard guard(mutex_);
  std::vector<hid::DeviceInfo> found;
  for (const Entry& e : entries_) {
    if (e.info.vendorId != vendorId || e.info.productId != productId || e.info.releaseNumber != releaseNumber) continue;
    if (e.unit && !e.unit->isPlugged()) continue;
    found.push_back(e.info);
  }
  return found;
}

hid::OpenResult SimBackend::open(const hid::DeviceInfo& info) {
  std::shared_ptr<SimulatedUnit> unit;
  hid::OpenResult result;
  {
    std::lock_guard guard(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.info.path == info.path; });
    if (it == entries_.end()) {
      result.error = hid::OpenError::Failed;
      result.message = "no such device";
      return result;
    }
    if (!it->unit) {
      result.error = it->error;
      result.message = it->error == hid::OpenError::PermissionDenied ? "Permission denied" : "cannot open";
      return result;
    }
    unit = it->unit;
  }
  const uint64_t connection = unit->hostOpen();
  if (connection == 0) {
    result.error = hid::OpenError::Failed;
    result.message = "the unit was unplugged";
    return result;
  }
  result.device = std::make_shared<SimDevice>(unit, connection, info);
  return result;
}

std::shared_ptr<SimBackend> SimBackend::forEnvironment(const std::string& value) {
  Identity identity;
  if (value == "boot") {
    identity.mode = 'B';
  } else if (value != "app") {
    fnd::log("%s=%s: expected \"app\", \"boot\" or \"off\"; simulating a unit in application mode",
             hid::kSimulatorVariable, value.c_str());
  }
  auto unit = std::make_shared<SimulatedUnit>(identity);
  unit->setPaced(true);
  // Nothing reads back what the program sends it.
  unit->setKeepsRecord(false);
  // In its boot loader the unit takes a firmware update (of a test image; see
  // resources/tools/make_test_firmware.py) and restarts, leaving the bus.
  SimBootloader::Knobs bootKnobs;
  bootKnobs.leaveBusAfterFinish = true;
  SimBootloader::install(*unit)->setKnobs(bootKnobs);
  // In its application it holds presets, settings and slot names and answers
  // the editor's commands.
  UnitApplication::install(unit);
  auto backend = std::make_shared<SimBackend>();
  backend->addUnit(unit);
  fnd::log("Using the simulated unit (%s=%s)", hid::kSimulatorVariable, value.c_str());
  return backend;
}

void installAsSimulator() {
  hid::setSimulatorFactory([](const std::string& value) -> std::shared_ptr<hid::Backend> {
    return SimBackend::forEnvironment(value);
  });
}

}  // namespace sim
