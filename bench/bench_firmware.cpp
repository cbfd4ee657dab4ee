// A firmware update of a 1 MiB image against the simulated boot loader paced
// like USB full speed (one report per millisecond each way).
//
// wire_ratio = elapsed time / wire bound, where the wire bound is the number
// of reports that crossed (host to unit plus unit to host, as the simulated
// unit counts them) times 1 ms. Each block waits for its acknowledgement, so
// the ratio shows what the engine and the transport add to the round trips.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "device/firmware/libupdate_zarvo.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"

namespace {

using namespace std::chrono_literals;

void BM_FirmwareUpdate1MiB(benchmark::State& state) {
  const auto spec = sim::TestFirmwareSpec::withBlocks(2048);  // 1 MiB of data
  const auto bytes = sim::makeTestFirmware(spec);
  const auto path = std::filesystem::temp_directory_path() / "qv450-bench-firmware.qv";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

  double ratioSum = 0;
  int runs = 0;
  for (auto _ : state) {
    sim::Identity id;
    id.mode = 'B';
    auto unit = std::make_shared<sim::SimulatedUnit>(id);
    auto loader = sim::SimBootloader::install(*unit, sim::bootloaderConfigFor(spec));
    unit->setPaced(true);
    auto backend = std::make_shared<sim::SimBackend>();
    backend->addUnit(unit);
    auto updater = libupdate_zarvo::create(backend);
    updater->setPid(0x5703, 0x0483, 200);
    updater->setDeviceName("VLT", "V1.0.5");
    const uint8_t request[7] = {0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF};
    if (updater->connectDeviceWithCMD(request, sizeof request) != 1) {
      state.SkipWithError("the simulated unit was not identified");
      break;
    }

    std::mutex mutex;
    std::condition_variable ended;
    int result = -1;
    auto finish = [&](int r) {
      std::lock_guard guard(mutex);
      result = r;
      ended.notify_all();
    };
    const uint64_t outBefore = unit->reportsFromHost();
    const uint64_t inBefore = unit->reportsToHost();
    const auto started = std::chrono::steady_clock::now();
    updater->beginUpdate(
        path.string(), [&](int p) { if (p == 100) finish(0); }, [&](int status) { finish(status); });
    {
      std::unique_lock lock(mutex);
      ended.wait_for(lock, 120s, [&] { return result >= 0; });
    }
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    state.SetIterationTime(elapsed);
    if (result != 0) {
      state.SkipWithError("the update did not finish");
      break;
    }
    const uint64_t reports = (unit->reportsFromHost() - outBefore) + (unit->reportsToHost() - inBefore);
    ratioSum += elapsed / (static_cast<double>(reports) * 1e-3);
    ++runs;
    state.counters["reports"] = static_cast<double>(reports);
    state.counters["blocks"] = static_cast<double>(loader->blocks().size());
  }
  if (runs > 0) state.counters["wire_ratio"] = ratioSum / runs;
  std::filesystem::remove(path);
}

BENCHMARK(BM_FirmwareUpdate1MiB)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
