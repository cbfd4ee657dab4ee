// Helpers of the device service's tests: a service wired to a recording sink
// (decoder and command tests), a service connected to the simulated unit over
// the real transport (start-up and thread tests), and frames built from
// payloads written out by hand.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/catalogue/EffectCatalogue.h"
#include "device/codec/FrameCodec.h"
#include "device/transport/HIDClass.h"
#include "device/service/HIDServiceViewMode.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/Queue.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace svc_test {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

inline constexpr auto kBound = std::chrono::seconds(10);
// The longest a start-up read is waited for while it still moves (see
// waitWhileTheLinkMoves).
inline constexpr auto kStartUpBound = std::chrono::minutes(2);

// One command as the service handed it to its sink.
struct Sent {
  uint8_t cmd = 0;
  Bytes payload;
  uint16_t datalen = 0;
  bool operator==(const Sent& o) const { return cmd == o.cmd && payload == o.payload; }
};

inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  os << "cmd 0x" << std::hex << int(s.cmd) << " [";
  for (uint8_t b : s.payload) os << " " << int(b);
  return os << " ]" << std::dec;
}

class RecordingPopUps : public PopUpService {
public:
  void showSuccessWithTip(const std::string& tip) override { add("success: " + tip); }
  void showWarningWithTip(const std::string& tip, std::shared_ptr<fnd::Object>) override { add("warning: " + tip); }
  void showFailWithTip(const std::string& tip, std::shared_ptr<fnd::Object>) override { add("fail: " + tip); }
  void AOEHideAllView() override { hides.fetch_add(1); }

  std::vector<std::string> tips() const {
    std::lock_guard guard(mutex);
    return shown;
  }
  std::atomic<int> hides{0};

private:
  void add(std::string tip) {
    std::lock_guard guard(mutex);
    shown.push_back(std::move(tip));
  }
  mutable std::mutex mutex;
  std::vector<std::string> shown;
};

inline EffectCataloguePtr loadTestCatalogue() {
  const std::string dir = QV450_RESOURCES_DIR;
  return EffectCatalogue::load(dir + "/preset.json", dir + "/effects.json");
}

// The whole frame of a command and a payload written out by hand.
inline Bytes frameOf(uint8_t cmd, const Bytes& payload) { return frame::build(cmd, payload); }

// A service whose commands go to a list instead of a unit.
struct Recorder {
  std::shared_ptr<RecordingPopUps> popUps = std::make_shared<RecordingPopUps>();
  mutable std::mutex mutex;
  std::vector<Sent> sent;
  HIDServiceViewModePtr service;

  Recorder() {
    HIDServiceViewMode::Parts parts;
    parts.popUps = popUps;
    parts.loadCatalogue = loadTestCatalogue;
    parts.sink = [this](uint8_t cmd, const uint8_t* data, uint16_t datalen) {
      std::lock_guard guard(mutex);
      sent.push_back({cmd, Bytes(data, data + (datalen > 0 ? datalen - 1 : 0)), datalen});
    };
    service = HIDServiceViewMode::create(parts);
  }
  std::vector<Sent> take() {
    std::lock_guard guard(mutex);
    std::vector<Sent> out;
    out.swap(sent);
    return out;
  }
  void feed(uint8_t cmd, const Bytes& payload) { service->callBackData(frameOf(cmd, payload)); }
};

// A 159-byte preset record for preset n: name, then module words that make
// every module different (word i of module m = 100 * m + i + n), EXP words.
inline Bytes presetRecord(int n, const std::string& name) {
  Bytes r(159, 0);
  r[0] = static_cast<uint8_t>(n);
  for (size_t i = 0; i < name.size() && i < 14; ++i) r[1 + i] = static_cast<uint8_t>(name[i]);
  static const int offsets[9] = {0, 12, 22, 38, 52, 62, 84, 102, 120};
  static const int lengths[9] = {12, 10, 16, 14, 10, 22, 18, 18, 12};
  for (int m = 0; m < 9; ++m)
    for (int i = 0; i < lengths[m] / 2; ++i) {
      const int w = 100 * m + i + n;
      r[static_cast<size_t>(15 + offsets[m] + 2 * i)] = static_cast<uint8_t>(w & 0xFF);
      r[static_cast<size_t>(15 + offsets[m] + 2 * i + 1)] = static_cast<uint8_t>(w >> 8);
    }
  const uint8_t exp[12] = {2, 0, 7, 0, 1, 0, 1, 0, 10, 0, 90, 0};
  for (int i = 0; i < 12; ++i) r[static_cast<size_t>(147 + i)] = exp[i];
  return r;
}

// The words a presetRecord gives module m of preset n.
inline std::vector<int> recordWords(int n, int m) {
  static const int lengths[9] = {12, 10, 16, 14, 10, 22, 18, 18, 12};
  std::vector<int> w;
  for (int i = 0; i < lengths[m] / 2; ++i) w.push_back(100 * m + i + n);
  return w;
}

// The words currentPreset(n, page) gives module m.
inline std::vector<int> currentWords(int n, int m) {
  std::vector<int> w = recordWords(n, m);
  for (int& x : w) x += 1000;
  return w;
}

// A 146-byte current-preset payload: preset n on `page`, the module block of
// presetRecord(n) with every word + 1000.
inline Bytes currentPreset(int n, int page) {
  const Bytes r = presetRecord(n, "");
  Bytes p(146, 0);
  p[0] = static_cast<uint8_t>(n);
  p[1] = static_cast<uint8_t>(page);
  for (size_t i = 0; i < 132; i += 2) {
    const int w = (r[15 + i] | (r[16 + i] << 8)) + 1000;
    p[2 + i] = static_cast<uint8_t>(w & 0xFF);
    p[3 + i] = static_cast<uint8_t>(w >> 8);
  }
  for (size_t i = 0; i < 12; ++i) p[134 + i] = r[147 + i];
  return p;
}

