// The platform log: debug lines to standard error. Tests can capture them.
#pragma once

#include <functional>
#include <string>

namespace fnd {

// printf-style; a line end is added.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(const std::string& line);

// Replaces where lines go (nullptr: standard error). Returns the previous sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

// printf-style formatting into a std::string.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace fnd

// "[Class:<name> Line:<n>] ..." as the application's own debug lines read.
#define FND_LOG_AT(cls, fmt, ...) ::fnd::log("[Class:%s Line:%d] " fmt, cls, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
