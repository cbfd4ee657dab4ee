// Whole-file reads of what a user may point at (folders, files that fail
// with an I/O error, endless devices, named pipes), folder listings that
// offer none of them, and user defaults that keep strings which are not
// UTF-8 and never write over a file they could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/foundation/Files.h"
#include "platform/foundation/FolderListing.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using fnd::Value;
using fnd::files::ReadFailure;

namespace {

struct Outcome {
  bool read = false;
  ReadFailure failure = ReadFailure::none;
  std::string error;
  size_t size = 0;
};

Outcome readAtMost(const fs::path& p, uint64_t max) {
  Outcome o;
  auto bytes = fnd::files::readAtMost(p, max, &o.error, &o.failure);
  o.read = bytes.has_value();
  o.size = bytes ? bytes->size() : 0;
  return o;
}

}  // namespace

// (A named pipe held open by a writer is refused at once too; the readers
// of user files show it in tests/device/UserFileReadersTest.cpp.)
TEST(FileRead, WhatIsNoRegularFileIsRefusedForWhatItIs) {
  TempFolder dir;
  fs::create_directories(dir.path() / "folder.wav");
  TempFolder::write(dir.path() / "file.pqv", "{}");
  // A file whose read fails with EIO (this process's own memory at address
  // 0, which is never mapped), a device without end, a named pipe.
  fs::create_symlink("/proc/self/mem", dir.path() / "broken.wav");
  fs::create_symlink("/dev/zero", dir.path() / "endless.wav");
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.wav").c_str(), 0600), 0);
  fs::create_symlink(dir.path() / "folder.wav", dir.path() / "linked.wav");
  for (auto [name, failure, says] : {std::tuple{"missing", ReadFailure::missing, "there is no file"},
                                     {"file.pqv/x", ReadFailure::missing, "there is no file"},
                                     {"folder.wav", ReadFailure::notRegular, "is a folder"},
                                     {"linked.wav", ReadFailure::notRegular, "is a folder"},
                                     {"broken.wav", ReadFailure::cannotRead, "Input/output error"},
                                     {"endless.wav", ReadFailure::notRegular, "is a device"},
                                     {"pipe.wav", ReadFailure::notRegular, "is a named pipe"}}) {
    const Outcome o = readAtMost(dir.path() / name, 1000);
    EXPECT_FALSE(o.read) << name;
    EXPECT_EQ(o.failure, failure) << name;
    EXPECT_NE(o.error.find(says), std::string::npos) << name << ": " << o.error;
    if (std::string_view(name) != "endless.wav") {
      EXPECT_FALSE(fnd::files::readAll(dir.path() / name)) << name;
    }
  }
  // A folder's listing offers none of them to be opened as a file but the
  // one that is a file.
  EXPECT_EQ(fnd::files::listNewestFirst(dir.path(), ".wav"), std::vector<std::string>{"broken"});
  // Nor does a listing keep a descriptor open (other threads may hold a few).
  auto openDescriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openDescriptors();
  for (int i = 0; i < 200; ++i) fnd::files::listNewestFirst(dir.path(), ".wav");
  EXPECT_LT(openDescriptors(), before + 20);
}

TEST(FileRead, TheBoundIsExactAndLargeFilesComeWhole) {
  TempFolder dir;
  std::string big(5'000'003, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + i / 7);
  TempFolder::write(dir.path() / "big", big);
  auto bytes = fnd::files::readAll(dir.path() / "big");
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(std::string(bytes->begin(), bytes->end()) == big);
  EXPECT_EQ(readAtMost(dir.path() / "big", big.size()).size, big.size());
  EXPECT_EQ(readAtMost(dir.path() / "big", big.size() - 1).failure, ReadFailure::tooLarge);
  TempFolder::write(dir.path() / "empty", "");
  Outcome empty = readAtMost(dir.path() / "empty", 0);
  EXPECT_TRUE(empty.read);
  EXPECT_EQ(empty.size, 0u);

  // /proc files report size 0 but hold more: read until their end.
  Outcome status = readAtMost("/proc/self/status", 1 << 20);
  EXPECT_TRUE(status.read);
  EXPECT_GT(status.size, 100u);
}

