// The NR reader over arbitrary file contents: it never reads outside the
// file, and it accepts exactly the files whose 512 words sum to the stored
// checksum and that end in "2.0".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "device/files/Zr_NR.h"
#include "platform/foundation/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals are logged; millions of them are only noise here.
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenData(std::span<const uint8_t>(data, size), "fuzz.amp", &error);
  bool good = size >= Zr_NR::kMinimumFileSize && std::memcmp(data + size - 3, "2.0", 3) == 0;
  if (good) {
    uint32_t sum = 0, stored;
    for (int i = 0; i < 512; ++i) {
      uint32_t w;
      std::memcpy(&w, data + 4 * i, 4);
      sum += w;
    }
    std::memcpy(&stored, data + 2048, 4);
    good = sum == stored;
  }
  if (good == static_cast<bool>(error)) std::abort();
  if (good && std::memcmp(nr.databuff.data(), data, 2048) != 0) std::abort();
  return 0;
}
