// IR and NR transfers into the unit's user slots: the frames written out by
// hand, the acknowledgement rule, the result codes and the catalogue labels
// (against a recording sink), then whole transfers and the unit's faults
// against the simulated unit.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HIDServiceViewModeTestSupport.h"
#include "TempFolder.h"
#include "sim/unit/UnitTransfer.h"
#include "support/WaveFile.h"

using namespace svc_test;
using Transfer = sim::UnitTransfer;

namespace {

// The acknowledgement bound where a test waits for it to run out; elsewhere
// the bound is long enough that a loaded machine never makes an answer late.
constexpr auto kShortBound = std::chrono::milliseconds(60);
constexpr auto kLongBound = std::chrono::seconds(30);

// Results a transfer gave, from any thread.
struct Results {
  mutable std::mutex mutex;
  std::vector<long> values;
  HIDServiceViewMode::ImportBlock block() {
    return [this](long v) {
      std::lock_guard guard(mutex);
      values.push_back(v);
    };
  }
  std::vector<long> get() const {
    std::lock_guard guard(mutex);
    return values;
  }
  bool waitForOne() const {
    return dispatch::runMainLoopUntil([&] { return !get().empty(); }, kBound);
  }
};

using test_files::put16;
using test_files::put32;

// A mono 16-bit WAVE of 512 samples: sample j is (j * 97 - 20000) as int16.
int16_t sample(size_t j) { return static_cast<int16_t>(static_cast<int>(j) * 97 - 20000); }

Bytes wave(uint32_t rate) {
  const uint32_t dataSize = 512 * 2;
  Bytes b(44 + dataSize, 0);
  std::memcpy(&b[0], "RIFF", 4);
  put32(b, 4, 36 + dataSize);
  std::memcpy(&b[8], "WAVEfmt ", 8);
  put32(b, 16, 16);
  put16(b, 20, 1);  // PCM
  put16(b, 22, 1);  // mono
  put32(b, 24, rate);
  put32(b, 28, rate * 2);
  put16(b, 32, 2);
  put16(b, 34, 16);
  std::memcpy(&b[36], "data", 4);
  put32(b, 40, dataSize);
  for (size_t j = 0; j < 512; ++j) put16(b, 44 + 2 * j, static_cast<uint16_t>(sample(j)));
  return b;
}

// An NR file: 512 words, their sum, "2.0".
Bytes nrFile(uint32_t (*word)(size_t), bool goodSum = true) {
  Bytes b(2048 + 4 + 3, 0);
  uint32_t sum = 0;
  for (size_t j = 0; j < 512; ++j) {
    put32(b, 4 * j, word(j));
    sum += word(j);
  }
  put32(b, 2048, goodSum ? sum : sum + 1);
  std::memcpy(&b[2052], "2.0", 3);
  return b;
}

uint32_t nrWord(size_t j) { return j == 0 ? 0x11223344u : static_cast<uint32_t>(j * 0x01010101u + 7); }

// A service with a recording sink and the catalogue loaded.
struct TransferRig : Recorder {
  TempFolder folder;
  explicit TransferRig(std::chrono::milliseconds acknowledgement = kLongBound) {
    service->loadXML();
    service->setTransferTiming({acknowledgement});
  }
  std::string file(const std::string& name, const Bytes& bytes) {
    TempFolder::write(folder / name, bytes);
    return (folder / name).string();
  }
  std::string label(int module, size_t index) const { return service->effectCatalogue()->typeNames(module).at(index); }
  void ack(uint8_t cmd, int m) { feed(cmd, {static_cast<uint8_t>(m)}); }
};

constexpr int kAmp = 2;
constexpr int kCab = 3;
using Kind = dev::TransferKind;

}  // namespace

// ---- Frames and acknowledgements, written out by hand ----

