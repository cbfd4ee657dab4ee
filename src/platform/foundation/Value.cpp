#include "platform/foundation/Value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/foundation/Object.h"

namespace fnd {

namespace {

const Value& nilValue() {
  static const Value nil;
  return nil;
}

std::shared_ptr<const std::vector<Value>> emptyItems() {
  static const auto empty = std::make_shared<const std::vector<Value>>();
  return empty;
}

std::shared_ptr<const Dictionary::Map> emptyMap() {
  static const auto empty = std::make_shared<const Dictionary::Map>();
  return empty;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int64_t saturate(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);  // truncates toward zero
}

int64_t parseInt(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  // Accumulate as unsigned and saturate on overflow.
  uint64_t acc = 0;
  bool overflow = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    uint64_t digit = static_cast<uint64_t>(s[i] - '0');
    if (acc > (std::numeric_limits<uint64_t>::max() - digit) / 10) overflow = true;
    if (!overflow) acc = acc * 10 + digit;
    ++i;
  }
  const uint64_t maxPos = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (neg) {
    if (overflow || acc > maxPos + 1) return std::numeric_limits<int64_t>::min();
    return acc == maxPos + 1 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(acc);
  }
  if (overflow || acc > maxPos) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(acc);
}

double parseDouble(const std::string& s) {
  // strtod skips leading blanks and stops at the first character it cannot use.
  const char* begin = s.c_str();
  char* end = nullptr;
  double d = std::strtod(begin, &end);
  if (end == begin) return 0;
  return d;
}

std::string formatDouble(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  if (d == std::trunc(d) && std::fabs(d) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return buf;
  }
  // The shortest %g form that reads back to the same double.
  char buf[40];
  for (int prec = 1; prec <= 17; ++prec) {
    std::snprintf(buf, sizeof buf, "%.*g", prec, d);
    if (std::strtod(buf, nullptr) == d) break;
  }
  return buf;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

size_t mix(size_t h, size_t v) { return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2)); }

}  // namespace

// ---- Array ----

Array::Array() : items_(emptyItems()) {}
Array::Array(std::vector<Value> items)
    : items_(items.empty() ? emptyItems() : std::make_shared<const std::vector<Value>>(std::move(items))) {}
Array::Array(std::initializer_list<Value> items) : Array(std::vector<Value>(items)) {}

size_t Array::size() const { return items_->size(); }
bool Array::empty() const { return items_->empty(); }
const Value& Array::operator[](size_t i) const { return i < items_->size() ? (*items_)[i] : nilValue(); }
std::vector<Value>::const_iterator Array::begin() const { return items_->begin(); }
std::vector<Value>::const_iterator Array::end() const { return items_->end(); }

Array Array::with(size_t i, const Value& v) const {
  std::vector<Value> copy = *items_;
  if (i >= copy.size()) copy.resize(i + 1);
  copy[i] = v;
  return Array(std::move(copy));
}

Array Array::appending(const Value& v) const {
  std::vector<Value> copy = *items_;
  copy.push_back(v);
  return Array(std::move(copy));
}

bool Array::operator==(const Array& o) const { return items_ == o.items_ || *items_ == *o.items_; }

// ---- Dictionary ----

Dictionary::Dictionary() : map_(emptyMap()) {}
Dictionary::Dictionary(Map entries)
    : map_(entries.empty() ? emptyMap() : std::make_shared<const Map>(std::move(entries))) {}
Dictionary::Dictionary(std::initializer_list<std::pair<const std::string, Value>> entries)
    : Dictionary(Map(entries.begin(), entries.end())) {}

size_t Dictionary::size() const { return map_->size(); }
bool Dictionary::empty() const { return map_->empty(); }
const Value& Dictionary::operator[](std::string_view key) const {
  auto it = map_->find(key);
  return it == map_->end() ? nilValue() : it->second;
}
bool Dictionary::contains(std::string_view key) const { return map_->find(key) != map_->end(); }
Dictionary::Map::const_iterator Dictionary::begin() const { return map_->begin(); }
Dictionary::Map::const_iterator Dictionary::end() const { return map_->end(); }

Dictionary Dictionary::with(const std::string& key, const Value& v) const {
  Map copy = *map_;
  copy.insert_or_assign(key, v);
  return Dictionary(std::move(copy));
}

Dictionary Dictionary::without(std::string_view key) const {
  Map copy = *map_;
  auto it = copy.find(key);
  if (it != copy.end()) copy.erase(it);
  return Dictionary(std::move(copy));
}

bool Dictionary::operator==(const Dictionary& o) const { return map_ == o.map_ || *map_ == *o.map_; }

// ---- Value ----

Value::Value(const char* s) : Value(std::string(s ? s : "")) {}
Value::Value(std::string s) : kind_(Kind::String), p_(std::make_shared<const std::string>(std::move(s))) {}
Value::Value(std::string_view s) : Value(std::string(s)) {}
Value::Value(fnd::Array a) : kind_(Kind::Array), p_(std::make_shared<const fnd::Array>(std::move(a))) {}
Value::Value(fnd::Dictionary d) : kind_(Kind::Dictionary), p_(std::make_shared<const fnd::Dictionary>(std::move(d))) {}
Value::Value(fnd::Data bytes) : kind_(Kind::Data), p_(std::make_shared<const fnd::Data>(std::move(bytes))) {}

Value Value::null() {
  Value v;
  v.kind_ = Kind::Null;
  return v;
}

