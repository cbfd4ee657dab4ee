#include "device/firmware/FirmwareImage.h"

#include <algorithm>
#include <set>

#include "device/records/DeviceConstants.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace {

// The little-endian 32-bit field of the image at `at`.
uint32_t firmwareU32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

bool refuse(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

// The header's size, section count and answer type for packet 02.
bool firmwareHeaderIsUsable(const std::vector<uint8_t>& b, std::string* error) {
  const size_t size = b.size();
  if (size > FirmwareImage::kMaxFileSize)
    return refuse(error, "the firmware image is too large (" + std::to_string(size) + " bytes)");
  if (size < FirmwareImage::kFirstDataOffset)
    return refuse(error, "the firmware image is too short for its header and first section head (" +
                             std::to_string(size) + " bytes)");
  if (b[47] == 0) return refuse(error, "the firmware image has no section");
  if (b[42] == dev::boot::kReplyHello)
    return refuse(error, "the firmware image's answer type for packet 02 is 01, which is the answer to packet 00");
  return true;
}

// Section n from its head at `h`, its head and data inside the image and its
// acknowledgement told apart from the answers to packets 00 and 02.
std::optional<FirmwareImage::Section> firmwareSection(const std::vector<uint8_t>& b, size_t n, size_t h,
                                                      std::string* error) {
  const size_t size = b.size();
  const std::string which = "section " + std::to_string(n);
  if (h < FirmwareImage::kFirstHeadOffset) {
    refuse(error, "the head of " + which + " lies in the file header (offset " + std::to_string(h) + ")");
    return std::nullopt;
  }
  if (h > size || size - h < FirmwareImage::kHeadSize) {
    refuse(error, "the head of " + which + " lies outside the firmware image (offset " + std::to_string(h) + ")");
    return std::nullopt;
  }
  FirmwareImage::Section s;
  s.headOffset = h;
  const auto length = static_cast<int32_t>(firmwareU32(b, h + 17));
  if (length < 0) {
    refuse(error, which + " of the firmware image has a negative length");
    return std::nullopt;
  }
  s.dataLength = static_cast<size_t>(length);
  if (n == 1) {
    s.dataOffset = FirmwareImage::kFirstDataOffset;
  } else {
    const auto position = static_cast<int32_t>(firmwareU32(b, h + 9));
    if (position < 1) {
      refuse(error, which + " of the firmware image has no valid data position");
      return std::nullopt;
    }
    s.dataOffset = static_cast<size_t>(position) - 1;
    if (s.dataOffset < FirmwareImage::kHeaderSize) {
      refuse(error, "the data of " + which + " begins in the file header (offset " + std::to_string(s.dataOffset) + ")");
      return std::nullopt;
    }
  }
  if (s.dataOffset > size || size - s.dataOffset < s.dataLength) {
    refuse(error, "the data of " + which + " runs past the end of the firmware image");
    return std::nullopt;
  }
  s.blockType = b[h + 21];
  s.ackType = b[h + 22];
  s.firstBlock = static_cast<uint16_t>(b[h + 27] | b[h + 28] << 8);
  if (s.blockCount() > 0 && (s.ackType == dev::boot::kReplyHello || s.ackType == b[42])) {
    refuse(error, "the acknowledgement type of " + which + " cannot be told apart from the answers to packets 00 and 02");
    return std::nullopt;
  }
  return s;
}

// No two of the sections' heads and data share a byte: otherwise bytes of a
// head would be sent as firmware, or firmware read as a head. (Each already
// lies between the header and the end of the image.)
bool firmwareSectionsApart(const std::vector<FirmwareImage::Section>& sections, std::string* error) {
  struct Region {
    size_t begin, end;
    std::string what;
  };
  std::vector<Region> regions;
  for (size_t i = 0; i < sections.size(); ++i) {
    const FirmwareImage::Section& s = sections[i];
    const std::string n = std::to_string(i + 1);
    regions.push_back({s.headOffset, s.headOffset + FirmwareImage::kHeadSize, "the head of section " + n});
    if (s.dataLength > 0) regions.push_back({s.dataOffset, s.dataOffset + s.dataLength, "the data of section " + n});
  }
  // Stable, so that of two regions at one offset a section's head comes
  // before its data and the reason given is always the same.
  std::stable_sort(regions.begin(), regions.end(), [](const Region& a, const Region& b) { return a.begin < b.begin; });
  // The region reaching furthest of those that begin before the next.
  const Region* furthest = nullptr;
  for (const Region& r : regions) {
    if (furthest && r.begin < furthest->end)
      return refuse(error, r.what + " overlaps " + furthest->what + " in the firmware image");
    if (!furthest || r.end > furthest->end) furthest = &r;
  }
  return true;
}

}  // namespace

