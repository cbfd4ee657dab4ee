#include "device/files/Zr_NR.h"

#include <cstring>
#include <filesystem>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace {

// A little-endian word of the file.
uint32_t nrWordAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::string Zr_NR::errorDescription(std::string_view fileName, int code) {
  return "File: " + std::string(fileName) + "\nError:" + std::to_string(code) +
         "\nNR import failed!\nPlease check compatibility of NR  file.\n"
         "If problem reoccurs, please restart the software and try again..";
}

void Zr_NR::OpenFilePath(const std::string& path, fnd::ErrorPtr* error) {
  const std::string fileName = std::filesystem::path(path).filename().string();
  std::string why;
  auto bytes = fnd::files::readAtMost(path, kMaxFileSize, &why);
  if (!bytes) {
    fnd::log("NR file cannot be read: %s", why.c_str());
    if (error) *error = fnd::Error::withDescription(kErrorDomain, kErrorFormat, errorDescription(fileName, kErrorFormat));
    return;
  }
  OpenData(*bytes, fileName, error);
}

void Zr_NR::OpenData(std::span<const uint8_t> bytes, std::string_view fileName, fnd::ErrorPtr* error) {
  int code = 0;
  std::array<uint32_t, kWordCount> words{};
  if (bytes.size() < kMinimumFileSize) {
    // Too short to hold the data words, their sum and the ending: nothing in
    // it could fill the slot.
    code = kErrorFormat;
  } else {
    uint32_t sum = 0;
    for (int i = 0; i < kWordCount; ++i) {
      words[static_cast<size_t>(i)] = nrWordAt(bytes.data() + 4 * i);
      sum += words[static_cast<size_t>(i)];
    }
    const uint32_t checksum = nrWordAt(bytes.data() + 4 * kWordCount);
    if (std::memcmp(bytes.data() + bytes.size() - 3, "2.0", 3) != 0) code = kErrorFormat;
    if (sum != checksum) code = kErrorChecksum;
  }
  if (code != 0) {
    if (error) *error = fnd::Error::withDescription(kErrorDomain, code, errorDescription(fileName, code));
    return;
  }
  databuff = words;
}
