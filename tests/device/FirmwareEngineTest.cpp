// The firmware update engine against the simulated boot loader: the exact
// packets, the percentages, and every way the update can fail.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/firmware/FirmwareEngine.h"
#include "device/codec/FrameCodec.h"
#include "sim/SimulatedUnit.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// CRC-16/GSM bit by bit, apart from the codec's table.
uint16_t bitwiseCrc(const uint8_t* p, size_t n) {
  uint16_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= static_cast<uint16_t>(p[i] << 8);
    for (int k = 0; k < 8; ++k) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return static_cast<uint16_t>(crc ^ 0xFFFF);
}

void putU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Two sections laid out by hand from the image tables: 4 blocks of type 04
// (acknowledged by 05) numbered from 0, then 2 blocks of type 06 (07) numbered
// from 0x0100; packet 02 carries 0x34; the answer to it is of type 03.
Bytes handImage() {
  Bytes b(4224, 0);
  putU32(b, 32, 10000);
  b[42] = 0x03;
  b[47] = 2;
  putU32(b, 48, 0x00000034);
  putU32(b, 128 + 13, 2688);  // head 2
  putU32(b, 128 + 17, 2048);
  b[128 + 21] = 0x04;
  b[128 + 22] = 0x05;
  for (size_t i = 0; i < 2048; ++i) b[640 + i] = static_cast<uint8_t>(i * 3 + 1);
  putU32(b, 2688 + 9, 3201);  // data at 3200
  putU32(b, 2688 + 17, 1024);
  b[2688 + 21] = 0x06;
  b[2688 + 22] = 0x07;
  b[2688 + 27] = 0x00;  // first block 0x0100, little-endian in the file
  b[2688 + 28] = 0x01;
  for (size_t i = 0; i < 1024; ++i) b[3200 + i] = static_cast<uint8_t>(i * 5 + 2);
  return b;
}

