// The simulated unit seen from the host's end of its USB link: identify
// replies pinned against bytes written by hand, handler dispatch by firmware,
// recording, pacing and counters, the report trace, unplugging.
#include "sim/SimulatedUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <unistd.h>

#include "device/codec/FrameCodec.h"
#include "platform/foundation/Log.h"
#include "sim/SimBackend.h"
#include "sim/unit/UnitApplication.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using sim::Firmware;
using sim::SimulatedUnit;

hid::Report reportOf(const Bytes& frameBytes) {
  hid::Report r{};
  r[0] = static_cast<uint8_t>(frameBytes.size());
  std::copy(frameBytes.begin(), frameBytes.end(), r.begin() + 1);
  return r;
}

const Bytes kIdentifyPacket = {0xAB, 0x5B, 0x00, 0x00, 0xFF, 0xFF};
const Bytes kIdentifyRequest = {0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF};

struct Link {
  std::shared_ptr<SimulatedUnit> unit;
  std::shared_ptr<sim::SimBackend> backend = std::make_shared<sim::SimBackend>();
  std::shared_ptr<hid::Device> device;

  explicit Link(sim::Identity id = {}) : unit(std::make_shared<SimulatedUnit>(id)) {
    auto info = backend->addUnit(unit);
    device = backend->open(info).device;
  }
  int read(hid::Report& r, std::chrono::milliseconds t = 500ms) { return device->read(r, t); }
};

// 3F, then the frame AA 55 39 00 00 | "VLT" 36x00 "V1.0.5" 8x00 mode 00 00 | CRC.
Bytes expectedReply(uint8_t mode, uint8_t crcHigh, uint8_t crcLow) {
  Bytes r = {0x3F, 0xAA, 0x55, 0x39, 0x00, 0x00, 'V', 'L', 'T'};
  r.insert(r.end(), 36, 0x00);
  r.insert(r.end(), {'V', '1', '.', '0', '.', '5'});
  r.insert(r.end(), 8, 0x00);
  r.insert(r.end(), {mode, 0x00, 0x00, crcHigh, crcLow});
  return r;
}

TEST(SimulatedUnitTest, AnswersTheIdentifyRequestWithTheRepliesBytes) {
  for (auto [mode, hi, lo] : {std::tuple<uint8_t, uint8_t, uint8_t>{'A', 0x96, 0x8F}, {'B', 0xCF, 0xDF}}) {
    SCOPED_TRACE(mode);
    Link link({"VLT", "V1.0.5", mode, true});
    ASSERT_TRUE(link.device->write(reportOf(kIdentifyPacket)));
    ASSERT_TRUE(link.device->write(reportOf(kIdentifyRequest)));
    hid::Report r{};
    ASSERT_EQ(link.read(r), 64);
    EXPECT_EQ(Bytes(r.begin(), r.end()), expectedReply(mode, hi, lo));
    // Where the host looks: name at 6, version at 45, mode at 59.
    EXPECT_EQ(r[6], 'V');
    EXPECT_EQ(r[45], 'V');
    EXPECT_EQ(r[50], '5');
    EXPECT_EQ(r[59], mode);
    // Only the request was a frame; nothing else is answered.
    EXPECT_EQ(link.unit->receivedCount(), 1u);
    EXPECT_EQ(link.read(r, 20ms), 0);
  }

  Link silent({"VLT", "V1.0.5", 'A', false});
  ASSERT_TRUE(silent.device->write(reportOf(kIdentifyRequest)));
  hid::Report r{};
  EXPECT_EQ(silent.read(r, 20ms), 0);
  EXPECT_EQ(silent.unit->receivedCount(), 1u);
}

TEST(SimulatedUnitTest, DispatchesFramesToTheHandlersOfItsFirmware) {
  Link link;
  std::vector<uint8_t> seen;
  link.unit->setHandler(Firmware::Application, 0xC1, [&](SimulatedUnit& u, const sim::ReceivedFrame& f) {
    seen.push_back(f.cmd);
    u.sendFrame(0x20, Bytes(159, 1));
  });
  link.unit->setHandler(Firmware::BootLoader, 0x00, [&](SimulatedUnit& u, const sim::ReceivedFrame&) {
    seen.push_back(0xB0);
    u.sendFrame(0x01, Bytes{0x01});
  });

  const auto start = link.unit->started();
  ASSERT_TRUE(link.device->write(reportOf(frame::build(0xC1, Bytes{0x00}))));
  ASSERT_TRUE(link.device->write(reportOf(frame::build(0x00, Bytes{0x00}))));  // no application handler
  EXPECT_EQ(seen, (Bytes{0xC1}));
  // The answer, 166 bytes, comes as three reports.
  hid::Report r{};
  frame::Reassembler host;
  std::vector<Bytes> got;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(link.read(r), 64);
    host.put(frame::reportPayload(r), [&](std::span<const uint8_t> f) { got.emplace_back(f.begin(), f.end()); });
  }
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], frame::build(0x20, Bytes(159, 1)));

  // In the boot loader the other table answers; the identify request is
  // still answered by the unit itself.
  link.unit->setIdentity({"VLT", "V1.0.5", 'B', true});
  ASSERT_TRUE(link.device->write(reportOf(frame::build(0x00, Bytes{0x00}))));
  ASSERT_TRUE(link.device->write(reportOf(kIdentifyRequest)));
  EXPECT_EQ(seen, (Bytes{0xC1, 0xB0}));
  ASSERT_EQ(link.read(r), 64);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 9), (Bytes{0x08, 0xAA, 0x55, 0x02, 0x00, 0x01, 0x01, 0x31, 0x87}));
  ASSERT_EQ(link.read(r), 64);
  EXPECT_EQ(r[59], 'B');

  const auto frames = link.unit->receivedFrames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0].payload, Bytes{0x00});
  EXPECT_EQ(frames[3].bytes, kIdentifyRequest);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_GE(frames[i].time, start);
    if (i > 0) {
      EXPECT_GE(frames[i].time, frames[i - 1].time);
    }
  }
}

