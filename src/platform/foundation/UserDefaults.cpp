#include "platform/foundation/UserDefaults.h"

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

// JSON text is UTF-8, but a string kept here may be any bytes: a folder's
// path on Linux need not be UTF-8. Such a string is written as
// {"$bytes": "<hex>"} and read back as the string it was; every other string
// is written as it is, so the file stays readable and older files still load.
constexpr const char* kBytesKey = "$bytes";
constexpr int kMaxDefaultsDepth = 64;

bool isUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t more;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1, cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, cp = c & 0x07u;
    } else {
      return false;
    }
    if (s.size() - i <= more) return false;
    for (size_t k = 1; k <= more; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    i += more + 1;
  }
  return true;
}

Value encodeForFile(const Value& v, int depth) {
  if (v.isString() && !isUtf8(v.asString())) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : v.asString()) hex += kHex[c >> 4], hex += kHex[c & 15];
    return Value(Dictionary{{kBytesKey, Value(hex)}});
  }
  if (depth >= kMaxDefaultsDepth) return v;
  if (v.isArray()) {
    std::vector<Value> items;
    for (const Value& x : v.asArray()) items.push_back(encodeForFile(x, depth + 1));
    return Value(Array(std::move(items)));
  }
  if (v.isDictionary()) {
    Dictionary::Map m;
    for (const auto& [k, x] : v.asDictionary()) m.emplace(k, encodeForFile(x, depth + 1));
    return Value(Dictionary(std::move(m)));
  }
  return v;
}

std::optional<std::string> bytesOf(const Dictionary& d) {
  if (d.size() != 1 || !d[kBytesKey].isString()) return std::nullopt;
  const std::string& hex = d[kBytesKey].asString();
  if (hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

Value decodeFromFile(const Value& v, int depth) {
  if (depth >= kMaxDefaultsDepth) return v;
  if (v.isArray()) {
    std::vector<Value> items;
    for (const Value& x : v.asArray()) items.push_back(decodeFromFile(x, depth + 1));
    return Value(Array(std::move(items)));
  }
  if (v.isDictionary()) {
    if (auto bytes = bytesOf(v.asDictionary())) return Value(std::move(*bytes));
    Dictionary::Map m;
    for (const auto& [k, x] : v.asDictionary()) m.emplace(k, decodeFromFile(x, depth + 1));
    return Value(Dictionary(std::move(m)));
  }
  return v;
}

}  // namespace

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
    auto text = files::readTextAtMost(file_, kMaxFileSize, &error);
    std::optional<Value> parsed = text ? parseJson(*text, &error) : std::nullopt;
    if (parsed && parsed->isDictionary()) {
      // The keys' values, not the file's dictionary itself, may be strings
      // of any bytes.
      Dictionary::Map entries;
      for (const auto& [key, value] : parsed->asDictionary()) entries.emplace(key, decodeFromFile(value, 1));
      loaded = Dictionary(std::move(entries));
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
  if (!files::writeAtomically(file_, writeJson(encodeForFile(Value(values), 0)) + "\n", &error)) {
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