TEST(UserDefaults, StringsThatAreNotUtf8SurviveARestartByteForByte) {
  TempFolder dir;
  const fs::path file = dir.path() / "defaults.json";
  // A Latin-1 folder name, a lone continuation byte, a cut-off sequence,
  // and an encoded surrogate: none of them UTF-8.
  const std::string latin1 = "/home/u/Pr\xE9sets";
  const std::vector<std::string> odd = {"\x80", "ab\xE2\x82", "\xED\xA0\x80"};
  const std::string plain = "/home/u/Caf\xC3\xA9 \xF0\x9F\x8E\xB8 presets";
  {
    auto d = fnd::UserDefaults::withFile(file);
    ASSERT_TRUE(d->setObjectForKey("computerPresetPath", Value(latin1)));
    ASSERT_TRUE(d->setObjectForKey("plain", Value(plain)));
    ASSERT_TRUE(d->setObjectForKey("list", Value(fnd::Array{Value(odd[0]), Value(odd[1]), Value(odd[2])})));
    ASSERT_TRUE(d->setObjectForKey(latin1, Value(1)));
  }
  auto again = fnd::UserDefaults::withFile(file);
  EXPECT_EQ(again->integerForKey(latin1), 1);
  EXPECT_EQ(again->stringForKey("computerPresetPath"), latin1);
  EXPECT_EQ(again->stringForKey("plain"), plain);
  const fnd::Array list = again->objectForKey("list").asArray();
  ASSERT_EQ(list.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(list[i].asString(), odd[i]) << i;
  // As deep as such strings are looked for, 64 lists down, one comes back.
  Value deep(odd[0]);
  for (int i = 0; i < 64; ++i) deep = Value(fnd::Array{deep});
  ASSERT_TRUE(again->setObjectForKey("deep", deep));
  Value back = fnd::UserDefaults::withFile(file)->objectForKey("deep");
  for (int i = 0; i < 64 && back.isArray() && back.asArray().size() == 1; ++i) {
    const Value inner = back.asArray()[0];
    back = inner;
  }
  EXPECT_TRUE(back.isString() && back.asString() == odd[0]);
  // Deeper than the file is read back: refused, and nothing changes. The
  // depth is the value's in the file, one below its own: the string 255
  // lists down is 256 levels deep there.
  const Value kept = again->objectForKey("deep");
  for (int i = 64; i < 255; ++i) deep = Value(fnd::Array{deep});
  EXPECT_FALSE(again->setObjectForKey("deep", deep));
  EXPECT_EQ(again->objectForKey("deep"), kept);
  // Later settings are saved all the same.
  ASSERT_TRUE(again->setObjectForKey("after", Value(7)));
  EXPECT_EQ(fnd::UserDefaults::withFile(file)->integerForKey("after"), 7);

  // UTF-8 strings are in the file as they are, so existing files read the
  // same; the others are not written with replacement characters.
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"" + plain + "\""), std::string::npos);
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos);
  // A file written before holds ordinary strings, and a dictionary stored
  // by a caller stays a dictionary.
  TempFolder::write(file, R"({"computerPresetPath": "/home/u/VLTfx RigPreset", "d": {"$bytes": "41", "x": 1}})");
  again->reload();
  EXPECT_EQ(again->stringForKey("computerPresetPath"), "/home/u/VLTfx RigPreset");
  EXPECT_TRUE(again->objectForKey("d").isDictionary());
  TempFolder::write(file, R"({"$bytes": "41"})");
  again->reload();
  EXPECT_EQ(again->stringForKey("$bytes"), "41");
}

TEST(UserDefaults, ADefaultsFileThatIsAFolderOrUnreadableLoadsEmpty) {
  TempFolder dir;
  fs::create_directories(dir.path() / "folder" / "defaults.json");
  auto folder = fnd::UserDefaults::withFile(dir.path() / "folder" / "defaults.json");
  EXPECT_TRUE(folder->objectForKey("a").isNil());
  EXPECT_FALSE(folder->setObjectForKey("a", Value(1)));
  fs::create_directories(dir.path() / "broken");
  fs::create_symlink("/proc/self/mem", dir.path() / "broken" / "defaults.json");
  EXPECT_TRUE(fnd::UserDefaults::withFile(dir.path() / "broken" / "defaults.json")->objectForKey("a").isNil());
}

TEST(UserDefaults, AFileThatCannotBeReadIsKeptAsideBeforeANewOneIsWritten) {
  const std::string tooLarge = "{\"computerPresetPath\": \"/home/u/p\"}" + std::string(16u << 20, ' ');
  for (const auto& [what, bytes] : {std::pair<std::string, std::string>{"not JSON", "{\"computerPresetPath\": "},
                                    {"not a dictionary", "[\"/home/u/p\"]"},
                                    {"too large", tooLarge}}) {
    TempFolder dir;
    const fs::path file = dir.path() / "defaults.json";
    const fs::path aside = dir.path() / "defaults.json.unreadable";
    TempFolder::write(file, bytes);
    auto d = fnd::UserDefaults::withFile(file);
    EXPECT_TRUE(d->objectForKey("computerPresetPath").isNil()) << what;
    // Reading alone leaves the file where it is.
    EXPECT_FALSE(fs::exists(aside)) << what;
    ASSERT_TRUE(d->setObjectForKey("theme_enterColor", Value(0x888888))) << what;
    EXPECT_TRUE(fnd::files::readText(aside) == bytes) << what;
    EXPECT_EQ(fnd::UserDefaults::withFile(file)->integerForKey("theme_enterColor"), 0x888888) << what;

    // Later changes write over the new file only; a second unreadable file
    // goes beside the first copy, which is never written over.
    ASSERT_TRUE(d->setObjectForKey("theme_enterColor", Value(0x123456))) << what;
    TempFolder::write(file, "second " + what);
    d->reload();
    ASSERT_TRUE(d->setObjectForKey("theme_enterColor", Value(1))) << what;
    EXPECT_TRUE(fnd::files::readText(aside) == bytes) << what;
    EXPECT_EQ(fnd::files::readText(dir.path() / "defaults.json.unreadable-2"), "second " + what);
    EXPECT_EQ(fnd::UserDefaults::withFile(file)->integerForKey("theme_enterColor"), 1) << what;
  }
}
