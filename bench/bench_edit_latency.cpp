// A knob turn on the screen (the edited module's words, sendModuleData) until
// its last output report is written, while the simulated unit streams knob
// turns of its own panel that the HID thread decodes meanwhile.
//
// p50_us, p99_us: latency of the knob turn; raw_ratio = p99 / the p99 of
// writing the same reports straight to the backend's device in the same run
// (alternating with the knob turns). "Written" is the return of the last
// report's write call. The link is not paced: the figures are what the
// program adds, not the wire.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "bench/BenchSupport.h"
#include "bench/TimedBackend.h"
#include "device/codec/FrameCodec.h"
#include "device/service/HIDServiceViewMode.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/foundation/Log.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using bench::percentile;
using bench::TimedBackend;

void BM_EditLatency(benchmark::State& state) {
  fnd::LogSink previous = fnd::setLogSink([](const std::string&) {});
  constexpr int kTurns = 2000;
  for (auto _ : state) {
    auto unit = std::make_shared<sim::SimulatedUnit>();
    auto app = sim::UnitApplication::install(unit);
    auto simBackend = std::make_shared<sim::SimBackend>();
    simBackend->addUnit(unit);
    auto backend = std::make_shared<TimedBackend>(simBackend);
    HIDServiceViewMode::Parts parts;
    parts.zrHID = libupdate_zarvo::create(backend);
    parts.loadCatalogue = [] { return EffectCatalogue::load(); };
    auto service = HIDServiceViewMode::create(parts);
    service->init();
    std::atomic<bool> read{false};
    service->getAllData([&](int p) {
      if (p == HIDServiceViewMode::kProgressDone) read = true;
    });
    for (auto until = Clock::now() + 10s; !read && Clock::now() < until;) std::this_thread::sleep_for(1ms);
    if (!read) {
      state.SkipWithError("the start-up read did not finish");
      break;
    }
    service->sendChangePage(8);  // the AMP module's page: its words, one report
    std::shared_ptr<hid::Device> device = parts.zrHID->hidclass().hid_current_device();

    std::atomic<bool> stop{false};
    std::thread panel([&] {
      std::mt19937 rng(7);
      while (!stop) {
        const int module = static_cast<int>(rng() % 9);
        app->turnKnob(module, {1, static_cast<int>(rng() % 5), static_cast<int>(rng() % 100)});
        std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 1000));
      }
    });

    std::vector<double> knob, raw;
    std::mt19937 rng(11);
    const auto model = service->presetDataModel();
    // The two kinds alternate, each first every other turn, so that neither
    // always runs on a cold cache after the pause.
    for (int i = 0; i < kTurns; ++i) {
      std::vector<int> words = model->dataArr.get();
      words[2] = i % 100;
      model->setDataArr(words);
      std::vector<uint8_t> payload(16);
      for (size_t w = 0; w < words.size() && w < 8; ++w) payload[2 * w] = static_cast<uint8_t>(words[w]);
      const auto reports = frame::splitReports(frame::build(0x84, payload));
      auto turnKnob = [&] {
        const auto start = Clock::now();
        service->sendModuleData();
        knob.push_back(bench::micros(backend->lastWritten() - start));
      };
      auto writeRaw = [&] {
        const auto start = Clock::now();
        for (const auto& r : reports) device->write(r);
        raw.push_back(bench::micros(backend->lastWritten() - start));
      };
      if (i % 2) {
        turnKnob();
        writeRaw();
      } else {
        writeRaw();
        turnKnob();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 800));
    }
    stop = true;
    panel.join();
    if (unit->receivedCount() < static_cast<size_t>(2 * kTurns)) state.SkipWithError("reports went missing");

    const double p99 = percentile(knob, 0.99);
    const double rawP99 = percentile(raw, 0.99);
    state.counters["p50_us"] = percentile(knob, 0.50);
    state.counters["p99_us"] = p99;
    state.counters["raw_p50_us"] = percentile(raw, 0.50);
    state.counters["raw_p99_us"] = rawP99;
    state.counters["raw_ratio"] = rawP99 > 0 ? p99 / rawP99 : 0;
  }
  fnd::setLogSink(previous);
}

BENCHMARK(BM_EditLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
