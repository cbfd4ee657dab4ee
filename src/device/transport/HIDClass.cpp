#include "device/transport/HIDClass.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

#include "device/codec/FrameCodec.h"
#include "platform/foundation/Log.h"

namespace {

// The raw packet sent before each identify request: header AB 5B, a zero
// length and the CRC of the two length bytes.
constexpr uint8_t kIdentifyPacket[] = {0xAB, 0x5B, 0x00, 0x00, 0xFF, 0xFF};

}  // namespace

// Everything the HID thread touches lives here, shared with the thread, so
// that the thread can be let go (after the quit bound) without dangling.
struct HIDClass::Impl : std::enable_shared_from_this<HIDClass::Impl> {
  explicit Impl(std::shared_ptr<hid::Backend> b) : backend(std::move(b)) {}

  const std::shared_ptr<hid::Backend> backend;

  // Configuration.
  mutable std::mutex configMutex;
  int64_t pid = 0, vid = 0, ver = 0;
  std::string deviceName, deviceVersion;
  std::weak_ptr<ZarvoHIDDelegate> delegate;
  std::shared_ptr<const FrameHandler> updateHandler;
  Timing timing;
  std::vector<uint8_t> identifyRequest;
  std::vector<hid::DeviceInfo> deviceRefs;

  // The HID thread's life.
  std::mutex threadMutex;
  std::condition_variable threadCv;
  std::thread thread;
  bool started = false, ready = false, exited = false;
  std::shared_ptr<hid::Backend> manager;  // set once the backend is ready
  std::atomic<bool> quitting{false};
  Timing threadTiming;

  // The open unit. Readers and writers take a copy for the length of their
  // call; dropping the last copy closes it.
  mutable std::mutex deviceMutex;
  std::condition_variable deviceCv;
  std::shared_ptr<hid::Device> current;

  // Identification, shared between the connecting thread and the HID thread.
  std::mutex identifyMutex;
  std::condition_variable identifyCv;
  std::atomic<int> identifyState{kIdentifyWaiting};
  std::atomic<uint8_t> mode{0};

  // One frame's reports at a time.
  std::mutex sendMutex;

  // Receive side (the HID thread; tests may feed it directly).
  mutable std::mutex rxMutex;
  frame::Reassembler assembler;

  std::shared_ptr<hid::Device> currentDevice() const {
    std::lock_guard guard(deviceMutex);
    return current;
  }

  void setCurrent(std::shared_ptr<hid::Device> device) {
    std::shared_ptr<hid::Device> old;
    {
      std::lock_guard guard(deviceMutex);
      old = std::exchange(current, std::move(device));
    }
    deviceCv.notify_all();
    // `old` closes here unless the HID thread still reads it; then it closes
    // when that read returns.
  }

  void setIdentifyState(int state) {
    {
      std::lock_guard guard(identifyMutex);
      identifyState.store(state);
    }
    identifyCv.notify_all();
  }

  // --- the HID thread ---

  void start(const Timing& t) {
    std::lock_guard guard(threadMutex);
    if (started) return;
    started = true;
    threadTiming = t;
    thread = std::thread([self = shared_from_this()] { self->run(); });
  }

  bool waitReady(std::chrono::milliseconds bound) {
    std::unique_lock lock(threadMutex);
    return threadCv.wait_for(lock, bound, [&] { return ready; });
  }

  void run() {
    pthread_setname_np(pthread_self(), "qv450-hid");
    // A signal that interrupted a read would look like the unit's removal.
    hid::blockAsynchronousSignals();
    Timing t;
    {
      std::lock_guard guard(threadMutex);
      t = threadTiming;
    }
    if (!backend->init()) fnd::log("IOHIDManagerOpen failed.");
    {
      std::lock_guard guard(threadMutex);
      manager = backend;
      ready = true;
    }
    threadCv.notify_all();

    hid::Report report{};
    while (!quitting.load()) {
      std::shared_ptr<hid::Device> device;
      {
        std::unique_lock lock(deviceMutex);
        deviceCv.wait_for(lock, t.readSlice, [&] { return quitting.load() || current != nullptr; });
        device = current;
      }
      if (quitting.load()) break;
      if (!device) continue;
      const int n = device->read(report, t.readSlice);
      if (quitting.load()) break;
      if (n == 0) continue;
      if (n < 0) {
        removed(device);
        continue;
      }
      if (device != currentDevice()) continue;  // from a unit no longer current
      if (n != static_cast<int>(hid::kReportSize)) continue;
      inputReport(report);
    }
    {
      std::lock_guard guard(threadMutex);
      exited = true;
    }
    threadCv.notify_all();
  }

