// The NR reader: files laid out by hand (512 words, their 32-bit sum, the
// ending "2.0"), the order of its two codes, short files, and its text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/files/Zr_NR.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes nrFile(const std::vector<uint32_t>& words, const std::string& ending = "2.0", const std::string& between = "") {
  Bytes b;
  uint32_t sum = 0;
  for (uint32_t w : words) sum += w;
  for (uint32_t w : words) b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)});
  b.insert(b.end(), {uint8_t(sum), uint8_t(sum >> 8), uint8_t(sum >> 16), uint8_t(sum >> 24)});
  b.insert(b.end(), between.begin(), between.end());
  b.insert(b.end(), ending.begin(), ending.end());
  return b;
}

const std::vector<uint32_t> kNRWords = [] {
  std::vector<uint32_t> w(512);
  for (size_t i = 0; i < w.size(); ++i) w[i] = static_cast<uint32_t>(i * 2654435761u);
  return w;
}();

int64_t codeOf(const Bytes& file) {
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenData(file, "slot.amp", &error);
  return error ? error->code() : 0;
}

TEST(NRFile, AcceptsExactlyTheFilesWhoseSumAndEndingMatch) {
  Zr_NR nr;
  fnd::ErrorPtr error;
  nr.OpenData(nrFile(kNRWords), "slot.amp", &error);
  EXPECT_FALSE(error);
  EXPECT_EQ(std::vector<uint32_t>(nr.databuff.begin(), nr.databuff.end()), kNRWords);
  // Bytes between the sum and the ending are not read; the sum keeps its low
  // 32 bits (512 x 0xFFFFFFFF is 0xFFFFFE00).
  EXPECT_EQ(codeOf(nrFile(kNRWords, "2.0", "anything")), 0);
  const Bytes wrapped = nrFile(std::vector<uint32_t>(512, 0xFFFFFFFFu));
  EXPECT_EQ(wrapped[2049], 0xFE);
  EXPECT_EQ(codeOf(wrapped), 0);
  // A changed word: 1005, also when the ending is wrong too; the right sum
  // with another ending: 1004.
  Bytes changed = nrFile(kNRWords);
  changed[100] ^= 1;
  EXPECT_EQ(codeOf(changed), Zr_NR::kErrorChecksum);
  changed.back() = '1';
  EXPECT_EQ(codeOf(changed), Zr_NR::kErrorChecksum);
  EXPECT_EQ(codeOf(nrFile(kNRWords, "2.1")), Zr_NR::kErrorFormat);
  // Too short to hold words, sum and ending, however it ends: 1004.
  EXPECT_EQ(codeOf(Bytes{'2', '.', '0'}), Zr_NR::kErrorFormat);
  EXPECT_EQ(codeOf(Bytes{}), Zr_NR::kErrorFormat);
  Bytes zeros(2052, 0);
  zeros.insert(zeros.end(), {'2', '.', '0'});
  EXPECT_EQ(codeOf(zeros), 0);
  zeros.erase(zeros.begin());
  EXPECT_EQ(codeOf(zeros), Zr_NR::kErrorFormat);
}

TEST(NRFile, ARefusedFileLeavesTheWordsAndIsNamedInTheText) {
  TempFolder tmp;
  Bytes bad = nrFile(kNRWords);
  bad[0] ^= 1;
  TempFolder::write(tmp / "Tube NR.amp", bad);
  Zr_NR nr;
  nr.databuff.fill(7);
  fnd::ErrorPtr error;
  nr.OpenFilePath((tmp / "Tube NR.amp").string(), &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(nr.databuff[0], 7u);
  EXPECT_EQ(error->domain(), "ImportPresetError");
  EXPECT_EQ(error->localizedDescription(),
            "File: Tube NR.amp\nError:1005\nNR import failed!\nPlease check compatibility of NR  file.\n"
            "If problem reoccurs, please restart the software and try again..");
  nr.OpenFilePath((tmp / "none.amp").string(), &error);
  EXPECT_EQ(error->code(), Zr_NR::kErrorFormat);

  // What cannot be read, or is far larger than an NR file (even with the
  // right words, sum and ending), is refused the same way.
  std::filesystem::create_directories(tmp / "Folder.amp");
  std::filesystem::create_symlink("/proc/self/mem", tmp / "Broken.amp");
  std::filesystem::create_symlink("/dev/zero", tmp / "Endless.amp");
  TempFolder::write(tmp / "Padded.amp", nrFile(kNRWords, "2.0", std::string(Zr_NR::kMaxFileSize, ' ')));
  for (const char* name : {"Folder.amp", "Broken.amp", "Endless.amp", "Padded.amp"}) {
    error.reset();
    nr.OpenFilePath((tmp / name).string(), &error);
    ASSERT_TRUE(error) << name;
    EXPECT_EQ(error->code(), Zr_NR::kErrorFormat) << name;
    EXPECT_EQ(nr.databuff[0], 7u) << name;
  }
}

}  // namespace
