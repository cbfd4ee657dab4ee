// Receive reassembly of the report stream of a whole start-up read: 200 preset
// records (0x20), the system settings (0x32), the slot names (0x41) and the
// current preset (0x30), each frame split by the unit into 63-byte reports.
// Every frame's CRC is checked. Throughput counts report bytes fed (64 per
// report); usb_fs_ratio compares it with USB full speed, one 64-byte report
// per millisecond (64,000 bytes per second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/codec/FrameCodec.h"
#include "device/transport/HIDClass.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kUsbFullSpeedBytesPerSecond = 64000.0;

// Module block: nine modules of 6, 5, 8, 7, 5, 11, 9, 9 and 6 words (u16 LE):
// word 0 on/off, word 1 effect type, then the parameters. 132 bytes.
void appendModuleBlock(Bytes& out, int seed) {
  const int words[9] = {6, 5, 8, 7, 5, 11, 9, 9, 6};
  for (int m = 0; m < 9; ++m) {
    for (int w = 0; w < words[m]; ++w) {
      const int v = w == 0 ? (seed + m) % 2 : w == 1 ? (seed * 3 + m) % 9 : (seed * 7 + m * 5 + w * 11) % 101;
      out.push_back(static_cast<uint8_t>(v & 0xFF));
      out.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
}

void appendWords(Bytes& out, std::initializer_list<int> words) {
  for (int v : words) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
}

void appendName(Bytes& out, const std::string& name, size_t width) {
  for (size_t i = 0; i < width; ++i) out.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
}

// Preset record, 159 bytes: number, name[14], module block, EXP assignment
// (module, param, on), EXP volume (on, min, max).
Bytes presetRecord(int n) {
  Bytes r;
  r.push_back(static_cast<uint8_t>(n));
  char name[16];
  std::snprintf(name, sizeof name, "Preset %03d", n);
  appendName(r, name, 14);
  appendModuleBlock(r, n);
  appendWords(r, {n % 9, n % 61, n % 2});
  appendWords(r, {1, 0, 100});
  return r;
}

// Current preset, 146 bytes: number, page, module block, EXP words.
Bytes currentPreset() {
  Bytes r = {1, 5};
  appendModuleBlock(r, 1);
  appendWords(r, {0, 0, 1});
  appendWords(r, {1, 0, 100});
  return r;
}

// Slot names, 320 bytes: ten NR names, then ten IR names, 16 bytes each.
Bytes slotNames() {
  Bytes r;
  for (int i = 0; i < 10; ++i) appendName(r, "NR slot " + std::to_string(i + 1), 16);
  for (int i = 0; i < 10; ++i) appendName(r, "IR slot " + std::to_string(i + 1), 16);
  return r;
}

// The reports of a start-up read, in the order the unit sends them.
std::vector<frame::Report> startupReadReports(size_t* frames) {
  std::vector<Bytes> stream;
  for (int n = 1; n <= 200; ++n) stream.push_back(frame::build(0x20, presetRecord(n)));
  Bytes system;
  appendWords(system, {12, 10, 1, 0, 15});
  stream.push_back(frame::build(0x32, system));
  stream.push_back(frame::build(0x41, slotNames()));
  stream.push_back(frame::build(0x30, currentPreset()));
  std::vector<frame::Report> reports;
  for (const Bytes& f : stream) {
    const auto part = frame::splitReports(f);
    reports.insert(reports.end(), part.begin(), part.end());
  }
  *frames = stream.size();
  return reports;
}

void setCounters(benchmark::State& state, size_t reports) {
  const double bytes = static_cast<double>(reports * frame::kReportSize);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["usb_fs_ratio"] = benchmark::Counter(static_cast<double>(state.iterations()) * bytes / kUsbFullSpeedBytesPerSecond,
                                                      benchmark::Counter::kIsRate);
  state.counters["reports"] = static_cast<double>(reports);
}

void BM_ReassembleStartupRead(benchmark::State& state) {
  size_t frames = 0;
  const auto reports = startupReadReports(&frames);
  frame::Reassembler reassembler;
  size_t delivered = 0;
  uint64_t sum = 0;
  const frame::Reassembler::Sink sink = [&](std::span<const uint8_t> f) {
    ++delivered;
    sum += f[4];
  };
  for (auto _ : state) {
    for (const frame::Report& r : reports) reassembler.put(frame::reportPayload(r), sink);
    benchmark::DoNotOptimize(sum);
  }
  if (delivered != frames * static_cast<size_t>(state.iterations())) state.SkipWithError("frames lost");
  setCounters(state, reports.size());
}
BENCHMARK(BM_ReassembleStartupRead);

// The same stream through the transport's receive entry point, routed to a
// frame handler as the HID thread does.
void BM_PutRXBufferStartupRead(benchmark::State& state) {
  size_t frames = 0;
  const auto reports = startupReadReports(&frames);
  class NoDevices final : public hid::Backend {
  public:
    std::string name() const override { return "none"; }
    bool init() override { return true; }
    std::vector<hid::DeviceInfo> enumerate(uint16_t, uint16_t, uint16_t) override { return {}; }
    hid::OpenResult open(const hid::DeviceInfo&) override { return {}; }
  };
  HIDClass transport(std::make_shared<NoDevices>());
  size_t delivered = 0;
  transport.setUpdateHandleReply([&](std::span<const uint8_t>) { ++delivered; });
  for (auto _ : state) {
    for (const frame::Report& r : reports) transport.putRX_buffer(r.data() + 1, r[0]);
  }
  if (delivered != frames * static_cast<size_t>(state.iterations())) state.SkipWithError("frames lost");
  setCounters(state, reports.size());
}
BENCHMARK(BM_PutRXBufferStartupRead);

}  // namespace

BENCHMARK_MAIN();