  void removed(const std::shared_ptr<hid::Device>& device) {
    {
      std::lock_guard guard(deviceMutex);
      if (current != device) return;  // removal of any other unit is ignored
      current.reset();
    }
    deviceCv.notify_all();
    std::shared_ptr<ZarvoHIDDelegate> d;
    {
      std::lock_guard guard(configMutex);
      d = delegate.lock();
    }
    if (d) d->disconnectDevice();
  }

  void inputReport(const hid::Report& report) {
    if (identifyState.load() != kIdentified) {
      identifyReply(report);
      return;
    }
    putRX(report.data() + 1, report[0]);
  }

  // Any 64-byte report of the unit being identified is its identify reply.
  void identifyReply(const hid::Report& report) {
    std::string name, version;
    {
      std::lock_guard guard(configMutex);
      name = deviceName;
      version = deviceVersion;
    }
    mode.store(report[kReplyModeOffset]);
    for (size_t i = 0; i < name.size(); ++i) {
      const size_t at = kReplyNameOffset + i;
      const uint8_t got = at < report.size() ? report[at] : 0;
      std::printf("%c: %c\n", got, name[i]);
      if (at >= report.size() || got != static_cast<uint8_t>(name[i])) {
        std::fflush(stdout);
        setIdentifyState(kIdentifyOtherName);
        return;
      }
    }
    if (mode.load() == kModeApplication) {
      for (size_t i = 0; i < kReplyVersionLength; ++i) {
        const uint8_t got = report[kReplyVersionOffset + i];
        const auto want = static_cast<uint8_t>(i < version.size() ? version[i] : 0);
        std::printf("%c: %c\n", got, want);
        if (got != want) {
          std::fflush(stdout);
          mode.store(kModeVersionLow);
          setIdentifyState(kIdentified);
          return;
        }
      }
    }
    std::fflush(stdout);
    setIdentifyState(kIdentified);
  }

  void putRX(const uint8_t* data, size_t count) {
    if (data == nullptr) return;
    count = std::min(count, frame::kReportCapacity);
    // Whole frames are handed on after the receive lock is released, so a
    // delegate may call back into this object.
    std::vector<std::vector<uint8_t>> frames;
    {
      std::lock_guard guard(rxMutex);
      assembler.put({data, count}, [&](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); });
    }
    for (const auto& f : frames) route(f);
  }

  void route(std::span<const uint8_t> f) {
    if (mode.load() == kModeApplication) {
      std::shared_ptr<ZarvoHIDDelegate> d;
      {
        std::lock_guard guard(configMutex);
        d = delegate.lock();
      }
      if (d) d->callBackData(f);
      return;
    }
    std::shared_ptr<const FrameHandler> h;
    {
      std::lock_guard guard(configMutex);
      h = updateHandler;
    }
    if (h && *h) (*h)(f);
  }

  // Stops the HID thread within the bound; a thread that does not stop in
  // time (or the HID thread itself, when the owner goes from one of its
  // callbacks) is let go: it keeps this object alive and calls nobody.
  void stop() {
    {
      std::lock_guard guard(configMutex);
      delegate.reset();
      updateHandler.reset();
    }
    quitting.store(true);
    deviceCv.notify_all();
    identifyCv.notify_all();
    std::unique_lock lock(threadMutex);
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
      return;
    }
    const bool done = threadCv.wait_for(lock, threadTiming.quit, [&] { return exited; });
    if (done) {
      lock.unlock();
      thread.join();
    } else {
      fnd::log("The HID thread did not stop within %lld ms; leaving it", static_cast<long long>(threadTiming.quit.count()));
      thread.detach();
    }
  }
};

