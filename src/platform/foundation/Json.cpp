#include "platform/foundation/Json.h"

#include "platform/foundation/Utf8.h"

namespace fnd {

nlohmann::json toJson(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Bool: return v.boolValue();
    case Value::Kind::Int: return v.intValue();
    case Value::Kind::Double: return v.doubleValue();
    case Value::Kind::String: return v.asString();
    case Value::Kind::Array: {
      nlohmann::json out = nlohmann::json::array();
      for (const auto& x : v.asArray()) out.push_back(toJson(x));
      return out;
    }
    case Value::Kind::Dictionary: {
      nlohmann::json out = nlohmann::json::object();
      for (const auto& [k, x] : v.asDictionary()) out[k] = toJson(x);
      return out;
    }
    default: return nullptr;
  }
}

namespace {
// Files from users may nest arbitrarily; nothing this program reads nests
// deeper than a few levels, so deeper parts are cut off instead of recursing.
constexpr int kMaxDepth = 256;
}  // namespace

static Value fromJsonAt(const nlohmann::json& j, int depth);

Value fromJson(const nlohmann::json& j) { return fromJsonAt(j, 0); }

static Value fromJsonAt(const nlohmann::json& j, int depth) {
  if (depth > kMaxDepth) return Value::null();
  switch (j.type()) {
    case nlohmann::json::value_t::null: return Value::null();
    case nlohmann::json::value_t::boolean: return Value(j.get<bool>());
    case nlohmann::json::value_t::number_integer: return Value(j.get<int64_t>());
    case nlohmann::json::value_t::number_unsigned: {
      uint64_t u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(INT64_MAX)) return Value(static_cast<double>(u));
      return Value(static_cast<int64_t>(u));
    }
    case nlohmann::json::value_t::number_float: return Value(j.get<double>());
    case nlohmann::json::value_t::string: return Value(j.get<std::string>());
    case nlohmann::json::value_t::array: {
      std::vector<Value> items;
      items.reserve(j.size());
      for (const auto& x : j) items.push_back(fromJsonAt(x, depth + 1));
      return Value(Array(std::move(items)));
    }
    case nlohmann::json::value_t::object: {
      Dictionary::Map m;
      for (auto it = j.begin(); it != j.end(); ++it) m.emplace(it.key(), fromJsonAt(it.value(), depth + 1));
      return Value(Dictionary(std::move(m)));
    }
    default: return Value();
  }
}

std::optional<Value> parseJson(std::string_view text, std::string* error) {
  nlohmann::json j = nlohmann::json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded()) {
    if (error) *error = "not valid JSON";
    return std::nullopt;
  }
  return fromJson(j);
}

std::string writeJson(const Value& v, int indent) {
  // Replace invalid UTF-8 rather than throwing on a bad name from the unit.
  return toJson(v).dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

namespace {

// Strings that are not UTF-8 are written as {"$bytes": hex}, keys that are
// not UTF-8 as "$bytes:" followed by hex, and a caller's key that begins with
// "$" with one more "$" in front: so no dictionary a caller stores is ever
// taken for the marker, and text written before (markers, and keys without
// "$$" in front) reads as it did.
constexpr const char* kBytesKey = "$bytes";
constexpr std::string_view kBytesKeyPrefix = "$bytes:";

std::string hexOf(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (unsigned char c : bytes) hex += kHex[c >> 4], hex += kHex[c & 15];
  return hex;
}

// The bytes that hex digits (either case) stand for; nothing when they are
// not an even number of hex digits.
std::optional<std::string> bytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::string encodedKey(const std::string& key) {
  if (!utf8::isValid(key)) return std::string(kBytesKeyPrefix) + hexOf(key);
  if (!key.empty() && key[0] == '$') return "$" + key;
  return key;
}

std::string decodedKey(const std::string& key) {
  if (key.rfind("$$", 0) == 0) return key.substr(1);
  if (key.rfind(kBytesKeyPrefix, 0) == 0)
    if (std::optional<std::string> bytes = bytesOfHex(std::string_view(key).substr(kBytesKeyPrefix.size())))
      return std::move(*bytes);
  return key;
}

// The bytes an {"$bytes": hex} object stands for; nothing for any other
// dictionary.
std::optional<std::string> bytesOf(const Dictionary& d) {
  if (d.size() != 1 || !d[kBytesKey].isString()) return std::nullopt;
  return bytesOfHex(d[kBytesKey].asString());
}

// `v` as it goes into JSON text at `depth` (the text's outermost value at
// 0); nothing when a part of it could not be read back (fromJson reads
// nothing deeper than kMaxDepth but null, and a marker's hex is one level
// below its string).
std::optional<Value> encodedAt(const Value& v, int depth) {
  if (depth > kMaxDepth) return v.isNilOrNull() ? std::optional<Value>(v) : std::nullopt;
  if (v.isString()) {
    if (utf8::isValid(v.asString())) return v;
    if (depth == kMaxDepth) return std::nullopt;
    return Value(Dictionary{{kBytesKey, Value(hexOf(v.asString()))}});
  }
  if (v.isArray()) {
    std::vector<Value> items;
    items.reserve(v.asArray().size());
    for (const Value& x : v.asArray()) {
      std::optional<Value> item = encodedAt(x, depth + 1);
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
    }
    return Value(Array(std::move(items)));
  }
  if (v.isDictionary()) {
    Dictionary::Map m;
    for (const auto& [k, x] : v.asDictionary()) {
      std::optional<Value> item = encodedAt(x, depth + 1);
      if (!item) return std::nullopt;
      m.emplace(encodedKey(k), std::move(*item));
    }
    return Value(Dictionary(std::move(m)));
  }
  return v;
}

Dictionary decodedEntries(const Dictionary& d, int depth);

Value decodedAt(const Value& v, int depth) {
  if (depth > kMaxDepth) return v;
  if (v.isArray()) {
    std::vector<Value> items;
    items.reserve(v.asArray().size());
    for (const Value& x : v.asArray()) items.push_back(decodedAt(x, depth + 1));
    return Value(Array(std::move(items)));
  }
  if (v.isDictionary()) {
    if (std::optional<std::string> bytes = bytesOf(v.asDictionary())) return Value(std::move(*bytes));
    return Value(decodedEntries(v.asDictionary(), depth));
  }
  return v;
}

Dictionary decodedEntries(const Dictionary& d, int depth) {
  Dictionary::Map m;
  for (const auto& [k, x] : d) m.emplace(decodedKey(k), decodedAt(x, depth + 1));
  return Dictionary(std::move(m));
}

}  // namespace

std::optional<Value> encodeBytesForJson(const Value& v) { return encodedAt(v, 0); }

Value decodeBytesFromJson(const Value& v) { return decodedAt(v, 0); }

Dictionary decodeBytesFromJsonEntries(const Dictionary& d) { return decodedEntries(d, 0); }

}  // namespace fnd
