// Checking firmware images before anything is sent.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>

#include "device/firmware/FirmwareImage.h"
#include "sim/bootloader/TestFirmwareImage.h"

namespace {

void putLE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(FirmwareImage, ReadsHeaderAndChainedSections) {
  auto bytes = sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections());
  ASSERT_EQ(bytes.size(), 4224u);
  std::string error;
  auto image = FirmwareImage::parse(bytes, &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->announceWaitLimit(), 10000u);
  EXPECT_EQ(image->announceReplyType(), 0x03);
  EXPECT_EQ(image->announceValue(), 0x12345678u);
  ASSERT_EQ(image->sectionCount(), 2u);
  const auto& s2 = image->sections()[1];
  EXPECT_EQ(s2.headOffset, 2688u);
  EXPECT_EQ(s2.dataOffset, 3200u);
  EXPECT_EQ(s2.dataLength, 1024u);
  EXPECT_EQ(s2.blockType, 0x06);
  EXPECT_EQ(s2.ackType, 0x07);
  EXPECT_EQ(s2.firstBlock, 0x0100);
  EXPECT_EQ(image->percentBase(), 6u);
  EXPECT_EQ(image->totalBlocks(), 6u);
  EXPECT_EQ(image->data(1)[0], bytes[640]);
  EXPECT_EQ(image->head(2).size(), 512u);
  EXPECT_TRUE(image->head(3).empty());
  EXPECT_TRUE(image->data(0).empty());

  // A wait limit below 10000 steps stands for 100000.
  putLE32(bytes, 32, 9999);
  EXPECT_EQ(FirmwareImage::parse(bytes)->announceWaitLimit(), 100000u);
}

// The good two-section image, changed field by field.
constexpr size_t kHead1 = 128, kData1 = 640, kHead2 = 2688, kData2 = 3200, kImageEnd = 4224;
struct ImageBuilder {
  std::vector<uint8_t> b = sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections());
  ImageBuilder& put(size_t at, uint32_t v) {
    putLE32(b, at, v);
    return *this;
  }
  ImageBuilder& sections(uint8_t n) {
    b[47] = n;
    return *this;
  }
  // The fields of the head at `head` (any offset, the header's too).
  ImageBuilder& position(size_t head, uint32_t v) { return put(head + 9, v); }
  ImageBuilder& next(size_t head, uint32_t v) { return put(head + 13, v); }
  ImageBuilder& length(size_t head, uint32_t v) { return put(head + 17, v); }
  ImageBuilder& ack(size_t head, uint8_t v) {
    b[head + 22] = v;
    return *this;
  }
  // Head 2's fields copied to `at`.
  ImageBuilder& head2At(size_t at) {
    std::copy_n(b.begin() + kHead2, 32, b.begin() + static_cast<std::ptrdiff_t>(at));
    return *this;
  }
  ImageBuilder& size(size_t n) {
    b.resize(n);
    return *this;
  }
};

