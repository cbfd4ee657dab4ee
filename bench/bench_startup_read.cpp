// The whole start-up read (200 preset records, the system levels, the slot
// names and the current preset, with the host's answers) against the
// simulated unit paced like USB full speed: one report per millisecond each
// way.
//
// wire_ratio = elapsed time / wire bound, where the wire bound is the number
// of reports that crossed (host to unit plus unit to host, as the simulated
// unit counts them) times 1 ms. Timed from the request to the progress value
// 201.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "device/service/HIDServiceViewMode.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/foundation/Log.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace {

using namespace std::chrono_literals;

void BM_StartUpRead(benchmark::State& state) {
  // The per-frame debug lines measure the terminal, not the program.
  fnd::LogSink previous = fnd::setLogSink([](const std::string&) {});
  double ratioSum = 0;
  int runs = 0;
  for (auto _ : state) {
    auto unit = std::make_shared<sim::SimulatedUnit>();
    sim::UnitApplication::install(unit);
    unit->setPaced(true);
    auto backend = std::make_shared<sim::SimBackend>();
    backend->addUnit(unit);
    HIDServiceViewMode::Parts parts;
    parts.zrHID = libupdate_zarvo::create(backend);
    parts.loadCatalogue = [] { return EffectCatalogue::load(); };
    auto service = HIDServiceViewMode::create(parts);
    service->init();
    if (service->deviceStatus.get() != "A") {
      state.SkipWithError("the simulated unit was not identified");
      break;
    }

    std::mutex mutex;
    std::condition_variable ended;
    int last = 0;
    const uint64_t outBefore = unit->reportsFromHost();
    const uint64_t inBefore = unit->reportsToHost();
    const auto started = std::chrono::steady_clock::now();
    service->getAllData([&](int progress) {
      std::lock_guard guard(mutex);
      last = progress;
      ended.notify_all();
    });
    {
      std::unique_lock lock(mutex);
      ended.wait_for(lock, 60s, [&] { return last == HIDServiceViewMode::kProgressDone; });
    }
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    state.SetIterationTime(elapsed);
    if (last != HIDServiceViewMode::kProgressDone) {
      state.SkipWithError("the start-up read did not finish");
      break;
    }
    // The host's last answer (0x8C) went out before 201 was reported.
    const uint64_t reports = (unit->reportsFromHost() - outBefore) + (unit->reportsToHost() - inBefore);
    ratioSum += elapsed / (static_cast<double>(reports) * 1e-3);
    ++runs;
    state.counters["reports"] = static_cast<double>(reports);
  }
  if (runs > 0) state.counters["wire_ratio"] = ratioSum / runs;
  fnd::setLogSink(previous);
}

BENCHMARK(BM_StartUpRead)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
