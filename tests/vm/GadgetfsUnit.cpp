#include "GadgetfsUnit.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/gadgetfs.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vmtest {

const uint8_t kReportDescriptor[27] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (data, variable, absolute)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (data, variable, absolute)
    0xC0,              // End Collection
};

namespace {

constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointOut = 0x02;
constexpr uint16_t kPacketSize = 64;
constexpr uint8_t kHidDescriptorType = 0x21;
constexpr uint8_t kReportDescriptorType = 0x22;
constexpr uint8_t kHidSetIdle = 0x0A;
// One ep0 wait; bounds how late a teardown request is seen.
constexpr int kEp0SliceMs = 20;
// One wait for an input report of the simulated unit.
constexpr std::chrono::milliseconds kInSlice{20};

void put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x & 0xFF));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> hidDescriptor() {
  std::vector<uint8_t> d{9, kHidDescriptorType};
  put16(d, 0x0111);  // HID 1.11
  d.push_back(0);    // no country
  d.push_back(1);    // one class descriptor: the report descriptor
  d.push_back(kReportDescriptorType);
  put16(d, sizeof kReportDescriptor);
  return d;
}

// Interval: 1 ms at full speed (frames), 2^(4-1) x 125 us = 1 ms at high speed.
std::vector<uint8_t> endpoint(uint8_t address, bool highSpeed) {
  std::vector<uint8_t> d{7, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_INT};
  put16(d, kPacketSize);
  d.push_back(highSpeed ? 4 : 1);
  return d;
}

std::vector<uint8_t> configuration(bool highSpeed) {
  std::vector<uint8_t> body{9, USB_DT_INTERFACE, 0, 0, 2, USB_CLASS_HID, 0, 0, 0};
  for (uint8_t b : hidDescriptor()) body.push_back(b);
  for (uint8_t b : endpoint(kEndpointIn, highSpeed)) body.push_back(b);
  for (uint8_t b : endpoint(kEndpointOut, highSpeed)) body.push_back(b);
  std::vector<uint8_t> d{9, USB_DT_CONFIG};
  put16(d, static_cast<uint16_t>(9 + body.size()));
  d.push_back(1);     // one interface
  d.push_back(1);     // configuration value
  d.push_back(0);     // no string
  d.push_back(0x80);  // bus powered
  d.push_back(50);    // 100 mA
  d.insert(d.end(), body.begin(), body.end());
  return d;
}

std::vector<uint8_t> deviceDescriptor(const UsbIdentity& id) {
  std::vector<uint8_t> d{18, USB_DT_DEVICE};
  put16(d, 0x0200);  // USB 2.0
  d.push_back(0);    // class per interface
  d.push_back(0);
  d.push_back(0);
  d.push_back(64);   // ep0 packet size
  put16(d, id.vendorId);
  put16(d, id.productId);
  put16(d, id.release);
  d.push_back(1);    // manufacturer string
  d.push_back(2);    // product string
  d.push_back(3);    // serial number string
  d.push_back(1);    // one configuration
  return d;
}

// The ep0 file: gadgetfs names it after the controller (everything else is
// an endpoint, "ep...").
std::string findFile(const std::string& dir, const std::string& prefix, bool ep0) {
  std::string found;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const bool isEndpoint = name.rfind("ep", 0) == 0;
      if (ep0 ? !isEndpoint : name.rfind(prefix, 0) == 0) {
        found = dir + "/" + name;
        break;
      }
    }
    closedir(d);
  }
  return found;
}

int openEndpoint(const std::string& dir, const char* prefix, uint8_t address) {
  const std::string path = findFile(dir, prefix, false);
  if (path.empty()) {
    std::printf("gadget: no endpoint %s* in %s\n", prefix, dir.c_str());
    return -1;
  }
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::printf("gadget: open %s: %s\n", path.c_str(), std::strerror(errno));
    return -1;
  }
  std::vector<uint8_t> d;
  put32(d, 1);  // tag of an endpoint configuration
  for (uint8_t b : endpoint(address, false)) d.push_back(b);
  for (uint8_t b : endpoint(address, true)) d.push_back(b);
  if (write(fd, d.data(), d.size()) != static_cast<ssize_t>(d.size())) {
    std::printf("gadget: configure %s: %s\n", path.c_str(), std::strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

void onInterrupt(int) {}

void installInterruptHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;  // no SA_RESTART: blocked endpoint I/O returns EINTR
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR2, &sa, nullptr);
  });
}