TEST(FirmwareImage, OnlyImagesThatCanBeSentWholeAreAccepted) {
  using Change = std::function<void(ImageBuilder&)>;
  struct Case {
    const char* what;
    Change change;
    const char* verdict;  // "accepted: ..." or part of the reason for the refusal
  };
  const Case cases[] = {
      {"the good image", [](ImageBuilder&) {}, "accepted: 2 sections, 6 blocks"},
      {"an empty third section",
       [](ImageBuilder& i) {
         i.sections(3).next(kHead2, kImageEnd).size(kImageEnd + 512);
         i.position(kImageEnd, kImageEnd + 512 + 1).length(kImageEnd, 0);
       },
       "accepted: 3 sections, 6 blocks"},
      // An empty section sends no byte: its data may lie in another's, but
      // its position must still lie past the header.
      {"an empty third section in section 1's data",
       [](ImageBuilder& i) {
         i.sections(3).next(kHead2, kImageEnd).size(kImageEnd + 512);
         i.position(kImageEnd, kData1 + 1).length(kImageEnd, 0);
       },
       "accepted: 3 sections, 6 blocks"},
      {"an empty third section in the header",
       [](ImageBuilder& i) {
         i.sections(3).next(kHead2, kImageEnd).size(kImageEnd + 512);
         i.position(kImageEnd, 1).length(kImageEnd, 0);
       },
       "data of section 3 begins in the file header"},
      {"empty", [](ImageBuilder& i) { i.size(0); }, "too short"},
      {"too short for its heads", [](ImageBuilder& i) { i.size(600); }, "too short"},
      {"larger than any image", [](ImageBuilder& i) { i.size(FirmwareImage::kMaxFileSize + 1); }, "too large"},
      {"no section", [](ImageBuilder& i) { i.sections(0); }, "no section"},
      // Chains into the file header: its bytes are no head.
      {"head 2 names no next head (offset 0)", [](ImageBuilder& i) { i.sections(3); },
       "head of section 3 lies in the file header"},
      {"the header holds a well-formed head 3",
       [](ImageBuilder& i) {
         i.sections(3).next(kHead2, 0).size(kImageEnd + 512);
         i.position(0, kImageEnd + 1).length(0, 512).ack(0, 0x09);
       },
       "head of section 3 lies in the file header"},
      {"head 2 at the header's last byte", [](ImageBuilder& i) { i.next(kHead1, kHead1 - 1); },
       "head of section 2 lies in the file header"},
      {"section 2's data in the header", [](ImageBuilder& i) { i.position(kHead2, 1); },
       "data of section 2 begins in the file header"},
      // Past the end.
      {"head 2 runs past the end", [](ImageBuilder& i) { i.next(kHead1, kImageEnd - 511); },
       "head of section 2 lies outside"},
      {"head 2 at the end", [](ImageBuilder& i) { i.next(kHead1, kImageEnd); }, "head of section 2 lies outside"},
      {"head 2 at the largest offset", [](ImageBuilder& i) { i.next(kHead1, 0xFFFFFFFFu); },
       "head of section 2 lies outside"},
      {"section 1's data runs past the end", [](ImageBuilder& i) { i.length(kHead1, 4096); },
       "data of section 1 runs past the end"},
      {"section 2's data one byte past the end", [](ImageBuilder& i) { i.length(kHead2, 1025); },
       "data of section 2 runs past the end"},
      {"the largest length", [](ImageBuilder& i) { i.length(kHead2, 0x7FFFFFFFu); },
       "data of section 2 runs past the end"},
      {"the largest data position", [](ImageBuilder& i) { i.position(kHead2, 0x7FFFFFFFu); },
       "data of section 2 runs past the end"},
      {"no data position", [](ImageBuilder& i) { i.position(kHead2, 0); }, "no valid data position"},
      {"a negative length", [](ImageBuilder& i) { i.length(kHead2, 0x80000000u); }, "negative length"},
      {"length -1", [](ImageBuilder& i) { i.length(kHead2, 0xFFFFFFFFu); }, "negative length"},
      // Loops.
      {"head 2 points back to head 1", [](ImageBuilder& i) { i.next(kHead2, kHead1).sections(3); },
       "loop at section 3"},
      {"head 2 points at itself", [](ImageBuilder& i) { i.next(kHead2, kHead2).sections(255); }, "loop at section 3"},
      // Overlaps: bytes that would be sent as firmware and read as a head, or
      // sent twice.
      {"head 2 inside section 1's data", [](ImageBuilder& i) { i.head2At(kData1 + 1024).next(kHead1, kData1 + 1024); },
       "head of section 2 overlaps the data of section 1"},
      {"head 2 across head 1's end", [](ImageBuilder& i) { i.head2At(kHead1 + 256).next(kHead1, kHead1 + 256); },
       "head of section 2 overlaps the head of section 1"},
      {"section 2's data is head 2", [](ImageBuilder& i) { i.position(kHead2, kHead2 + 1); },
       "data of section 2 overlaps the head of section 2"},
      {"section 2's data is section 1's", [](ImageBuilder& i) { i.position(kHead2, kData1 + 1); },
       "data of section 2 overlaps the data of section 1"},
      {"section 1's data runs into head 2", [](ImageBuilder& i) { i.length(kHead1, 2049); },
       "head of section 2 overlaps the data of section 1"},
      {"no whole block anywhere", [](ImageBuilder& i) { i.length(kHead1, 100).length(kHead2, 511); },
       "no whole 512-byte block"},
      // Answers that could never be told apart from the others.
      {"the announcement answered as the hello", [](ImageBuilder& i) { i.b[42] = 0x01; }, "answer type for packet 02"},
      {"section 1 acknowledged as the hello", [](ImageBuilder& i) { i.ack(kHead1, 0x01); },
       "type of section 1 cannot be told"},
      {"section 2 acknowledged as the announcement", [](ImageBuilder& i) { i.ack(kHead2, 0x03); },
       "type of section 2 cannot be told"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageBuilder image;
    c.change(image);
    std::string verdict;
    const auto parsed = FirmwareImage::parse(std::move(image.b), &verdict);
    if (parsed) {
      verdict = "accepted: " + std::to_string(parsed->sectionCount()) + " sections, " +
                std::to_string(parsed->totalBlocks()) + " blocks";
      EXPECT_GE(parsed->percentBase(), parsed->totalBlocks());
    }
    EXPECT_NE(verdict.find(c.verdict), std::string::npos) << verdict;
  }
}

TEST(FirmwareImage, LoadSaysTrulyWhyAFileCannotBeUsed) {
  const auto dir = std::filesystem::temp_directory_path() / ("qv450-images-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder.qv");
  std::filesystem::create_symlink("/proc/self/mem", dir / "broken.qv");  // its read fails with EIO
  ASSERT_EQ(::mkfifo((dir / "pipe.qv").c_str(), 0600), 0);
  for (auto [name, says] : {std::pair{"missing.qv", "missing.qv was not found"}, {"folder.qv", "is a folder"},
                            {"pipe.qv", "is a named pipe"}, {"broken.qv", "Input/output error"}}) {
    std::string error;
    EXPECT_FALSE(FirmwareImage::load(dir / name, &error)) << name;
    EXPECT_NE(error.find(says), std::string::npos) << name << ": " << error;
    if (std::string_view(name) != "missing.qv") {
      EXPECT_EQ(error.find("not found"), std::string::npos) << error;
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
