// Every reader of a file the user points at (a preset file from the library
// or a drop, an IR or NR file, a backup, the firmware image, the defaults)
// opens it without waiting: a path that became a named pipe, held open by
// another program that never writes, is refused at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "device/backup/SettingViewModel.h"
#include "device/files/Zr_Backup.h"
#include "device/files/Zr_IR.h"
#include "device/files/Zr_NR.h"
#include "device/firmware/FirmwareImage.h"
#include "device/service/PresetManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {

TEST(UserFileReaders, APipeHeldOpenByAnotherProgramIsRefusedAtOnce) {
  TempFolder tmp;
  const std::string pipe = (tmp / "Held.pqv").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // This test stands for the other program: a writer that never writes.
  const int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(writer, 0);

  std::vector<std::string> warnings;
  PresetManager::Environment env;
  env.tips.showWarningWithTip = [&](const std::string& t) { warnings.push_back(t); };

  // Each reader answers whether it refused the file.
  const std::vector<std::pair<const char*, std::function<bool()>>> readers = {
      {"preset import", [&] { return !PresetManager::ImportPreset(env, pipe, 0, [](long) {}); }},
      {"IR file", [&] {
         fnd::ErrorPtr error;
         Zr_IR().OpenFilePath(pipe, &error);
         return error && error->code() == Zr_IR::kErrorUnreadable;
       }},
      {"NR file", [&] {
         fnd::ErrorPtr error;
         Zr_NR().OpenFilePath(pipe, &error);
         return error != nullptr;
       }},
      {"backup file", [&] {
         return !Zr_Backup::forReading(SettingViewModel::kBackupDevice, SettingViewModel::kBackupVersion.data(),
                                       SettingViewModel::kBackupVersionLength)
                     ->readFile(pipe);
       }},
      {"firmware image", [&] { return !FirmwareImage::load(pipe); }},
      {"user defaults", [&] { return fnd::UserDefaults::withFile(pipe)->objectForKey("computerPresetPath").isNil(); }},
  };
  for (const auto& [what, refuses] : readers) {
    // A reader that waits on the pipe shows as a failure, not as a hang:
    // the writer lets go once the bound has passed.
    auto read = std::async(std::launch::async, refuses);
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << what << " waited on the pipe";
      ::close(writer);
      read.wait();
      return;
    }
    EXPECT_TRUE(read.get()) << what;
  }
  // No preset file there: what the import says.
  EXPECT_EQ(warnings, std::vector<std::string>{PresetManager::kFileMissing});
  ::close(writer);
}

}  // namespace
