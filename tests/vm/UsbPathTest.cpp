// The editor's USB path end to end, run inside the test VM by /init:
// the program's own hidapi backend and HIDClass against a virtual unit on the
// kernel's USB stack (gadgetfs on the dummy controller, seen through usbhid
// and hidraw) whose protocol side is the simulated unit.
//
//   qv450-vm-usb-test --mode A|B --gadgetfs DIR [--other-unit /dev/hidgN]
//                     [--rules FILE] [--rounds N]
//
// Checks, for a unit in application mode (A) or in its boot loader (B):
//   - enumeration by vendor, product and release number 200; a second unit
//     with the same ids and another release number (--other-unit) is
//     listed only under its own release number and never spoken to;
//   - the udev rule (--rules) matches the unit's hidraw node and its USB
//     device, and nothing else on the bus;
//   - in mode A, the device service's whole start-up read (200 presets,
//     then the end of the read), as the editor runs it;
//   - identification in the unit's mode;
//   - frames of 7, 63, 64 and 521 bytes (payloads of 0, 56, 57 and 514)
//     both ways, byte for byte, routed by the mode;
//   - signals: a read interrupted by signals goes on to its time-out, and
//     signals sent to the process and to each of its threads while frames
//     travel leave the unit connected (mode A);
//   - removal of the unit seen as disconnectDevice within a bound.
// In mode A it measures the round trip of a frame and the removal time.
// Lines: "ok: ..." for a check that held, "check: FAILED: ..." for one that
// did not, "measure: ..." for figures. Exit status 0 when every check held.
#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "GadgetfsUnit.h"
#include "HidgUnit.h"
#include "UdevRules.h"
#include "device/catalogue/EffectCatalogue.h"
#include "device/codec/FrameCodec.h"
#include "device/transport/HIDClass.h"
#include "device/service/HIDServiceViewMode.h"
#include "device/firmware/libupdate_zarvo.h"
#include "device/transport/ZarvoHIDDelegate.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/hid/Backend.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace {

using vmtest::Clock;
using namespace std::chrono_literals;

constexpr uint16_t kVendor = 0x0483;
constexpr uint16_t kProduct = 0x5703;
constexpr uint16_t kRelease = 200;
// configfs takes bcdDevice as BCD: 0x0201, read back by hidapi as 513.
constexpr uint16_t kOtherRelease = 0x0201;
constexpr uint8_t kIdentifyRequest[] = {0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF};
// A command byte no handler of the simulated unit answers unless this test
// installs one.
constexpr uint8_t kTestCommand = 0x5A;
constexpr size_t kPayloadSizes[] = {0, 56, 57, 514};
constexpr size_t kFrameSizes[] = {7, 63, 64, 521};

// Bounds. The guest is emulated, so they are loose: a frame takes about a
// millisecond here, the removal some tens of milliseconds.
constexpr auto kEnumerationBound = 15s;
constexpr auto kFrameBound = 3s;
constexpr auto kRemovalBound = 3s;
constexpr auto kGoneBound = 3s;
constexpr auto kStartUpReadBound = 30s;
constexpr unsigned kWatchdogSeconds = 60;

int failures = 0;
int passes = 0;

void report(bool good, const char* format, va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  std::printf("%s%s\n", good ? "ok: " : "check: FAILED: ", text);
  std::fflush(stdout);
  ++(good ? passes : failures);
}

__attribute__((format(printf, 2, 3))) bool check(bool condition, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report(condition, format, args);
  va_end(args);
  return condition;
}

__attribute__((format(printf, 1, 2))) void measure(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::printf("measure: ");
  std::vprintf(format, args);
  std::printf("\n");
  std::fflush(stdout);
  va_end(args);
}

void onWatchdog(int) {
  static const char text[] = "check: FAILED: the test did not finish within its bound\n";
  ssize_t r = write(STDOUT_FILENO, text, sizeof text - 1);
  (void)r;
  _exit(3);
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// --- signals ---

std::atomic<int> signalsHandled{0};
void onTestSignal(int) { signalsHandled.fetch_add(1, std::memory_order_relaxed); }

// SIGUSR1 with a handler that does not restart system calls: a thread waiting
// in one when it comes back from the handler gets EINTR.
void installTestSignal() {
  struct sigaction action {};
  action.sa_handler = onTestSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGUSR1, &action, nullptr);
}

