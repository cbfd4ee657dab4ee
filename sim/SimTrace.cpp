#include "sim/SimTrace.h"

#include <cstdlib>

#include "platform/foundation/Log.h"

namespace sim {

SimTrace::SimTrace(std::FILE* file) : file_(file), start_(std::chrono::steady_clock::now()) {}

SimTrace::~SimTrace() { std::fclose(file_); }

std::shared_ptr<SimTrace> SimTrace::open(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    fnd::log("Cannot write the report trace %s", path.c_str());
    return nullptr;
  }
  return std::shared_ptr<SimTrace>(new SimTrace(f));
}

std::shared_ptr<SimTrace> SimTrace::fromEnvironment() {
  static std::once_flag once;
  static std::shared_ptr<SimTrace> trace;
  std::call_once(once, [] {
    const char* path = std::getenv(kVariable);
    if (path != nullptr && *path != '\0') trace = open(path);
  });
  return trace;
}

std::string SimTrace::line(double seconds, Direction direction, std::span<const uint8_t> report) {
  static const char kHex[] = "0123456789abcdef";
  std::string s = fnd::format("%.6f %s ", seconds, direction == Direction::HostToUnit ? "H2U" : "U2H");
  for (size_t i = 0; i < 64; ++i) {
    const uint8_t b = i < report.size() ? report[i] : 0;
    s += kHex[b >> 4];
    s += kHex[b & 0xF];
  }
  return s;
}

void SimTrace::write(Direction direction, std::span<const uint8_t> report) {
  std::lock_guard guard(mutex_);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string s = line(seconds, direction, report);
  s += '\n';
  std::fwrite(s.data(), 1, s.size(), file_);
  std::fflush(file_);
}

}  // namespace sim
