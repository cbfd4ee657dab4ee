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
// The server sent more than the request's maximumContentLength; the user info
// holds the bound under RSURLErrorMaximumKey. (A local file over the bound
// fails with EFBIG in RSPOSIXErrorDomain.)
inline constexpr int64_t RSURLErrorContentTooLarge = 1002;
inline constexpr const char* RSURLErrorStatusCodeKey = "statusCode";
inline constexpr const char* RSURLErrorURLKey = "URL";
inline constexpr const char* RSURLErrorMaximumKey = "maximumContentLength";

// Failures of reads from files and file descriptors: code is the errno value.
// A file: URL must name a regular file (a folder fails with EISDIR; a pipe, a
// socket or a device with EINVAL, without waiting for a writer or reading
// without end).
inline constexpr const char* RSPOSIXErrorDomain = "RSPOSIXErrorDomain";

struct RSURLRequest {
  std::string URL;
  std::string HTTPMethod = "GET";
  std::vector<std::pair<std::string, std::string>> allHTTPHeaderFields;
  fnd::Data HTTPBody;
  // Seconds to connect, and then the longest silence of the server.
  double timeoutInterval = 60.0;
  // The most bytes of contents taken; more ends the request with an error.
  // The editor's own file readers take at most as much.
  uint64_t maximumContentLength = kDefaultMaximumContentLength;
  static constexpr uint64_t kDefaultMaximumContentLength = 64u << 20;

  static RSURLRequest requestWithURL(std::string url) {
    RSURLRequest request;
    request.URL = std::move(url);
    return request;
  }
};