TEST(IRNRTransferFrames, IRImportIsFiveFramesEachAfterItsAcknowledgement) {
  TransferRig rig;
  Results results;
  rig.service->sendFileToDevice(Kind::ImportIR, rig.file("My Cab.wav", wave(44100)), 28, results.block());

  auto sent = rig.take();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(frameOf(sent[0].cmd, sent[0].payload), (Bytes{0xAA, 0x55, 0x05, 0x00, 0xB5, 0x00, 0x02, 0x01, 0x01, 0xC6, 0x41}));

  rig.ack(0xB5, 0);
  sent = rig.take();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Sent{0xB5, {0x01, 'M', 'y', ' ', 'C', 'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}));

  // Frames 2, 3, 4: bits 16-23, 8-15 and 0-7 of the 24-bit points, which a
  // 16-bit sample s gives as s * 256.
  for (int m = 2; m <= 4; ++m) {
    rig.ack(0xB5, m - 1);
    sent = rig.take();
    ASSERT_EQ(sent.size(), 1u) << m;
    ASSERT_EQ(sent[0].payload.size(), 513u);
    EXPECT_EQ(sent[0].datalen, 514);
    EXPECT_EQ(sent[0].payload[0], m);
    for (size_t j = 0; j < 512; ++j) {
      const auto s = static_cast<uint16_t>(sample(j));
      const uint8_t expected = m == 2 ? static_cast<uint8_t>(s >> 8) : m == 3 ? static_cast<uint8_t>(s & 0xFF) : 0;
      ASSERT_EQ(sent[0].payload[1 + j], expected) << "frame " << m << " byte " << j;
    }
    EXPECT_TRUE(results.get().empty());
  }
  rig.ack(0xB5, 4);
  EXPECT_TRUE(rig.take().empty());
  EXPECT_EQ(results.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.label(kCab, 28), "29:My Cab");
  EXPECT_FALSE(rig.service->isTransferring());
}

TEST(IRNRTransferFrames, NRImportSendsFourPlanesHighByteFirst) {
  TransferRig rig;
  Results results;
  rig.service->sendFileToDevice(Kind::ImportNR, rig.file("Amp One.amp", nrFile(nrWord)), 57, results.block());
  EXPECT_EQ(rig.take(), (std::vector<Sent>{{0xB7, {0x00, 0x02, 0x01, 0x01}}}));
  rig.ack(0xB7, 0);
  rig.take();
  for (int m = 2; m <= 5; ++m) {
    rig.ack(0xB7, m - 1);
    auto sent = rig.take();
    ASSERT_EQ(sent.size(), 1u);
    // Word 0 is 0x11223344: frames 2 to 5 carry 11, 22, 33, 44.
    EXPECT_EQ(sent[0].payload[1], 0x11 * (m - 1)) << m;
    const int shift = 8 * (5 - m);
    EXPECT_EQ(sent[0].payload[1 + 300], static_cast<uint8_t>(nrWord(300) >> shift)) << m;
  }
  rig.ack(0xB7, 5);
  EXPECT_EQ(results.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.label(kAmp, 57), "58:Amp One");
}

TEST(IRNRTransferFrames, ClearIsOneFrameAndLabelsTheSlotEmpty) {
  struct Case {
    Kind kind;
    int index;
    Bytes frame;  // the one frame, whole
    int module;
    std::string label;
  };
  const Case cases[] = {
      {Kind::ClearNR, 55, {0xAA, 0x55, 0x05, 0x00, 0xB7, 0x00, 0x00, 0x00, 0x00, 0xCF, 0xB2}, kAmp, "56:Empty"},
      {Kind::ClearIR, 28, {0xAA, 0x55, 0x05, 0x00, 0xB5, 0x00, 0x02, 0x00, 0x00, 0xE5, 0x51}, kCab, "29:EMPTY"},
  };
  TransferRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Results results;
    rig.service->sendFileToDevice(c.kind, "", c.index, results.block());
    const auto sent = rig.take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(frameOf(sent[0].cmd, sent[0].payload), c.frame);
    rig.ack(sent[0].cmd, 0);
    EXPECT_EQ(results.get(), (std::vector<long>{1}));
    EXPECT_EQ(rig.label(c.module, static_cast<size_t>(c.index)), c.label);
    EXPECT_TRUE(rig.take().empty());
  }
}

TEST(IRNRTransferFrames, RestoreResendCarriesTheStoredBytesAsTheyAre) {
  TransferRig rig;
  HIDServiceViewMode::ImportFile_Para para;
  para.firstPara = {7, 1, 1, 1};
  std::memcpy(para.name.data(), "Backed Up Cab 16", 16);
  auto* raw = reinterpret_cast<uint8_t*>(para.data.data());
  for (size_t i = 0; i < 1536; ++i) raw[i] = static_cast<uint8_t>(i * 13 + 1);
  ASSERT_TRUE(rig.service->setImportStruct(para));
  Results results;
  rig.service->sendFileToDevice(Kind::ResendIR, "", -1, results.block());
  EXPECT_EQ(rig.take(), (std::vector<Sent>{{0xB5, {0x00, 0x07, 0x01, 0x01}}}));
  rig.ack(0xB5, 0);
  const auto name = rig.take().at(0).payload;
  EXPECT_EQ(std::string(name.begin() + 1, name.end()), "Backed Up Cab 16");
  for (int m = 2; m <= 4; ++m) {
    rig.ack(0xB5, m - 1);
    const auto data = rig.take().at(0).payload;
    ASSERT_FALSE(data.empty()) << m;
    const std::vector<uint8_t> sent(data.begin() + 1, data.end());
    const std::vector<uint8_t> stored(raw + (m - 2) * 512, raw + (m - 1) * 512);
    EXPECT_EQ(sent, stored) << m;
  }
  rig.ack(0xB5, 4);
  EXPECT_EQ(results.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.label(kCab, 33), "34:Backed Up Cab 16");
}

// ---- Result codes: checked in order, nothing sent on a refusal ----

TEST(IRNRTransferCodes, RefusalsComeAtOnceAndSendNothing) {
  TransferRig rig;
  struct Case {
    const char* what;
    Kind type;
    std::string path;
    int index;
    long code;
  };
  Bytes badRate = wave(22050);
  const std::vector<Case> cases = {
      {"a name byte outside printable ASCII, file missing too", Kind::ImportIR,
       (rig.folder / "Cab\x1f.wav").string(), 26, 1001},
      {"an NR name with a tab", Kind::ImportNR, rig.file("Amp\tX.amp", nrFile(nrWord)), 55, 1001},
      {"a non-ASCII character after a dot", Kind::ImportIR, rig.file("Cab.\xc3\xa9.wav", wave(44100)), 26, 1001},
      {"a missing IR file", Kind::ImportIR, (rig.folder / "Gone.wav").string(), 26, 1002},
      {"an NR file with a wrong sum", Kind::ImportNR, rig.file("Bad Sum.amp", nrFile(nrWord, false)), 55, 1002},
      {"a 22.05 kHz WAVE the reader cannot convert", Kind::ImportIR, rig.file("Slow.wav", badRate), 26, 1002},
      {"a list index that is no user slot", Kind::ImportIR, rig.file("Fine.wav", wave(44100)), 25, 1002},
      {"a clear outside the user slots", Kind::ClearNR, "", 65, 1002},
  };
  for (const Case& c : cases) {
    Results results;
    rig.service->sendFileToDevice(c.type, c.path, c.index, results.block());
    EXPECT_EQ(results.get(), (std::vector<long>{c.code})) << c.what;
    EXPECT_TRUE(rig.take().empty()) << c.what;
    EXPECT_FALSE(rig.service->isTransferring()) << c.what;
  }
  // Values outside the enum do nothing at all.
  Results none;
  rig.service->sendFileToDevice(static_cast<Kind>(2), "", 26, none.block());
  rig.service->sendFileToDevice(static_cast<Kind>(7), "", 26, none.block());
  EXPECT_TRUE(none.get().empty());
  EXPECT_TRUE(rig.take().empty());
}

TEST(IRNRTransferCodes, ALongNameIsSentAndLabelledWithItsFirstSixteenBytes) {
  TransferRig rig;
  Results results;
  rig.service->sendFileToDevice(Kind::ImportIR, rig.file("Twenty Chars Long Cb.wav", wave(48000)), 35, results.block());
  rig.take();
  rig.ack(0xB5, 0);
  const auto name = rig.take().at(0).payload;
  EXPECT_EQ(std::string(name.begin() + 1, name.end()), "Twenty Chars Lon");
  for (int m = 1; m <= 4; ++m) rig.ack(0xB5, m);
  EXPECT_EQ(results.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.label(kCab, 35), "36:Twenty Chars Lon");
}

// ---- One transfer at a time; only the awaited acknowledgement counts ----

TEST(IRNRTransferAcknowledgements, StrayAcknowledgementsAndPresetConfirmationsDoNotEndATransfer) {
  TransferRig rig;
  Results first, second;
  rig.service->sendFileToDevice(Kind::ImportIR, rig.file("First.wav", wave(44100)), 26, first.block());
  rig.take();
  // A second transfer is refused while the first runs; the first goes on.
  rig.service->sendFileToDevice(Kind::ClearIR, "", 27, second.block());
  EXPECT_EQ(second.get(), (std::vector<long>{1002}));
  EXPECT_TRUE(rig.take().empty());

  rig.ack(0xB5, 4);  // not the frame waiting: ignored
  rig.ack(0xB7, 0);  // another kind: ignored
  rig.feed(0x43, {5});  // a preset write's confirmation is not the transfer's
  EXPECT_TRUE(rig.take().empty());
  EXPECT_TRUE(first.get().empty());
  EXPECT_TRUE(rig.service->isTransferring());

  for (int m = 0; m <= 4; ++m) rig.ack(0xB5, m);
  EXPECT_EQ(first.get(), (std::vector<long>{1}));
  // After the end, an acknowledgement finds no transfer.
  rig.ack(0xB5, 4);
  EXPECT_EQ(first.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.label(kCab, 26), "27:First");
}

TEST(IRNRTransferAcknowledgements, AUnitThatStopsAcknowledgingEndsTheTransferWithFailureOnce) {
  TransferRig rig(kShortBound);
  Results results;
  const std::string before = rig.label(kCab, 30);
  rig.service->sendFileToDevice(Kind::ImportIR, rig.file("Stuck.wav", wave(44100)), 30, results.block());
  rig.ack(0xB5, 0);
  rig.ack(0xB5, 1);
  ASSERT_TRUE(results.waitForOne());
  EXPECT_EQ(results.get(), (std::vector<long>{1002}));
  EXPECT_FALSE(rig.service->isTransferring());
  // A late acknowledgement changes nothing (it is handled here, at once);
  // a new transfer may start.
  rig.ack(0xB5, 2);
  EXPECT_EQ(results.get(), (std::vector<long>{1002}));
  EXPECT_EQ(rig.label(kCab, 30), before);
  Results next;
  rig.take();
  rig.service->setTransferTiming({kLongBound});
  rig.service->sendFileToDevice(Kind::ClearIR, "", 30, next.block());
  EXPECT_EQ(rig.take().size(), 1u);
  // Ended here: a transfer left running would call `next` from its bound
  // once the test has let go of it.
  rig.ack(0xB5, 0);
  EXPECT_EQ(next.get(), (std::vector<long>{1}));
}

TEST(IRNRTransferExport, AskingForTheSlotsSendsC4OrC5) {
  TransferRig rig;
  rig.service->revicedIRNRData(0);
  rig.service->revicedIRNRData(1);
  rig.service->revicedIRNRData(2);
  const auto sent = rig.take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(frameOf(sent[0].cmd, sent[0].payload), (Bytes{0xAA, 0x55, 0x02, 0x00, 0xC4, 0x00, 0xC8, 0x07}));
  EXPECT_EQ(sent[1], (Sent{0xC5, {0x00}}));
}

// ---- Against the simulated unit ----

namespace {

struct UnitRig : SimRig {
  TempFolder folder;
  std::shared_ptr<Transfer> transfer = app->transfer();
  ProgressLog progress;
  explicit UnitRig(std::chrono::milliseconds acknowledgement = kLongBound) {
    service->init();
    service->getAllData(progress.block());
    EXPECT_TRUE(waitForRead(progress));
    service->setTransferTiming({acknowledgement});
  }
  // Shows that nothing more is coming: the unit's late answers have crossed
  // the HID thread (a report of its edit buffer sent after them has), and a
  // global-queue task queued one acknowledgement bound from now has run
  // (every bound armed before has lapsed by then).
  void settle() {
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return transfer->answersPending() == 0; }, kBound));
    const size_t reports = progress.get().size();
    app->sendCurrentPreset();
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return progress.get().size() > reports; }, kBound));
    auto ran = std::make_shared<std::atomic<bool>>(false);
    dispatch::Queue::global()->after(service->transferTiming().acknowledgement, [ran] { ran->store(true); });
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return ran->load(); }, kBound + kLongBound));
  }
  std::string file(const std::string& name, const Bytes& bytes) {
    TempFolder::write(folder / name, bytes);
    return (folder / name).string();
  }
};

}  // namespace

