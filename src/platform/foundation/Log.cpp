#include "platform/foundation/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace fnd {

namespace {
std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}
LogSink& sinkRef() {
  static LogSink sink;
  return sink;
}

std::string vformat(const char* fmt, va_list args) {
  // Most lines fit the stack buffer: formatted once, without a heap buffer.
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}
}  // namespace

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  return s;
}

void logLine(const std::string& line) {
  LogSink sink;
  {
    std::lock_guard guard(sinkMutex());
    sink = sinkRef();
  }
  if (sink) {
    sink(line);
    return;
  }
  std::string out = line + "\n";
  std::fwrite(out.data(), 1, out.size(), stderr);
}

void log(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  logLine(s);
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard guard(sinkMutex());
  LogSink previous = std::move(sinkRef());
  sinkRef() = std::move(sink);
  return previous;
}

}  // namespace fnd