// Signals `thread` until it reports that it left its loop, then joins it.
void interruptAndJoin(std::thread& thread, const std::atomic<bool>& running) {
  if (!thread.joinable()) return;
  for (int i = 0; running.load() && i < 2000; ++i) {  // bounded: 2000 x 1 ms
    pthread_kill(thread.native_handle(), SIGUSR2);
    usleep(1000);
  }
  thread.join();
}

}  // namespace

GadgetfsUnit::GadgetfsUnit(std::shared_ptr<sim::SimulatedUnit> unit, UsbIdentity identity)
    : unit_(std::move(unit)), identity_(std::move(identity)) {}

GadgetfsUnit::~GadgetfsUnit() { unplug(); }

bool GadgetfsUnit::plug(const std::string& dir, std::string& error) {
  installInterruptHandler();
  dir_ = dir;
  const std::string path = findFile(dir, "", true);
  if (path.empty()) {
    error = "no ep0 file in " + dir + " (gadgetfs not mounted, or no controller)";
    return false;
  }
  ep0_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) {
    error = "open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> d;
  put32(d, 0);  // tag of the device configuration
  for (uint8_t b : configuration(false)) d.push_back(b);
  for (uint8_t b : configuration(true)) d.push_back(b);
  for (uint8_t b : deviceDescriptor(identity_)) d.push_back(b);
  if (write(ep0_, d.data(), d.size()) != static_cast<ssize_t>(d.size())) {
    error = "writing the descriptors to " + path + ": " + std::strerror(errno);
    close(ep0_);
    ep0_ = -1;
    return false;
  }
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    close(ep0_);
    ep0_ = -1;
    return false;
  }
  ep0Thread_ = std::thread([this] { ep0Loop(); });
  return true;
}

