// Notifications, user defaults, atomic file writes and the log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/foundation/Error.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using fnd::Value;

TEST(Notifications, ByNameAndSenderSynchronouslyOnThePostingThread) {
  fnd::NotificationCenter center;
  auto sender = fnd::make<fnd::Error>("d", 1);
  std::vector<std::string> got;
  center.addObserver("reloadPresetName", Value(), [&](const fnd::Notification& n) { got.push_back("any " + n.name); });
  center.addObserver("reloadPresetName", Value(sender), [&](const fnd::Notification&) { got.push_back("from sender"); });
  center.addObserver("", Value(), [&](const fnd::Notification& n) { got.push_back("all " + n.name); });
  center.post("reloadPresetName");
  center.post("other", Value(sender));
  center.post("reloadPresetName", Value(sender));
  EXPECT_EQ(got, (std::vector<std::string>{"any reloadPresetName", "all reloadPresetName", "all other",
                                           "any reloadPresetName", "from sender", "all reloadPresetName"}));
}

TEST(Notifications, RemovalInsideDeliveryAndObserverLifetime) {
  fnd::NotificationCenter center;
  int a = 0, b = 0;
  fnd::NotificationCenter::Token tb;
  center.addObserver("n", Value(), [&](const fnd::Notification&) {
    ++a;
    center.removeObserver(tb);
  });
  tb = center.addObserver("n", Value(), [&](const fnd::Notification&) { ++b; });
  center.post("n");
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  {
    fnd::Lifetime observer;
    center.addObserver("n", Value(), observer, [&](const fnd::Notification&) { ++b; });
    center.post("n");
    EXPECT_EQ(b, 1);
  }
  center.post("n");
  EXPECT_EQ(b, 1);
  EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationsThreads, PostWhileAnotherThreadAddsAndRemoves) {
  fnd::NotificationCenter center;
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  std::thread poster([&] {
    for (int i = 0; i < 3000; ++i) center.post("n");
    stop = true;
  });
  while (!stop) {
    auto t = center.addObserver("n", Value(), [&](const fnd::Notification&) { ++calls; });
    center.removeObserver(t);
  }
  poster.join();
  EXPECT_EQ(center.observerCount(), 0u);
}

TEST(UserDefaults, SurviveARestartAndNotifyObservers) {
  TempFolder dir;
  fs::path file = dir.path() / "cfg" / "defaults.json";  // the folder does not exist yet
  {
    auto d = fnd::UserDefaults::withFile(file);
    std::vector<Value> seen;
    d->addObserver("theme_enterColor", fnd::KVONew, [&](const fnd::KVOChange& c) { seen.push_back(c.newValue); });
    EXPECT_TRUE(d->setObjectForKey("theme_enterColor", Value(0x888888)));
    EXPECT_TRUE(d->setObjectForKey("computerPresetPath", Value("/home/u/VLTfx RigPreset")));
    EXPECT_EQ(seen, (std::vector<Value>{Value(0x888888)}));
    EXPECT_EQ(d->valueForKey("theme_enterColor"), Value(0x888888));  // readable by key-value coding
  }
  auto again = fnd::UserDefaults::withFile(file);
  EXPECT_EQ(again->integerForKey("theme_enterColor"), 0x888888);
  EXPECT_EQ(again->stringForKey("computerPresetPath"), "/home/u/VLTfx RigPreset");
  again->removeObjectForKey("computerPresetPath");
  EXPECT_TRUE(fnd::UserDefaults::withFile(file)->objectForKey("computerPresetPath").isNil());
}

TEST(UserDefaults, AFailedWriteKeepsTheLastGoodFile) {
  TempFolder dir;
  fs::path file = dir.path() / "defaults.json";
  auto d = fnd::UserDefaults::withFile(file);
  ASSERT_TRUE(d->setObjectForKey("a", Value(1)));
  std::string good = TempFolder::read(file);
  // A write that cannot happen (the folder is a regular file; folder
  // permissions would not stop root) must fail and leave nothing behind.
  auto broken = fnd::UserDefaults::withFile(file / "sub.json");
  EXPECT_FALSE(broken->setObjectForKey("a", Value(2)));
  EXPECT_EQ(TempFolder::read(file), good);
  // No temporary files are left beside the good file.
  size_t entries = 0;
  for (auto& e : fs::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(AtomicFiles, ReplaceKeepsOldUntilTheNewIsWhole) {
  TempFolder dir;
  fs::path dest = dir.path() / "preset.pqv";
  ASSERT_TRUE(fnd::files::writeAtomically(dest, std::string_view("old")));
  ASSERT_TRUE(fnd::files::writeAtomically(dest, std::string_view("new content")));
  EXPECT_EQ(TempFolder::read(dest), "new content");
  std::string error;
  EXPECT_FALSE(fnd::files::writeAtomically(dest / "x", std::string_view("y"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(TempFolder::read(dest), "new content");
}

TEST(AtomicFiles, MoveReplacingAcrossFileSystems) {
  TempFolder dir;
  fs::path src = dir.path() / "tempBackup.VUR";
  std::ofstream(src) << "backup";
  fs::path dest = dir.path() / "out" / "unit.bqv";
  ASSERT_TRUE(fnd::files::writeAtomically(dest, std::string_view("previous")));
  ASSERT_TRUE(fnd::files::moveReplacing(src, dest));
  EXPECT_EQ(TempFolder::read(dest), "backup");
  EXPECT_FALSE(fs::exists(src));
  // /dev/shm is another file system on Linux: the copy path is taken.
  if (fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0) {
    fs::path shm = fs::path("/dev/shm") / ("qv450-move-" + std::to_string(getpid()));
    std::ofstream(shm) << "from another fs";
    EXPECT_TRUE(fnd::files::moveReplacing(shm, dest));
    EXPECT_EQ(TempFolder::read(dest), "from another fs");
    EXPECT_FALSE(fs::exists(shm));
  }
  EXPECT_FALSE(fnd::files::moveReplacing(dir.path() / "missing", dest));
  EXPECT_EQ(TempFolder::read(dest).empty(), false);
}

TEST(Log, LinesCanBeCapturedAndFormatted) {
  std::vector<std::string> lines;
  auto previous = fnd::setLogSink([&](const std::string& l) { lines.push_back(l); });
  fnd::log("progress: %d", 42);
  FND_LOG_AT("HIDClass", "mode %c", 'A');
  fnd::setLogSink(previous);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "progress: 42");
  EXPECT_EQ(lines[1].rfind("[Class:HIDClass Line:", 0), 0u);
  EXPECT_EQ(fnd::format("%s-%03d", "a", 7), "a-007");
}

TEST(Errors, DescriptionAndEquality) {
  auto e = fnd::Error::withDescription("ImportPresetError", 1002, "bad file");
  EXPECT_EQ(e->localizedDescription(), "bad file");
  EXPECT_EQ(Value(e), Value(fnd::Error::withDescription("ImportPresetError", 1002, "bad file")));
  EXPECT_NE(Value(e), Value(fnd::Error::make("ImportPresetError", 1003)));
  EXPECT_NE(fnd::Error::make("X", 1)->localizedDescription().find("X"), std::string::npos);
}
