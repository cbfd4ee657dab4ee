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

constexpr const char* kBytesKey = "$bytes";
// Deeper parts pass unchanged (nothing kept this way nests so deep).
constexpr int kMaxBytesDepth = 64;

// `v` with every part that `replace` answers for replaced, walking arrays and
// dictionaries down to kMaxBytesDepth.
template <class Replace>
Value rewrite(const Value& v, int depth, const Replace& replace) {
  if (std::optional<Value> replaced = replace(v)) return std::move(*replaced);
  if (depth >= kMaxBytesDepth) return v;
  if (v.isArray()) {
    std::vector<Value> items;
    for (const Value& x : v.asArray()) items.push_back(rewrite(x, depth + 1, replace));
    return Value(Array(std::move(items)));
  }
  if (v.isDictionary()) {
    Dictionary::Map m;
    for (const auto& [k, x] : v.asDictionary()) m.emplace(k, rewrite(x, depth + 1, replace));
    return Value(Dictionary(std::move(m)));
  }
  return v;
}

// A string that is not UTF-8 as an {"$bytes": hex} object.
std::optional<Value> bytesObject(const Value& v) {
  if (!v.isString() || utf8::isValid(v.asString())) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * v.asString().size());
  for (unsigned char c : v.asString()) hex += kHex[c >> 4], hex += kHex[c & 15];
  return Value(Dictionary{{kBytesKey, Value(std::move(hex))}});
}

// The bytes an {"$bytes": hex} object stands for; nothing for any other
// dictionary.
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
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

}  // namespace

Value encodeBytesForJson(const Value& v) { return rewrite(v, 0, bytesObject); }

Value decodeBytesFromJson(const Value& v) {
  return rewrite(v, 0, [](const Value& part) -> std::optional<Value> {
    if (!part.isDictionary()) return std::nullopt;
    if (std::optional<std::string> bytes = bytesOf(part.asDictionary())) return Value(std::move(*bytes));
    return std::nullopt;
  });
}

}  // namespace fnd
