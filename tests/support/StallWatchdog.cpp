#include "support/StallWatchdog.h"

#include <execinfo.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <type_traits>

// Present in sanitizer builds: prints the calling thread's stack, symbolised.
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace xtest {

namespace {

static_assert(std::is_same_v<pthread_t, unsigned long>, "pthread_t is kept as unsigned long");

std::atomic<bool> stackPrinted{false};

// Runs on the main thread, interrupted wherever it is stuck.
void printStack(int) {
  if (__sanitizer_print_stack_trace) {
    __sanitizer_print_stack_trace();
  } else {
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
  }
  stackPrinted = true;
}

}  // namespace

StallWatchdog::StallWatchdog(std::chrono::milliseconds limit, std::string name, std::function<std::string()> lastWords)
    : limit_(limit),
      name_(std::move(name)),
      lastWords_(std::move(lastWords)),
      mainTid_(syscall(SYS_gettid)),
      mainThread_(pthread_self()) {
  thread_ = std::thread([this] { watch(); });
}

StallWatchdog::~StallWatchdog() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::chrono::nanoseconds StallWatchdog::mainThreadWaited() const {
  // Time on a processor, time waiting for one, slices run.
  std::ifstream stat("/proc/self/task/" + std::to_string(mainTid_) + "/schedstat");
  unsigned long long ran = 0, waited = 0;
  if (!(stat >> ran >> waited)) return {};
  return std::chrono::nanoseconds(waited);
}

void StallWatchdog::watch() {
  using Clock = std::chrono::steady_clock;
  struct Mark {
    uint64_t count = 0;
    Clock::time_point at;
    std::chrono::nanoseconds waited{};
    // How long the count has not moved, less the time spent waiting for a
    // processor.
    std::chrono::nanoseconds still(Clock::time_point now, std::chrono::nanoseconds w) const {
      return (now - at) - (w - waited);
    }
  };
  Mark beat{beats_.load(), Clock::now(), mainThreadWaited()};
  Mark paint = beat;
  paint.count = paints_.load();
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [&] { return stopping_; })) {
    const auto now = Clock::now();
    const auto waited = mainThreadWaited();
    const uint64_t beats = beats_.load();
    if (beats != beat.count) {
      beat = {beats, now, waited};
    } else if (beat.still(now, waited) > limit_) {
      fail("the main thread has not turned its event loop for " + std::to_string(limit_.count()) + " ms");
    }
    const uint64_t paints = paints_.load();
    if (paints != paint.count || !expectPaints_.load()) {
      paint = {paints, now, waited};
    } else if (paint.still(now, waited) > limit_) {
      fail("the shown windows have not repainted for " + std::to_string(limit_.count()) + " ms");
    }
  }
}

void StallWatchdog::fail(const std::string& what) {
  std::fprintf(stderr, "\n*** %s: %s\n*** the main thread's stack:\n", name_.c_str(), what.c_str());
  std::fflush(stderr);
  struct sigaction action = {};
  action.sa_handler = printStack;
  sigemptyset(&action.sa_mask);
  sigaction(SIGUSR2, &action, nullptr);
  pthread_kill(static_cast<pthread_t>(mainThread_), SIGUSR2);
  for (int i = 0; i < 100 && !stackPrinted; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!stackPrinted) std::fprintf(stderr, "  (the main thread did not answer)\n");
  if (lastWords_) std::fprintf(stderr, "%s", lastWords_().c_str());
  std::fprintf(stderr, "*** %s: %s\n", name_.c_str(), what.c_str());
  std::fflush(stderr);
  _exit(1);
}

}  // namespace xtest
