// fnd::Error: an immutable error object with a domain, a code and user info.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Object.h"

namespace fnd {

inline constexpr const char* LocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* LocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";

class Error : public Object {
public:
  Error(std::string domain, int64_t code, Dictionary userInfo = {});
  static std::shared_ptr<const Error> make(std::string domain, int64_t code, Dictionary userInfo = {});
  // The common case: an error whose description is a text.
  static std::shared_ptr<const Error> withDescription(std::string domain, int64_t code, std::string description);

  const std::string& domain() const { return domain_; }
  int64_t code() const { return code_; }
  const Dictionary& userInfo() const { return userInfo_; }
  std::string localizedDescription() const;

  bool isEqual(const Object& other) const override;
  size_t hash() const override;
  std::string description() const override;

private:
  std::string domain_;
  int64_t code_;
  Dictionary userInfo_;
};

using ErrorPtr = std::shared_ptr<const Error>;

}  // namespace fnd
