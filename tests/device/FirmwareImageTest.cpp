// Checking firmware images before anything is sent.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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
  const auto good = sim::makeTestFirmware(sim::TestFirmwareSpec::twoSections());
  auto b = good;

  EXPECT_NE(rejection(std::vector<uint8_t>(good.begin(), good.begin() + 600)).find("too short"), std::string::npos);
  b = good, b[47] = 0;
  EXPECT_NE(rejection(b).find("no section"), std::string::npos);
  b = good, b[47] = 3;  // head 2 names no next head (offset 0, the file header)
  EXPECT_NE(rejection(b).find("section 3"), std::string::npos);
  b = good, putLE32(b, 2688 + 13, 128), b[47] = 3;  // head 2 points back to head 1
  EXPECT_NE(rejection(b).find("loop"), std::string::npos);
  b = good, putLE32(b, 128 + 13, 4000);  // head 2 runs past the end
  EXPECT_NE(rejection(b).find("section 2"), std::string::npos);
  b = good, putLE32(b, 128 + 17, 4096);  // section 1's data runs past the end
  EXPECT_NE(rejection(b).find("section 1"), std::string::npos);
  b = good, putLE32(b, 2688 + 9, 0);  // no data position for section 2
  EXPECT_NE(rejection(b).find("section 2"), std::string::npos);
  b = good, putLE32(b, 2688 + 17, 0x80000000u);  // negative length
  EXPECT_NE(rejection(b).find("negative"), std::string::npos);
  b = good, putLE32(b, 128 + 17, 100), putLE32(b, 2688 + 17, 511);  // no whole block anywhere
  EXPECT_NE(rejection(b).find("block"), std::string::npos);
  // Answers that could never be told apart from the others.
  b = good, b[42] = 0x01;
  rejection(b);
  b = good, b[128 + 22] = 0x01;
  EXPECT_NE(rejection(b).find("section 1"), std::string::npos);
  b = good, b[2688 + 22] = 0x03;
  EXPECT_NE(rejection(b).find("section 2"), std::string::npos);
  // Sections overlapping the heads leave nothing to reckon the percentage by.
  auto tiny = sim::makeTestFirmware(sim::TestFirmwareSpec::withBlocks(1));
  tiny[47] = 2;
  putLE32(tiny, 128 + 13, 128 + 512);  // head 2 is section 1's data block
  putLE32(tiny, 640 + 9, 641), putLE32(tiny, 640 + 17, 512), tiny[640 + 22] = 0x05;
  EXPECT_NE(rejection(tiny).find("shorter"), std::string::npos);
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