TEST(SimulatedUnitTest, PacesReportsLikeUsbFullSpeedAndCountsThem) {
  Link link;
  link.unit->setPaced(true);
  constexpr int kReports = 20;
  const Bytes f = frame::build(0x34, Bytes{0x06});
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kReports; ++i) ASSERT_TRUE(link.device->write(reportOf(f)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, (kReports - 1) * SimulatedUnit::kReportInterval);
  EXPECT_EQ(link.unit->reportsFromHost(), static_cast<uint64_t>(kReports));

  for (int i = 0; i < kReports; ++i) link.unit->sendFrame(0x34, Bytes{0x06});
  start = std::chrono::steady_clock::now();
  hid::Report r{};
  for (int i = 0; i < kReports; ++i) ASSERT_EQ(link.read(r), 64);
  EXPECT_GE(std::chrono::steady_clock::now() - start, (kReports - 1) * SimulatedUnit::kReportInterval);
  EXPECT_EQ(link.unit->reportsToHost(), static_cast<uint64_t>(kReports));

  // A raw report of any length crosses as it is.
  link.unit->sendReport(Bytes{0x02, 0xAA});
  EXPECT_EQ(link.read(r), 2);
  EXPECT_EQ(link.unit->reportsToHost(), static_cast<uint64_t>(kReports + 1));
}

TEST(SimulatedUnitTest, TracesEveryReportThatCrosses) {
  std::string ab;
  for (int i = 0; i < 64; ++i) ab += "ab";
  EXPECT_EQ(sim::SimTrace::line(1.5, sim::SimTrace::Direction::UnitToHost, Bytes(64, 0xAB)), "1.500000 U2H " + ab);

  TempFolder folder;
  const auto path = folder / "trace.txt";
  {
    Link link;
    auto trace = sim::SimTrace::open(path.string());
    ASSERT_NE(trace, nullptr);
    link.unit->setTrace(trace);
    ASSERT_TRUE(link.device->write(reportOf(kIdentifyRequest)));
    hid::Report r{};
    ASSERT_EQ(link.read(r), 64);
    link.unit->sendReport(Bytes{0x01, 0xAA});  // short: padded with zeros
    ASSERT_EQ(link.read(r), 2);
  }
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 3u);
  const std::regex shape(R"(^\d+\.\d{6} (H2U|U2H) [0-9a-f]{128}$)");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, shape)) << l;
  EXPECT_NE(lines[0].find(" H2U 07aa550100" "00c8cf000000"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" U2H 3faa553900005" "64c54"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(" U2H 01aa" + std::string(124, '0')), std::string::npos) << lines[2];
}

TEST(SimulatedUnitTest, UnpluggingAndReopeningEndTheConnection) {
  Link link;
  link.unit->sendFrame(0x34, Bytes{0x06});
  // A new connection ends the old one and drops what it had not read.
  auto again = link.backend->open(link.device->info()).device;
  ASSERT_NE(again, nullptr);
  hid::Report r{};
  EXPECT_EQ(link.read(r, 10ms), -1);
  EXPECT_FALSE(link.device->write(reportOf(kIdentifyRequest)));
  EXPECT_EQ(again->read(r, 10ms), 0);

  link.unit->unplug();
  EXPECT_EQ(again->read(r, 10ms), -1);
  EXPECT_FALSE(again->write(reportOf(kIdentifyRequest)));
  EXPECT_TRUE(link.backend->enumerate(0x0483, 0x5703, 200).empty());
  EXPECT_EQ(link.backend->open(again->info()).device, nullptr);
}

// The unit the program itself runs on (QV450_SIMULATOR) is sent a page change
// each time a screen opens or closes, for as long as the program runs: it
// takes and counts every frame but keeps none of them.
TEST(SimulatedUnitTest, TheProgramsOwnUnitKeepsNoRecordOfWhatItIsSent) {
  auto previousSink = fnd::setLogSink([](const std::string&) {});
  constexpr size_t kFrames = 2000;
  for (const char* mode : {"app", "boot"}) {
    SCOPED_TRACE(mode);
    auto backend = sim::SimBackend::forEnvironment(mode);
    ASSERT_EQ(backend->units().size(), 1u);
    auto unit = backend->units().front();
    unit->setPaced(false);
    auto device = backend->open(backend->enumerate(0x0483, 0x5703, 200).at(0)).device;
    ASSERT_NE(device, nullptr);
    for (size_t i = 0; i < kFrames; ++i) {
      const uint8_t page = i % 2 ? 0x00 : 0x0C;
      ASSERT_TRUE(device->write(reportOf(frame::build(sim::UnitApplication::kSetPage, Bytes{page, 0x00}))));
    }
    EXPECT_EQ(unit->receivedCount(), kFrames);
    EXPECT_TRUE(unit->waitForFrames(kFrames, 0s));
    EXPECT_EQ(unit->receivedFrames().size(), 0u);
  }
  fnd::setLogSink(previousSink);
}

}  // namespace
