#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "ReactiveTestSupport.h"
#include "reactive/RSFileHandleSignals.h"
#include "reactive/RSURLRequest.h"

using rstest::Recorder;

namespace {

std::string joined(const rstest::Values& chunks) {
  std::string all;
  for (const auto& chunk : chunks) all.append(chunk.asData().begin(), chunk.asData().end());
  return all;
}

bool ended(const Recorder& recorder) {
  return rstest::waitUntil([&] { return recorder.ended(); });
}

}  // namespace

TEST(ReadInBackgroundTest, PipeIsReadChunkByChunkUntilItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  Recorder recorder;
  recorder.subscribe(rs_readInBackground(fds[0]));
  ::close(fds[0]);  // the reader has its own descriptor
  std::thread writer([fd = fds[1], &recorder] {
    std::string written;
    for (const char* piece : {"abc", "def", "ghi"}) {
      (void)!::write(fd, piece, 3);
      written += piece;
      if (!rstest::waitUntil([&] { return joined(recorder.values()) == written; })) break;  // read before the next
    }
    ::close(fd);
  });
  writer.join();
  ASSERT_TRUE(ended(recorder));
  EXPECT_TRUE(recorder.completed());
  EXPECT_EQ(recorder.values().size(), 3u);
  EXPECT_EQ(joined(recorder.values()), "abcdefghi");
}

TEST(ReadInBackgroundTest, ChunksAreBoundedAndAnEmptyFileCompletesWithoutValue) {
  std::string pathName = (std::filesystem::temp_directory_path() / "qv450-read-XXXXXX").string();
  char* path = pathName.data();
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  Recorder empty;
  empty.subscribe(rs_readInBackground(fd));
  ASSERT_TRUE(ended(empty));
  EXPECT_EQ(empty.events(), (std::vector<std::string>{"completed"}));

  ASSERT_EQ(::write(fd, "0123456789", 10), 10);
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  Recorder chunks;
  chunks.subscribe(rs_readInBackground(fd, 4));
  ASSERT_TRUE(ended(chunks));
  ::close(fd);
  ::unlink(path);
  ASSERT_EQ(chunks.values().size(), 3u);
  EXPECT_EQ(chunks.values()[2].asData().size(), 2u);
  EXPECT_EQ(joined(chunks.values()), "0123456789");
  EXPECT_TRUE(chunks.completed());
}

TEST(ReadInBackgroundTest, AFailedReadEndsWithItsCause) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  Recorder writeEnd;
  writeEnd.subscribe(rs_readInBackground(fds[1]));  // not readable
  ASSERT_TRUE(ended(writeEnd));
  ::close(fds[0]);
  ::close(fds[1]);
  ASSERT_TRUE(writeEnd.failed());
  EXPECT_EQ(writeEnd.error()->domain(), RSPOSIXErrorDomain);
  EXPECT_EQ(writeEnd.error()->code(), EBADF);

  Recorder closed;
  closed.subscribe(rs_readInBackground(-1));
  ASSERT_TRUE(ended(closed));
  EXPECT_EQ(closed.error()->code(), EBADF);
}
