// The fault-injecting link on its own: each fault strikes the frame it names
// and only that one, whole frames spread over several reports share their
// frame's fate, and a delayed or held-back frame keeps its place in line.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "device/codec/FrameCodec.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/faults/FaultBackend.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using sim::FrameFault;
using sim::Way;
using Frames = std::vector<std::pair<int, int>>;

struct Link {
  std::shared_ptr<sim::SimulatedUnit> unit = std::make_shared<sim::SimulatedUnit>();
  std::shared_ptr<sim::SimBackend> sims = std::make_shared<sim::SimBackend>();
  std::shared_ptr<sim::FaultPlan> plan = std::make_shared<sim::FaultPlan>();
  std::shared_ptr<sim::FaultBackend> backend = std::make_shared<sim::FaultBackend>(sims, plan);
  std::shared_ptr<hid::Device> device;

  Link() {
    sims->addUnit(unit);
    device = open();
  }
  std::shared_ptr<hid::Device> open() {
    auto listed = backend->enumerate(sim::SimBackend::kVendorId, sim::SimBackend::kProductId, sim::SimBackend::kReleaseNumber);
    if (listed.size() != 1) return nullptr;
    return backend->open(listed[0]).device;
  }
  // The unit's frame k of this command: k, then 99 bytes (two reports).
  void unitSends(uint8_t cmd, int k) {
    Bytes payload(100, static_cast<uint8_t>(k));
    unit->sendFrame(cmd, payload);
  }
  void hostSends(uint8_t cmd, int k) {
    Bytes payload(100, static_cast<uint8_t>(k));
    frame::forEachReport(frame::build(cmd, payload), [&](const frame::Report& r) { return device->write(r); });
  }
  // Good frames the host reads, (command, first payload byte), until
  // `enough` holds for them; a bound that only a hang reaches.
  Frames hostReadsUntil(const std::function<bool(const Frames&)>& enough) {
    Frames got;
    const auto end = std::chrono::steady_clock::now() + 10s;
    hid::Report r{};
    while (!enough(got) && std::chrono::steady_clock::now() < end) {
      const int n = device->read(r, 10ms);
      if (n < 0) break;
      if (n == 0) continue;
      assembler.put(frame::reportPayload(r), [&](std::span<const uint8_t> f) { got.emplace_back(f[4], f[5]); });
    }
    return got;
  }
  // Reads until a frame of `cmd` has reached the link (good or not): every
  // frame the unit sent before it has crossed by then.
  Frames hostReadsPast(Way way, uint8_t cmd) {
    return hostReadsUntil([&](const Frames&) { return plan->frames(way, cmd) > 0; });
  }
  frame::Reassembler assembler;
};

TEST(FaultMatrixLink, EachFaultStrikesOnlyTheFrameItNames) {
  Link link;
  link.plan->add({Way::UnitToHost, 0x44, 2, FrameFault::Drop, {}});
  link.plan->add({Way::UnitToHost, 0x44, 3, FrameFault::Corrupt, {}});
  link.plan->add({Way::UnitToHost, 0x44, 4, FrameFault::Withhold, {}});
  for (int k = 1; k <= 5; ++k) link.unitSends(0x44, k);
  link.unitSends(0x45, 9);
  // The corrupted frame fails its CRC; the held one waits for its release
  // while the frames behind it pass.
  EXPECT_EQ(link.hostReadsUntil([](const Frames& f) { return !f.empty() && f.back().first == 0x45; }),
            (Frames{{0x44, 1}, {0x44, 5}, {0x45, 9}}));
  link.plan->release();
  EXPECT_EQ(link.hostReadsUntil([](const Frames& f) { return !f.empty(); }), (Frames{{0x44, 4}}));
  EXPECT_EQ(link.plan->frames(Way::UnitToHost, 0x44), 5);
  EXPECT_EQ(link.plan->log().size(), 3u);
}

TEST(FaultMatrixLink, ADelayedFrameComesLateAndTheNextWaitsBehindIt) {
  Link link;
  link.plan->add({Way::UnitToHost, 0x05, 1, FrameFault::Delay, 150ms});
  const auto start = std::chrono::steady_clock::now();
  link.unitSends(0x05, 1);
  link.unitSends(0x06, 2);
  const Frames got = link.hostReadsUntil([](const Frames& f) { return f.size() >= 2; });
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_EQ(got, (Frames{{0x05, 1}, {0x06, 2}}));
}

TEST(FaultMatrixLink, HostFramesAreLostOrCorruptedOnTheWayIn) {
  Link link;
  link.plan->add({Way::HostToUnit, 0x82, 1, FrameFault::Drop, {}});
  link.plan->add({Way::HostToUnit, 0x82, 2, FrameFault::Corrupt, {}});
  for (int k = 1; k <= 3; ++k) link.hostSends(0x82, k);
  ASSERT_TRUE(link.unit->waitForFrames(1, 10s));
  const auto frames = link.unit->receivedFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].payload[0], 3);
}

TEST(FaultMatrixLink, ADelayedHostFrameStallsItsWriteOnce) {
  Link link;
  link.plan->add({Way::HostToUnit, 0xB5, 1, FrameFault::Delay, 200ms});
  // Five reports: the frame is late by its delay, not by five of them.
  const Bytes frame = frame::build(0xB5, Bytes(300, 7));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(frame::forEachReport(frame, [&](const frame::Report& r) { return link.device->write(r); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_EQ(link.plan->stalls(), 1);
  EXPECT_EQ(link.unit->receivedCount(), 1u);
}

TEST(FaultMatrixLink, UnplugAndReplugOnAWriteGiveANewPath) {
  Link link;
  link.plan->add({Way::HostToUnit, 0xC3, 1, FrameFault::Replug, {}});
  const std::string before = link.device->info().path;
  Bytes frame = frame::build(0xC3, Bytes(10, 1));
  hid::Report r = frame::splitReports(frame).at(0);
  EXPECT_FALSE(link.device->write(r));
  hid::Report in{};
  EXPECT_EQ(link.device->read(in, 10ms), -1);
  EXPECT_EQ(link.unit->receivedCount(), 0u);

  auto again = link.open();
  ASSERT_TRUE(again);
  EXPECT_NE(again->info().path, before);
  EXPECT_TRUE(again->write(r));
  EXPECT_TRUE(link.unit->waitForFrames(1, 10s));
}

TEST(FaultMatrixLink, ASilentUnitHearsAndSaysNothing) {
  Link link;
  link.plan->add({Way::HostToUnit, 0xB5, 1, FrameFault::Silence, {}});
  link.hostSends(0xB5, 1);
  link.hostSends(0xB7, 2);
  link.unitSends(0x44, 3);
  link.unitSends(0x45, 4);
  // Both of the unit's frames reach the link (it counts them) and go no
  // further.
  EXPECT_TRUE(link.hostReadsPast(Way::UnitToHost, 0x45).empty());
  EXPECT_EQ(link.plan->frames(Way::UnitToHost, 0x45), 1);
  EXPECT_EQ(link.unit->receivedCount(), 0u);
  EXPECT_TRUE(link.plan->silent());
}

}  // namespace
