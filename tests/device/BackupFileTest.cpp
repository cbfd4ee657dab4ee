// The backup file: a file laid out by hand from the header, section and
// record tables; round trips; every check of the reader (identity, checksum,
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
#include "device/Zr_Backup.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const char kDevice[] = "Brisco_QV450";
const uint8_t kVersion[21] = {'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0,
                              'V', '1', '.', '0', '.', '0', 0};

Bytes readBytes(const fs::path& p) {
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
// Writes the checksum that matches the bytes as they are now.
void reseal(Bytes& b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < b.size(); ++i)
    if (i < 1016 || i >= 1024) sum += b[i];
  setLe(b, 1016, 8, sum);
}

class BackupFile : public testing::Test {
protected:
  Zr_Backup::Options options() const { return {tmp / "Documents", nullptr}; }
  Zr_BackupPtr make(Zr_Backup::Options o) { return Zr_Backup::initWithBackupDevice(kDevice, kVersion, 21, o); }
  Zr_BackupPtr make() { return make(options()); }
  fs::path temporary() const { return tmp / "Documents" / "tempBackup.VUR"; }

  // A backup with the four sections the unit's backup writes.
  bool writeFull(Zr_Backup& b, const fs::path& to) {
    Bytes preset(160), system(10), rhythm(6), ir(1552);
    b.setDataHeadForDataName("QV450_PRESET", 0, 160, 200, 195, 1, 195, 1);
    for (int i = 0; i < 200; ++i) {
      std::iota(preset.begin(), preset.end(), static_cast<uint8_t>(i));
      b.addData(preset.data(), 160, i);
    }
    b.setDataHeadForDataName("QV450_SYSTEM", 0, 10, 1, 178, 1, 50, 1);
    std::iota(system.begin(), system.end(), 1);
    b.addData(system.data(), 10, 0);
    b.setDataHeadForDataName("QV450_RHYTHM", 0, 6, 1, 12, 1, 0, 1);
    b.addData(rhythm.data(), 6, 0);
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
  ASSERT_TRUE(b);
  ASSERT_TRUE(b->setDataHeadForDataName("QV450_SYSTEM", 0, 10, 1, 178, 1, 50, 1));
  const uint8_t levels[10] = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  ASSERT_TRUE(b->addData(levels, 10, 0));
  ASSERT_TRUE(b->exportBackupFileForPath((tmp / "unit.bqv").string()));

  Bytes expected(1024 + 256 + 34 + 10, 0);
  std::memcpy(&expected[0], "Brisco", 6);
  std::memcpy(&expected[8], "Brisco_QV450", 12);
  std::memcpy(&expected[40], kVersion, 21);
  std::memcpy(&expected[72], "BUFF", 4);
  expected[76] = 1;                      // one section
  expected[80] = 0x00, expected[81] = 0x04;  // at offset 1024
  std::memcpy(&expected[1024], "QV450_SYSTEM", 12);
  expected[1024 + 32] = 178;  // sendCMD
  expected[1024 + 34] = 1;    // sendCMDFlag
  expected[1024 + 36] = 50;   // callbackCMD
  expected[1024 + 38] = 1;    // callbackCMDFlag
  expected[1024 + 40] = 1;    // one record
  expected[1024 + 44] = 10;   // of ten bytes
  std::memcpy(&expected[1280 + 34], levels, 10);  // after 32 zeros and index 0
  uint64_t sum = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    if (i < 1016 || i >= 1024) sum += expected[i];
  setLe(expected, 1016, 8, sum);
  EXPECT_EQ(readBytes(tmp / "unit.bqv"), expected);
  // The temporary file was moved, not copied.
  EXPECT_FALSE(fs::exists(temporary()));
}

TEST_F(BackupFile, ABackupWithoutSectionsIsItsHeader) {
  auto b = make();
  ASSERT_TRUE(b->exportBackupFileForPath((tmp / "empty.bqv").string()));
  const Bytes file = readBytes(tmp / "empty.bqv");
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(le(file, 1016, 8), std::accumulate(file.begin(), file.begin() + 1016, uint64_t{0}));
  auto r = make();
  EXPECT_TRUE(r->readFile((tmp / "empty.bqv").string()));
  EXPECT_EQ(r->backupdata().typeSum, 0u);
  EXPECT_FALSE(r->getSubHeadData(0));
}

TEST_F(BackupFile, WrittenSectionsReadBackRecordForRecord) {
  auto w = make();
  ASSERT_TRUE(writeFull(*w, tmp / "full.bqv"));
  auto r = make();
  ASSERT_TRUE(r->readFile((tmp / "full.bqv").string()));
  ASSERT_EQ(r->backupdata().typeSum, 4u);
  const char* names[4] = {"QV450_PRESET", "QV450_SYSTEM", "QV450_RHYTHM", "QV450_IR"};
  const uint32_t numbers[4] = {200, 1, 1, 2}, lengths[4] = {160, 10, 6, 1552};
  for (int s = 0; s < 4; ++s) {
    ASSERT_TRUE(r->getSubHeadData(s));
    EXPECT_EQ(r->subHeadData().name(), names[s]);
    EXPECT_EQ(r->subHeadData().dataNumber, numbers[s]);
    EXPECT_EQ(r->subHeadData().dataLength, lengths[s]);
  }
  ASSERT_TRUE(r->getSubHeadData(0));
  EXPECT_EQ(r->subHeadData().sendCMD, 195);
  for (int k = 0; k < 200; ++k) {
    ASSERT_TRUE(r->getData(0, k));
    ASSERT_EQ(r->typeData().index, k);
    ASSERT_EQ(r->typeData().dataStart.size(), 160u);
    ASSERT_EQ(r->typeData().dataStart[5], static_cast<uint8_t>(k + 5));
  }
  ASSERT_TRUE(r->getData(3, 1));
  EXPECT_EQ(r->typeData().index, 9);
  EXPECT_EQ(r->typeData().dataStart, Bytes(1552, 0xA9));
  // Records and sections beyond the file's own counts are not read.
  EXPECT_FALSE(r->getData(1, 1));
  EXPECT_FALSE(r->getData(4, 0));
  EXPECT_FALSE(r->getData(-1, 0));
  EXPECT_FALSE(r->getData(0, -1));
}

TEST_F(BackupFile, TheReaderRefusesChangedForeignAndMisshapenFiles) {
  auto w = make();
  ASSERT_TRUE(writeFull(*w, tmp / "full.bqv"));
  const Bytes good = readBytes(tmp / "full.bqv");
  auto verdict = [&](const Bytes& bytes) {
    auto r = make();
    const bool ok = r->readData(bytes);
    // A refused file leaves the reader's header as it was made.
    if (!ok) {
      EXPECT_EQ(r->backupdata().typeSum, 0u);
    }
    return ok;
  };
  ASSERT_TRUE(verdict(good));

  // Any changed byte after the header, before the checksum, or in it.
  for (size_t at : {size_t{5}, size_t{80}, size_t{1015}, size_t{1016}, size_t{1023}, size_t{1024}, size_t{3000},
                    good.size() - 1}) {
    Bytes b = good;
    b[at] ^= 0x01;
    EXPECT_FALSE(verdict(b)) << at;
  }
  // Another product or version, even with a matching checksum.
  Bytes other = good;
  other[8] = 'X';
  reseal(other);
  EXPECT_FALSE(verdict(other));
  auto foreign = Zr_Backup::initWithBackupDevice("Brisco_QV400", kVersion, 21, options());
  EXPECT_FALSE(foreign->readData(good));

  // Sealed files whose layout does not fit: too many sections, a section
  // outside the file or inside the header, records running past the end.
  Bytes many = good;
  setLe(many, 76, 4, 200);
  reseal(many);
  EXPECT_FALSE(verdict(many));
  Bytes outside = good;
  setLe(outside, 80 + 8 * 3, 8, good.size() - 100);
  reseal(outside);
  EXPECT_FALSE(verdict(outside));
  Bytes huge = good;
  setLe(huge, 80 + 8 * 3, 8, uint64_t{1} << 62);
  reseal(huge);
  EXPECT_FALSE(verdict(huge));
  Bytes inHeader = good;
  setLe(inHeader, 80, 8, 16);
  reseal(inHeader);
  EXPECT_FALSE(verdict(inHeader));
  const size_t irHead = le(good, 80 + 8 * 3, 8);
  Bytes longRecords = good;
  setLe(longRecords, irHead + 40, 4, 3);  // three IR records where two are
  reseal(longRecords);
  EXPECT_FALSE(verdict(longRecords));
  Bytes wideRecords = good;
  setLe(wideRecords, irHead + 40, 4, 0xFFFFFFFF);
  setLe(wideRecords, irHead + 44, 4, 0xFFFFFFFF);
  reseal(wideRecords);
  EXPECT_FALSE(verdict(wideRecords));
  // Short files.
  EXPECT_FALSE(verdict(Bytes(good.begin(), good.begin() + 1023)));
  EXPECT_FALSE(verdict(Bytes{}));
  Bytes cut(good.begin(), good.end() - 1);
  reseal(cut);
  EXPECT_FALSE(verdict(cut));
  EXPECT_FALSE(make()->readFile((tmp / "missing.bqv").string()));
}

TEST_F(BackupFile, ExportReplacesTheDestinationInOneStep) {
  TempFolder::write(tmp / "unit.bqv", std::string("the old backup"));
  struct stat before {};
  ASSERT_EQ(::stat((tmp / "unit.bqv").c_str(), &before), 0);
  auto b = make();
  ASSERT_TRUE(b->setDataHeadForDataName("QV450_SYSTEM", 0, 10, 1, 178, 1, 50, 1));
  ASSERT_TRUE(b->exportBackupFileForPath((tmp / "unit.bqv").string()));
  const Bytes now = readBytes(tmp / "unit.bqv");
  EXPECT_EQ(now.size(), 1024u + 256u);
  EXPECT_FALSE(fs::exists(temporary()));
  EXPECT_EQ(tmp.list(), (std::vector<std::string>{"Documents", "unit.bqv"}));
}

TEST_F(BackupFile, ExportAcrossFileSystems) {
  // The documents folder on one file system, the destination on another.
  struct stat here {};
  ASSERT_EQ(::stat(tmp.path().c_str(), &here), 0);
  fs::path other;
  for (const char* candidate : {"/dev/shm", "/run/shm", "/var/tmp", "/run/user"}) {
    struct stat s {};
    if (::stat(candidate, &s) == 0 && S_ISDIR(s.st_mode) && s.st_dev != here.st_dev && ::access(candidate, W_OK) == 0) {
      other = candidate;
      break;
    }
  }
  if (other.empty()) GTEST_SKIP() << "no second writable file system";
  TempFolder documents(other);
  TempFolder::write(tmp / "unit.bqv", std::string("the old backup"));
  auto b = make({documents.path(), nullptr});
  ASSERT_TRUE(b);
  const uint8_t data[4] = {1, 2, 3, 4};
  b->setDataHeadForDataName("QV450_RHYTHM", 0, 4, 1, 12, 1, 0, 1);
  b->addData(data, 4, 0);
  ASSERT_TRUE(b->exportBackupFileForPath((tmp / "unit.bqv").string()));
  EXPECT_EQ(readBytes(tmp / "unit.bqv").size(), 1024u + 256u + 34u + 4u);
  EXPECT_TRUE(make({documents.path(), nullptr})->readFile((tmp / "unit.bqv").string()));
  // Neither the temporary file nor a copy beside the destination is left.
  EXPECT_TRUE(documents.list().empty());
  EXPECT_EQ(tmp.list(), (std::vector<std::string>{"unit.bqv"}));

  // A destination that cannot be replaced (a folder) on the other system.
  fs::create_directories(tmp / "taken.bqv" / "inside");
  auto c = make({documents.path(), nullptr});
  EXPECT_FALSE(c->exportBackupFileForPath((tmp / "taken.bqv").string()));
  EXPECT_TRUE(fs::is_directory(tmp / "taken.bqv" / "inside"));
  EXPECT_TRUE(documents.list().empty());
}

TEST_F(BackupFile, FailedWritesAreReportedAndLeaveNothingBehind) {
  TempFolder::write(tmp / "unit.bqv", std::string("the old backup"));
  // Writes that fail after the first 2000 bytes (a full disk).
  size_t written = 0;
  Zr_Backup::Options full = options();
  full.writer = [&](int fd, const uint8_t* data, size_t size, uint64_t offset) {
    if (written + size > 2000) return false;
    written += size;
    return ::pwrite(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
  };
  auto b = make(full);
  ASSERT_TRUE(b);
  EXPECT_TRUE(fs::exists(temporary()));
  EXPECT_FALSE(writeFull(*b, tmp / "unit.bqv"));
  EXPECT_EQ(TempFolder::read(tmp / "unit.bqv"), "the old backup");
  EXPECT_FALSE(fs::exists(temporary()));

  // A destination whose place is taken by a folder.
  fs::create_directories(tmp / "taken.bqv" / "inside");
  auto c = make();
  EXPECT_FALSE(c->exportBackupFileForPath((tmp / "taken.bqv").string()));
  EXPECT_TRUE(fs::is_directory(tmp / "taken.bqv" / "inside"));
  EXPECT_FALSE(fs::exists(temporary()));

  // No room for another section in the header.
  auto d = make();
  for (int s = 0; s < 117; ++s) ASSERT_TRUE(d->setDataHeadForDataName("S", 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(d->setDataHeadForDataName("S", 0, 0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(d->exportBackupFileForPath((tmp / "many.bqv").string()));
  EXPECT_FALSE(fs::exists(tmp / "many.bqv"));
  EXPECT_FALSE(fs::exists(temporary()));
}

TEST_F(BackupFile, TheTemporaryFileAndTheDocumentsFolder) {
  // A missing documents folder is made; a file left behind is replaced.
  fs::create_directories(tmp / "Documents");
  TempFolder::write(temporary(), std::string(5000, 'x'));
  {
    auto b = make();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->filePath(), temporary());
    EXPECT_EQ(fs::file_size(temporary()), 1024u);
  }
  // An abandoned backup (or a restore) removes its temporary file.
  EXPECT_FALSE(fs::exists(temporary()));
  {
    auto nested = make({tmp / "home" / "me" / "Documents", nullptr});
    ASSERT_TRUE(nested);
    EXPECT_TRUE(fs::exists(tmp / "home" / "me" / "Documents" / "tempBackup.VUR"));
  }
  // The temporary file cannot be made: no object.
  fs::create_directories(temporary() / "inside");
  EXPECT_FALSE(make());
  TempFolder::write(tmp / "NotAFolder", std::string("x"));
  EXPECT_FALSE(make({tmp / "NotAFolder", nullptr}));
}

}  // namespace
