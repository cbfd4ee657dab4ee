#include "reactive/RSURLResponse.h"

RSURLResponse::RSURLResponse(std::string url, long statusCode, fnd::Dictionary allHeaderFields)
    : url_(std::move(url)), statusCode_(statusCode), allHeaderFields_(std::move(allHeaderFields)) {}

std::string RSURLResponse::description() const {
  return "<RSURLResponse: " + url_ + " status " + std::to_string(statusCode_) + ">";
}
