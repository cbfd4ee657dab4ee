// The backup file: a file laid out by hand from the header, section and
// record tables; round trips; the reader's checks (identity, checksum,
// sections and records inside the file); and the writes: the temporary file
// in the documents folder, the destination replaced in one step (also from
// another file system), failures reported with nothing left behind.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/files/Zr_Backup.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const uint8_t kVersion[21] = {'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0,
                              'V', '1', '.', '0', '.', '0', 0};

Bytes bytesOf(const fs::path& p) {
  const std::string s = TempFolder::read(p);
  return Bytes(s.begin(), s.end());
}
uint64_t le(const Bytes& b, size_t at, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}
void setLe(Bytes& b, size_t at, int width, uint64_t v) {
  for (int i = 0; i < width; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
// Every byte but the checksum's own eight.
uint64_t checksumOf(const Bytes& b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < b.size(); ++i) sum += (i < 1016 || i >= 1024) ? b[i] : 0;
  return sum;
}
void reseal(Bytes& b) { setLe(b, 1016, 8, checksumOf(b)); }

class BackupFile : public testing::Test {
protected:
  Zr_BackupPtr make(fs::path documents = {}, Zr_Backup::Writer writer = nullptr) {
    return Zr_Backup::initWithBackupDevice("Brisco_QV450", kVersion, 21,
                                           {documents.empty() ? tmp / "Documents" : documents, std::move(writer)});
  }
  // A temporary backup file in the documents folder.
  bool temporaryLeft() const {
    if (!fs::is_directory(tmp / "Documents")) return false;
    for (const auto& e : fs::directory_iterator(tmp / "Documents"))
      if (e.path().filename().string().rfind(Zr_Backup::kTempFilePrefix, 0) == 0) return true;
    return false;
  }

  // Presets, system levels and two IR slots, as a unit's backup holds them.
  static bool writeSections(Zr_Backup& b, const fs::path& to) {
    Bytes preset(160), system(10), ir(1552);
    b.setDataHeadForDataName("QV450_PRESET", 0, 160, 200, 195, 1, 195, 1);
    for (int i = 0; i < 200; ++i) {
      std::iota(preset.begin(), preset.end(), static_cast<uint8_t>(i));
      b.addData(preset.data(), 160, i);
    }
    b.setDataHeadForDataName("QV450_SYSTEM", 0, 10, 1, 178, 1, 50, 1);
    b.addData(system.data(), 10, 0);
    b.setDataHeadForDataName("QV450_IR", 0, 1552, 2, 181, 0, 0, 0);
    for (int slot : {3, 9}) {
      std::fill(ir.begin(), ir.end(), static_cast<uint8_t>(0xA0 + slot));
      b.addData(ir.data(), 1552, slot);
    }
    return b.exportBackupFileForPath(to.string());
  }

  TempFolder tmp;
};

TEST_F(BackupFile, AOneRecordBackupHasTheBytesOfTheTables) {
  auto b = make();
  ASSERT_TRUE(b->setDataHeadForDataName("QV450_SYSTEM", 0, 10, 1, 178, 1, 50, 1));
  const uint8_t levels[10] = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  ASSERT_TRUE(b->addData(levels, 10, 0));
  ASSERT_TRUE(b->exportBackupFileForPath((tmp / "unit.bqv").string()));

  Bytes expected(1024 + 256 + 34 + 10, 0);
  std::memcpy(&expected[0], "Brisco", 6);
  std::memcpy(&expected[8], "Brisco_QV450", 12);
  std::memcpy(&expected[40], kVersion, 21);
  std::memcpy(&expected[72], "BUFF", 4);
  expected[76] = 1;     // one section,
  expected[81] = 0x04;  // its head at 1024
  std::memcpy(&expected[1024], "QV450_SYSTEM", 12);
  expected[1024 + 32] = 178, expected[1024 + 34] = 1;  // send command and flag
  expected[1024 + 36] = 50, expected[1024 + 38] = 1;   // answer command and flag
  expected[1024 + 40] = 1, expected[1024 + 44] = 10;   // one record of ten bytes
  std::memcpy(&expected[1280 + 34], levels, 10);       // after 32 zeros and index 0
  setLe(expected, 1016, 8, checksumOf(expected));
  EXPECT_EQ(bytesOf(tmp / "unit.bqv"), expected);
  EXPECT_FALSE(temporaryLeft());

  // No sections: the header alone, summed over its first 1016 bytes.
  ASSERT_TRUE(make()->exportBackupFileForPath((tmp / "empty.bqv").string()));
  const Bytes empty = bytesOf(tmp / "empty.bqv");
  ASSERT_EQ(empty.size(), 1024u);
  EXPECT_EQ(le(empty, 1016, 8), std::accumulate(empty.begin(), empty.begin() + 1016, uint64_t{0}));
  EXPECT_TRUE(make()->readFile((tmp / "empty.bqv").string()));
}

TEST_F(BackupFile, WrittenSectionsReadBackRecordForRecord) {
  ASSERT_TRUE(writeSections(*make(), tmp / "full.bqv"));
  auto r = make();
  ASSERT_TRUE(r->readFile((tmp / "full.bqv").string()));
  ASSERT_EQ(r->backupdata().typeSum, 3u);
  ASSERT_TRUE(r->getSubHeadData(2));
  EXPECT_EQ(r->subHeadData().name(), "QV450_IR");
  EXPECT_EQ(r->subHeadData().sendCMD, 181);
  EXPECT_EQ(r->subHeadData().dataNumber, 2u);
  ASSERT_TRUE(r->getSubHeadData(0));
  EXPECT_EQ(r->subHeadData().dataLength, 160u);
  for (int k = 0; k < 200; ++k) {
    ASSERT_TRUE(r->getData(0, k));
    ASSERT_EQ(r->typeData().index, k);
    ASSERT_EQ(r->typeData().dataStart.size(), 160u);
    ASSERT_EQ(r->typeData().dataStart[5], static_cast<uint8_t>(k + 5));
  }
  ASSERT_TRUE(r->getData(2, 1));
  EXPECT_EQ(r->typeData().index, 9);
  EXPECT_EQ(r->typeData().dataStart, Bytes(1552, 0xA9));
  // Nothing beyond the file's own counts is read.
  EXPECT_FALSE(r->getData(1, 1));
  EXPECT_FALSE(r->getData(3, 0));
  EXPECT_FALSE(r->getData(0, -1));
}

TEST_F(BackupFile, TheReaderRefusesChangedForeignAndMisshapenFiles) {
  ASSERT_TRUE(writeSections(*make(), tmp / "full.bqv"));
  const Bytes good = bytesOf(tmp / "full.bqv");
  auto accepts = [&](const Bytes& bytes) {
    auto r = make();
    const bool ok = r->readData(bytes);
    // A refused file leaves the reader's header as it was made.
    EXPECT_TRUE(ok || r->backupdata().typeSum == 0);
    return ok;
  };
  ASSERT_TRUE(accepts(good));
  // Any changed byte: in the header, in the checksum, after the header.
  for (size_t at : {size_t{5}, size_t{1015}, size_t{1016}, size_t{1024}, good.size() - 1}) {
    Bytes b = good;
    b[at] ^= 0x01;
    EXPECT_FALSE(accepts(b)) << at;
  }
  // Another product, even with a matching checksum.
  Bytes other = good;
  other[8] = 'X';
  reseal(other);
  EXPECT_FALSE(accepts(other));
  EXPECT_FALSE(Zr_Backup::initWithBackupDevice("Brisco_QV400", kVersion, 21, {tmp / "Documents", nullptr})
                   ->readData(good));
  // Sealed files whose layout does not fit: too many sections, a section
  // outside the file or inside the header, records running past the end.
  const size_t irHead = le(good, 80 + 16, 8);
  const std::vector<std::pair<size_t, std::pair<int, uint64_t>>> breaks = {
      {76, {4, 200}}, {96, {8, good.size() - 100}}, {96, {8, uint64_t{1} << 62}}, {80, {8, 16}},
      {irHead + 40, {4, 3}}, {irHead + 44, {4, 0xFFFFFFFF}}};
  for (const auto& [at, field] : breaks) {
    Bytes b = good;
    setLe(b, at, field.first, field.second);
    reseal(b);
    EXPECT_FALSE(accepts(b)) << at << " = " << field.second;
  }
  Bytes cut(good.begin(), good.end() - 1);
  reseal(cut);
  EXPECT_FALSE(accepts(cut));
  EXPECT_FALSE(accepts(Bytes(good.begin(), good.begin() + 1023)));
  EXPECT_FALSE(make()->readFile((tmp / "missing.bqv").string()));
  fs::resize_file(tmp / "full.bqv", Zr_Backup::kMaxFileSize + 1);
  EXPECT_FALSE(make()->readFile((tmp / "full.bqv").string()));
  // A folder, a read that fails (EIO), a device without end.
  fs::create_directories(tmp / "folder.bqv");
  fs::create_symlink("/proc/self/mem", tmp / "broken.bqv");
  fs::create_symlink("/dev/zero", tmp / "endless.bqv");
  for (const char* name : {"folder.bqv", "broken.bqv", "endless.bqv"})
    EXPECT_FALSE(make()->readFile((tmp / name).string())) << name;
}

TEST_F(BackupFile, ExportReplacesTheDestinationAlsoFromAnotherFileSystem) {
  TempFolder::write(tmp / "unit.bqv", std::string("the old backup"));
  ASSERT_TRUE(writeSections(*make(), tmp / "unit.bqv"));
  EXPECT_TRUE(make()->readFile((tmp / "unit.bqv").string()));
  EXPECT_EQ(tmp.list(), (std::vector<std::string>{"Documents", "unit.bqv"}));

  // The documents folder on one file system, the destination on another.
  struct stat here {};
  ASSERT_EQ(::stat(tmp.path().c_str(), &here), 0);
  fs::path other;
  for (const char* candidate : {"/dev/shm", "/run/shm", "/var/tmp"}) {
    struct stat s {};
    if (::stat(candidate, &s) == 0 && S_ISDIR(s.st_mode) && s.st_dev != here.st_dev && ::access(candidate, W_OK) == 0)
      other = candidate;
  }
  if (other.empty()) GTEST_SKIP() << "no second writable file system";
  TempFolder documents(other);
  ASSERT_TRUE(writeSections(*make(documents.path()), tmp / "unit.bqv"));
  EXPECT_TRUE(make(documents.path())->readFile((tmp / "unit.bqv").string()));
  // Neither the temporary file nor a copy beside the destination is left.
  EXPECT_TRUE(documents.list().empty());
  EXPECT_EQ(tmp.list(), (std::vector<std::string>{"Documents", "unit.bqv"}));
  // A destination that cannot be replaced (a folder), from there.
  fs::create_directories(tmp / "taken.bqv" / "inside");
  EXPECT_FALSE(make(documents.path())->exportBackupFileForPath((tmp / "taken.bqv").string()));
  EXPECT_TRUE(fs::is_directory(tmp / "taken.bqv" / "inside"));
  EXPECT_TRUE(documents.list().empty());
}

TEST_F(BackupFile, FailedWritesAreReportedAndLeaveNothingBehind) {
  TempFolder::write(tmp / "unit.bqv", std::string("the old backup"));
  // Writes that fail after the first 2000 bytes, as on a full disk.
  size_t written = 0;
  auto b = make({}, [&](int fd, const uint8_t* data, size_t size, uint64_t offset) {
    if ((written += size) > 2000) return false;
    return ::pwrite(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
  });
  ASSERT_TRUE(b);
  EXPECT_TRUE(temporaryLeft());
  EXPECT_FALSE(writeSections(*b, tmp / "unit.bqv"));
  EXPECT_EQ(TempFolder::read(tmp / "unit.bqv"), "the old backup");
  EXPECT_FALSE(temporaryLeft());
  // A destination whose place is taken by a folder.
  fs::create_directories(tmp / "taken.bqv" / "inside");
  EXPECT_FALSE(make()->exportBackupFileForPath((tmp / "taken.bqv").string()));
  EXPECT_TRUE(fs::is_directory(tmp / "taken.bqv" / "inside"));
  EXPECT_FALSE(temporaryLeft());
  // No room in the header for a 118th section.
  auto c = make();
  for (int s = 0; s < 117; ++s) ASSERT_TRUE(c->setDataHeadForDataName("S", 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(c->setDataHeadForDataName("S", 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(c->exportBackupFileForPath((tmp / "many.bqv").string()));
  EXPECT_FALSE(fs::exists(tmp / "many.bqv"));
  EXPECT_FALSE(temporaryLeft());
}

TEST_F(BackupFile, TheTemporaryFileAndTheDocumentsFolder) {
  // A file already there is left alone; an abandoned backup (or a restore)
  // removes its own temporary file.
  fs::create_directories(tmp / "Documents");
  TempFolder::write(tmp / "Documents" / "tempBackup.VUR", std::string(5000, 'x'));
  {
    auto b = make();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->filePath().parent_path(), tmp / "Documents");
    EXPECT_EQ(fs::file_size(b->filePath()), 1024u);
  }
  EXPECT_FALSE(temporaryLeft());
  EXPECT_EQ(fs::file_size(tmp / "Documents" / "tempBackup.VUR"), 5000u);
  // A missing documents folder is made, parents included.
  EXPECT_TRUE(make(tmp / "home" / "me" / "Documents"));
  EXPECT_TRUE(fs::is_directory(tmp / "home" / "me" / "Documents"));
  // The temporary file cannot be made: no object.
  TempFolder::write(tmp / "NotAFolder", std::string("x"));
  EXPECT_FALSE(make(tmp / "NotAFolder"));
}

}  // namespace