std::filesystem::path writeImage(const Bytes& bytes, const std::string& name) {
  auto path = std::filesystem::temp_directory_path() /
              ("qv450-fw-" + std::to_string(::getpid()) + "-" + name + ".qv");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The engine wired to a simulated unit in its boot loader: packets go out as
// reports, answers come back on a reader thread that stands for the HID thread.
class BootLink {
public:
  explicit BootLink(FirmwareEngine& engine, sim::SimBootloader::Config config = {}) : engine_(engine) {
    sim::Identity id;
    id.mode = 'B';
    unit = std::make_shared<sim::SimulatedUnit>(id);
    loader = sim::SimBootloader::install(*unit, std::move(config));
    connection_ = unit->hostOpen();
    reader_ = std::thread([this] { readLoop(); });
    engine.setLink({[this] { return unit->isPlugged(); },
                    [this](std::span<const uint8_t> bytes) { return send(bytes); }});
  }
  ~BootLink() {
    stop_ = true;
    reader_.join();
  }

  std::shared_ptr<sim::SimulatedUnit> unit;
  std::shared_ptr<sim::SimBootloader> loader;
  std::vector<int> percentAtBlock;  // the engine's percentage as each block goes out
  std::optional<size_t> failBlockSend;  // this block (0-based) cannot be written

private:
  bool send(std::span<const uint8_t> bytes) {
    if (frame::lengthField(bytes) == 515) {
      percentAtBlock.push_back(engine_.percentage());
      if (failBlockSend && percentAtBlock.size() == *failBlockSend + 1) return false;
    }
    return frame::forEachReport(bytes, [&](const frame::Report& r) { return unit->hostWrite(connection_, r); });
  }
  void readLoop() {
    frame::Reassembler assembler;
    hid::Report report;
    while (!stop_) {
      int n = unit->hostRead(connection_, report, 10ms);
      if (n < 0) break;
      if (n == 0) continue;
      assembler.put(frame::reportPayload(report), [&](std::span<const uint8_t> f) { engine_.updateHandleReply(f); });
    }
  }

  FirmwareEngine& engine_;
  uint64_t connection_ = 0;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

Bytes hex(std::initializer_list<int> xs) {
  Bytes out;
  for (int x : xs) out.push_back(static_cast<uint8_t>(x));
  return out;
}

TEST(FirmwareEngine, UpdatesFromHandAssembledImageWithExactPackets) {
  const Bytes image = handImage();
  auto path = writeImage(image, "hand");
  FirmwareEngine engine;
  BootLink link(engine, {0x03, {{0x04, 0x05}, {0x06, 0x07}}});
  engine.setImagePath(path.string());
  EXPECT_EQ(engine.updateRunFirmware(), 1);
  EXPECT_EQ(engine.status(), FirmwareEngine::StatusFinished);
  EXPECT_EQ(engine.percentage(), 100);
  EXPECT_TRUE(engine.errorText().empty());
  EXPECT_EQ(link.percentAtBlock, (std::vector<int>{16, 33, 50, 66, 83, 100}));

  auto packets = link.loader->packets();
  ASSERT_EQ(packets.size(), 10u);
  EXPECT_EQ(packets[0], hex({0xAA, 0x55, 0x02, 0x00, 0xAA, 0x00, 0xE0, 0x22}));
  EXPECT_EQ(packets[1], hex({0xAA, 0x55, 0x02, 0x00, 0x00, 0x00, 0x12, 0x97}));
  // The three bytes after the value are what packet 00 left in the buffer.
  EXPECT_EQ(packets[2], hex({0xAA, 0x55, 0x05, 0x00, 0x02, 0x34, 0x12, 0x97, 0x00, 0x88, 0xBC}));
  const int types[6] = {0x04, 0x04, 0x04, 0x04, 0x06, 0x06};
  const int numbers[6] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0100, 0x0101};
  const size_t offsets[6] = {640, 1152, 1664, 2176, 3200, 3712};
  for (size_t k = 0; k < 6; ++k) {
    const Bytes& p = packets[3 + k];
    ASSERT_EQ(p.size(), 521u) << k;
    EXPECT_EQ(Bytes(p.begin(), p.begin() + 7),
              hex({0xAA, 0x55, 0x03, 0x02, types[k], numbers[k] >> 8, numbers[k] & 0xFF}))
        << k;
    EXPECT_TRUE(std::equal(p.begin() + 7, p.begin() + 519, image.begin() + static_cast<long>(offsets[k]))) << k;
    uint16_t crc = bitwiseCrc(p.data() + 2, 517);
    EXPECT_EQ(p[519], crc >> 8) << k;
    EXPECT_EQ(p[520], crc & 0xFF) << k;
  }
  EXPECT_EQ(packets[9], hex({0xAA, 0x55, 0x02, 0x00, 0xFF, 0x00, 0x11, 0x68}));
  // Nine reports per block, one per short packet.
  EXPECT_EQ(link.unit->reportsFromHost(), 6u * 9u + 4u);
  std::filesystem::remove(path);
}

TEST(FirmwareEngine, SendsOnlyWholeBlocksOfEverySection) {
  struct Block {
    uint8_t type;
    uint16_t number;
    size_t section, index;  // where its data comes from: section, block within it
  };
  struct Case {
    const char* what;
    sim::TestFirmwareSpec spec;
    std::vector<Block> blocks;
    std::vector<int> percentAtBlock;
  };
  sim::TestFirmwareSpec one = sim::TestFirmwareSpec::withBlocks(1);
  one.sections[0].firstBlock = 0x1234;
  sim::TestFirmwareSpec uneven;
  uneven.sections = {{300, 0x04, 0x05, 0}, {3 * 512 + 100, 0x06, 0x07, 7}, {1024, 0x08, 0x09, 0x20}};
  const Case cases[] = {
      {"one block of exactly 512 bytes: 100 % at once", one, {{0x04, 0x1234, 0, 0}}, {100}},
      // A section shorter than a block sends nothing, the next goes on; the
      // tail of a section after its last whole block is not sent.
      // T = (300 + 1636 + 1024) / 512 = 5.
      {"sections shorter than a block and with tails",
       uneven,
       {{0x06, 7, 1, 0}, {0x06, 8, 1, 1}, {0x06, 9, 1, 2}, {0x08, 0x20, 2, 0}, {0x08, 0x21, 2, 1}},
       {20, 40, 60, 80, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto path = writeImage(sim::makeTestFirmware(c.spec), "whole");
    FirmwareEngine engine;
    BootLink link(engine, sim::bootloaderConfigFor(c.spec));
    engine.setImagePath(path.string());
    EXPECT_EQ(engine.updateRunFirmware(), 1);
    std::filesystem::remove(path);
    const auto blocks = link.loader->blocks();
    ASSERT_EQ(blocks.size(), c.blocks.size());
    for (size_t k = 0; k < blocks.size(); ++k) {
      const Block& want = c.blocks[k];
      EXPECT_EQ(blocks[k].type, want.type) << k;
      EXPECT_EQ(blocks[k].number, want.number) << k;
      for (size_t i = 0; i < 512; i += 97)
        EXPECT_EQ(blocks[k].data[i], sim::testFirmwareByte(want.section, want.index * 512 + i)) << k << " " << i;
    }
    EXPECT_EQ(link.percentAtBlock, c.percentAtBlock);
  }
}

// An answer to packet 00 that comes before the engine starts waiting for it
// is not lost; neither are answers that come within the send.
TEST(FirmwareEngine, AnswersThatComeBeforeTheWaitCount) {
  auto spec = sim::TestFirmwareSpec::twoSections();
  auto path = writeImage(sim::makeTestFirmware(spec), "early");
  FirmwareEngine engine;
  engine.helloWaitSteps = 1;
  engine.blockAckTimeout = 1ms;
  sim::SimBootloader loader(sim::bootloaderConfigFor(spec));
  engine.setLink({[] { return true; }, [&](std::span<const uint8_t> f) {
                    for (const auto& answer : loader.handleFrame(f)) engine.updateHandleReply(answer);
                    return true;
                  }});
  engine.setImagePath(path.string());
  EXPECT_EQ(engine.updateRunFirmware(), 1);
  EXPECT_EQ(loader.blocks().size(), 6u);
  std::filesystem::remove(path);
}

struct FailureCase {
  const char* name;
  std::function<void(sim::SimBootloader::Knobs&)> knobs;
  int status;
  std::vector<uint8_t> packetTypes;  // everything the unit received
};

TEST(FirmwareEngine, EachFailureEndsWithItsStatusAndNothingAfterIt) {
  const std::vector<FailureCase> cases = {
      {"no answer to 00", [](auto& k) { k.answerHello = false; }, 9, {0xAA, 0x00}},
      {"02 refused", [](auto& k) { k.refuseAnnounce = true; }, 9, {0xAA, 0x00, 0x02}},
      {"no answer to 02", [](auto& k) { k.answerAnnounce = false; }, 9, {0xAA, 0x00, 0x02}},
      {"silent after block 2", [](auto& k) { k.ackLimit = 2; }, 9, {0xAA, 0x00, 0x02, 0x04, 0x04, 0x04}},
      // Acknowledged with the type of the second section: the block in flight
      // is not released.
      {"wrong answer type", [](auto& k) { k.wrongAckType = 0x07; }, 9, {0xAA, 0x00, 0x02, 0x04}},
  };
  auto path = writeImage(sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections()), "fail");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FirmwareEngine engine;
    engine.waitStep = 100us;  // the image's 10000 steps last a second: answers are never late
    engine.helloWaitSteps = 10000;
    engine.blockAckTimeout = 1s;
    BootLink link(engine);
    sim::SimBootloader::Knobs knobs;
    c.knobs(knobs);
    link.loader->setKnobs(knobs);
    engine.setImagePath(path.string());
    EXPECT_EQ(engine.updateRunFirmware(), 0);
    EXPECT_EQ(engine.status(), c.status);
    EXPECT_FALSE(engine.errorText().empty());
    // The engine sends only from the thread that runs it, and the unit takes
    // each packet within the write: what it got is final once the run returned.
    EXPECT_EQ(link.loader->packetTypes(), c.packetTypes);
  }
  std::filesystem::remove(path);
}

TEST(FirmwareEngine, BadImageOrNoUnitFailsBeforeAnyPacket) {
  auto good = sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections());
  auto truncated = Bytes(good.begin(), good.begin() + 3000);  // section 2's head is cut off
  auto truncatedPath = writeImage(truncated, "cut");
  auto missing = std::filesystem::temp_directory_path() / "qv450-missing" / "VLTfx Rig_V1.0.5.qv";
  {
    FirmwareEngine engine;
    BootLink link(engine);
    engine.setImagePath(truncatedPath.string());
    EXPECT_EQ(engine.updateRunFirmware(), 0);
    EXPECT_EQ(engine.status(), FirmwareEngine::StatusImageFailed);
    EXPECT_NE(engine.errorText().find("section 2"), std::string::npos);
    engine.setImagePath(missing.string());
    EXPECT_EQ(engine.updateRunFirmware(), 0);
    EXPECT_EQ(engine.status(), FirmwareEngine::StatusImageFailed);
    EXPECT_NE(engine.errorText().find("VLTfx Rig_V1.0.5.qv"), std::string::npos);
    EXPECT_TRUE(link.loader->packets().empty());
  }
  {
    FirmwareEngine engine;
    BootLink link(engine);
    link.unit->unplug();
    engine.setImagePath(writeImage(good, "nounit").string());
    EXPECT_EQ(engine.updateRunFirmware(), 0);
    EXPECT_EQ(engine.status(), FirmwareEngine::StatusAnnounceSendFailed);
    EXPECT_TRUE(link.loader->packets().empty());
    std::filesystem::remove(engine.imagePath());
  }
  {
    FirmwareEngine engine;  // no transport at all
    engine.setImagePath(truncatedPath.string());
    EXPECT_EQ(engine.updateRunFirmware(), 0);
    EXPECT_EQ(engine.status(), FirmwareEngine::StatusAnnounceSendFailed);
  }
  std::filesystem::remove(truncatedPath);
}

