// Captures the platform log's lines for the life of the object, then puts the
// previous sink back. Lines may arrive from any thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"

struct LogCapture {
  LogCapture() {
    previous = fnd::setLogSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back(line);
    });
  }
  ~LogCapture() { fnd::setLogSink(previous); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Whether any line captured so far contains `part`.
  bool has(const std::string& part) const {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& line : lines)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  mutable std::mutex mutex;
  std::vector<std::string> lines;
  fnd::LogSink previous;
};
