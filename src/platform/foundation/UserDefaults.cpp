#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Files.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"

namespace fnd {

std::shared_ptr<UserDefaults> UserDefaults::standard() {
  static std::shared_ptr<UserDefaults> shared = withFile(paths::configDir() / "defaults.json");
  return shared;
}

std::shared_ptr<UserDefaults> UserDefaults::withFile(std::filesystem::path file) { return make<UserDefaults>(std::move(file)); }

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) { reload(); }

void UserDefaults::reload() {
  Dictionary loaded;
  std::error_code ec;
  if (std::filesystem::exists(file_, ec)) {
    std::string error;
    auto text = files::readText(file_, &error);
    std::optional<Value> parsed = text ? parseJson(*text, &error) : std::nullopt;
    if (parsed && parsed->isDictionary()) {
      loaded = parsed->asDictionary();
    } else {
      log("user defaults: ignoring unreadable %s (%s)", file_.c_str(), error.empty() ? "not a dictionary" : error.c_str());
    }
  }
  std::lock_guard guard(mutex_);
  values_ = std::move(loaded);
}

Value UserDefaults::objectForKey(std::string_view key) const {
  std::lock_guard guard(mutex_);
  return values_[key];
}

std::string UserDefaults::stringForKey(std::string_view key) const {
  Value v = objectForKey(key);
  return v.isString() || v.isNumber() ? v.stringValue() : std::string();
}

int64_t UserDefaults::integerForKey(std::string_view key) const { return objectForKey(key).intValue(); }

bool UserDefaults::boolForKey(std::string_view key) const { return objectForKey(key).boolValue(); }

bool UserDefaults::setObjectForKey(std::string_view key, const Value& v) {
  willChangeValueForKey(key);
  bool saved;
  {
    std::lock_guard guard(mutex_);
    values_ = v.isNilOrNull() ? values_.without(key) : values_.with(std::string(key), v);
    saved = save(values_);
  }
  didChangeValueForKey(key);
  return saved;
}

bool UserDefaults::save(const Dictionary& values) {
  std::string error;
  if (!files::writeAtomically(file_, writeJson(Value(values)) + "\n", &error)) {
    log("user defaults: cannot save: %s", error.c_str());
    return false;
  }
  return true;
}

Value UserDefaults::valueForUndefinedKey(std::string_view key) const { return objectForKey(key); }

bool UserDefaults::setValueForUndefinedKey(std::string_view key, const Value& v) {
  setObjectForKey(key, v);
  return true;
}

}  // namespace fnd
