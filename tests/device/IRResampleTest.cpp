// The IR resampler against answers worked out apart from this code: a model
// of the conversion (24-bit points to floats, the fixed step per rate, the
// straight-line interpolation, back to points) written in Python, with every
// single-precision operation rounded by itself. These files are built a second
// time with the reader compiled for FMA and free contraction
// (test_ir_contracted): the points must not change with the build's flags.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "device/files/Zr_IR.h"

namespace {

using Bytes = std::vector<uint8_t>;

void putLE(Bytes& b, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A mono 24-bit PCM WAVE file of the given points.
Bytes wave24(uint32_t rate, const std::vector<uint32_t>& points) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0};
  putLE(b, 1, 2), putLE(b, 1, 2), putLE(b, rate, 4), putLE(b, rate * 3, 4), putLE(b, 3, 2), putLE(b, 24, 2);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  putLE(b, points.size() * 3, 4);
  for (uint32_t p : points) putLE(b, p, 3);
  return b;
}

std::vector<uint32_t> resampled(uint32_t rate, const std::vector<uint32_t>& points, uint32_t blocks) {
  Zr_IR ir;
  fnd::ErrorPtr error;
  ir.OpenData(wave24(rate, points), "Known", &error);
  EXPECT_FALSE(error);
  EXPECT_TRUE(ir.GetIRDataBuffer(blocks));
  return std::vector<uint32_t>(ir.irdatabuff.begin(), ir.irdatabuff.begin() + Zr_IR::kResampledPoints);
}

// Full-scale pseudo-random points: x <- 1664525 x + 1013904223 (mod 2^32)
// from 12345, each point the top 24 bits.
std::vector<uint32_t> noise(size_t count) {
  std::vector<uint32_t> out;
  uint32_t x = 12345;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1664525u + 1013904223u;
    out.push_back(x >> 8);
  }
  return out;
}

// FNV-1a over the points' four little-endian bytes each.
uint32_t fnv1a(const std::vector<uint32_t>& words) {
  uint32_t h = 2166136261u;
  for (uint32_t w : words)
    for (int b = 0; b < 4; ++b) h = (h ^ ((w >> (8 * b)) & 0xFFu)) * 16777619u;
  return h;
}

bool contractedBuildCannotRunHere() {
#if defined(QV450_IR_CONTRACTED) && (defined(__x86_64__) || defined(__i386__))
  return !__builtin_cpu_supports("fma");
#else
  return false;
#endif
}

TEST(IRResample, NoiseComesOutPointForPointAtBothRates) {
  if (contractedBuildCannotRunHere()) GTEST_SKIP() << "no FMA on this processor";
  // One block of frames, as an import reads it. The points listed besides
  // the first ones are those that a fused multiply-add moves by one step.
  const std::vector<uint32_t> at48 = resampled(48000, noise(560), 1);
  EXPECT_EQ(fnv1a(at48), 0xdb1caa0cu);
  const std::map<size_t, uint32_t> known48 = {{1, 0xF99259}, {2, 0x8F2E84}, {6, 0xFEDEDA}, {24, 0xBAA4CA},
                                              {36, 0x4276A0}, {54, 0xC91554}, {100, 0x9DB24B}, {511, 0x616ECB}};
  for (auto [k, point] : known48) EXPECT_EQ(at48[k], point) << "48 kHz, point " << k;

  const std::vector<uint32_t> at96 = resampled(96000, noise(1120), 1);
  EXPECT_EQ(fnv1a(at96), 0x52fa2442u);
  const std::map<size_t, uint32_t> known96 = {{1, 0x8F3487}, {2, 0xFB5012}, {10, 0x3F8F59}, {11, 0x4C6E17},
                                              {36, 0x056570}, {69, 0x0497C7}, {100, 0xDA02C0}, {511, 0xEFFC59}};
  for (auto [k, point] : known96) EXPECT_EQ(at96[k], point) << "96 kHz, point " << k;
}

TEST(IRResample, ImpulsesFarFromTheStartLandWhereThe96kHzStepPutsThem) {
  if (contractedBuildCannotRunHere()) GTEST_SKIP() << "no FMA on this processor";
  // Point k lies near frame k x 2.177, so an impulse at frame f shows near
  // point f / 2.177, weighted by how far the point falls from the frame. A
  // step off in its fourth digit (1.178, or 1.1771) moves every one of these.
  std::vector<uint32_t> frames(2240, 0);
  frames[333] = 0x400000, frames[1000] = 0x400000, frames[1777] = 0xC00000, frames[2200] = 0x400000;
  const std::vector<uint32_t> points = resampled(96000, frames, 2);
  const std::map<size_t, uint32_t> expected = {{153, 0x3AD0C8}, {459, 0x0F8DA8}, {816, 0xE45980}, {1011, 0x036398}};
  for (size_t k = 0; k < points.size(); ++k) {
    auto it = expected.find(k);
    ASSERT_EQ(points[k], it == expected.end() ? 0u : it->second) << "point " << k;
  }
}

}  // namespace
