// Checking firmware images before anything is sent.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "device/firmware/FirmwareImage.h"
#include "sim/bootloader/TestFirmwareImage.h"

namespace {

void putLE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

std::string rejection(std::vector<uint8_t> bytes) {
  std::string error;
  auto image = FirmwareImage::parse(std::move(bytes), &error);
  EXPECT_FALSE(image.has_value());
  EXPECT_FALSE(error.empty());
  return error;
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

TEST(FirmwareImage, RejectsImagesThatCannotBeSentWhole) {
  using Image = std::vector<uint8_t>;
  struct Case {
    const char* what;
    std::function<void(Image&)> change;  // applied to the good two-section image
    const char* says;                    // part of the reason given
  };
  const Case cases[] = {
      {"too short for its heads", [](Image& b) { b.resize(600); }, "too short"},
      {"no section", [](Image& b) { b[47] = 0; }, "no section"},
      {"head 2 names no next head (offset 0, the file header)", [](Image& b) { b[47] = 3; }, "section 3"},
      {"head 2 points back to head 1", [](Image& b) { putLE32(b, 2688 + 13, 128), b[47] = 3; }, "loop"},
      {"head 2 runs past the end", [](Image& b) { putLE32(b, 128 + 13, 4000); }, "section 2"},
      {"section 1's data runs past the end", [](Image& b) { putLE32(b, 128 + 17, 4096); }, "section 1"},
      {"no data position for section 2", [](Image& b) { putLE32(b, 2688 + 9, 0); }, "section 2"},
      {"a negative length", [](Image& b) { putLE32(b, 2688 + 17, 0x80000000u); }, "negative"},
      {"no whole block anywhere", [](Image& b) { putLE32(b, 128 + 17, 100), putLE32(b, 2688 + 17, 511); }, "block"},
      // Answers that could never be told apart from the others.
      {"the announcement answered as the hello", [](Image& b) { b[42] = 0x01; }, "packet 02"},
      {"section 1 acknowledged as the hello", [](Image& b) { b[128 + 22] = 0x01; }, "section 1"},
      {"section 2 acknowledged as the announcement", [](Image& b) { b[2688 + 22] = 0x03; }, "section 2"},
      // Sections overlapping the heads leave nothing to reckon the
      // percentage by.
      {"head 2 is section 1's data block",
       [](Image& b) {
         b = sim::makeTestFirmware(sim::TestFirmwareSpec::withBlocks(1));
         b[47] = 2;
         putLE32(b, 128 + 13, 128 + 512);
         putLE32(b, 640 + 9, 641), putLE32(b, 640 + 17, 512), b[640 + 22] = 0x05;
       },
       "shorter"},
  };
  const Image good = sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image b = good;
    c.change(b);
    const std::string why = rejection(b);
    EXPECT_NE(why.find(c.says), std::string::npos) << why;
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
