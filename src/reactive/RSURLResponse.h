// The response to a URL request (RSURLRequest.h): where it came from, the
// HTTP status and headers. Immutable.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

class RSURLResponse;
using RSURLResponsePtr = std::shared_ptr<const RSURLResponse>;

class RSURLResponse : public fnd::Object {
public:
  RSURLResponse(std::string url, long statusCode, fnd::Dictionary allHeaderFields);

  // The URL the response came from (after redirections).
  const std::string& URL() const { return url_; }
  // The HTTP status; 0 for a file.
  long statusCode() const { return statusCode_; }
  // Header names as the server wrote them; a repeated header keeps the last.
  const fnd::Dictionary& allHeaderFields() const { return allHeaderFields_; }

  std::string description() const override;

private:
  const std::string url_;
  const long statusCode_;
  const fnd::Dictionary allHeaderFields_;
};
