// The firmware image check over arbitrary file contents: it never reads
// outside the file, and an image it accepts describes only whole blocks that
// lie inside the file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/firmware/FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto image = FirmwareImage::parse(std::vector<uint8_t>(data, data + size), &error);
  if (!image) {
    if (error.empty()) std::abort();  // every refusal says why
    return 0;
  }
  if (image->sectionCount() == 0 || image->percentBase() == 0) std::abort();
  size_t blocks = 0;
  for (size_t n = 1; n <= image->sectionCount(); ++n) {
    auto head = image->head(n);
    auto body = image->data(n);
    if (head.size() != FirmwareImage::kHeadSize) std::abort();
    if (body.data() < image->bytes().data() || body.data() + body.size() > image->bytes().data() + size) std::abort();
    blocks += body.size() / FirmwareImage::kBlockSize;
  }
  if (blocks != image->totalBlocks()) std::abort();
  return 0;
}