TEST(IRNRTransferUnit, ImportAndClearReachTheUnitsSlots) {
  UnitRig rig;
  Results ir, nr, clear;
  rig.service->sendFileToDevice(Kind::ImportIR, rig.file("Room Mic.wav", wave(44100)), 29, ir.block());
  ASSERT_TRUE(ir.waitForOne());
  EXPECT_EQ(ir.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.app->irName(3), "Room Mic");
  const auto planes = rig.transfer->data(Transfer::Kind::IR, 3);
  ASSERT_EQ(planes.size(), 1536u);
  EXPECT_EQ(planes[5], static_cast<uint8_t>(static_cast<uint16_t>(sample(5)) >> 8));
  EXPECT_EQ(planes[512 + 5], static_cast<uint8_t>(static_cast<uint16_t>(sample(5)) & 0xFF));
  EXPECT_EQ(planes[1024 + 5], 0);
  EXPECT_EQ(rig.service->effectCatalogue()->typeNames(kCab)[29], "30:Room Mic");

  rig.service->sendFileToDevice(Kind::ImportNR, rig.file("Stack.amp", nrFile(nrWord)), 64, nr.block());
  ASSERT_TRUE(nr.waitForOne());
  EXPECT_EQ(nr.get(), (std::vector<long>{1}));
  EXPECT_EQ(rig.app->nrName(9), "Stack");
  EXPECT_EQ(rig.transfer->data(Transfer::Kind::NR, 9)[0], 0x11);
  EXPECT_EQ(rig.transfer->data(Transfer::Kind::NR, 9)[3 * 512], 0x44);

  rig.service->sendFileToDevice(Kind::ClearIR, "", 29, clear.block());
  ASSERT_TRUE(clear.waitForOne());
  EXPECT_EQ(rig.app->irName(3), "Empty");
  EXPECT_FALSE(rig.transfer->inUse(Transfer::Kind::IR, 3));
  EXPECT_EQ(rig.service->effectCatalogue()->typeNames(kCab)[29], "30:EMPTY");
}

