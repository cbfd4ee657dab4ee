// A firmware image file ("qv"), checked as a whole before anything is sent.
//
// Layout (little-endian): a 128-byte header, then 512-byte section heads
// chained by file offset, each followed somewhere by its section's data.
//
//   header  32 u32  wait limit for the answer to packet 02, in 1 ms steps
//                   (below 10000 means 100000)
//           42 u8   type of the unit's answer to packet 02
//           47 u8   number of sections N
//           48 u32  value whose low byte packet 02 carries
//   head     9 i32  sections 2..N: data starts at file offset (value - 1)
//           13 u32  file offset of the next section's head
//           17 i32  data length in bytes
//           21 u8   type byte of this section's block packets
//           22 u8   type of the unit's acknowledgement of a block
//           27 u16  number of the section's first block
//
// Head 1 is at offset 128 and section 1's data right after it, at 640.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

class FirmwareImage {
public:
  static constexpr size_t kHeaderSize = 128;
  static constexpr size_t kHeadSize = 512;
  static constexpr size_t kBlockSize = 512;
  static constexpr size_t kFirstHeadOffset = kHeaderSize;
  static constexpr size_t kFirstDataOffset = kHeaderSize + kHeadSize;
  // Block numbers are 16-bit, so no real section comes near this.
  static constexpr size_t kMaxFileSize = 64u << 20;

  struct Section {
    size_t headOffset = 0;
    size_t dataOffset = 0;
    size_t dataLength = 0;
    uint8_t blockType = 0;
    uint8_t ackType = 0;
    uint16_t firstBlock = 0;
    // Only whole 512-byte blocks are sent.
    size_t blockCount() const { return dataLength / kBlockSize; }
  };

  // Checks the whole image: the header inside the file, every head and every
  // section's data between the header and the end of the file, no head
  // visited twice, no two heads or data sharing a byte, at least one block,
  // reply types the unit's answers can be told apart by. On failure gives
  // nullopt and a message saying what is wrong.
  static std::optional<FirmwareImage> parse(std::vector<uint8_t> bytes, std::string* error = nullptr);
  static std::optional<FirmwareImage> load(const std::filesystem::path& path, std::string* error = nullptr);

  // Header fields.
  uint32_t announceWaitLimit() const;  // W, with the below-10000 rule applied
  uint8_t announceReplyType() const { return bytes_[42]; }
  uint32_t announceValue() const { return u32(48); }
  size_t sectionCount() const { return sections_.size(); }

  // Sections 1..N.
  const std::vector<Section>& sections() const { return sections_; }
  std::span<const uint8_t> head(size_t n) const;  // empty outside 1..N
  std::span<const uint8_t> data(size_t n) const;  // empty outside 1..N
  // The block count the percentage is reckoned against:
  // (file size - 512 x N - 128) / 512.
  size_t percentBase() const;
  size_t totalBlocks() const;
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
  explicit FirmwareImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint32_t u32(size_t at) const;

  std::vector<uint8_t> bytes_;
  std::vector<Section> sections_;
};
