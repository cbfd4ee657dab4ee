// The IR reader: sample conversions against values worked out by hand, WAVE
// files of every accepted width and rate (constants and impulses whose
// result is known in closed form), the unit's own format, and the refusals
// with their codes and texts.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/files/Zr_IR.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put(Bytes& b, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putFloat(Bytes& b, float f) {
  uint32_t raw;
  std::memcpy(&raw, &f, 4);
  put(b, raw, 4);
}

enum : uint16_t { kPcm = 1, kFloat = 3, kExtensible = 0xFFFE };

struct Wave {
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint16_t tag = kPcm;
  uint16_t subFormat = kPcm;  // of an extensible file
  Bytes samples;              // the "data" chunk's contents
  Bytes before;               // chunks between "fmt " and "data"
  int64_t declared = -1;      // the "data" size field, when not the real size

  void sample(int64_t v) { put(samples, static_cast<uint64_t>(v), bits / 8); }

  Bytes bytes() const {
    Bytes fmt;
    put(fmt, tag, 2);
    put(fmt, channels, 2);
    put(fmt, rate, 4);
    put(fmt, rate * channels * bits / 8, 4);
    put(fmt, channels * bits / 8, 2);
    put(fmt, bits, 2);
    if (tag == kExtensible) {
      put(fmt, 22, 2), put(fmt, bits, 2), put(fmt, 0, 4), put(fmt, subFormat, 2);
      fmt.resize(fmt.size() + 14, 0);
    }
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    put(b, fmt.size(), 4);
    b.insert(b.end(), fmt.begin(), fmt.end());
    b.insert(b.end(), before.begin(), before.end());
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, declared >= 0 ? static_cast<uint64_t>(declared) : samples.size(), 4);
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
  }
};

struct Read {
  fnd::ErrorPtr error;
  bool filled = false;
  std::vector<uint32_t> points;
};

Read read(const Bytes& file, uint32_t n = 1, const std::string& name = "Cab") {
  Zr_IR ir;
  Read r;
  ir.OpenData(file, name, &r.error);
  r.filled = ir.GetIRDataBuffer(n);
  EXPECT_TRUE(!r.error || !r.filled);
  r.points.assign(ir.irdatabuff.begin(), ir.irdatabuff.end());
  return r;
}

uint32_t firstPoint(uint16_t bits, uint16_t tag, Bytes sample) {
  Wave w;
  w.bits = bits;
  w.tag = tag;
  w.samples = std::move(sample);
  Read r = read(w.bytes());
  EXPECT_TRUE(r.filled);
  return r.points[0];
}
uint32_t fromFloat(float f) {
  Bytes b;
  putFloat(b, f);
  return firstPoint(32, kFloat, b);
}

TEST(IRSamples, EachWidthBecomesA24BitPoint) {
  // 8 bits: unsigned around 128, times 65536.
  EXPECT_EQ(firstPoint(8, kPcm, {128}), 0u);
  EXPECT_EQ(firstPoint(8, kPcm, {255}), 0x7F0000u);
  EXPECT_EQ(firstPoint(8, kPcm, {0}), 0x800000u);
  // 16 bits: times 256; 24 bits: as they are.
  EXPECT_EQ(firstPoint(16, kPcm, {0x34, 0x12}), 0x123400u);
  EXPECT_EQ(firstPoint(16, kPcm, {0xFF, 0xFF}), 0xFFFF00u);
  EXPECT_EQ(firstPoint(24, kPcm, {0x01, 0x02, 0x83}), 0x830201u);
  // Float: +-1.0 count as +-0.999999 (0.99999899 x 2^23 = 8388599.5).
  EXPECT_EQ(fromFloat(1.0f), 0x7FFFF7u);
  EXPECT_EQ(fromFloat(-1.0f), 0x800009u);
  EXPECT_EQ(fromFloat(-0.5f), 0xC00000u);
  // Beyond +-1.0 a float is held at full scale instead of wrapping round.
  EXPECT_EQ(fromFloat(1.5f), 0x7FFFF7u);
  EXPECT_EQ(fromFloat(-8.0f), 0x800009u);
  EXPECT_EQ(fromFloat(NAN), 0u);
  // 32-bit integers are integers: their top 24 bits.
  EXPECT_EQ(firstPoint(32, kPcm, {0x78, 0x56, 0x34, 0x12}), 0x123456u);
  // An extensible file says which by its sub-format.
  Wave w;
  w.bits = 32;
  w.tag = kExtensible;
  w.sample(0x40000000);
  EXPECT_EQ(read(w.bytes()).points[0], 0x400000u);
  w.subFormat = kFloat;
  w.samples.clear();
  putFloat(w.samples, -0.25f);
  EXPECT_EQ(read(w.bytes()).points[0], 0xE00000u);
}