uint32_t FirmwareImage::u32(size_t at) const { return firmwareU32(bytes_, at); }

uint32_t FirmwareImage::announceWaitLimit() const {
  uint32_t w = u32(32);
  return w < 10000 ? 100000 : w;
}

std::span<const uint8_t> FirmwareImage::head(size_t n) const {
  if (n < 1 || n > sections_.size()) return {};
  return std::span<const uint8_t>(bytes_).subspan(sections_[n - 1].headOffset, kHeadSize);
}

std::span<const uint8_t> FirmwareImage::data(size_t n) const {
  if (n < 1 || n > sections_.size()) return {};
  const Section& s = sections_[n - 1];
  return std::span<const uint8_t>(bytes_).subspan(s.dataOffset, s.dataLength);
}

size_t FirmwareImage::percentBase() const {
  size_t overhead = kHeaderSize + kHeadSize * sections_.size();
  return bytes_.size() > overhead ? (bytes_.size() - overhead) / kBlockSize : 0;
}

size_t FirmwareImage::totalBlocks() const {
  size_t n = 0;
  for (const Section& s : sections_) n += s.blockCount();
  return n;
}

std::optional<FirmwareImage> FirmwareImage::parse(std::vector<uint8_t> bytes, std::string* error) {
  FirmwareImage image(std::move(bytes));
  const std::vector<uint8_t>& b = image.bytes_;
  if (!firmwareHeaderIsUsable(b, error)) return std::nullopt;
  // The heads, chained by offset from the first.
  const size_t count = b[47];
  std::set<size_t> visited;
  size_t headOffset = kFirstHeadOffset;
  for (size_t n = 1; n <= count; ++n) {
    if (!visited.insert(headOffset).second) {
      refuse(error, "the section heads of the firmware image form a loop at section " + std::to_string(n));
      return std::nullopt;
    }
    auto section = firmwareSection(b, n, headOffset, error);
    if (!section) return std::nullopt;
    image.sections_.push_back(*section);
    headOffset = firmwareU32(b, headOffset + 13);
  }
  if (!firmwareSectionsApart(image.sections_, error)) return std::nullopt;
  // Apart, header, heads and data fit in the image, so the percentage's base
  // is at least the number of blocks sent.
  if (image.totalBlocks() == 0) {
    refuse(error, "the firmware image holds no whole 512-byte block");
    return std::nullopt;
  }
  return image;
}

std::optional<FirmwareImage> FirmwareImage::load(const std::filesystem::path& path, std::string* error) {
  std::string readError;
  fnd::files::ReadFailure failure = fnd::files::ReadFailure::none;
  auto bytes = fnd::files::readAtMost(path, kMaxFileSize, &readError, &failure);
  if (bytes) return parse(std::move(*bytes), error);
  const std::string image = "the firmware image " + path.string();
  switch (failure) {
    case fnd::files::ReadFailure::missing: refuse(error, image + " was not found"); break;
    case fnd::files::ReadFailure::tooLarge:
      refuse(error, image + " is too large (more than " + std::to_string(kMaxFileSize) + " bytes)");
      break;
    // A folder, a pipe, a device, an unreadable file: the reader's own words.
    default: refuse(error, "the firmware image cannot be used: " + readError); break;
  }
  return std::nullopt;
}