int64_t Value::intValue() const {
  switch (kind_) {
    case Kind::Bool:
    case Kind::Int: return i_;
    case Kind::Double: return saturate(d_);
    case Kind::String: return parseInt(asString());
    default: return 0;
  }
}

double Value::doubleValue() const {
  switch (kind_) {
    case Kind::Bool:
    case Kind::Int: return static_cast<double>(i_);
    case Kind::Double: return d_;
    case Kind::String: return parseDouble(asString());
    default: return 0;
  }
}

bool Value::boolValue() const {
  switch (kind_) {
    case Kind::Nil:
    case Kind::Null: return false;
    case Kind::Bool:
    case Kind::Int: return i_ != 0;
    case Kind::Double: return d_ != 0;
    case Kind::String: {
      const std::string& s = asString();
      size_t i = 0;
      while (i < s.size() && isBlank(s[i])) ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      while (i < s.size() && s[i] == '0') ++i;
      if (i >= s.size()) return false;
      char c = s[i];
      return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default: return true;
  }
}

std::string Value::stringValue() const {
  switch (kind_) {
    case Kind::Nil: return "";
    case Kind::String: return asString();
    case Kind::Bool:
    case Kind::Int: return std::to_string(i_);
    case Kind::Double: return formatDouble(d_);
    default: return description();
  }
}

std::string Value::description() const {
  switch (kind_) {
    case Kind::Nil: return "(null)";
    case Kind::Null: return "<null>";
    case Kind::Bool:
    case Kind::Int:
    case Kind::Double:
    case Kind::String: return stringValue();
    case Kind::Array: {
      std::string out = "(";
      bool first = true;
      for (const auto& v : asArray()) {
        out += first ? "" : ", ";
        out += v.isString() ? quoted(v.asString()) : v.description();
        first = false;
      }
      return out + ")";
    }
    case Kind::Dictionary: {
      std::string out = "{";
      bool first = true;
      for (const auto& [k, v] : asDictionary()) {
        out += first ? "" : "; ";
        out += k + " = " + (v.isString() ? quoted(v.asString()) : v.description());
        first = false;
      }
      return out + "}";
    }
    case Kind::Data: {
      static const char hex[] = "0123456789abcdef";
      std::string out = "<";
      for (uint8_t b : asData()) {
        out += hex[b >> 4];
        out += hex[b & 15];
      }
      return out + ">";
    }
    case Kind::Object: return obj_->description();
  }
  return "";
}

const std::string& Value::asString() const {
  static const std::string empty;
  return kind_ == Kind::String ? *static_cast<const std::string*>(p_.get()) : empty;
}

const fnd::Array& Value::asArray() const {
  static const fnd::Array empty;
  return kind_ == Kind::Array ? *static_cast<const fnd::Array*>(p_.get()) : empty;
}

const fnd::Dictionary& Value::asDictionary() const {
  static const fnd::Dictionary empty;
  return kind_ == Kind::Dictionary ? *static_cast<const fnd::Dictionary*>(p_.get()) : empty;
}

const fnd::Data& Value::asData() const {
  static const fnd::Data empty;
  return kind_ == Kind::Data ? *static_cast<const fnd::Data*>(p_.get()) : empty;
}

bool Value::operator==(const Value& o) const {
  if (isNumber() && o.isNumber()) {
    if (kind_ != Kind::Double && o.kind_ != Kind::Double) return i_ == o.i_;
    // Compare exactly: an integer equals a double only if the double holds
    // that very integer.
    double a = kind_ == Kind::Double ? d_ : static_cast<double>(i_);
    double b = o.kind_ == Kind::Double ? o.d_ : static_cast<double>(o.i_);
    if (a != b) return false;
    if (kind_ != Kind::Double) return saturate(b) == i_;
    if (o.kind_ != Kind::Double) return saturate(a) == o.i_;
    return true;
  }
  if (kind_ != o.kind_) return false;
  switch (kind_) {
    case Kind::Nil:
    case Kind::Null: return true;
    case Kind::String: return p_ == o.p_ || asString() == o.asString();
    case Kind::Array: return asArray() == o.asArray();
    case Kind::Dictionary: return asDictionary() == o.asDictionary();
    case Kind::Data: return p_ == o.p_ || asData() == o.asData();
    case Kind::Object: return obj_ == o.obj_ || obj_->isEqual(*o.obj_);
    default: return false;
  }
}

size_t Value::hash() const {
  switch (kind_) {
    case Kind::Nil: return 0;
    case Kind::Null: return 1;
    case Kind::Bool:
    case Kind::Int:
    case Kind::Double: {
      double d = doubleValue();
      if (d == 0) d = 0;  // -0.0 hashes like 0
      return std::hash<double>()(d);
    }
    case Kind::String: return std::hash<std::string>()(asString());
    case Kind::Array: {
      size_t h = 7;
      for (const auto& v : asArray()) h = mix(h, v.hash());
      return h;
    }
    case Kind::Dictionary: {
      size_t h = 11;
      for (const auto& [k, v] : asDictionary()) h = mix(mix(h, std::hash<std::string>()(k)), v.hash());
      return h;
    }
    case Kind::Data: {
      size_t h = 13;
      for (uint8_t b : asData()) h = mix(h, b);
      return h;
    }
    case Kind::Object: return obj_->hash();
  }
  return 0;
}

}  // namespace fnd