pid_t threadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// Sends SIGUSR1 every `every` while it lives: to one thread, or to the
// process and to each of its threads.
class SignalStorm {
public:
  SignalStorm(std::chrono::microseconds every, pid_t onlyThread = 0)
      : thread_([this, every, onlyThread] {
          const pid_t pid = getpid();
          while (!stop_) {
            if (onlyThread != 0) {
              syscall(SYS_tgkill, pid, onlyThread, SIGUSR1);
            } else {
              kill(pid, SIGUSR1);
              if (DIR* d = opendir("/proc/self/task")) {
                while (dirent* e = readdir(d))
                  if (e->d_name[0] != '.') syscall(SYS_tgkill, pid, std::atoi(e->d_name), SIGUSR1);
                closedir(d);
              }
            }
            ++sent_;
            std::this_thread::sleep_for(every);
          }
        }) {}
  ~SignalStorm() {
    stop_ = true;
    thread_.join();
  }
  SignalStorm(const SignalStorm&) = delete;
  SignalStorm& operator=(const SignalStorm&) = delete;
  int rounds() const { return sent_.load(); }

private:
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

// The hidapi backend's read, on a thread that takes signals: each one breaks
// the library's wait, and the read must go on for the time left.
void checkReadUnderSignals(hid::Backend& backend, const hid::DeviceInfo& info) {
  hid::OpenResult opened = backend.open(info);
  if (!check(opened.device != nullptr, "unit opened for the read under signals")) return;
  constexpr auto kRead = 400ms;
  const int before = signalsHandled.load();
  int n;
  Clock::duration took;
  {
    SignalStorm storm(2ms, threadId());
    hid::Report report{};
    const auto start = Clock::now();
    n = opened.device->read(report, kRead);
    took = Clock::now() - start;
  }
  const int handled = signalsHandled.load() - before;
  check(n == 0 && took >= kRead - 5ms && handled > 10,
        "a read of %lld ms interrupted by %d signals ran to its time-out (result %d after %.0f ms)",
        static_cast<long long>(kRead.count()), handled, n, ms(took));
}

// What the transport hands on: frames (to the delegate in mode A, to the
// firmware engine's handler otherwise) and the removal.
class Receiver final : public ZarvoHIDDelegate {
public:
  void callBackData(std::span<const uint8_t> frame) override { add(delegateFrames_, frame); }
  void disconnectDevice() override {
    {
      std::lock_guard guard(mutex_);
      disconnectedAt_ = Clock::now();
      ++disconnects_;
    }
    cv_.notify_all();
  }
  void updateHandleReply(std::span<const uint8_t> frame) { add(engineFrames_, frame); }

  // Waits for the next frame on one route (the delegate's, or the firmware
  // engine's handler's); empty after the bound.
  std::vector<uint8_t> nextFrame(bool toDelegate, Clock::duration bound) {
    std::unique_lock lock(mutex_);
    auto& q = toDelegate ? delegateFrames_ : engineFrames_;
    if (!cv_.wait_for(lock, bound, [&] { return !q.empty(); })) return {};
    std::vector<uint8_t> f = std::move(q.front());
    q.erase(q.begin());
    return f;
  }
  size_t pending(bool toDelegate) {
    std::lock_guard guard(mutex_);
    return (toDelegate ? delegateFrames_ : engineFrames_).size();
  }
  bool waitDisconnect(Clock::duration bound, Clock::time_point& at) {
    std::unique_lock lock(mutex_);
    const bool seen = cv_.wait_for(lock, bound, [&] { return disconnects_ > 0; });
    at = disconnectedAt_;
    return seen;
  }
  int disconnects() {
    std::lock_guard guard(mutex_);
    return disconnects_;
  }

private:
  void add(std::vector<std::vector<uint8_t>>& q, std::span<const uint8_t> frame) {
    {
      std::lock_guard guard(mutex_);
      q.emplace_back(frame.begin(), frame.end());
    }
    cv_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::vector<uint8_t>> delegateFrames_;
  std::vector<std::vector<uint8_t>> engineFrames_;
  int disconnects_ = 0;
  Clock::time_point disconnectedAt_{};
};

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> p(size);
  // Runs through every byte value, header bytes AA 55 included.
  for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(seed + i * 7);
  return p;
}

std::string hexHead(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < std::min<size_t>(bytes.size(), 12); ++i) {
    std::snprintf(b, sizeof b, "%02X ", bytes[i]);
    s += b;
  }
  return s + (bytes.size() > 12 ? "..." : "");
}