TEST(FirmwareEngine, BlockThatCannotBeWrittenEndsWithStatus2) {
  auto path = writeImage(sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections()), "write");
  FirmwareEngine engine;
  BootLink link(engine);
  link.failBlockSend = 4;
  engine.setImagePath(path.string());
  EXPECT_EQ(engine.updateRunFirmware(), 0);
  EXPECT_EQ(engine.status(), FirmwareEngine::StatusBlockSendFailed);
  EXPECT_EQ(link.loader->blocks().size(), 4u);
  EXPECT_EQ(link.loader->packetTypes().back(), 0x04);
  std::filesystem::remove(path);
}

// However a run ends, its status is final: a cancelled run ends with its own
// status, never left "running", whatever it was waiting for.
TEST(FirmwareEngine, ACancelledRunEndsAtOnceWithAFinalStatus) {
  struct Case {
    const char* name;
    std::function<void(sim::SimBootloader::Knobs&)> knobs;
    size_t framesBeforeCancel;  // 0: cancelled before the run starts
    int status;
    size_t packets;  // what the unit received in all
  };
  const std::vector<Case> cases = {
      {"before the run", [](auto&) {}, 0, FirmwareEngine::StatusCancelled, 0},
      {"waiting for the answer to 00", [](auto& k) { k.answerHello = false; }, 2, FirmwareEngine::StatusCancelled, 2},
      {"waiting for the answer to 02", [](auto& k) { k.answerAnnounce = false; }, 3, FirmwareEngine::StatusCancelled,
       3},
      {"waiting for a block", [](auto& k) { k.ackLimit = 1; }, 5, FirmwareEngine::StatusCancelled, 5},
  };
  auto path = writeImage(sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections()), "cancel");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FirmwareEngine engine;
    engine.helloWaitSteps = 60000;  // a minute each: only the cancel ends them
    engine.blockAckTimeout = 60s;
    BootLink link(engine);
    sim::SimBootloader::Knobs knobs;
    c.knobs(knobs);
    link.loader->setKnobs(knobs);
    engine.setImagePath(path.string());
    if (c.framesBeforeCancel == 0) engine.cancel();
    std::atomic<int> result{-1};
    std::thread worker([&] { result = engine.updateRunFirmware(); });
    if (c.framesBeforeCancel > 0) {
      EXPECT_TRUE(link.unit->waitForFrames(c.framesBeforeCancel, 10s));
      EXPECT_TRUE(engine.isRunning());
    }
    const auto cancelled = std::chrono::steady_clock::now();
    engine.cancel();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 30s);  // not the minute's wait
    EXPECT_EQ(result, 0);
    EXPECT_EQ(engine.status(), c.status);
    EXPECT_TRUE(FirmwareEngine::isFinal(engine.status()));
    EXPECT_EQ(link.loader->packets().size(), c.packets);  // the run has returned: final
  }
  // Cancelled in its closing pause (a minute's sleep here), a finished run
  // stays finished, and ends at once.
  FirmwareEngine engine;
  engine.finishPause = 60s;
  BootLink link(engine);
  engine.setImagePath(path.string());
  std::atomic<int> result{-1};
  std::thread worker([&] { result = engine.updateRunFirmware(); });
  EXPECT_TRUE(link.unit->waitForFrames(10, 10s));  // AA, 00, 02, six blocks, FF
  const auto cancelled = std::chrono::steady_clock::now();
  engine.cancel();
  worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 30s);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(engine.status(), FirmwareEngine::StatusFinished);
  std::filesystem::remove(path);
}