TEST(IRNRTransferUnit, EveryFaultOfTheUnitEndsWithFailureOnceWithinTheBound) {
  struct Case {
    const char* what;
    Transfer::Knobs knobs;
    std::vector<long> expected;
    std::chrono::milliseconds bound;
  };
  Transfer::Knobs withheld, middle, leaves, slow, late;
  withheld.withhold = {0xB5};
  middle.withholdFrames = {2};
  leaves.leaveBusAfterAnswers = 2;
  slow.delay[0xB5] = std::chrono::milliseconds(20);   // within the bound: still done
  late.delay[0xB5] = std::chrono::milliseconds(300);  // beyond it
  constexpr auto kShort = std::chrono::milliseconds(100);
  constexpr auto kAmple = std::chrono::milliseconds(1000);
  const std::vector<Case> cases = {{"no acknowledgement at all", withheld, {1002}, kShort},
                                   {"frame 2 never acknowledged", middle, {1002}, kShort},
                                   {"the unit leaves the bus after two frames", leaves, {1002}, kAmple},
                                   {"slow acknowledgements", slow, {1}, kAmple},
                                   {"acknowledgements too late", late, {1002}, kShort}};
  for (const Case& c : cases) {
    UnitRig rig(c.bound);
    rig.transfer->setKnobs(c.knobs);
    Results results;
    rig.service->sendFileToDevice(Kind::ImportIR, rig.file("Fault.wav", wave(44100)), 26, results.block());
    ASSERT_TRUE(results.waitForOne()) << c.what;
    if (rig.unit->isPlugged()) rig.settle();
    EXPECT_EQ(results.get(), c.expected) << c.what;
    EXPECT_FALSE(rig.service->isTransferring()) << c.what;
  }
}

// The unit leaves the bus in the middle of an import: the transfer ends at
// the removal with 1002, once, long before its acknowledgement bound.
TEST(IRNRTransferUnit, UnpluggingEndsATransferAtTheRemoval) {
  for (Kind type : {Kind::ImportIR, Kind::ImportNR}) {
    UnitRig rig;
    rig.service->setTransferTiming({std::chrono::seconds(30)});
    Transfer::Knobs knobs;
    knobs.leaveBusAfterAnswers = 2;
    rig.transfer->setKnobs(knobs);
    Results results;
    const bool ir = type == Kind::ImportIR;
    SCOPED_TRACE(ir ? "IR" : "NR");
    const std::string file = ir ? rig.file("Gone.wav", wave(44100)) : rig.file("Gone.amp", nrFile(nrWord));
    rig.service->sendFileToDevice(type, file, ir ? 26 : 55, results.block());
    ASSERT_TRUE(results.waitForOne());
    // Ended by the removal, on the HID thread, long before the bound.
    EXPECT_EQ(results.get(), (std::vector<long>{1002}));
    EXPECT_FALSE(rig.service->isTransferring());
    EXPECT_FALSE(rig.unit->isPlugged());
  }
}
