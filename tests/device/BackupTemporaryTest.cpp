// The backup file's temporary file: a name of its own for every backup (two
// at once never share one), beside the destination when it is known, never
// anything removed that was there before; a reader makes none; and a
// destination this process may not remove is left as it is.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "TempFolder.h"
#include "device/files/Zr_Backup.h"
#include "platform/foundation/Log.h"

namespace {

namespace fs = std::filesystem;

const uint8_t kBackupVersion[21] = {'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0,
                              'V', '1', '.', '0', '.', '0', 0};

Zr_BackupPtr writer(Zr_Backup::Options options) {
  return Zr_Backup::initWithBackupDevice("Brisco_QV450", kBackupVersion, 21, std::move(options));
}

// One section of one record whose bytes are all `fill`.
bool writeOne(Zr_Backup& b, uint8_t fill) {
  const std::vector<uint8_t> data(64, fill);
  return b.setDataHeadForDataName("QV450_SYSTEM", 0, 64, 1, 178, 1, 50, 1) && b.addData(data.data(), 64, 0);
}

uint8_t recordFill(const fs::path& file) {
  auto reader = Zr_Backup::forReading("Brisco_QV450", kBackupVersion, 21);
  if (!reader->readFile(file.string()) || !reader->getSubHeadData(0) || !reader->getData(0, 0)) return 0;
  return reader->typeData().dataStart.at(0);
}

std::vector<std::string> names(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) found.push_back(e.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> temporaries(const fs::path& dir) {
  std::vector<std::string> found;
  for (const std::string& name : names(dir))
    if (name.rfind(Zr_Backup::kTempFilePrefix, 0) == 0) found.push_back(name);
  return found;
}

}  // namespace

TEST(BackupTemporary, BackupsAtOnceEachHaveTheirOwn) {
  TempFolder tmp;
  const fs::path docs = tmp / "Documents";
  fs::create_directories(docs);
  TempFolder::write(docs / "tempBackup.VUR", std::string("a file of the user's"));

  // Two in the documents folder, interleaved, and one beside its destination.
  auto first = writer({docs, nullptr, {}});
  auto second = writer({docs, nullptr, {}});
  fs::create_directories(tmp / "out");
  auto beside = writer({{}, nullptr, tmp / "out" / "c.bqv"});
  ASSERT_TRUE(first && second && beside);
  EXPECT_NE(first->filePath(), second->filePath());
  EXPECT_EQ(beside->filePath().parent_path(), tmp / "out");
  EXPECT_EQ(temporaries(docs).size(), 2u);
  ASSERT_TRUE(writeOne(*first, 0x11));
  ASSERT_TRUE(writeOne(*second, 0x22));
  ASSERT_TRUE(writeOne(*beside, 0x33));
  EXPECT_TRUE(second->exportBackupFileForPath((tmp / "b.bqv").string()));
  EXPECT_TRUE(first->exportBackupFileForPath((tmp / "a.bqv").string()));
  EXPECT_TRUE(beside->exportBackupFileForPath((tmp / "out" / "c.bqv").string()));

  EXPECT_EQ(recordFill(tmp / "a.bqv"), 0x11);
  EXPECT_EQ(recordFill(tmp / "b.bqv"), 0x22);
  EXPECT_EQ(recordFill(tmp / "out" / "c.bqv"), 0x33);
  EXPECT_EQ(fs::status(tmp / "a.bqv").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  EXPECT_TRUE(temporaries(docs).empty());
  EXPECT_EQ(names(tmp / "out"), (std::vector<std::string>{"c.bqv"}));
  EXPECT_EQ(TempFolder::read(docs / "tempBackup.VUR"), "a file of the user's");
}

TEST(BackupTemporary, AReaderMakesNoTemporaryAndKeepsTheFileItReads) {
  TempFolder tmp;
  const fs::path docs = tmp / "Documents";
  auto b = writer({docs, nullptr, {}});
  ASSERT_TRUE(b && writeOne(*b, 0x44));
  ASSERT_TRUE(b->exportBackupFileForPath((docs / "tempBackup.VUR").string()));
  const std::string bytes = TempFolder::read(docs / "tempBackup.VUR");
  auto reader = Zr_Backup::forReading("Brisco_QV450", kBackupVersion, 21);
  EXPECT_TRUE(reader->filePath().empty());
  EXPECT_TRUE(reader->readFile((docs / "tempBackup.VUR").string()));
  reader.reset();
  EXPECT_EQ(TempFolder::read(docs / "tempBackup.VUR"), bytes);
  EXPECT_EQ(names(docs), (std::vector<std::string>{"tempBackup.VUR"}));
}

// In a folder everyone may write to but with the sticky bit, another user's
// file may not be removed: the backup says so and leaves it. A file of one's
// own there is replaced. Run by one thread under another user id (only
// root can take one; other users' runs check the own-file case).
TEST(BackupTemporary, AFileThatMayNotBeRemovedIsKept) {
  TempFolder tmp;
  const fs::path shared = tmp / "shared";
  fs::create_directories(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  TempFolder::write(shared / "theirs.bqv", std::string("someone else's backup"));
  const bool root = ::geteuid() == 0;

  std::mutex mutex;
  std::vector<std::string> lines;
  fnd::LogSink previous = fnd::setLogSink([&](const std::string& line) {
    std::lock_guard guard(mutex);
    lines.push_back(line);
  });
  bool theirsReplaced = true, ownReplaced = false;
  std::thread user([&] {
    // This thread alone becomes another user (the raw call changes only the
    // calling thread's ids).
    if (root && ::syscall(SYS_setresuid, 65534, 65534, 0) != 0) return;
    // Made, then replaced.
    for (uint8_t fill : {0x54, 0x55}) {
      auto own = writer({{}, nullptr, shared / "mine.bqv"});
      ownReplaced = own && writeOne(*own, fill) && own->exportBackupFileForPath((shared / "mine.bqv").string());
    }
    if (!root) return;
    auto theirs = writer({{}, nullptr, shared / "theirs.bqv"});
    theirsReplaced =
        theirs && writeOne(*theirs, 0x66) && theirs->exportBackupFileForPath((shared / "theirs.bqv").string());
  });
  user.join();
  fnd::setLogSink(previous);

  EXPECT_TRUE(ownReplaced);
  EXPECT_EQ(recordFill(shared / "mine.bqv"), 0x55);
  EXPECT_TRUE(temporaries(shared).empty());
  if (!root) return;
  EXPECT_FALSE(theirsReplaced);
  EXPECT_EQ(TempFolder::read(shared / "theirs.bqv"), "someone else's backup");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "没有删除权限"), lines.end());
}

// The program ends with exit() when the unit goes away, possibly while a
// backup is being written: its temporary does not outlive the process, and
// the file the user chose stays as it was.
TEST(BackupTemporaryDeathTest, AProcessEndingMidBackupLeavesNoTemporary) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child writes into this test's folder
  TempFolder tmp;
  const fs::path chosen = tmp / "unit.bqv";
  TempFolder::write(chosen, std::string("yesterday's backup"));
  EXPECT_EXIT(
      {
        auto b = writer({{}, nullptr, chosen});
        if (!b || !writeOne(*b, 0x44) || temporaries(tmp.path()).size() != 1) std::_Exit(3);
        std::exit(0);  // as the shell ends on losing the unit; `b` is never destroyed
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(names(tmp.path()), std::vector<std::string>{"unit.bqv"});
  EXPECT_EQ(TempFolder::read(chosen), "yesterday's backup");
}
