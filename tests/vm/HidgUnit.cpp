#include "HidgUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vmtest {

namespace {
constexpr int kSliceMs = 10;
}

HidgUnit::HidgUnit(std::shared_ptr<sim::SimulatedUnit> unit) : unit_(std::move(unit)) {}

HidgUnit::~HidgUnit() { stop(); }

bool HidgUnit::start(const std::string& path, std::string& error) {
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    error = "open " + path + ": " + std::strerror(errno);
    return false;
  }
  connection_ = unit_->hostOpen();
  thread_ = std::thread([this] { loop(); });
  return true;
}

void HidgUnit::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (connection_ != 0) unit_->hostClose(connection_);
  connection_ = 0;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void HidgUnit::loop() {
  hid::Report pending{};
  int pendingSize = 0;  // an input report waiting until the function takes it
  while (!stop_.load()) {
    if (pendingSize == 0) pendingSize = unit_->hostRead(connection_, pending, std::chrono::milliseconds(0));
    if (pendingSize < 0) break;  // unplugged
    pollfd p{fd_, static_cast<short>(POLLIN | (pendingSize > 0 ? POLLOUT : 0)), 0};
    if (poll(&p, 1, kSliceMs) < 0 && errno != EINTR) break;
    if (p.revents & POLLIN) {
      hid::Report report{};
      if (read(fd_, report.data(), report.size()) > 0) unit_->hostWrite(connection_, report);
    }
    if ((p.revents & POLLOUT) && pendingSize > 0) {
      if (write(fd_, pending.data(), static_cast<size_t>(pendingSize)) >= 0 || errno != EAGAIN) pendingSize = 0;
    }
  }
}

}  // namespace vmtest
