// What the benchmarks share: medians and percentiles of their samples,
// durations in the unit a counter is reported in, and the resident memory
// of the process. No Qt here: the device benchmarks include it too.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
inline double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
inline double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The sample at fraction p of the sorted samples (0: the least, 1: the
// most), rounded down; 0 for none.
inline double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

// The middle sample (of an even number, the upper of the two); 0 for none.
inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The process's resident memory.
inline long residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

inline double residentMegabytes() { return double(residentBytes()) / (1024.0 * 1024.0); }

}  // namespace bench