TEST(IRWave, FramesChannelsAndBlocks) {
  // 300 mono frames at 44.1 kHz: points 0..299 from the file, the rest 0.
  Wave w;
  for (int i = 0; i < 300; ++i) w.sample(i + 1);
  Read r = read(w.bytes());
  for (size_t i = 0; i < 512; ++i) ASSERT_EQ(r.points[i], i < 300 ? uint32_t(i + 1) << 8 : 0u) << i;
  // Stereo: the first channel of each frame. Four channels: 512 silent
  // points, and YES.
  Wave s;
  s.channels = 2;
  for (int i = 0; i < 600; ++i) s.sample(10 + i), s.sample(-7);
  r = read(s.bytes());
  for (size_t i = 0; i < 512; ++i) ASSERT_EQ(r.points[i], uint32_t(10 + i) << 8) << i;
  s.channels = 4;
  r = read(s.bytes());
  EXPECT_TRUE(r.filled);
  EXPECT_EQ(r.points, std::vector<uint32_t>(2048, 0));
  // Two blocks are 1024 points; more than four blocks are four.
  Wave l;
  for (int i = 0; i < 3000; ++i) l.sample(i + 1);
  r = read(l.bytes(), 2);
  EXPECT_EQ(r.points[1023], 1024u << 8);
  EXPECT_EQ(r.points[1024], 0u);
  EXPECT_EQ(read(l.bytes(), 99).points[2047], 2048u << 8);
  // A "data" chunk that claims more than the file holds gives what is there.
  Wave t;
  for (int i = 0; i < 10; ++i) t.sample(5);
  t.declared = 100000;
  r = read(t.bytes());
  EXPECT_EQ(r.points[9], 5u << 8);
  EXPECT_EQ(r.points[10], 0u);
  // A LIST chunk whose text holds "data" is not taken for the samples.
  Wave list;
  list.before = {'L', 'I', 'S', 'T', 8, 0, 0, 0, 'm', 'e', 't', 'a', 'd', 'a', 't', 'a'};
  list.sample(0x100);
  EXPECT_EQ(read(list.bytes()).points[0], 0x10000u);
}

TEST(IRWave, EveryWidthAtEveryRateKeepsAConstant) {
  // Interpolating between equal neighbours gives the value back exactly, so
  // half scale stays 0x400000 through every path.
  const std::pair<uint16_t, uint16_t> widths[] = {{8, kPcm}, {16, kPcm}, {24, kPcm}, {32, kPcm}, {32, kFloat}};
  for (uint32_t rate : {44100u, 48000u, 88200u, 96000u}) {
    for (auto [bits, tag] : widths) {
      Wave w;
      w.rate = rate, w.bits = bits, w.tag = tag;
      for (int i = 0; i < 2300; ++i) {
        if (tag == kFloat) putFloat(w.samples, 0.5f);
        else w.sample(bits == 8 ? 192 : int64_t{1} << (bits - 2));
      }
      Read r = read(w.bytes());
      ASSERT_TRUE(r.filled) << rate << " Hz, " << bits << " bits";
      for (size_t k = 0; k < 512; ++k) ASSERT_EQ(r.points[k], 0x400000u) << rate << " Hz, " << bits << " bits, " << k;
    }
  }
}

TEST(IRWave, ResamplingPlacesImpulsesWhereTheStepsSay) {
  // 88.2 kHz: a step of exactly 1, so point k is frame 2k unchanged, except
  // that full-scale negative becomes -0.999999.
  Wave w;
  w.rate = 88200, w.bits = 24;
  for (int i = 0; i < 1200; ++i) w.sample(i == 40 ? 0x800000 : i % 2 == 0 ? i * 977 : 0x123456);
  Read r = read(w.bytes());
  for (size_t k = 0; k < 512; ++k) ASSERT_EQ(r.points[k], k == 20 ? 0x800009u : uint32_t(2 * k * 977)) << k;
  // 48 kHz: point 1 lies at 1.088, between frame 1 (0.5) and frame 2 (0).
  // 0.088f is 11811160 x 2^-27, so 0.5 - 0.5 x 0.088f is exactly
  // 15300821 x 2^-25 = 3825205.25 x 2^-23: point 3825205.
  Wave i48;
  i48.rate = 48000, i48.bits = 24;
  for (int i = 0; i < 1200; ++i) i48.sample(i == 1 ? 0x400000 : 0);
  r = read(i48.bytes());
  EXPECT_EQ(r.points[0], 0u);
  EXPECT_EQ(r.points[1], 3825205u);
  for (size_t k = 2; k < 1024; ++k) ASSERT_EQ(r.points[k], 0u) << k;
  // 96 kHz: an impulse at frame 0 is point 0 alone.
  Wave i96;
  i96.rate = 96000;
  for (int i = 0; i < 2300; ++i) i96.sample(i == 0 ? -0x4000 : 0);
  r = read(i96.bytes());
  EXPECT_EQ(r.points[0], 0xC00000u);
  for (size_t k = 1; k < 1024; ++k) ASSERT_EQ(r.points[k], 0u) << k;
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
    Read r = read(own, n);
    EXPECT_EQ(r.points[300], 300u);
    EXPECT_EQ(r.points[2047], 0x8007FFu);
  }
  own.pop_back();
  EXPECT_EQ(read(own).error->code(), Zr_IR::kErrorNoData);
}

