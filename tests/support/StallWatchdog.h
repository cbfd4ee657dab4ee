// Watches the main thread from a thread of its own: the main thread reports
// each turn of its event loop (beat) and each paint of its windows (painted),
// and says whether its windows should be painting at all. When it has not
// turned, or its shown windows have not painted, for `limit`, the watchdog
// prints what it was told to name the run by (a seed), the main thread's
// stack and the caller's last words, and ends the process with status 1.
//
// Time the main thread spent waiting for a processor (a loaded machine) does
// not count towards the limit: only time it ran or slept does.
//
// Made on the main thread; beat, painted and expectPaints from the main
// thread. Kept free of Qt. One at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace xtest {

class StallWatchdog {
public:
  // `name` heads the failure message; `lastWords` adds to it (it must not
  // need the main thread).
  StallWatchdog(std::chrono::milliseconds limit, std::string name, std::function<std::string()> lastWords);
  ~StallWatchdog();
  StallWatchdog(const StallWatchdog&) = delete;
  StallWatchdog& operator=(const StallWatchdog&) = delete;

  void beat() { beats_.fetch_add(1, std::memory_order_relaxed); }
  void painted() { paints_.fetch_add(1, std::memory_order_relaxed); }
  void expectPaints(bool expect) { expectPaints_.store(expect, std::memory_order_relaxed); }

  // Time the main thread has waited for a processor so far, from the
  // scheduler's counters (zero where the system keeps none).
  std::chrono::nanoseconds mainThreadWaited() const;

private:
  void watch();
  [[noreturn]] void fail(const std::string& what);

  const std::chrono::milliseconds limit_;
  const std::string name_;
  const std::function<std::string()> lastWords_;
  const long mainTid_;
  const unsigned long mainThread_;
  std::atomic<uint64_t> beats_{0};
  std::atomic<uint64_t> paints_{0};
  std::atomic<bool> expectPaints_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace xtest
