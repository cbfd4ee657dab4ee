// Reader of a user impulse response for one of the cabinet's ten IR slots.
// Two formats are read: the unit's own ("ZarvoIR" at byte 0, 2048 samples of
// 24 bits from byte 512), and RIFF/WAVE with 8, 16, 24 or 32-bit samples at
// 44.1, 48, 88.2 or 96 kHz, which are brought to 24 bits and 44.1 kHz. Every
// point is a 24-bit two's-complement value in the low three bytes of a word.
//
// Use: a new reader per file, OpenFilePath, then GetIRDataBuffer. The reader
// keeps its own copy of the file and never reads outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"

class Zr_IR {
public:
  static constexpr const char* kErrorDomain = "ImportPresetError";
  enum ErrorCode : int {
    kErrorUnreadable = 1000,   // the file cannot be read (missing, a folder, an I/O error)
    kErrorNoMemory = 1001,     // no room for the reader's copy, or larger than kMaxFileSize
    kErrorNoFormat = 1002,     // no (whole) "fmt " chunk
    kErrorNoData = 1003,       // no (whole) "data" chunk, or an own-format file too short
    kErrorNotWave = 1004,      // not RIFF/WAVE, or a WAVE this reader cannot convert
    kErrorName = 1005,         // the file's base name is not printable ASCII
  };

  static constexpr size_t kPointCount = 2048;     // points of the own format
  static constexpr size_t kBlockPoints = 512;     // points per block at 44.1 kHz
  static constexpr uint32_t kMaxBlocks = 4;
  static constexpr size_t kResampledPoints = 1024;
  static constexpr size_t kWorkWords = 4480;      // 4 blocks of 1120 frames (96 kHz)
  static constexpr size_t kOwnHeaderSize = 512;
  static constexpr size_t kOwnFileSize = kOwnHeaderSize + kPointCount * 3;
  // Larger files are no impulse response; they are refused (1001) before or
  // while reading, whatever the file is.
  static constexpr uintmax_t kMaxFileSize = 64u << 20;

  // The result: one point per word, top byte 0.
  std::array<uint32_t, kPointCount> irdatabuff{};
  // 1 for the own format, 0 for WAVE.
  uint8_t isInteralIR = 0;
  bool IsFileOpenSuccess = false;
  uint32_t FileSize = 0;
  // Whole frames in the WAVE "data" chunk (as far as the file holds them).
  uint32_t PointSize = 0;

  // What the WAVE "fmt " chunk says.
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;

  // Checks the base name, reads the file and finds its samples. On failure
  // *error (when given) receives an error of domain "ImportPresetError" with
  // one of the codes above and its text; on success it is not written.
  void OpenFilePath(const std::string& path, fnd::ErrorPtr* error);
  // The same over bytes already read; `baseName` is the file's name without
  // folder and extension.
  void OpenData(std::span<const uint8_t> bytes, std::string_view baseName, fnd::ErrorPtr* error);

  // Fills irdatabuff: the own format's 2048 points whatever n is; a WAVE's
  // n blocks of 512 points at 44.1 kHz (n at most 4), or 1024 resampled
  // points at the other rates. NO when no file is open.
  bool GetIRDataBuffer(uint32_t n);

  // The texts of the errors.
  static std::string errorDescription(int code);

  // The sample rates read, and the frames of one 512-point block at each.
  static bool isSupportedRate(uint32_t rate);
  static uint32_t framesPerBlock(uint32_t rate);

  // One 32-bit float sample as a 24-bit point: beyond +-1.0 it counts as
  // +-0.999999, NaN as 0.
  static uint32_t floatToPoint(float f);

private:
  bool fail(fnd::ErrorPtr* error, int code);
  bool findWave(fnd::ErrorPtr* error);
  uint32_t samplePoint(size_t at) const;
  void resample();

  std::vector<uint8_t> pFileBuff;
  size_t pIRData = 0;      // first sample in the copy
  size_t fmtChunk = 0;     // the "fmt " chunk's id in the copy
  size_t dataChunk = 0;    // the "data" chunk's id in the copy
  bool integerSamples32 = false;
  std::array<uint32_t, kWorkWords> IRPointBuffer{};
};
