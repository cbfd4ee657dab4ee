#include "reactive/RSFileHandleSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "reactive/RSDebug.h"
#include "reactive/RSURLTransfer.h"

namespace {

// The duplicate descriptor, closed with the last pass that holds it.
struct BackgroundRead {
  int fd = -1;
  std::vector<uint8_t> buffer;
  ~BackgroundRead() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

RSReplaySubjectPtr rs_readInBackground(int fileDescriptor, size_t chunkSize) {
  RSReplaySubjectPtr subject = RSReplaySubject::subject();
  subject->setNameWithFormat("<fd %d> -rs_readInBackground", fileDescriptor);

  auto read = std::make_shared<BackgroundRead>();
  read->fd = fileDescriptor >= 0 ? ::fcntl(fileDescriptor, F_DUPFD_CLOEXEC, 0) : -1;
  // A descriptor open for writing only would never become readable.
  const int flags = read->fd >= 0 ? ::fcntl(read->fd, F_GETFL) : -1;
  if (read->fd < 0 || (flags & O_ACCMODE) == O_WRONLY) {
    int code = fileDescriptor >= 0 && read->fd < 0 ? errno : EBADF;
    subject->sendError(rs_detail::posixError(code, "cannot read file descriptor " + std::to_string(fileDescriptor)));
    return subject;
  }
  read->buffer.resize(chunkSize > 0 ? chunkSize : 1);

  RSSchedulerPtr queue = RSScheduler::schedulerWithPriority(dispatch::Priority::Default, RSLabel("readInBackground"));
  queue->scheduleRecursiveBlock(subject, [read, subject, fileDescriptor](const std::function<void()>& reschedule) {
    pollfd waiting{read->fd, POLLIN, 0};
    int ready = ::poll(&waiting, 1, RSReadInBackgroundPollSliceMilliseconds);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
      reschedule();
      return;
    }
    ssize_t n = ready < 0 ? -1 : ::read(read->fd, read->buffer.data(), read->buffer.size());
    if (n > 0) {
      subject->sendNext(fnd::Value(fnd::Data(read->buffer.begin(), read->buffer.begin() + n)));
      reschedule();
    } else if (n == 0) {
      subject->sendCompleted();
    } else if (errno == EINTR || errno == EAGAIN) {
      reschedule();
    } else {
      subject->sendError(rs_detail::posixError(errno, "cannot read file descriptor " + std::to_string(fileDescriptor)));
    }
  });
  return subject;
}