HIDClass::HIDClass(std::shared_ptr<hid::Backend> backend)
    : impl_(std::make_shared<Impl>(backend ? std::move(backend) : hid::createBackend())) {}

HIDClass::~HIDClass() { impl_->stop(); }

int64_t HIDClass::pid() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->pid;
}
void HIDClass::setPid(int64_t pid) {
  std::lock_guard guard(impl_->configMutex);
  impl_->pid = pid;
}
int64_t HIDClass::vid() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->vid;
}
void HIDClass::setVid(int64_t vid) {
  std::lock_guard guard(impl_->configMutex);
  impl_->vid = vid;
}
int64_t HIDClass::ver() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->ver;
}
void HIDClass::setVer(int64_t ver) {
  std::lock_guard guard(impl_->configMutex);
  impl_->ver = ver;
}
std::string HIDClass::deviceName() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->deviceName;
}
void HIDClass::setDeviceName(std::string name) {
  std::lock_guard guard(impl_->configMutex);
  impl_->deviceName = std::move(name);
}
std::string HIDClass::deviceVersion() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->deviceVersion;
}
void HIDClass::setDeviceVersion(std::string version) {
  std::lock_guard guard(impl_->configMutex);
  impl_->deviceVersion = std::move(version);
}
std::shared_ptr<ZarvoHIDDelegate> HIDClass::delegate() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->delegate.lock();
}
void HIDClass::setDelegate(std::weak_ptr<ZarvoHIDDelegate> delegate) {
  std::lock_guard guard(impl_->configMutex);
  impl_->delegate = std::move(delegate);
}
void HIDClass::setUpdateHandleReply(FrameHandler handler) {
  auto shared = handler ? std::make_shared<const FrameHandler>(std::move(handler)) : nullptr;
  std::lock_guard guard(impl_->configMutex);
  impl_->updateHandler = std::move(shared);
}
HIDClass::Timing HIDClass::timing() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->timing;
}
void HIDClass::setTiming(const Timing& timing) {
  std::lock_guard guard(impl_->configMutex);
  impl_->timing = timing;
}

bool HIDClass::OpenDevice(const uint8_t* request, size_t len) {
  Timing t;
  {
    std::lock_guard guard(impl_->configMutex);
    const size_t n = request == nullptr ? 0 : std::min(len, kMaxIdentifyRequest);
    impl_->identifyRequest.assign(request, request + n);
    t = impl_->timing;
  }
  impl_->start(t);
  if (!impl_->waitReady(t.startup)) fnd::log("The HID thread was not ready within %lld ms", static_cast<long long>(t.startup.count()));
  connectHID();
  return checkUSBDevice();
}

void HIDClass::connectHID() {
  std::shared_ptr<hid::Backend> manager = HIDManager();
  if (!manager) return;
  int64_t v, p, r;
  {
    std::lock_guard guard(impl_->configMutex);
    v = impl_->vid;
    p = impl_->pid;
    r = impl_->ver;
  }
  const auto fits = [](int64_t x) { return x >= 0 && x <= 0xFFFF; };
  std::vector<hid::DeviceInfo> found;
  if (fits(v) && fits(p) && fits(r))
    found = manager->enumerate(static_cast<uint16_t>(v), static_cast<uint16_t>(p), static_cast<uint16_t>(r));
  std::lock_guard guard(impl_->configMutex);
  impl_->deviceRefs = std::move(found);
}

