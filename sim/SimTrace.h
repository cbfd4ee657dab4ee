// A trace of every report that crosses between the host and the simulated
// unit, one line per report, for checking a whole session afterwards:
//
//   <seconds since the trace started> <H2U|U2H> <128 hex digits>
//
// H2U is host to unit. The 64 report bytes are written without the report ID
// (a shorter input report is padded with zeros). The file is named by the
// environment variable QV450_SIM_TRACE.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace sim {

class SimTrace {
public:
  enum class Direction { HostToUnit, UnitToHost };

  static constexpr const char* kVariable = "QV450_SIM_TRACE";

  // The process-wide trace named by QV450_SIM_TRACE (opened once), or null
  // when the variable is not set or the file cannot be written.
  static std::shared_ptr<SimTrace> fromEnvironment();
  // A trace into this file (truncated), or null when it cannot be opened.
  static std::shared_ptr<SimTrace> open(const std::string& path);

  ~SimTrace();
  SimTrace(const SimTrace&) = delete;
  SimTrace& operator=(const SimTrace&) = delete;

  void write(Direction direction, std::span<const uint8_t> report);

  // One line as written (without the line end).
  static std::string line(double seconds, Direction direction, std::span<const uint8_t> report);

private:
  explicit SimTrace(std::FILE* file);

  std::mutex mutex_;
  std::FILE* file_;
  const std::chrono::steady_clock::time_point start_;
};

}  // namespace sim