TEST(IRFile, RefusalsHaveTheirCodesAndTexts) {
  Wave good;
  for (int i = 0; i < 600; ++i) good.sample(1);
  const Bytes wav = good.bytes();
  auto code = [](const Bytes& file, const std::string& name = "Cab") {
    Read r = read(file, 1, name);
    return r.error ? r.error->code() : 0;
  };
  EXPECT_EQ(code(wav), 0);
  // No "fmt ": 1002, even without "RIFF"; no "data": 1003; both but not
  // RIFF/WAVE: 1004. Chunks cut short count as missing.
  EXPECT_EQ(code(Bytes{'a', 'b', 'c'}), Zr_IR::kErrorNoFormat);
  EXPECT_EQ(code(Bytes(5000, 0x11)), Zr_IR::kErrorNoFormat);
  EXPECT_EQ(code(Bytes(wav.begin(), wav.begin() + 36)), Zr_IR::kErrorNoData);
  Bytes notRiff = wav;
  notRiff[0] = 'X';
  EXPECT_EQ(code(notRiff), Zr_IR::kErrorNotWave);
  EXPECT_EQ(code({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 'f', 'm', 't', ' ', 16}),
            Zr_IR::kErrorNoFormat);
  EXPECT_EQ(code(Bytes(wav.begin(), wav.begin() + 42)), Zr_IR::kErrorNoData);
  // What cannot be converted is refused at once, with a code: another rate,
  // no channels, a width other than 8, 16, 24 or 32 bits.
  for (auto change : {+[](Wave& w) { w.rate = 22050; }, +[](Wave& w) { w.channels = 0; },
                      +[](Wave& w) { w.bits = 12; }, +[](Wave& w) { w.channels = 4, w.bits = 4; }}) {
    Wave w = good;
    change(w);
    EXPECT_EQ(code(w.bytes()), Zr_IR::kErrorNotWave);
  }
  // The name: printable ASCII only.
  EXPECT_EQ(code(wav, "Caf\xC3\xA9"), Zr_IR::kErrorName);
  EXPECT_EQ(code(wav, "My_IR (2) ~"), 0);

  Read r = read(Bytes{'x'});
  EXPECT_EQ(r.error->domain(), "ImportPresetError");
  EXPECT_EQ(r.error->localizedDescription(),
            " error: 1002. \nIR import failed!\nPlease restart the software and try again.\n"
            "If problem reoccurs, please check compatibility of IR file.\xC2\xA0\xC2\xA0");
  EXPECT_EQ(read(wav, 1, "\xC3\xA9").error->localizedDescription(),
            "Error: 1005.\nWrong file name format!\xC2\xA0\xE2\x80\xA8Please check compatibility of file name.");

  // By path: the name is judged before the file is looked for.
  TempFolder tmp;
  TempFolder::write(tmp / "Room 1.wav", wav);
  TempFolder::write(tmp / "Huge.wav", wav);
  std::filesystem::resize_file(tmp / "Huge.wav", Zr_IR::kMaxFileSize + 1);
  // A folder, a read that fails (EIO) and a device cannot be read.
  std::filesystem::create_directories(tmp / "Folder.wav");
  std::filesystem::create_symlink("/proc/self/mem", tmp / "Broken.wav");
  std::filesystem::create_symlink("/dev/zero", tmp / "Endless.wav");
  for (auto [name, expected] : {std::pair{"Room 1.wav", 0}, {"R\xC3\xBCm.wav", 1005}, {"Missing.wav", 1000},
                                {"Huge.wav", 1001}, {"Folder.wav", 1000}, {"Broken.wav", 1000},
                                {"Endless.wav", 1000}}) {
    Zr_IR ir;
    fnd::ErrorPtr error;
    ir.OpenFilePath((tmp / name).string(), &error);
    EXPECT_EQ(error ? error->code() : 0, expected) << name;
    EXPECT_EQ(ir.GetIRDataBuffer(1), expected == 0);
  }
}

}  // namespace
