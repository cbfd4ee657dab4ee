#include "platform/hid/Backend.h"

#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/foundation/Log.h"

namespace hid {

namespace {
std::mutex& factoryMutex() {
  static std::mutex m;
  return m;
}
SimulatorFactory& factoryRef() {
  static SimulatorFactory f;
  return f;
}
}  // namespace

std::string DeviceInfo::description() const {
  std::string s = fnd::format("HID device %s %04x:%04x release %u", path.c_str(), vendorId, productId,
                              static_cast<unsigned>(releaseNumber));
  std::string name = manufacturer;
  if (!name.empty() && !product.empty()) name += ' ';
  name += product;
  if (!name.empty()) s += fnd::format(" \"%s\"", name.c_str());
  if (!serial.empty()) s += fnd::format(" serial %s", serial.c_str());
  return s;
}

SimulatorFactory setSimulatorFactory(SimulatorFactory factory) {
  std::lock_guard guard(factoryMutex());
  SimulatorFactory previous = std::move(factoryRef());
  factoryRef() = std::move(factory);
  return previous;
}

std::shared_ptr<Backend> createBackend() {
  const char* value = std::getenv(kSimulatorVariable);
  if (value != nullptr && *value != '\0' && std::string_view(value) != kSimulatorOff) {
    SimulatorFactory factory;
    {
      std::lock_guard guard(factoryMutex());
      factory = factoryRef();
    }
    if (factory) {
      if (auto backend = factory(value)) return backend;
    } else {
      fnd::log("%s=%s is set, but this program was built without the simulated unit; using USB",
               kSimulatorVariable, value);
    }
  }
  return createHidapiBackend();
}

void blockAsynchronousSignals() {
  sigset_t set;
  sigfillset(&set);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&set, fault);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

std::string permissionHint(const std::string& path) {
  return fnd::format(
      "The QV450 at %s was found but may not be opened: permission denied. Install the udev rule "
      "packaging/60-qv450.rules (sudo cp packaging/60-qv450.rules /etc/udev/rules.d/ && "
      "sudo udevadm control --reload-rules && sudo udevadm trigger), then plug the unit in again.",
      path.c_str());
}

}  // namespace hid