bool HIDClass::checkUSBDevice() {
  Impl& s = *impl_;
  std::vector<hid::DeviceInfo> refs;
  std::vector<uint8_t> request;
  Timing t;
  {
    std::lock_guard guard(s.configMutex);
    refs = s.deviceRefs;
    request = s.identifyRequest;
    t = s.timing;
  }
  std::shared_ptr<hid::Backend> manager = HIDManager();
  for (const hid::DeviceInfo& info : refs) {
    if (!manager || s.quitting.load()) break;
    hid::OpenResult opened = manager->open(info);
    if (!opened.device) {
      fnd::log("打开设备失败!");
      if (opened.error == hid::OpenError::PermissionDenied) fnd::log("%s", hid::permissionHint(info.path).c_str());
      else if (!opened.message.empty()) fnd::log("%s: %s", info.path.c_str(), opened.message.c_str());
      fnd::log("没有符合要求的USB设备!");
      return false;
    }
    s.setCurrent(opened.device);
    s.setIdentifyState(kIdentifyWaiting);  // only this unit's answer counts, not an earlier one's
    fnd::log("%s", info.description().c_str());

    bool otherName = false;
    for (int attempt = 0; attempt < t.identifyAttempts && !s.quitting.load(); ++attempt) {
      std::vector<uint8_t> packet(std::begin(kIdentifyPacket), std::end(kIdentifyPacket));
      hid_frame_send(packet);
      std::vector<uint8_t> req = request;
      hid_frame_send(req);
      int state;
      {
        std::unique_lock lock(s.identifyMutex);
        s.identifyCv.wait_for(lock, t.identifyPoll * t.identifyPolls,
                              [&] { return s.identifyState.load() != kIdentifyWaiting || s.quitting.load(); });
        state = s.identifyState.load();
      }
      if (state == kIdentified) return true;
      if (state == kIdentifyOtherName) {
        s.setIdentifyState(kIdentifyWaiting);
        s.setCurrent(nullptr);
        fnd::log("关闭设备成功!");
        otherName = true;
        break;
      }
    }
    if (!otherName) s.setCurrent(nullptr);
  }
  fnd::log("没有符合要求的USB设备!");
  return false;
}

int HIDClass::disconnectDevice() {
  if (!impl_->currentDevice()) return -1;
  impl_->setCurrent(nullptr);
  return 0;
}

std::vector<hid::DeviceInfo> HIDClass::deviceRefs() const {
  std::lock_guard guard(impl_->configMutex);
  return impl_->deviceRefs;
}

std::shared_ptr<hid::Backend> HIDClass::HIDManager() const {
  std::lock_guard guard(impl_->threadMutex);
  return impl_->manager;
}

std::shared_ptr<hid::Device> HIDClass::hid_current_device() const { return impl_->currentDevice(); }

int HIDClass::hid_identify_state() const { return impl_->identifyState.load(); }

uint8_t HIDClass::hid_device_mode() const { return impl_->mode.load(); }

void HIDClass::sendCMD(uint32_t cmd, const uint8_t* data, uint16_t datalen) {
  if (!impl_->currentDevice()) return;
  if (datalen < 1 || datalen > frame::kMaxLength || (datalen > 1 && data == nullptr)) {
    fnd::log("sendCMD: refused command 0x%02X with datalen %u (1 to %u)", cmd & 0xFF, static_cast<unsigned>(datalen),
             static_cast<unsigned>(frame::kMaxLength));
    return;
  }
  const std::vector<uint8_t> f =
      frame::build(static_cast<uint8_t>(cmd & 0xFF), std::span<const uint8_t>(data, datalen - 1u));
  hid_send_reports(f);
}

int HIDClass::hid_frame_send(std::span<uint8_t> f) {
  const size_t size = frame::seal(f);
  if (size == 0) return 0;
  return hid_send_reports(f.first(size));
}

int HIDClass::hid_send_reports(std::span<const uint8_t> bytes) {
  Impl& s = *impl_;
  std::lock_guard guard(s.sendMutex);
  const bool ok = frame::forEachReport(bytes, [&](const frame::Report& report) {
    std::shared_ptr<hid::Device> device = s.currentDevice();
    return device && device->write(report);
  });
  return ok ? 1 : 0;
}

void HIDClass::putRX_buffer(const uint8_t* data, size_t count) { impl_->putRX(data, count); }

std::vector<uint8_t> HIDClass::m_Vector() const {
  std::lock_guard guard(impl_->rxMutex);
  return impl_->assembler.queue();
}
