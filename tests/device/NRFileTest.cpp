// The NR reader: files laid out by hand (512 words, their 32-bit sum, the
// ending "2.0"), the order of its two codes, short files, and its text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/Zr_NR.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes nrFile(const std::vector<uint32_t>& words, std::string ending = "2.0", std::string between = "") {
  Bytes b;
  uint32_t sum = 0;
  for (uint32_t w : words) put32(b, w), sum += w;
  put32(b, sum);
  b.insert(b.end(), between.begin(), between.end());
  b.insert(b.end(), ending.begin(), ending.end());
  return b;
}

std::vector<uint32_t> someWords() {
  std::vector<uint32_t> w(512);
  for (size_t i = 0; i < w.size(); ++i) w[i] = static_cast<uint32_t>(i * 2654435761u);
  return w;
}

int64_t codeOf(const Bytes& file) {
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenData(file, "slot.amp", &error);
  return error ? error->code() : 0;
}

TEST(NRFile, AGoodFileGivesItsWords) {
  const auto words = someWords();
  const Bytes file = nrFile(words);
  ASSERT_EQ(file.size(), 2055u);
  // The first word's bytes, little-endian, as the layout puts them.
  EXPECT_EQ(file[4], static_cast<uint8_t>(2654435761u));
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenData(file, "slot.amp", &error);
  EXPECT_FALSE(error);
  EXPECT_EQ(std::vector<uint32_t>(nr.databuff.begin(), nr.databuff.end()), words);
  // Bytes between the sum and the ending are not read.
  EXPECT_EQ(codeOf(nrFile(words, "2.0", "anything at all")), 0);
  // The sum keeps its low 32 bits only.
  std::vector<uint32_t> big(512, 0xFFFFFFFFu);
  const Bytes wrapped = nrFile(big);
  EXPECT_EQ(wrapped[2048], 0x00);
  EXPECT_EQ(wrapped[2049], 0xFE);
  EXPECT_EQ(codeOf(wrapped), 0);
}

TEST(NRFile, ChecksumWinsOverTheEnding) {
  const auto words = someWords();
  Bytes changed = nrFile(words);
  changed[100] ^= 1;
  EXPECT_EQ(codeOf(changed), Zr_NR::kErrorChecksum);
  EXPECT_EQ(codeOf(nrFile(words, "2.1")), Zr_NR::kErrorFormat);
  Bytes both = nrFile(words, "1.0");
  both[7] ^= 0x40;
  EXPECT_EQ(codeOf(both), Zr_NR::kErrorChecksum);
}

TEST(NRFile, ShortFilesAreRefusedAndLeaveTheWords) {
  // Too short to hold the words, the sum and the ending, however it ends.
  EXPECT_EQ(codeOf(Bytes{'2', '.', '0'}), Zr_NR::kErrorFormat);
  EXPECT_EQ(codeOf(Bytes{}), Zr_NR::kErrorFormat);
  Bytes zeros(2051, 0);
  zeros.insert(zeros.end(), {'2', '.', '0'});
  EXPECT_EQ(codeOf(zeros), Zr_NR::kErrorFormat);
  zeros.insert(zeros.begin(), 0);
  EXPECT_EQ(codeOf(zeros), 0);

  Zr_NR nr;
  nr.databuff.fill(7);
  fnd::ErrorPtr error;
  nr.OpenData(nrFile(someWords(), "2.x"), "slot.amp", &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(nr.databuff[0], 7u);
  EXPECT_EQ(nr.databuff[511], 7u);
}

TEST(NRFile, ErrorsNameTheFile) {
  TempFolder tmp;
  Bytes bad = nrFile(someWords());
  bad[0] ^= 1;
  TempFolder::write(tmp / "Tube NR.amp", bad);
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenFilePath((tmp / "Tube NR.amp").string(), &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), "ImportPresetError");
  EXPECT_EQ(error->code(), 1005);
  EXPECT_EQ(error->localizedDescription(),
            "File: Tube NR.amp\nError:1005\nNR import failed!\nPlease check compatibility of NR  file.\n"
            "If problem reoccurs, please restart the software and try again..");
  Zr_NR missing;
  missing.OpenFilePath((tmp / "none.amp").string(), &error);
  EXPECT_EQ(error->code(), 1004);
}

}  // namespace
