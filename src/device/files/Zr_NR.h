// Reader of a user NR file for one of the amplifier's ten NR slots: 512 data
// words (unsigned 32-bit little-endian), their 32-bit sum, and the file ends
// in "2.0". A new reader is made for each file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

class Zr_NR {
public:
  static constexpr const char* kErrorDomain = "ImportPresetError";
  static constexpr int kWordCount = 512;
  // Data words, checksum word, "2.0".
  static constexpr size_t kMinimumFileSize = kWordCount * 4 + 4 + 3;
  // The checksum does not match the data words (wins over a wrong ending).
  static constexpr int kErrorChecksum = 1005;
  // The file does not end in "2.0", is too short, cannot be read, or is
  // larger than kMaxFileSize.
  static constexpr int kErrorFormat = 1004;
  // Real NR files are 2055 bytes; bytes between the checksum and the ending
  // are allowed, but not without bound.
  static constexpr uint64_t kMaxFileSize = 1u << 20;

  // The file's data words after a successful read, 0 until then.
  std::array<uint32_t, kWordCount> databuff{};

  // Reads and checks the file. On failure *error (when given) receives an
  // error of domain "ImportPresetError", code 1004 or 1005, and databuff is
  // left as it was; on success *error is not written.
  void OpenFilePath(const std::string& path, fnd::ErrorPtr* error);
  // The same over the file's bytes; `fileName` is the name shown in the
  // error's text (the last path component, extension included).
  void OpenData(std::span<const uint8_t> bytes, std::string_view fileName, fnd::ErrorPtr* error);

  // The error's text for a file name and a code.
  static std::string errorDescription(std::string_view fileName, int code);
};
