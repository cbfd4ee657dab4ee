#include "platform/foundation/Error.h"

namespace fnd {

Error::Error(std::string domain, int64_t code, Dictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

std::shared_ptr<const Error> Error::make(std::string domain, int64_t code, Dictionary userInfo) {
  return fnd::make<Error>(std::move(domain), code, std::move(userInfo));
}

std::shared_ptr<const Error> Error::withDescription(std::string domain, int64_t code, std::string description) {
  return make(std::move(domain), code, Dictionary{{LocalizedDescriptionKey, Value(std::move(description))}});
}

std::string Error::localizedDescription() const {
  const Value& d = userInfo_[LocalizedDescriptionKey];
  if (d.isString()) return d.asString();
  return "The operation couldn't be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

bool Error::isEqual(const Object& other) const {
  auto* e = dynamic_cast<const Error*>(&other);
  return e && e->domain_ == domain_ && e->code_ == code_ && e->userInfo_ == userInfo_;
}

size_t Error::hash() const { return std::hash<std::string>()(domain_) ^ static_cast<size_t>(code_); }

std::string Error::description() const {
  return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
}

}  // namespace fnd
