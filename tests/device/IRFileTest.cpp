// The IR reader: sample conversions against values worked out by hand, WAVE
// files of every accepted width and rate (constants and impulses whose
// result is known in closed form), the unit's own format, and every refusal
// with its code and text.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/Zr_IR.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

enum Format : uint16_t { kPcm = 1, kFloat = 3, kExtensible = 0xFFFE };

struct Wave {
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint16_t tag = kPcm;
  uint16_t subFormat = kPcm;  // for kExtensible
  Bytes samples;              // the "data" chunk's contents
  Bytes before;               // chunks between "fmt " and "data"
  int64_t declaredData = -1;  // the "data" size field, when not the real size

  Bytes bytes() const {
    Bytes fmt;
    put16(fmt, tag);
    put16(fmt, channels);
    put32(fmt, rate);
    put32(fmt, rate * channels * bits / 8);
    put16(fmt, static_cast<uint16_t>(channels * bits / 8));
    put16(fmt, bits);
    if (tag == kExtensible) {
      put16(fmt, 22);
      put16(fmt, bits);
      put32(fmt, 0);
      put16(fmt, subFormat);
      const uint8_t guidRest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
      fmt.insert(fmt.end(), guidRest, guidRest + 14);
    }
    Bytes b;
    putId(b, "RIFF");
    put32(b, 0);
    putId(b, "WAVE");
    putId(b, "fmt ");
    put32(b, static_cast<uint32_t>(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    b.insert(b.end(), before.begin(), before.end());
    putId(b, "data");
    put32(b, declaredData >= 0 ? static_cast<uint32_t>(declaredData) : static_cast<uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    std::memcpy(&b[4], &riff, 4);
    return b;
  }
};

// One sample in the given width: `v` is the value scaled to the width
// (8 bits unsigned with 128 as zero).
void putSample(Bytes& b, uint16_t bits, int64_t v) {
  for (int i = 0; i < bits / 8; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
}
void putFloat(Bytes& b, float f) {
  uint32_t raw;
  std::memcpy(&raw, &f, 4);
  put32(b, raw);
}

// Half of full scale in each width: 0.5 in every one of them.
void putHalf(Bytes& b, uint16_t bits, uint16_t tag) {
  if (bits == 32 && tag != kPcm) return putFloat(b, 0.5f);
  switch (bits) {
    case 8: return putSample(b, 8, 128 + 64);
    case 16: return putSample(b, 16, 0x4000);
    case 24: return putSample(b, 24, 0x400000);
    default: return putSample(b, 32, 0x40000000);
  }
}

struct Read {
  fnd::ErrorPtr error;
  bool filled = false;
  std::vector<uint32_t> points;
};

Read readBytes(const Bytes& file, uint32_t n = 1, const std::string& name = "Cab") {
  Zr_IR ir;
  Read r;
  ir.OpenData(file, name, &r.error);
  r.filled = ir.GetIRDataBuffer(n);
  r.points.assign(ir.irdatabuff.begin(), ir.irdatabuff.end());
  return r;
}

// The first point of a one-frame mono file holding `sample`.
uint32_t firstPoint(uint16_t bits, uint16_t tag, const Bytes& sample) {
  Wave w;
  w.bits = bits;
  w.tag = tag;
  w.samples = sample;
  Read r = readBytes(w.bytes());
  EXPECT_FALSE(r.error) << r.error->description();
  EXPECT_TRUE(r.filled);
  return r.points[0];
}

uint32_t pointOf8(uint8_t v) { return firstPoint(8, kPcm, {v}); }
uint32_t pointOf16(uint16_t v) { return firstPoint(16, kPcm, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
uint32_t pointOfFloat(float f) {
  Bytes b;
  putFloat(b, f);
  return firstPoint(32, kFloat, b);
}

TEST(IRSamples, EachWidthBecomesA24BitPoint) {
  // 8 bits: unsigned around 128, times 65536.
  EXPECT_EQ(pointOf8(128), 0u);
  EXPECT_EQ(pointOf8(255), 0x7F0000u);
  EXPECT_EQ(pointOf8(0), 0x800000u);
  EXPECT_EQ(pointOf8(127), 0xFF0000u);
  // 16 bits: the sample times 256.
  EXPECT_EQ(pointOf16(0x1234), 0x123400u);
  EXPECT_EQ(pointOf16(0xFFFF), 0xFFFF00u);
  EXPECT_EQ(pointOf16(0x8000), 0x800000u);
  // 24 bits: the three bytes as they are.
  EXPECT_EQ(firstPoint(24, kPcm, {0x01, 0x02, 0x83}), 0x830201u);
  // 32-bit float: +-1.0 count as +-0.999999 (0.99999899 x 2^23 = 8388599.5).
  EXPECT_EQ(pointOfFloat(1.0f), 0x7FFFF7u);
  EXPECT_EQ(pointOfFloat(-1.0f), 0x800009u);
  EXPECT_EQ(pointOfFloat(0.5f), 0x400000u);
  EXPECT_EQ(pointOfFloat(-0.5f), 0xC00000u);
  // Beyond +-1.0 a float is held at full scale instead of wrapping round.
  EXPECT_EQ(pointOfFloat(1.5f), 0x7FFFF7u);
  EXPECT_EQ(pointOfFloat(-8.0f), 0x800009u);
  EXPECT_EQ(pointOfFloat(INFINITY), 0x7FFFF7u);
  EXPECT_EQ(pointOfFloat(NAN), 0u);
  // 32-bit integers are integers: their top 24 bits.
  EXPECT_EQ(firstPoint(32, kPcm, {0x78, 0x56, 0x34, 0x12}), 0x123456u);
  EXPECT_EQ(firstPoint(32, kPcm, {0x00, 0x00, 0x00, 0x80}), 0x800000u);
  // An extensible file says which by its sub-format.
  Wave w;
  w.bits = 32;
  w.tag = kExtensible;
  w.subFormat = kPcm;
  putSample(w.samples, 32, 0x40000000);
  EXPECT_EQ(readBytes(w.bytes()).points[0], 0x400000u);
  w.subFormat = kFloat;
  w.samples.clear();
  putFloat(w.samples, -0.25f);
  EXPECT_EQ(readBytes(w.bytes()).points[0], 0xE00000u);
}

TEST(IRWave, ShortFilesChannelsAndBlocks) {
  // 300 mono frames at 44.1 kHz: points 0..299 from the file, the rest 0.
  Wave w;
  for (int i = 0; i < 300; ++i) putSample(w.samples, 16, i + 1);
  Read r = readBytes(w.bytes());
  ASSERT_TRUE(r.filled);
  for (int i = 0; i < 512; ++i) EXPECT_EQ(r.points[static_cast<size_t>(i)], i < 300 ? uint32_t(i + 1) << 8 : 0u) << i;

  // Stereo: the first channel of each frame.
  Wave s;
  s.channels = 2;
  for (int i = 0; i < 600; ++i) {
    putSample(s.samples, 16, 10 + i);
    putSample(s.samples, 16, -7);
  }
  r = readBytes(s.bytes());
  ASSERT_TRUE(r.filled);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(r.points[static_cast<size_t>(i)], uint32_t(10 + i) << 8) << i;

  // Four channels: silence, and still YES.
  Wave q;
  q.channels = 4;
  for (int i = 0; i < 4 * 600; ++i) putSample(q.samples, 16, 1000);
  r = readBytes(q.bytes());
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.filled);
  EXPECT_EQ(r.points, std::vector<uint32_t>(2048, 0));

  // Two blocks give 1024 points; more than four blocks are four.
  Wave l;
  for (int i = 0; i < 3000; ++i) putSample(l.samples, 16, i + 1);
  r = readBytes(l.bytes(), 2);
  EXPECT_EQ(r.points[1023], 1024u << 8);
  EXPECT_EQ(r.points[1024], 0u);
  r = readBytes(l.bytes(), 99);
  EXPECT_TRUE(r.filled);
  EXPECT_EQ(r.points[2047], 2048u << 8);

  // A "data" chunk that claims more than the file holds gives what is there.
  Wave t;
  for (int i = 0; i < 10; ++i) putSample(t.samples, 16, 5);
  t.declaredData = 100000;
  r = readBytes(t.bytes());
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.points[9], 5u << 8);
  EXPECT_EQ(r.points[10], 0u);
}

TEST(IRWave, EveryWidthAtEveryRateKeepsAConstant) {
  // Straight-line interpolation between equal neighbours gives the same
  // value back exactly, so half scale stays 0x400000 through every path.
  for (uint32_t rate : {44100u, 48000u, 88200u, 96000u}) {
    for (auto [bits, tag] : {std::pair<uint16_t, uint16_t>{8, kPcm}, {16, kPcm}, {24, kPcm}, {32, kPcm}, {32, kFloat}}) {
      Wave w;
      w.rate = rate;
      w.bits = bits;
      w.tag = tag;
      for (int i = 0; i < 2300; ++i) putHalf(w.samples, bits, tag);
      Read r = readBytes(w.bytes());
      ASSERT_FALSE(r.error) << rate << " " << bits;
      ASSERT_TRUE(r.filled) << rate << " " << bits;
      for (size_t k = 0; k < 512; ++k)
        ASSERT_EQ(r.points[k], 0x400000u) << rate << " Hz, " << bits << " bits, point " << k;
    }
  }
}

TEST(IRWave, ResamplingPlacesImpulsesWhereTheStepsSay) {
  // 88.2 kHz: a step of exactly 1, so point k is frame 2k unchanged, except
  // that full-scale negative becomes -0.999999.
  Wave w;
  w.rate = 88200;
  w.bits = 24;
  for (int i = 0; i < 1200; ++i) putSample(w.samples, 24, i % 2 == 0 ? (i * 977) % 0x7FFFFF : 0x123456);
  // Frame 40 is full-scale negative.
  w.samples[40 * 3] = 0x00, w.samples[40 * 3 + 1] = 0x00, w.samples[40 * 3 + 2] = 0x80;
  Read r = readBytes(w.bytes());
  ASSERT_TRUE(r.filled);
  for (size_t k = 0; k < 512; ++k) {
    const uint32_t expected = k == 20 ? 0x800009u : static_cast<uint32_t>((2 * k * 977) % 0x7FFFFF);
    ASSERT_EQ(r.points[k], expected) << k;
  }

  // 48 kHz: point 1 lies at input position 1.088, between frame 1 (0.5) and
  // frame 2 (0). 0.088f is 11811160 x 2^-27, so 0.5 - 0.5 x 0.088f is exactly
  // 15300821 x 2^-25, which is 3825205.25 x 2^-23: point 3825205.
  Wave i48;
  i48.rate = 48000;
  i48.bits = 24;
  for (int i = 0; i < 1200; ++i) putSample(i48.samples, 24, i == 1 ? 0x400000 : 0);
  r = readBytes(i48.bytes());
  ASSERT_TRUE(r.filled);
  EXPECT_EQ(r.points[0], 0u);
  EXPECT_EQ(r.points[1], 3825205u);
  for (size_t k = 2; k < 1024; ++k) ASSERT_EQ(r.points[k], 0u) << k;

  // 96 kHz: point k near input position k x 2.177; an impulse at frame 0
  // is point 0 alone.
  Wave i96;
  i96.rate = 96000;
  i96.bits = 16;
  for (int i = 0; i < 2300; ++i) putSample(i96.samples, 16, i == 0 ? -0x4000 : 0);
  r = readBytes(i96.bytes());
  EXPECT_EQ(r.points[0], 0xC00000u);
  for (size_t k = 1; k < 1024; ++k) ASSERT_EQ(r.points[k], 0u) << k;
}

TEST(IRWave, ChunksAreFoundByTheirSizesNotByTextInsideOthers) {
  // A LIST chunk whose text holds "data" comes before the real data chunk.
  Wave w;
  w.before = {'L', 'I', 'S', 'T', 12, 0, 0, 0, 'm', 'e', 't', 'a', 'd', 'a', 't', 'a', 1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) putSample(w.samples, 16, 0x100 * (i + 1));
  Read r = readBytes(w.bytes());
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.points[0], 0x10000u);
  EXPECT_EQ(r.points[3], 0x40000u);
}

TEST(IRFile, TheOwnFormatGivesItsStoredPoints) {
  Bytes own(Zr_IR::kOwnFileSize, 0xEE);
  std::memcpy(own.data(), "ZarvoIR", 7);
  for (size_t k = 0; k < 2048; ++k) {
    own[512 + 3 * k] = static_cast<uint8_t>(k);
    own[512 + 3 * k + 1] = static_cast<uint8_t>(k >> 8);
    own[512 + 3 * k + 2] = k == 2047 ? 0x80 : 0x00;
  }
  for (uint32_t n : {0u, 1u, 4u}) {
    Read r = readBytes(own, n);
    ASSERT_TRUE(r.filled);
    EXPECT_EQ(r.points[0], 0u);
    EXPECT_EQ(r.points[300], 300u);
    EXPECT_EQ(r.points[2047], 0x8007FFu);
  }
  own.pop_back();
  Read r = readBytes(own);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code(), Zr_IR::kErrorNoData);
  EXPECT_FALSE(r.filled);
}

int64_t codeOf(const Bytes& file, const std::string& name = "Cab") {
  Read r = readBytes(file, 1, name);
  if (r.error) {
    EXPECT_FALSE(r.filled);
  }
  return r.error ? r.error->code() : 0;
}

TEST(IRFile, RefusalsHaveTheirCodesAndTexts) {
  Wave good;
  for (int i = 0; i < 600; ++i) putSample(good.samples, 16, 1);
  const Bytes wav = good.bytes();
  EXPECT_EQ(codeOf(wav), 0);

  // No "fmt " anywhere: 1002, even without "RIFF" (and for a 3-byte file).
  EXPECT_EQ(codeOf(Bytes{'a', 'b', 'c'}), Zr_IR::kErrorNoFormat);
  EXPECT_EQ(codeOf(Bytes(5000, 0x11)), Zr_IR::kErrorNoFormat);
  EXPECT_EQ(codeOf(Bytes{}), Zr_IR::kErrorNoFormat);
  // "fmt " but no "data": 1003.
  Bytes noData(wav.begin(), wav.begin() + 36);
  EXPECT_EQ(codeOf(noData), Zr_IR::kErrorNoData);
  // Both, but not RIFF/WAVE: 1004.
  Bytes notRiff = wav;
  notRiff[0] = 'X';
  EXPECT_EQ(codeOf(notRiff), Zr_IR::kErrorNotWave);
  Bytes notWave = wav;
  notWave[8] = 'A';
  EXPECT_EQ(codeOf(notWave), Zr_IR::kErrorNotWave);
  // A "fmt " chunk cut before its fields, a "data" header cut short.
  Bytes cutFmt = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 'f', 'm', 't', ' ', 16, 0};
  EXPECT_EQ(codeOf(cutFmt), Zr_IR::kErrorNoFormat);
  Bytes cutData(wav.begin(), wav.begin() + 42);
  EXPECT_EQ(codeOf(cutData), Zr_IR::kErrorNoData);

  // What cannot be converted is refused with a code at once: another rate,
  // no channels, a width other than 8, 16, 24 or 32 bits.
  Wave slow = good;
  slow.rate = 22050;
  EXPECT_EQ(codeOf(slow.bytes()), Zr_IR::kErrorNotWave);
  Wave none = good;
  none.channels = 0;
  EXPECT_EQ(codeOf(none.bytes()), Zr_IR::kErrorNotWave);
  Wave odd = good;
  odd.bits = 12;
  EXPECT_EQ(codeOf(odd.bytes()), Zr_IR::kErrorNotWave);
  Wave tiny = good;
  tiny.channels = 4;
  tiny.bits = 4;
  EXPECT_EQ(codeOf(tiny.bytes()), Zr_IR::kErrorNotWave);

  // The name is judged first: printable ASCII only.
  EXPECT_EQ(codeOf(wav, "Caf\xC3\xA9"), Zr_IR::kErrorName);
  EXPECT_EQ(codeOf(wav, "Tab\there"), Zr_IR::kErrorName);
  EXPECT_EQ(codeOf(wav, "My_IR (2) ~"), 0);

  Read r = readBytes(Bytes{'x'});
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->domain(), "ImportPresetError");
  EXPECT_EQ(r.error->localizedDescription(),
            " error: 1002. \nIR import failed!\nPlease restart the software and try again.\n"
            "If problem reoccurs, please check compatibility of IR file.\xC2\xA0\xC2\xA0");
  r = readBytes(wav, 1, "\xC3\xA9");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->localizedDescription(),
            "Error: 1005.\nWrong file name format!\xC2\xA0\xE2\x80\xA8Please check compatibility of file name.");
}

TEST(IRFile, OpeningByPath) {
  TempFolder tmp;
  Wave w;
  for (int i = 0; i < 600; ++i) putSample(w.samples, 16, 2);
  TempFolder::write(tmp / "Room 1.wav", w.bytes());
  Zr_IR ir;
  fnd::ErrorPtr error;
  ir.OpenFilePath((tmp / "Room 1.wav").string(), &error);
  EXPECT_FALSE(error);
  EXPECT_TRUE(ir.GetIRDataBuffer(1));
  EXPECT_EQ(ir.irdatabuff[511], 0x200u);

  // A bad name is refused before the file is looked at: 1005, not 1000.
  Zr_IR named;
  named.OpenFilePath((tmp / "R\xC3\xBCm.wav").string(), &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), Zr_IR::kErrorName);
  Zr_IR missing;
  missing.OpenFilePath((tmp / "Missing.wav").string(), &error);
  EXPECT_EQ(error->code(), Zr_IR::kErrorUnreadable);
  EXPECT_FALSE(missing.GetIRDataBuffer(1));
}

}  // namespace
