// The frame format, its CRC, report splitting and receive reassembly, pinned
// with bytes written by hand.
#include "device/codec/FrameCodec.h"
#include "support/LiteralReassembler.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes codecFrame(uint8_t cmd, Bytes payload) { return frame::build(cmd, payload); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Feeds bytes in chunks and collects what is delivered.
struct Collector {
  frame::Reassembler r;
  std::vector<Bytes> frames;
  void put(const Bytes& bytes) {
    r.put(bytes, [&](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); });
  }
};

TEST(FrameCodecTest, CrcIsCrc16Gsm) {
  const std::string check = "123456789";
  EXPECT_EQ(frame::crc16({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xCE3C);
  EXPECT_EQ(frame::crc16({}), 0xFFFF);
  EXPECT_EQ(hid_crc16(nullptr, 0), 0xFFFF);
  const uint8_t zeroLength[] = {0x00, 0x00};
  EXPECT_EQ(hid_crc16(zeroLength, 2), 0xFFFF);

  // Against the definition, bit by bit, for every length up to a few blocks.
  const auto bitwise = [](const Bytes& b) {
    uint16_t crc = 0;
    for (uint8_t x : b) {
      crc ^= static_cast<uint16_t>(x << 8);
      for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
  };
  std::mt19937 rng(7);
  for (size_t n = 0; n < 70; ++n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    EXPECT_EQ(frame::crc16(b), bitwise(b)) << n;
  }
}

TEST(FrameCodecTest, BuildsTheProtocolsFramesExactly) {
  EXPECT_EQ(codecFrame(0xB4, {0x05, 0x00}), (Bytes{0xAA, 0x55, 0x03, 0x00, 0xB4, 0x05, 0x00, 0xCC, 0xE7}));
  EXPECT_EQ(codecFrame(0x00, {}), (Bytes{0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF}));
  EXPECT_EQ(codecFrame(0xC1, {0x00}), (Bytes{0xAA, 0x55, 0x02, 0x00, 0xC1, 0x00, 0x37, 0xF2}));
  EXPECT_EQ(codecFrame(0xA1, {0x03}), (Bytes{0xAA, 0x55, 0x02, 0x00, 0xA1, 0x03, 0x0C, 0xBB}));
  EXPECT_EQ(codecFrame(0xB5, {0x00, 0x02, 0x01, 0x01}),
            (Bytes{0xAA, 0x55, 0x05, 0x00, 0xB5, 0x00, 0x02, 0x01, 0x01, 0xC6, 0x41}));
  EXPECT_EQ(codecFrame(0x44, {0x00, 0x03}), (Bytes{0xAA, 0x55, 0x03, 0x00, 0x44, 0x00, 0x03, 0xE0, 0x23}));

  // A frame of 520 bytes (L = 514) has its length field low byte first.
  const Bytes big = codecFrame(0xB5, Bytes(513, 0x11));
  ASSERT_EQ(big.size(), 520u);
  EXPECT_EQ(big[2], 0x02);
  EXPECT_EQ(big[3], 0x02);
  EXPECT_TRUE(frame::isValid(big));

  // Nothing that does not fit the largest frame.
  EXPECT_EQ(codecFrame(0x01, Bytes(frame::kMaxLength - 1, 0)).size(), frame::kMaxFrameSize);
  EXPECT_TRUE(codecFrame(0x01, Bytes(frame::kMaxLength, 0)).empty());
}

TEST(FrameCodecTest, SealWritesTheCrcOnlyWhenTheLengthFits) {
  // The identify packet: header AB 5B, zero length, CRC of the length.
  Bytes packet = {0xAB, 0x5B, 0x00, 0x00, 0x12, 0x34};
  EXPECT_EQ(frame::seal(packet), 6u);
  EXPECT_EQ(packet, (Bytes{0xAB, 0x5B, 0x00, 0x00, 0xFF, 0xFF}));

  // The eleven-byte identify request: only its first seven bytes are a frame.
  Bytes request = {0xAA, 0x55, 0x01, 0x00, 0x00, 0, 0, 9, 9, 9, 9};
  EXPECT_EQ(frame::seal(request), 7u);
  EXPECT_EQ(request[5], 0xC8);
  EXPECT_EQ(request[6], 0xCF);
  EXPECT_EQ(request[7], 9);

  // A length field beyond the buffer writes nothing.
  Bytes lying = {0xAA, 0x55, 0x40, 0x00, 0x01, 0x00, 0x00};
  const Bytes before = lying;
  EXPECT_EQ(frame::seal(lying), 0u);
  EXPECT_EQ(lying, before);
  Bytes tiny = {0xAA, 0x55, 0x00};
  EXPECT_EQ(frame::seal(tiny), 0u);
}

TEST(FrameCodecTest, SplitsFramesInto63ByteReports) {
  struct Case {
    size_t size;
    std::vector<uint8_t> counts;
  };
  const Case cases[] = {
      {7, {7}}, {62, {62}}, {63, {63}}, {64, {63, 1}}, {126, {63, 63}}, {521, {63, 63, 63, 63, 63, 63, 63, 63, 17}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes bytes(c.size);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    const auto reports = frame::splitReports(bytes);
    ASSERT_EQ(reports.size(), c.counts.size());
    EXPECT_EQ(frame::reportCount(c.size), c.counts.size());
    Bytes joined;
    for (size_t i = 0; i < reports.size(); ++i) {
      EXPECT_EQ(reports[i][0], c.counts[i]);
      joined.insert(joined.end(), reports[i].begin() + 1, reports[i].begin() + 1 + reports[i][0]);
      for (size_t k = 1u + reports[i][0]; k < frame::kReportSize; ++k) EXPECT_EQ(reports[i][k], 0) << k;
    }
    EXPECT_EQ(joined, bytes);
  }
  EXPECT_TRUE(frame::splitReports({}).empty());

  // A failed write ends the frame: later reports are not offered.
  int calls = 0;
  EXPECT_FALSE(frame::forEachReport(Bytes(200, 1), [&](const frame::Report&) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
}

TEST(FrameCodecTest, ReportPayloadClampsTheCountByte) {
  frame::Report r{};
  r[0] = 200;
  EXPECT_EQ(frame::reportPayload(r).size(), 63u);
  r[0] = 5;
  EXPECT_EQ(frame::reportPayload(r).size(), 5u);
  const Bytes shortReport = {40, 1, 2, 3};
  EXPECT_EQ(frame::reportPayload(shortReport).size(), 3u);
  EXPECT_TRUE(frame::reportPayload(Bytes{7}).empty());
}

// Bytes fed in chunks: the frames delivered (none before the last chunk) and
// what stays queued for the next report.
TEST(FrameCodecTest, ReassemblyDeliversGoodFramesAndKeepsOrDropsTheRest) {
  const Bytes a = codecFrame(0x20, Bytes(159, 0x42));  // 166 bytes, three reports
  const Bytes b = codecFrame(0x34, {0x09});
  const Bytes c = codecFrame(0x16, {0x07});
  Bytes bad = codecFrame(0x16, {0x07});
  bad.back() ^= 0xFF;
  const Bytes largest = codecFrame(0x44, Bytes(frame::kMaxLength - 1, 0xAA));
  const auto reportsOf = [](const Bytes& f) {
    std::vector<Bytes> chunks;
    for (const auto& r : frame::splitReports(f)) {
      const auto p = frame::reportPayload(r);
      chunks.emplace_back(p.begin(), p.end());
    }
    return chunks;
  };
  struct Case {
    const char* what;
    std::vector<Bytes> chunks;
    std::vector<Bytes> frames;
    Bytes queue;
  };
  const Case cases[] = {
      {"one report holding exactly one frame", {b}, {b}, {}},
      {"a frame over three reports", reportsOf(a), {a}, {}},
      {"garbage, then two frames, in one report", {concat({{0x01, 0x55, 0x02}, b, c})}, {b, c}, {}},
      {"a header split right after AA, and after its length", {{0xAA}, {0x55, 0x02}}, {}, {0xAA, 0x55, 0x02}},
      {"the rest of that frame", {{0xAA}, {0x55, 0x02}, Bytes(b.begin() + 3, b.end())}, {b}, {}},
      {"a bad CRC stays", {bad}, {}, bad},
      {"until a good frame takes it along", {bad, b}, {b}, {}},
      {"a queue ending with a lone AA keeps only that byte", {{0x10, 0x20, 0xAA}}, {}, {0xAA}},
      {"no AA at all: emptied", {{0x10, 0x20, 0x55}}, {}, {}},
      {"an incomplete frame cuts the bytes before it", {concat({{1, 2, 3}, Bytes(b.begin(), b.begin() + 5)})}, {},
       Bytes(b.begin(), b.begin() + 5)},
      {"L = 0xFFFF can never complete: the frame behind it still arrives",
       {concat({{0xAA, 0x55, 0xFF, 0xFF, 0x01}, b})}, {b}, {}},
      {"L = 10235 likewise; L = 0 has no command byte",
       {concat({{0xAA, 0x55, 0xFB, 0x27}, {0xAA, 0x55, 0x00, 0x00, 0xFF, 0xFF}, b})}, {b}, {}},
      {"the largest frame", reportsOf(largest), {largest}, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Collector col;
    for (size_t i = 0; i < k.chunks.size(); ++i) {
      EXPECT_TRUE(col.frames.empty()) << "before chunk " << i;
      col.put(k.chunks[i]);
    }
    EXPECT_EQ(col.frames, k.frames);
    EXPECT_EQ(col.r.queue(), k.queue);
  }
}

// AA bytes that never make a header.
TEST(FrameCodecTest, AFloodOfJunkStaysBoundedAndDoesNotStallReception) {
  const Bytes good = codecFrame(0x34, {0x09});
  Collector col;
  Bytes junk(63);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = (i % 2) ? 0xAA : 0x01;
  junk.back() = 0x01;
  for (int i = 0; i < 2000; ++i) {
    col.put(junk);
    ASSERT_LE(col.r.size(), frame::kQueueLimit + junk.size());
  }
  col.put(good);
  EXPECT_EQ(col.frames, std::vector<Bytes>{good});
}

using Reference = testsupport::LiteralReassembler;

TEST(FrameCodecTest, AgreesWithTheLiteralRulesOnRandomStreams) {
  std::mt19937 rng(4501);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    // A stream of good frames, broken frames and garbage...
    Bytes stream;
    const int pieces = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < pieces; ++i) {
      Bytes f = codecFrame(static_cast<uint8_t>(rng()), Bytes(rng() % 180, static_cast<uint8_t>(rng())));
      switch (rng() % 5) {
        case 0: f[rng() % f.size()] ^= static_cast<uint8_t>(1 + rng() % 255); break;  // corrupted
        case 1: f.resize(rng() % f.size()); break;                                      // cut short
        case 2: f.insert(f.begin(), {0xAA, 0x01, 0xAA}); break;                         // leading junk
        default: break;
      }
      stream.insert(stream.end(), f.begin(), f.end());
    }
    // ...cut at random points, as the unit may.
    Reference ref;
    Collector col;
    for (size_t at = 0; at < stream.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 63, stream.size() - at);
      const Bytes chunk(stream.begin() + static_cast<long>(at), stream.begin() + static_cast<long>(at + n));
      at += n;
      ref.put(chunk);
      col.put(chunk);
      ASSERT_EQ(col.frames, ref.frames);
      ASSERT_EQ(col.r.queue(), Bytes(ref.q.begin(), ref.q.end()));
    }
  }
}

}  // namespace
