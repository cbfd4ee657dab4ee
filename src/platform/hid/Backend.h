// The HID library behind a small interface: list devices by vendor, product
// and release number, open one, write 64-byte output reports (report ID 0),
// read input reports with a time-out. Removal shows as a failed read.
//
// Threading contract of an open Device: one thread may read while one other
// thread writes; two writes must not overlap (the caller serialises them).
// A Device is closed by its destructor, which runs when the last shared_ptr
// to it goes, so a close can never race a read or a write that holds one.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hid {

inline constexpr size_t kReportSize = 64;
using Report = std::array<uint8_t, kReportSize>;

struct DeviceInfo {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t releaseNumber = 0;
  std::string manufacturer;
  std::string product;
  std::string serial;

  // One line for the log: path, ids, release, product name.
  std::string description() const;
};

class Device {
public:
  virtual ~Device() = default;
  virtual const DeviceInfo& info() const = 0;
  // Writes one output report with report ID 0. False on failure (removed).
  virtual bool write(const Report& report) = 0;
  // Reads one input report into `out`: its length in bytes (1..64), 0 when
  // the time-out passed, -1 when the device failed or was removed.
  virtual int read(Report& out, std::chrono::milliseconds timeout) = 0;
};

enum class OpenError { None, PermissionDenied, Failed };

struct OpenResult {
  std::shared_ptr<Device> device;  // null on failure
  OpenError error = OpenError::None;
  std::string message;  // what went wrong, for the log
};

class Backend {
public:
  virtual ~Backend() = default;
  // A short name for the log ("hidapi-hidraw", "simulator").
  virtual std::string name() const = 0;
  // Makes the library ready; false when it cannot work at all.
  virtual bool init() = 0;
  // The present devices with these ids and release number.
  virtual std::vector<DeviceInfo> enumerate(uint16_t vendorId, uint16_t productId, uint16_t releaseNumber) = 0;
  virtual OpenResult open(const DeviceInfo& info) = 0;
};

// The hidapi (hidraw) backend.
std::shared_ptr<Backend> createHidapiBackend();

// Makes a backend for a value of QV450_SIMULATOR ("app", "boot").
using SimulatorFactory = std::function<std::shared_ptr<Backend>(const std::string& value)>;
// Registers the simulated unit (the program does this when it is built with
// it). Returns the previous factory.
SimulatorFactory setSimulatorFactory(SimulatorFactory factory);

// The name of the environment variable that selects the simulated unit, and
// its value that asks for the real unit (as unset or empty does).
inline constexpr const char* kSimulatorVariable = "QV450_SIMULATOR";
inline constexpr const char* kSimulatorOff = "off";

// The backend the program uses: the simulated unit when QV450_SIMULATOR is set
// to anything but "off" (and a simulator is registered), otherwise hidapi.
std::shared_ptr<Backend> createBackend();

// Blocks, on the calling thread, every signal except those a fault raises on
// the faulting thread itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP,
// SIGSYS, SIGABRT). The HID thread runs so: a signal meant for the process
// (a child's end, a profiler's tick, a terminal's resize) would otherwise
// interrupt its read, which the library reports like a removed unit. Such
// signals go to the process's other threads instead.
void blockAsynchronousSignals();

// The log line for a unit that is present but may not be opened.
std::string permissionHint(const std::string& path);

}  // namespace hid