// The block-range sender: blocks from any offset of the loaded image, each
// awaiting the acknowledgement of a section within a count of wait steps.
TEST(FirmwareEngine, BlockRangeSendsBlocksFromAnImageOffset) {
  const Bytes image = handImage();
  auto path = writeImage(image, "range");
  FirmwareEngine engine;
  BootLink link(engine, {0x03, {{0x04, 0x05}, {0x06, 0x07}}});
  engine.setImagePath(path.string());
  EXPECT_FALSE(engine.updateSendBlockRange(0, 1, 640, 100, 0x04, 0)) << "no image loaded";
  ASSERT_TRUE(engine.updateLoadImage());

  // Blocks 0x10..0x12 from offset 1152 with section 2's type, acknowledged
  // as section 2 (07).
  EXPECT_TRUE(engine.updateSendBlockRange(0x10, 0x13, 1152, 1000, 0x06, 1));
  auto blocks = link.loader->blocks();
  ASSERT_EQ(blocks.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(blocks[k].type, 0x06);
    EXPECT_EQ(blocks[k].number, 0x10 + k);
    EXPECT_TRUE(std::equal(blocks[k].data.begin(), blocks[k].data.end(), image.begin() + 1152 + static_cast<long>(k * 512)))
        << k;
  }
  // The percentage counts on from the blocks sent so far: T is 6 here.
  EXPECT_EQ(link.percentAtBlock, (std::vector<int>{16, 33, 50}));

  // An acknowledgement of the other section's type does not release a block.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(engine.updateSendBlockRange(0, 1, 640, 50, 0x04, 1));
  EXPECT_GE(std::chrono::steady_clock::now() - started, engine.waitStep * 50);
  // With no wait allowed the first block is sent, and the range fails there.
  EXPECT_FALSE(engine.updateSendBlockRange(0, 2, 640, 0, 0x04, 0));
  EXPECT_EQ(link.loader->blocks().size(), 5u);
  // Outside the image: nothing is sent. An empty range is done at once.
  EXPECT_FALSE(engine.updateSendBlockRange(0, 2, image.size() - 1000, 100, 0x04, 0));
  EXPECT_FALSE(engine.updateSendBlockRange(5, 4, 640, 100, 0x04, 0));
  EXPECT_TRUE(engine.updateSendBlockRange(3, 3, 640, 100, 0x04, 0));
  EXPECT_EQ(link.loader->blocks().size(), 5u);
  std::filesystem::remove(path);
}

}  // namespace
