// Internal: one URL transfer, run in bounded steps so that a queue can run it
// a slice at a time and drop it between slices.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "reactive/RSURLRequest.h"
#include "reactive/RSURLResponse.h"

namespace rs_detail {

struct URLResult {
  RSURLResponsePtr response;
  fnd::Data data;
  std::shared_ptr<const fnd::Error> error;  // set instead of response and data
};

class URLTransfer {
public:
  explicit URLTransfer(const RSURLRequest& request);
  ~URLTransfer();
  URLTransfer(const URLTransfer&) = delete;
  URLTransfer& operator=(const URLTransfer&) = delete;

  // Moves the transfer on for at most about `slice`; the result once it has
  // finished (successfully or not), nothing while it goes on.
  std::optional<URLResult> step(std::chrono::milliseconds slice);

  // The whole transfer on the calling thread.
  static URLResult perform(const RSURLRequest& request);

private:
  struct Curl;
  std::unique_ptr<Curl> curl_;
  std::optional<URLResult> immediate_;  // file: URLs and set-up failures
};

// The path of a local file: URL; nothing for any other URL.
std::optional<std::string> localPathOfFileURL(const std::string& url);
// An error of RSPOSIXErrorDomain for errno `code` while doing `what`.
std::shared_ptr<const fnd::Error> posixError(int code, const std::string& what);

}  // namespace rs_detail
