// A URL request as the signal framework's URL signals take it
// (RSURLSignals.h), and the errors they send.
//
// http: and https: URLs go through libcurl; file: URLs (file:///path,
// file://localhost/path, file:/path, with %-escapes) are read directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

// Failures of URL requests: code is libcurl's error code (connection
// refused, time-out, ...), or one of those below. The user info's
// NSLocalizedDescription says what failed and where.
inline constexpr const char* RSURLErrorDomain = "RSURLErrorDomain";
// The server answered with a status of 400 or more where contents were to be
// read; the user info holds the status under RSURLErrorStatusCodeKey.
inline constexpr int64_t RSURLErrorHTTPStatus = 1000;
// Not an http:, https: or local file: URL.
inline constexpr int64_t RSURLErrorUnsupportedURL = 1001;
inline constexpr const char* RSURLErrorStatusCodeKey = "statusCode";
inline constexpr const char* RSURLErrorURLKey = "URL";

// Failures of reads from files and file descriptors: code is the errno value.
inline constexpr const char* RSPOSIXErrorDomain = "RSPOSIXErrorDomain";

struct RSURLRequest {
  std::string URL;
  std::string HTTPMethod = "GET";
  std::vector<std::pair<std::string, std::string>> allHTTPHeaderFields;
  fnd::Data HTTPBody;
  // Seconds to connect, and then the longest silence of the server.
  double timeoutInterval = 60.0;

  static RSURLRequest requestWithURL(std::string url) {
    RSURLRequest request;
    request.URL = std::move(url);
    return request;
  }
};
