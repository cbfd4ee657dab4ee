// The hidapi backend (hidraw). hidapi keeps one open device per hid_device;
// reading may overlap a write on another thread, nothing else may overlap,
// and hid_close runs only in the destructor of the last reference.
#include <hidapi.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"
#include "platform/hid/Backend.h"
#include "platform/hid/HidapiBackend.h"

namespace hid {

std::string utf8FromDeviceString(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != L'\0'; ++text) {
    const auto c = static_cast<char32_t>(*text);
    fnd::utf8::append(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
  }
  return out;
}

namespace {

class HidapiDevice final : public Device {
public:
  HidapiDevice(hid_device* handle, DeviceInfo info) : handle_(handle), info_(std::move(info)) {}
  ~HidapiDevice() override { hid_close(handle_); }
  HidapiDevice(const HidapiDevice&) = delete;
  HidapiDevice& operator=(const HidapiDevice&) = delete;

  const DeviceInfo& info() const override { return info_; }

  bool write(const Report& report) override {
    unsigned char buf[kReportSize + 1];
    buf[0] = 0;  // report ID: the unit has no numbered reports
    std::memcpy(buf + 1, report.data(), kReportSize);
    return hid_write(handle_, buf, sizeof buf) >= 0;
  }

  // hid_read_timeout fails with -1 also when a signal interrupts its wait
  // (EINTR): that is not a removal, so the read goes on for the time left.
  // A removed unit fails with another error (EIO, ENODEV) or a hang-up.
  int read(Report& out, std::chrono::milliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      const auto ms = left.count() > INT_MAX ? INT_MAX : static_cast<int>(std::max<long long>(0, left.count()));
      errno = 0;
      const int n = hid_read_timeout(handle_, out.data(), out.size(), ms);
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
      if (std::chrono::steady_clock::now() >= deadline) return 0;
    }
  }

private:
  hid_device* const handle_;
  const DeviceInfo info_;
};

class HidapiBackend final : public Backend {
public:
  std::string name() const override { return "hidapi-hidraw"; }

  bool init() override {
    static std::once_flag once;
    static int result = -1;
    std::call_once(once, [] { result = hid_init(); });
    return result == 0;
  }

  std::vector<DeviceInfo> enumerate(uint16_t vendorId, uint16_t productId, uint16_t releaseNumber) override {
    std::vector<DeviceInfo> found;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (hid_device_info* d = list; d != nullptr; d = d->next) {
      if (d->release_number != releaseNumber || d->path == nullptr) continue;
      DeviceInfo info;
      info.path = d->path;
      info.vendorId = d->vendor_id;
      info.productId = d->product_id;
      info.releaseNumber = d->release_number;
      info.manufacturer = utf8FromDeviceString(d->manufacturer_string);
      info.product = utf8FromDeviceString(d->product_string);
      info.serial = utf8FromDeviceString(d->serial_number);
      found.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return found;
  }

  OpenResult open(const DeviceInfo& info) override {
    OpenResult result;
    errno = 0;
    hid_device* handle = hid_open_path(info.path.c_str());
    const int openErrno = errno;
    if (handle != nullptr) {
      result.device = std::make_shared<HidapiDevice>(handle, info);
      return result;
    }
    const bool denied = openErrno == EACCES || openErrno == EPERM ||
                        (::access(info.path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM));
    result.error = denied ? OpenError::PermissionDenied : OpenError::Failed;
    result.message = utf8FromDeviceString(hid_error(nullptr));
    if (result.message.empty()) result.message = std::strerror(openErrno != 0 ? openErrno : EIO);
    return result;
  }
};

}  // namespace

std::shared_ptr<Backend> createHidapiBackend() { return std::make_shared<HidapiBackend>(); }

}  // namespace hid
