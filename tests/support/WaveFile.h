// Test files: a mono 16-bit 44.1 kHz WAVE file with the samples given, and
// little-endian stores into a byte buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace test_files {

inline void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> monoWave(size_t samples, const std::function<int16_t(size_t)>& sample) {
  const auto dataSize = static_cast<uint32_t>(samples * 2);
  std::vector<uint8_t> b(44 + dataSize, 0);
  std::memcpy(&b[0], "RIFF", 4);
  put32(b, 4, 36 + dataSize);
  std::memcpy(&b[8], "WAVEfmt ", 8);
  put32(b, 16, 16);
  put16(b, 20, 1);
  put16(b, 22, 1);
  put32(b, 24, 44100);
  put32(b, 28, 44100 * 2);
  put16(b, 32, 2);
  put16(b, 34, 16);
  std::memcpy(&b[36], "data", 4);
  put32(b, 40, dataSize);
  for (size_t j = 0; j < samples; ++j) put16(b, 44 + 2 * j, static_cast<uint16_t>(sample(j)));
  return b;
}

}  // namespace test_files
