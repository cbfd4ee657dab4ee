// The IR reader over arbitrary file contents: it never reads outside the
// file, and every point it gives is a 24-bit value with a clear top byte.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/files/Zr_IR.h"
#include "platform/foundation/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals are logged; millions of them are only noise here.
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  for (uint32_t n : {1u, 4u, 9u}) {
    Zr_IR ir;
    fnd::ErrorPtr error;
    ir.OpenData(std::span<const uint8_t>(data, size), "Fuzz IR", &error);
    const bool filled = ir.GetIRDataBuffer(n);
    if (error && (filled || ir.IsFileOpenSuccess)) std::abort();
    if (error && (error->code() < 1000 || error->code() > 1005)) std::abort();
    for (uint32_t w : ir.irdatabuff)
      if (w > 0xFFFFFFu) std::abort();
  }
  return 0;
}
