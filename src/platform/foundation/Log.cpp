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
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  std::vector<char> buf(static_cast<size_t>(n) + 1);
  std::vsnprintf(buf.data(), buf.size(), fmt, args);
  return std::string(buf.data(), static_cast<size_t>(n));
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
