// A test process works in a folder of its own, removed when the process ends:
// the home, configuration, data, cache and temporary folders point into it,
// so nothing a test writes (the program's user defaults, the toolkit's own
// settings file, scratch files) lands in the user's home or stays in /tmp.
// Made first thing in main(), before anything reads those variables.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace testing_support {

class TestSandbox {
public:
  TestSandbox() {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "qv450-test-XXXXXX").string();
    if (ec || ::mkdtemp(pattern.data()) == nullptr) {
      std::perror("cannot make the test's own folder");
      std::exit(2);
    }
    root_ = pattern;
    const fs::path home = root_ / "home";
    const fs::path tmp = root_ / "tmp";
    fs::create_directories(home, ec);
    fs::create_directories(tmp, ec);
    // Like /tmp, for tests that act as another user on one thread: the way
    // in open to all, the temporary folder writable by all, sticky.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec, ec);
    fs::permissions(tmp, fs::perms::all | fs::perms::sticky_bit, ec);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("TMPDIR", tmp.c_str(), 1);
  }
  ~TestSandbox() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TestSandbox(const TestSandbox&) = delete;
  TestSandbox& operator=(const TestSandbox&) = delete;

  const std::filesystem::path& root() const { return root_; }

private:
  std::filesystem::path root_;
};

}  // namespace testing_support