void GadgetfsUnit::unplug() {
  stop_ = true;
  if (ep0Thread_.joinable()) ep0Thread_.join();
  for (int& fd : wake_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

Clock::time_point GadgetfsUnit::disconnectedAt() const {
  std::lock_guard guard(mutex_);
  return disconnectedAt_;
}

void GadgetfsUnit::ep0Loop() {
  while (!stop_.load() && unit_->isPlugged()) {
    pollfd p[2] = {{ep0_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = poll(p, 2, kEp0SliceMs);
    if (r < 0 && errno != EINTR) {
      std::printf("gadget: poll ep0: %s\n", std::strerror(errno));
      break;
    }
    if (p[1].revents & POLLIN) break;  // the simulated unit went
    if (r <= 0 || !(p[0].revents & POLLIN)) continue;
    usb_gadgetfs_event events[8];
    const ssize_t n = read(ep0_, events, sizeof events);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      std::printf("gadget: read ep0: %s\n", std::strerror(errno));
      break;
    }
    for (size_t i = 0; i < static_cast<size_t>(n) / sizeof events[0]; ++i) {
      switch (events[i].type) {
        case GADGETFS_SETUP: handleSetup(&events[i].u.setup); break;
        case GADGETFS_DISCONNECT: configured_ = false; break;
        default: break;  // connect, suspend, nop
      }
    }
  }
  teardown();
}

void GadgetfsUnit::teardown() {
  stop_ = true;
  if (ep0_ >= 0) {
    std::lock_guard guard(mutex_);
    disconnectedAt_ = Clock::now();
  }
  interruptAndJoin(inThread_, inRunning_);
  interruptAndJoin(outThread_, outRunning_);
  if (epIn_ >= 0) close(epIn_);
  if (epOut_ >= 0) close(epOut_);
  epIn_ = epOut_ = -1;
  if (connection_ != 0) unit_->hostClose(connection_);
  connection_ = 0;
  if (ep0_ >= 0) {
    close(ep0_);  // unregisters the gadget: the host sees the unit go
    ep0_ = -1;
  }
  configured_ = false;
}

void GadgetfsUnit::handleSetup(const void* raw) {
  usb_ctrlrequest c;
  std::memcpy(&c, raw, sizeof c);
  const uint16_t value = c.wValue;  // little-endian host: fields as they come
  const uint16_t length = c.wLength;
  std::vector<uint8_t> answer;
  bool handled = false;
  if (c.bRequest == USB_REQ_GET_DESCRIPTOR && (c.bRequestType & USB_DIR_IN)) {
    const uint8_t type = value >> 8;
    const uint8_t index = value & 0xFF;
    if (type == USB_DT_STRING && index == 0) {
      answer = {4, USB_DT_STRING, 0x09, 0x04};  // English (US)
      handled = true;
    } else if (type == USB_DT_STRING && index <= 3) {
      const std::string& s = index == 1 ? identity_.manufacturer : index == 2 ? identity_.product : identity_.serial;
      answer = {static_cast<uint8_t>(2 + 2 * s.size()), USB_DT_STRING};
      for (char ch : s) {
        answer.push_back(static_cast<uint8_t>(ch));
        answer.push_back(0);
      }
      handled = true;
    } else if (type == kReportDescriptorType) {
      answer.assign(std::begin(kReportDescriptor), std::end(kReportDescriptor));
      handled = true;
    } else if (type == kHidDescriptorType) {
      answer = hidDescriptor();
      handled = true;
    }
    if (handled) {
      if (answer.size() > length) answer.resize(length);
      if (write(ep0_, answer.data(), answer.size()) < 0) std::printf("gadget: ep0 answer: %s\n", std::strerror(errno));
      return;
    }
  } else if (c.bRequest == USB_REQ_SET_CONFIGURATION && c.bRequestType == USB_DIR_OUT) {
    if (value == 1 && !configured_.load()) startEndpoints();
    handled = true;
  } else if (c.bRequest == USB_REQ_SET_INTERFACE && c.bRequestType == (USB_DIR_OUT | USB_RECIP_INTERFACE)) {
    handled = true;
  } else if (c.bRequestType == (USB_DIR_OUT | USB_TYPE_CLASS | USB_RECIP_INTERFACE) && c.bRequest == kHidSetIdle) {
    handled = true;
  }
  uint8_t none = 0;
  if (handled) {  // acknowledge a request without data
    if (read(ep0_, &none, 0) < 0) std::printf("gadget: ep0 ack: %s\n", std::strerror(errno));
    return;
  }
  // Anything else is refused: I/O in the wrong direction stalls ep0.
  ssize_t r = (c.bRequestType & USB_DIR_IN) ? read(ep0_, &none, 0) : write(ep0_, &none, 0);
  (void)r;
}

void GadgetfsUnit::startEndpoints() {
  if (epIn_ < 0) epIn_ = openEndpoint(dir_, "ep1in", kEndpointIn);
  if (epOut_ < 0) epOut_ = openEndpoint(dir_, "ep2out", kEndpointOut);
  if (epIn_ < 0 || epOut_ < 0) return;
  connection_ = unit_->hostOpen();
  if (connection_ == 0) return;  // the simulated unit is already unplugged
  configured_ = true;
  inRunning_ = outRunning_ = true;
  inThread_ = std::thread([this] { inLoop(); });
  outThread_ = std::thread([this] { outLoop(); });
}

// The unit's input reports: each one goes out as one interrupt IN packet.
void GadgetfsUnit::inLoop() {
  hid::Report report{};
  while (!stop_.load()) {
    const int n = unit_->hostRead(connection_, report, kInSlice);
    if (n < 0) {  // unplugged: ep0's thread takes the device off the bus
      const char byte = 1;
      ssize_t r = write(wake_[1], &byte, 1);
      (void)r;
      break;
    }
    if (n == 0) continue;
    // An interrupted write was taken back from the endpoint: send it again,
    // unless the unit is going.
    ssize_t written;
    do {
      written = write(epIn_, report.data(), static_cast<size_t>(n));
    } while (written < 0 && errno == EINTR && !stop_.load());
    if (written < 0 && errno != EINTR && errno != ESHUTDOWN) {
      std::printf("gadget: write IN: %s\n", std::strerror(errno));
    }
  }
  inRunning_ = false;
}

// The host's output reports: usbhid sends them as 64-byte interrupt OUT
// packets, without the report ID byte.
void GadgetfsUnit::outLoop() {
  hid::Report report{};
  while (!stop_.load()) {
    report.fill(0);
    const ssize_t n = read(epOut_, report.data(), report.size());
    if (stop_.load()) break;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      if (errno == ESHUTDOWN) {  // the host reset or dropped the configuration
        usleep(1000);
        continue;
      }
      std::printf("gadget: read OUT: %s\n", std::strerror(errno));
      break;
    }
    if (n > 0) unit_->hostWrite(connection_, report);
  }
  outRunning_ = false;
}

}  // namespace vmtest