struct Stats {
  double min = 0, median = 0, p95 = 0, max = 0;
};
Stats stats(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5))]; };
  s.min = v.front();
  s.median = at(0.5);
  s.p95 = at(0.95);
  s.max = v.back();
  return s;
}

// The sysfs folder of a hidraw node ("/dev/hidraw0" -> /sys/class/hidraw/hidraw0).
std::string sysfsOf(const std::string& devnode) {
  const auto slash = devnode.rfind('/');
  return "/sys/class/hidraw/" + devnode.substr(slash + 1);
}

// The USB device above a sysfs folder: the nearest parent with idVendor.
std::string usbDeviceAbove(const std::string& syspath) {
  char real[4096];
  if (realpath(syspath.c_str(), real) == nullptr) return {};
  std::string p = real;
  while (p.size() > 1) {
    if (access((p + "/idVendor").c_str(), F_OK) == 0) return p;
    p = p.substr(0, p.rfind('/'));
  }
  return {};
}

struct Options {
  char mode = 'A';
  std::string gadgetfs;
  std::string otherUnit;
  std::string rules;
  int rounds = 100;
};

void checkUdevRule(const Options& o, const hid::DeviceInfo& unit) {
  vmtest::UdevRules rules;
  std::string error;
  if (!check(rules.load(o.rules, error), "udev rule %s parsed%s%s", o.rules.c_str(), error.empty() ? "" : ": ", error.c_str()))
    return;
  const auto grants = [](const std::vector<vmtest::UdevRule>& matched) {
    return std::any_of(matched.begin(), matched.end(),
                       [](const vmtest::UdevRule& r) { return r.assigned("MODE") == "0660" && r.adds("TAG", "uaccess"); });
  };
  const std::string hidraw = sysfsOf(unit.path);
  auto matched = rules.matching(hidraw, error);
  check(error.empty() && grants(matched), "udev rule gives users the unit's hidraw node %s (%zu rule(s) match)%s%s",
        hidraw.c_str(), matched.size(), error.empty() ? "" : ": ", error.c_str());
  const std::string usb = usbDeviceAbove(hidraw);
  matched = rules.matching(usb, error);
  check(!usb.empty() && error.empty() && grants(matched), "udev rule gives users the unit's USB device %s (%zu rule(s) match)%s%s",
        usb.c_str(), matched.size(), error.empty() ? "" : ": ", error.c_str());
  // The controllers' root hubs (vendor 1d6b) are on the same bus and must not match.
  int hubs = 0, hubMatches = 0;
  if (DIR* d = opendir("/sys/bus/usb/devices")) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.rfind("usb", 0) != 0) continue;
      ++hubs;
      hubMatches += static_cast<int>(rules.matching("/sys/bus/usb/devices/" + name, error).size());
    }
    closedir(d);
  }
  check(hubs > 0 && hubMatches == 0 && error.empty(), "udev rule matches none of the %d root hubs", hubs);
}