// Fills the recorder's cache with presets 1..200 (names "P<n>") and makes
// preset `current` current on `page`, as a finished start-up read leaves it.
inline void loadUnit(Recorder& r, int current = 1, int page = 6) {
  for (int n = 1; n <= 200; ++n) r.feed(0x20, presetRecord(n, "P" + std::to_string(n)));
  r.feed(0x32, {12, 0, 10, 0, 1, 0, 0, 0, 15, 0});
  r.feed(0x30, currentPreset(current, page));
  r.take();
}

// Waits for `done` as long as reports keep crossing the link to `unit`: a
// start-up read takes as long as the machine's load makes it, so kBound
// bounds a pause of the link, not the whole read (which kStartUpBound does).
// False when the link stood still for kBound, or after kStartUpBound.
inline bool waitWhileTheLinkMoves(const sim::SimulatedUnit& unit, const std::function<bool()>& done) {
  const auto crossed = [&] { return unit.reportsToHost() + unit.reportsFromHost(); };
  const auto end = std::chrono::steady_clock::now() + kStartUpBound;
  for (;;) {
    const uint64_t before = crossed();
    const bool moved = dispatch::runMainLoopUntil([&] { return done() || crossed() != before; }, kBound);
    if (done()) return true;
    if (!moved || std::chrono::steady_clock::now() >= end) return false;
  }
}

struct ProgressLog;

// A service connected over the transport to a simulated unit with the
// application firmware.
struct SimRig {
  std::shared_ptr<sim::SimulatedUnit> unit;
  std::shared_ptr<sim::UnitApplication> app;
  std::shared_ptr<sim::SimBackend> backend = std::make_shared<sim::SimBackend>();
  std::shared_ptr<libupdate_zarvo> hid;
  std::shared_ptr<RecordingPopUps> popUps = std::make_shared<RecordingPopUps>();
  HIDServiceViewModePtr service;

  explicit SimRig(sim::Identity identity = {}, HIDServiceViewMode::Timing timing = {}) {
    unit = std::make_shared<sim::SimulatedUnit>(identity);
    app = sim::UnitApplication::install(unit);
    backend->addUnit(unit);
    hid = libupdate_zarvo::create(backend);
    HIDClass::Timing t = hid->hidclass().timing();
    // A unit that answers is waited for as long as any condition here (the
    // wait ends with its reply); a silent one briefly, so that the tests of
    // a silent unit stay quick.
    t.identifyPolls = identity.answers ? static_cast<int>(kBound / t.identifyPoll) : 5;
    t.identifyAttempts = 1;
    t.readSlice = 10ms;
    hid->hidclass().setTiming(t);
    HIDServiceViewMode::Parts parts;
    parts.zrHID = hid;
    parts.popUps = popUps;
    parts.loadCatalogue = loadTestCatalogue;
    parts.timing = timing;
    service = HIDServiceViewMode::create(parts);
  }
  ~SimRig() {
    service.reset();
    hid.reset();
  }

  // Frames of one command the unit received, in order.
  std::vector<sim::ReceivedFrame> received(uint8_t cmd) const {
    std::vector<sim::ReceivedFrame> out;
    for (auto& f : unit->receivedFrames())
      if (f.cmd == cmd) out.push_back(f);
    return out;
  }
  // Waits until the unit has received `count` frames of this command.
  bool waitFor(uint8_t cmd, size_t count) const {
    return dispatch::runMainLoopUntil([&] { return received(cmd).size() >= count; }, kBound);
  }
  // Waits for the end of a start-up read reported to `progress`.
  bool waitForRead(const ProgressLog& progress) const;
  // Runs the main queue until a task queued `delay` from now has run. Every
  // main-queue timer the service armed before, due sooner, has fired by then,
  // and what it sent has reached the unit (the service writes on the thread
  // that sends). This, not a pause, is how a test shows that nothing more
  // came.
  static bool waitPast(std::chrono::milliseconds delay) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    dispatch::Queue::main()->after(delay, [ran] { ran->store(true); });
    return dispatch::runMainLoopUntil([&] { return ran->load(); }, kBound + delay);
  }
};

// Progress values as the start-up reported them (any thread).
struct ProgressLog {
  mutable std::mutex mutex;
  std::vector<int> values;
  HIDServiceViewMode::ProgressBlock block() {
    return [this](int v) {
      std::lock_guard guard(mutex);
      values.push_back(v);
    };
  }
  std::vector<int> get() const {
    std::lock_guard guard(mutex);
    return values;
  }
  bool done() const {
    std::lock_guard guard(mutex);
    return !values.empty() && values.back() == HIDServiceViewMode::kProgressDone;
  }
};

inline bool SimRig::waitForRead(const ProgressLog& progress) const {
  return waitWhileTheLinkMoves(*unit, [&] { return progress.done(); });
}

// Waits until the service has handled every frame the unit sent before this
// call, then runs what that queued for the main thread. The unit sends its
// current preset once more: the link keeps the order of the unit's frames
// (one held back for a time holds back those behind it), and the HID thread
// handles them one at a time, reporting progress (to the log the start-up
// read was given) for this one. For a unit on the bus and talking.
inline bool waitForFramesHandled(sim::UnitApplication& app, const ProgressLog& progress) {
  const size_t reports = progress.get().size();
  app.sendCurrentPreset();
  if (!dispatch::runMainLoopUntil([&] { return progress.get().size() > reports; }, kBound)) return false;
  dispatch::drainMainQueue();
  return true;
}

}  // namespace svc_test
