#include "platform/foundation/UserDefaults.h"

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Files.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"

namespace fnd {

namespace {

// Settings are a few hundred bytes; a larger file is not ours.
constexpr uint64_t kMaxFileSize = 16u << 20;

// A file that was there but could not be read is kept beside it under this
// name (then "-2", "-3", ...) before a new one is written over it.
constexpr const char* kAsideSuffix = ".unreadable";
constexpr int kMaxAsideNames = 100;

}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard() {
  static std::shared_ptr<UserDefaults> shared = withFile(paths::configDir() / "defaults.json");
  return shared;
}

std::shared_ptr<UserDefaults> UserDefaults::withFile(std::filesystem::path file) { return make<UserDefaults>(std::move(file)); }

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) { reload(); }

void UserDefaults::reload() {
  Dictionary loaded;
  bool unreadable = false;
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(file_, ec);
  if (std::filesystem::exists(status)) {
    std::string error;
    auto text = files::readTextAtMost(file_, kMaxFileSize, &error);
    std::optional<Value> parsed = text ? parseJson(*text, &error) : std::nullopt;
    if (parsed && parsed->isDictionary()) {
      // The keys and their values, not the file's dictionary itself, may
      // stand for bytes.
      loaded = decodeBytesFromJsonEntries(parsed->asDictionary());
    } else {
      log("user defaults: ignoring unreadable %s (%s)", file_.c_str(), error.empty() ? "not a dictionary" : error.c_str());
      // A folder is never written over; anything else would be.
      unreadable = !std::filesystem::is_directory(status);
    }
  }
  std::lock_guard guard(mutex_);
  values_ = std::move(loaded);
  keepAside_ = unreadable;
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
  // As deep in the file as it would be there.
  if (!encodeBytesForJson(Value(Dictionary{{std::string(key), v}}))) {
    log("user defaults: not set: the value of %.*s is nested too deep to be read back", static_cast<int>(key.size()),
        key.data());
    return false;
  }
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
  if (keepAside_ && !moveAside()) return false;
  std::string error;
  // Every value was taken only once it could be encoded.
  const std::optional<Value> encoded = encodeBytesForJson(Value(values));
  if (!encoded || !files::writeAtomically(file_, writeJson(*encoded) + "\n", &error)) {
    log("user defaults: cannot save: %s", error.c_str());
    return false;
  }
  return true;
}

bool UserDefaults::moveAside() {
  for (int n = 1; n <= kMaxAsideNames; ++n) {
    std::filesystem::path aside = file_;
    aside += kAsideSuffix;
    if (n > 1) aside += "-" + std::to_string(n);
    std::string error;
    if (files::renameWithoutReplacing(file_, aside, &error)) {
      log("user defaults: the unreadable %s is kept as %s", file_.c_str(), aside.c_str());
      keepAside_ = false;
      return true;
    }
    if (errno == ENOENT) {  // gone meanwhile: nothing left to keep
      keepAside_ = false;
      return true;
    }
    if (errno != EEXIST) {
      log("user defaults: not saved, for the unreadable %s cannot be kept aside: %s", file_.c_str(), error.c_str());
      return false;
    }
  }
  log("user defaults: not saved, for the unreadable %s cannot be kept aside: every name is taken", file_.c_str());
  return false;
}

Value UserDefaults::valueForUndefinedKey(std::string_view key) const { return objectForKey(key); }

bool UserDefaults::setValueForUndefinedKey(std::string_view key, const Value& v) {
  setObjectForKey(key, v);
  return true;
}

}  // namespace fnd