int run(const Options& o) {
  const bool application = o.mode == 'A';
  std::printf("mode %c: unit with release %u on gadgetfs %s%s%s\n", o.mode, kRelease, o.gadgetfs.c_str(),
              o.otherUnit.empty() ? "" : ", other release on ", o.otherUnit.c_str());

  // The unit the editor looks for, and one it must leave alone: each the unit
  // the program talks to with QV450_SIMULATOR=app or =boot, paced to one
  // report per millisecond each way. That pacing stays on: the dummy
  // controller moves interrupt reports as fast as it can, while the unit's
  // full-speed port carries one per millisecond.
  auto unit = sim::SimBackend::forEnvironment(o.mode == 'A' ? "app" : "boot")->units().front();
  // The program's own unit keeps no record of what it is sent; this check
  // reads it.
  unit->setKeepsRecord(true);
  vmtest::GadgetfsUnit gadget(unit, vmtest::UsbIdentity{});
  auto other = sim::SimBackend::forEnvironment("app")->units().front();
  vmtest::HidgUnit otherGadget(other);
  std::string error;
  if (!check(gadget.plug(o.gadgetfs, error), "gadgetfs unit plugged in%s%s", error.empty() ? "" : ": ", error.c_str()))
    return 1;
  if (!o.otherUnit.empty() &&
      !check(otherGadget.start(o.otherUnit, error), "unit with release 0x%04X served on %s%s%s", kOtherRelease,
             o.otherUnit.c_str(), error.empty() ? "" : ": ", error.c_str()))
    return 1;

  // --- enumeration ---
  std::shared_ptr<hid::Backend> backend = hid::createHidapiBackend();
  if (!check(backend->init(), "hidapi backend ready")) return 1;
  std::vector<hid::DeviceInfo> found, otherFound;
  const auto t0 = Clock::now();
  while (Clock::now() - t0 < kEnumerationBound) {
    found = backend->enumerate(kVendor, kProduct, kRelease);
    if (!o.otherUnit.empty()) otherFound = backend->enumerate(kVendor, kProduct, kOtherRelease);
    if (found.size() == 1 && (o.otherUnit.empty() || otherFound.size() == 1) && gadget.configured()) break;
    usleep(10000);
  }
  measure("unit enumerated %.0f ms after it was plugged in", ms(Clock::now() - t0));
  for (const auto& d : found) std::printf("  release %u: %s\n", kRelease, d.description().c_str());
  for (const auto& d : otherFound) std::printf("  release %u: %s\n", kOtherRelease, d.description().c_str());
  if (!check(found.size() == 1, "exactly one unit listed for 0483:5703 release 200 (%zu)", found.size())) return 1;
  const hid::DeviceInfo info = found.front();
  check(info.vendorId == kVendor && info.productId == kProduct && info.releaseNumber == kRelease &&
            info.serial == "QV450-VM" && info.product == "VLTfx Rig",
        "the listed unit is the gadgetfs one: release %u, product \"%s\", serial \"%s\"", info.releaseNumber,
        info.product.c_str(), info.serial.c_str());
  if (!o.otherUnit.empty()) {
    check(otherFound.size() == 1 && otherFound.front().serial == "OTHER-RELEASE" && otherFound.front().path != info.path,
          "the unit with release %u is present and listed only under its own release number", kOtherRelease);
  }

  {
    std::ifstream speed(usbDeviceAbove(sysfsOf(info.path)) + "/speed");
    std::string mbits;
    speed >> mbits;
    std::printf("  the unit is on the bus at %s Mbit/s\n", mbits.empty() ? "?" : mbits.c_str());
  }
  if (!o.rules.empty()) checkUdevRule(o, info);
  installTestSignal();
  checkReadUnderSignals(*backend, info);

  // --- the start-up read through the device service (application mode) ---
  if (application) {
    dispatch::setMainThread();
    dispatch::setMainQueueDriver(std::make_shared<dispatch::ManualMainQueueDriver>());
    // The service's debug line per frame would go to the VM's serial console
    // (about 11 KB/s) and hold up the HID thread far longer than the unit's
    // report interval; the kernel's report buffer would overflow.
    const fnd::LogSink console = fnd::setLogSink([](const std::string&) {});
    HIDServiceViewMode::Parts parts;
    parts.zrHID = libupdate_zarvo::create(backend);
    parts.loadCatalogue = [] { return std::make_shared<EffectCatalogue>(); };
    auto service = HIDServiceViewMode::create(parts);
    service->init();
    check(service->deviceStatus.get() == "A", "the device service connected the unit in mode A");
    std::mutex mutex;
    std::vector<int> progress;
    const auto t1 = Clock::now();
    // As the editor runs it: asked for again (from the main queue) when the
    // unit's frames stop before the end.
    service->startBulkRead([&](int value) {
      std::lock_guard guard(mutex);
      progress.push_back(value);
    });
    const bool done = dispatch::runMainLoopUntil(
        [&] {
          std::lock_guard guard(mutex);
          return !progress.empty() && progress.back() == 201;
        },
        kStartUpReadBound);
    {
      // Records in sequence report their number. Under emulation the guest
      // can fall behind the unit's 1 ms reports; the kernel's report buffer
      // then overflows, the records lost are asked for again (reporting
      // nothing) and a stream that stops short is requested anew.
      std::lock_guard guard(mutex);
      const size_t reports = progress.size();
      measure("start-up read: %.0f ms, %zu progress reports", ms(Clock::now() - t1), reports);
      const bool inRange =
          std::all_of(progress.begin(), progress.end() - (done ? 1 : 0), [](int v) { return v >= 1 && v <= 200; });
      check(done && inRange, "start-up read: progress between 1 and 200, then 201");
    }
    int same = 0;  // the unit holds its factory presets
    for (int n = 1; n <= 200; ++n) {
      const auto cached = service->cachedPreset(n);
      const auto stored = sim::UnitApplication::factoryPreset(n);
      same += cached && cached->presetName.get() == stored.nameText() &&
              cached->module(5)->dataArr.get() == stored.moduleWords(5);
    }
    check(same == 200, "start-up read: all 200 presets held as the unit holds them (%d)", same);
    service.reset();  // closes the unit again
    parts.zrHID.reset();
    unit->clearReceived();
    fnd::setLogSink(console);
    dispatch::setMainQueueDriver(nullptr);
  }

  // --- identification ---
  auto receiver = std::make_shared<Receiver>();
  {
    HIDClass transport(backend);
    transport.setVid(kVendor);
    transport.setPid(kProduct);
    transport.setVer(kRelease);
    transport.setDeviceName("VLT");
    transport.setDeviceVersion("V1.0.5");
    transport.setDelegate(receiver);
    transport.setUpdateHandleReply([receiver](std::span<const uint8_t> f) { receiver->updateHandleReply(f); });
    const auto t1 = Clock::now();
    const bool identified = transport.OpenDevice(kIdentifyRequest, sizeof kIdentifyRequest);
    measure("identification took %.0f ms", ms(Clock::now() - t1));
    if (!check(identified, "OpenDevice identified the unit")) return 1;
    check(transport.hid_device_mode() == o.mode, "identified in mode '%c' (got '%c')", o.mode, transport.hid_device_mode());
    const auto current = transport.hid_current_device();
    check(current && current->info().path == info.path, "the open unit is the one with release 200");
    const auto requests = unit->receivedFrames();
    check(!requests.empty() && requests.front().bytes == std::vector<uint8_t>(std::begin(kIdentifyRequest), std::end(kIdentifyRequest)),
          "the unit received the identify request AA 55 01 00 00 C8 CF");
    if (!o.otherUnit.empty())
      check(other->receivedCount() == 0 && other->reportsFromHost() == 0, "the unit with release %u was never written to",
            kOtherRelease);

    // --- frames both ways ---
    unit->removeHandler(unit->firmware(), kTestCommand);
    for (size_t k = 0; k < std::size(kPayloadSizes); ++k) {
      const size_t size = kPayloadSizes[k];
      const std::vector<uint8_t> payload = pattern(size, static_cast<uint8_t>(0xA0 + k));
      const std::vector<uint8_t> expected = frame::build(kTestCommand, payload);
      const uint8_t none = 0;

      unit->clearReceived();
      transport.sendCMD(kTestCommand, size ? payload.data() : &none, static_cast<uint16_t>(size + 1));
      const bool arrived = unit->waitForFrames(1, kFrameBound);
      const auto got = unit->receivedFrames();
      check(arrived && got.size() == 1 && got.front().bytes == expected && expected.size() == kFrameSizes[k],
            "host to unit: frame of %zu bytes (payload %zu) arrived whole: %s", expected.size(), size,
            got.empty() ? "nothing" : hexHead(got.front().bytes).c_str());

      unit->sendFrame(kTestCommand, payload);
      const std::vector<uint8_t> back = receiver->nextFrame(application, kFrameBound);
      check(back == expected, "unit to host: frame of %zu bytes (payload %zu) delivered whole to the %s: %s",
            expected.size(), size, application ? "delegate" : "firmware engine's handler",
            back.empty() ? "nothing" : hexHead(back).c_str());
    }
    check(receiver->pending(!application) == 0, "no frame took the %s route", application ? "firmware engine's" : "delegate's");

    // --- round trip: the unit answers the test command with the same frame ---
    if (application) {
      unit->setHandler(sim::Firmware::Application, kTestCommand,
                       [](sim::SimulatedUnit& u, const sim::ReceivedFrame& f) { u.sendFrame(f.cmd, f.payload); });
      for (size_t size : {size_t{0}, size_t{514}}) {
        const std::vector<uint8_t> payload = pattern(size, 0x11);
        const std::vector<uint8_t> expected = frame::build(kTestCommand, payload);
        const uint8_t none = 0;
        std::vector<double> rtt;
        int wrong = 0;
        for (int i = 0; i < o.rounds; ++i) {
          const auto s = Clock::now();
          transport.sendCMD(kTestCommand, size ? payload.data() : &none, static_cast<uint16_t>(size + 1));
          const std::vector<uint8_t> echo = receiver->nextFrame(true, kFrameBound);
          rtt.push_back(ms(Clock::now() - s));
          if (echo != expected) ++wrong;
        }
        const Stats st = stats(rtt);
        check(wrong == 0, "%d round trips of a %zu-byte frame, each answered whole (%d wrong)", o.rounds, expected.size(), wrong);
        measure("round trip of a %zu-byte frame (%zu reports each way), %d rounds: min %.2f ms, median %.2f ms, p95 %.2f ms, max %.2f ms",
                expected.size(), frame::reportCount(expected.size()), o.rounds, st.min, st.median, st.p95, st.max);
      }

      // --- signals while frames travel: the HID thread keeps reading ---
      {
        const int before = signalsHandled.load();
        const std::vector<uint8_t> payload = pattern(57, 0x22);
        const std::vector<uint8_t> expected = frame::build(kTestCommand, payload);
        int wrong = 0, rounds = 0;
        {
          SignalStorm storm(500us);
          const auto until = Clock::now() + 1s;
          while (Clock::now() < until) {
            transport.sendCMD(kTestCommand, payload.data(), static_cast<uint16_t>(payload.size() + 1));
            if (receiver->nextFrame(true, kFrameBound) != expected) ++wrong;
            ++rounds;
          }
        }
        const int handled = signalsHandled.load() - before;
        check(handled > 100 && wrong == 0 && receiver->disconnects() == 0 && transport.hid_current_device(),
              "%d signals to the process and its threads during %d round trips: the unit stayed connected, "
              "%d answers missing or wrong, %d disconnects",
              handled, rounds, wrong, receiver->disconnects());
      }
      unit->removeHandler(sim::Firmware::Application, kTestCommand);
    }

    // --- removal ---
    const auto pulled = Clock::now();
    unit->unplug();
    Clock::time_point seen{};
    const bool removed = receiver->waitDisconnect(kRemovalBound, seen);
    check(removed, "removal seen as disconnectDevice within %lld ms",
          static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(kRemovalBound).count()));
    if (removed) {
      const auto usbGone = gadget.disconnectedAt();
      measure("removal: disconnectDevice %.1f ms after the unit was unplugged (%.1f ms after the device began to leave the bus)",
              ms(seen - pulled), usbGone.time_since_epoch().count() ? ms(seen - usbGone) : -1.0);
    }
    check(!transport.hid_current_device(), "no unit is open after the removal");
    transport.sendCMD(kTestCommand, kIdentifyRequest, 1);  // nothing open: must do nothing
    const auto t2 = Clock::now();
    while (!backend->enumerate(kVendor, kProduct, kRelease).empty() && Clock::now() - t2 < kGoneBound) usleep(10000);
    check(backend->enumerate(kVendor, kProduct, kRelease).empty(), "the unit is no longer listed");
  }
  check(receiver->disconnects() == 1, "disconnectDevice came once (%d)", receiver->disconnects());
  otherGadget.stop();
  gadget.unplug();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--mode" && hasValue) o.mode = argv[++i][0];
    else if (a == "--gadgetfs" && hasValue) o.gadgetfs = argv[++i];
    else if (a == "--other-unit" && hasValue) o.otherUnit = argv[++i];
    else if (a == "--rules" && hasValue) o.rules = argv[++i];
    else if (a == "--rounds" && hasValue) o.rounds = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: %s --mode A|B --gadgetfs DIR [--other-unit DEV] [--rules FILE] [--rounds N]\n", argv[0]);
      return 2;
    }
  }
  if ((o.mode != 'A' && o.mode != 'B') || o.gadgetfs.empty()) {
    std::fprintf(stderr, "%s: --mode A|B and --gadgetfs are needed\n", argv[0]);
    return 2;
  }
  signal(SIGALRM, onWatchdog);
  alarm(kWatchdogSeconds);
  const int rc = run(o);
  std::printf("usb path, mode %c: %d passed, %d failed\n", o.mode, passes, failures);
  return rc;
}
