// Starts a program under the X server of $DISPLAY, waits until its window is
// mapped and its log has shown a given line, closes the window as a window
// manager does (WM_PROTOCOLS / WM_DELETE_WINDOW) and passes only when the
// program then ends by itself with status 0 and nothing on its standard error
// reads like a sanitizer's report.
//
//   qv450_wm_close READY_LINE PROGRAM [ARGUMENTS...]
//
// The program runs in a folder of its own (home, configuration, cache), gone
// afterwards; its standard error is passed on.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/TestSandbox.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kReadyBound = std::chrono::seconds(120);
constexpr auto kEndBound = std::chrono::seconds(30);
constexpr int kPollMs = 100;

// The program's standard error, passed on as it comes and kept.
struct ErrorOutput {
  int fd = -1;
  std::string text;
  bool open() const { return fd >= 0; }
  // Waits up to kPollMs for more (closed when the program closed it).
  void read() {
    if (fd < 0) {
      ::usleep(kPollMs * 1000);
      return;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kPollMs) <= 0) return;
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n <= 0) {
      ::close(fd);
      fd = -1;
      return;
    }
    text.append(buffer.data(), static_cast<size_t>(n));
    ssize_t written = ::write(STDERR_FILENO, buffer.data(), static_cast<size_t>(n));
    (void)written;
  }
};

pid_t start(char** argv, int* errorFd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], STDERR_FILENO);
    ::execvp(argv[0], argv);
    std::perror(argv[0]);
    ::_exit(127);
  }
  ::close(fds[1]);
  *errorFd = fds[0];
  return pid;
}

unsigned long cardinalProperty(Display* d, Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  unsigned long value = 0;
  if (XGetWindowProperty(d, w, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      data && format == 32 && count == 1)
    value = *reinterpret_cast<unsigned long*>(data);
  if (data) XFree(data);
  return value;
}

// A mapped top-level window of process `pid` that takes WM_DELETE_WINDOW.
Window closableWindowOf(Display* d, pid_t pid, Atom pidAtom, Atom deleteAtom) {
  Window root = 0, parent = 0, found = None;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return None;
  for (unsigned int i = 0; i < count && found == None; ++i) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
    if (cardinalProperty(d, children[i], pidAtom) != static_cast<unsigned long>(pid)) continue;
    Atom* protocols = nullptr;
    int n = 0;
    if (XGetWMProtocols(d, children[i], &protocols, &n)) {
      for (int k = 0; k < n; ++k)
        if (protocols[k] == deleteAtom) found = children[i];
      XFree(protocols);
    }
  }
  if (children) XFree(children);
  return found;
}

void sendDelete(Display* d, Window w, Atom protocolsAtom, Atom deleteAtom) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = protocolsAtom;
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(deleteAtom);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

bool reportsAFinding(const std::string& text) {
  for (const char* mark : {"Sanitizer", "runtime error:", "SUMMARY:"})
    if (text.find(mark) != std::string::npos) return true;
  return false;
}

int fail(const char* why) {
  std::fprintf(stderr, "qv450_wm_close: %s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s READY_LINE PROGRAM [ARGUMENTS...]\n", argv[0]);
    return 2;
  }
  const std::string ready = argv[1];
  testing_support::TestSandbox sandbox;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return fail("no X display (run it under xvfb-run)");
  const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
  const Atom protocolsAtom = XInternAtom(d, "WM_PROTOCOLS", False);
  const Atom deleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);

  ErrorOutput err;
  const pid_t pid = start(argv + 2, &err.fd);
  if (pid < 0) return fail("cannot start the program");

  // Ready: the line logged and the window mapped, in either order.
  int status = 0;
  bool ended = false;
  Window window = None;
  for (const auto end = Clock::now() + kReadyBound; window == None && !ended && Clock::now() < end;) {
    err.read();
    if (err.text.find(ready) != std::string::npos) window = closableWindowOf(d, pid, pidAtom, deleteAtom);
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
  }
  int result = 0;
  if (ended) {
    result = fail("the program ended before it was closed");
  } else if (window == None) {
    result = fail("no mapped window with the log line in time");
  } else {
    sendDelete(d, window, protocolsAtom, deleteAtom);
    for (const auto end = Clock::now() + kEndBound; !ended && Clock::now() < end;) {
      err.read();
      ended = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) result = fail("the program did not end after its window was closed");
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  for (const auto end = Clock::now() + kEndBound; err.open() && Clock::now() < end;) err.read();
  XCloseDisplay(d);
  if (result != 0) return result;
  if (!WIFEXITED(status)) return fail("the program was ended by a signal");
  if (WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "qv450_wm_close: exit status %d\n", WEXITSTATUS(status));
    result = 1;
  }
  if (reportsAFinding(err.text)) result = fail("a sanitizer's report on the standard error");
  return result;
}
