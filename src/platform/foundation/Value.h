// fnd::Value: the immutable dynamic value carried by signals, key-value coding,
// notifications and JSON. Cheap to copy (heap payloads are shared).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace fnd {

class Object;
class Value;

class Array;
class Dictionary;
using Data = std::vector<uint8_t>;

class Value {
public:
  enum class Kind { Nil, Null, Bool, Int, Double, String, Array, Dictionary, Data, Object };

  Value() = default;  // nil
  Value(std::nullptr_t) {}
  Value(bool b) : kind_(Kind::Bool), i_(b ? 1 : 0) {}
  template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool>, int> = 0>
  Value(I i) : kind_(Kind::Int), i_(static_cast<int64_t>(i)) {}
  Value(double d) : kind_(Kind::Double), d_(d) {}
  Value(float f) : kind_(Kind::Double), d_(f) {}
  Value(const char* s);
  Value(std::string s);
  Value(std::string_view s);
  Value(fnd::Array a);
  Value(fnd::Dictionary d);
  Value(fnd::Data bytes);
  template <class T, std::enable_if_t<std::is_base_of_v<fnd::Object, T>, int> = 0>
  Value(std::shared_ptr<T> o) {
    if (o) {
      kind_ = Kind::Object;
      obj_ = std::static_pointer_cast<fnd::Object>(std::const_pointer_cast<std::remove_const_t<T>>(o));
    }
  }

  static Value null();

  Kind kind() const { return kind_; }
  bool isNil() const { return kind_ == Kind::Nil; }
  bool isNull() const { return kind_ == Kind::Null; }
  // nil or Null
  bool isNilOrNull() const { return kind_ == Kind::Nil || kind_ == Kind::Null; }
  bool isNumber() const { return kind_ == Kind::Bool || kind_ == Kind::Int || kind_ == Kind::Double; }
  bool isString() const { return kind_ == Kind::String; }
  bool isArray() const { return kind_ == Kind::Array; }
  bool isDictionary() const { return kind_ == Kind::Dictionary; }
  bool isData() const { return kind_ == Kind::Data; }
  bool isObject() const { return kind_ == Kind::Object; }

  // Lenient conversions, as the unit's data needs them: words arrive as numbers
  // or as decimal strings.
  //  - numbers truncate toward zero (out-of-range doubles saturate);
  //  - strings: leading blanks, optional sign, digits up to the first other
  //    character ("12abc" -> 12, "x" -> 0);
  //  - nil, Null and everything else: 0.
  int64_t intValue() const;
  double doubleValue() const;
  // numbers: not zero; strings: after blanks, sign and leading zeros the next
  // character is one of YyTt1-9; nil and Null: false; objects and containers: true.
  bool boolValue() const;
  // Strings themselves; integers without a decimal point; doubles in the
  // shortest form that reads back; nil gives "".
  std::string stringValue() const;
  std::string description() const;

  // Typed access; a value of another kind gives an empty result.
  const std::string& asString() const;
  const fnd::Array& asArray() const;
  const fnd::Dictionary& asDictionary() const;
  const fnd::Data& asData() const;
  std::shared_ptr<fnd::Object> asObject() const { return obj_; }
  template <class T>
  std::shared_ptr<T> asObject() const {
    return std::dynamic_pointer_cast<T>(obj_);
  }

  // Equality as the platform defines it: numbers by value across bool, int and
  // double; a string never equals a number; containers element by element;
  // objects by identity or isEqual.
  bool operator==(const Value& o) const;
  bool operator!=(const Value& o) const { return !(*this == o); }
  size_t hash() const;

private:
  Kind kind_ = Kind::Nil;
  int64_t i_ = 0;
  double d_ = 0;
  std::shared_ptr<const void> p_;  // string, array, dictionary or data payload
  std::shared_ptr<fnd::Object> obj_;
};

// An immutable array of values; never null (default is empty).
class Array {
public:
  Array();
  Array(std::vector<Value> items);
  Array(std::initializer_list<Value> items);

  size_t size() const;
  bool empty() const;
  // Out of range gives nil.
  const Value& operator[](size_t i) const;
  const Value& at(size_t i) const { return (*this)[i]; }
  const std::vector<Value>& items() const { return *items_; }
  std::vector<Value>::const_iterator begin() const;
  std::vector<Value>::const_iterator end() const;

  // Copies with one change.
  Array with(size_t i, const Value& v) const;
  Array appending(const Value& v) const;

  bool operator==(const Array& o) const;
  bool operator!=(const Array& o) const { return !(*this == o); }

private:
  std::shared_ptr<const std::vector<Value>> items_;
};

// An immutable dictionary with string keys; never null (default is empty).
class Dictionary {
public:
  using Map = std::map<std::string, Value, std::less<>>;
  Dictionary();
  Dictionary(Map entries);
  Dictionary(std::initializer_list<std::pair<const std::string, Value>> entries);

  size_t size() const;
  bool empty() const;
  // A missing key gives nil.
  const Value& operator[](std::string_view key) const;
  bool contains(std::string_view key) const;
  const Map& entries() const { return *map_; }
  Map::const_iterator begin() const;
  Map::const_iterator end() const;

  Dictionary with(const std::string& key, const Value& v) const;
  Dictionary without(std::string_view key) const;

  bool operator==(const Dictionary& o) const;
  bool operator!=(const Dictionary& o) const { return !(*this == o); }

private:
  std::shared_ptr<const Map> map_;
};

struct ValueHash {
  size_t operator()(const Value& v) const { return v.hash(); }
};

// Conversions between C++ types and Value, used by Property<T> and key-value
// coding.
template <class T, class = void>
struct ValueTraits;

template <>
struct ValueTraits<Value> {
  static Value toValue(const Value& v) { return v; }
  static Value fromValue(const Value& v) { return v; }
};
template <>
struct ValueTraits<bool> {
  static Value toValue(bool b) { return Value(b); }
  static bool fromValue(const Value& v) { return v.boolValue(); }
};
template <class I>
struct ValueTraits<I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool>>> {
  static Value toValue(I i) { return Value(i); }
  static I fromValue(const Value& v) { return static_cast<I>(v.intValue()); }
};
template <>
struct ValueTraits<double> {
  static Value toValue(double d) { return Value(d); }
  static double fromValue(const Value& v) { return v.doubleValue(); }
};
template <>
struct ValueTraits<std::string> {
  static Value toValue(const std::string& s) { return Value(s); }
  static std::string fromValue(const Value& v) { return v.isNilOrNull() ? std::string() : v.stringValue(); }
};
template <>
struct ValueTraits<Array> {
  static Value toValue(const Array& a) { return Value(a); }
  static Array fromValue(const Value& v) { return v.asArray(); }
};
template <>
struct ValueTraits<Dictionary> {
  static Value toValue(const Dictionary& d) { return Value(d); }
  static Dictionary fromValue(const Value& v) { return v.asDictionary(); }
};
template <>
struct ValueTraits<Data> {
  static Value toValue(const Data& d) { return Value(d); }
  static Data fromValue(const Value& v) { return v.asData(); }
};
template <class T>
struct ValueTraits<std::optional<T>> {
  static Value toValue(const std::optional<T>& o) { return o ? ValueTraits<T>::toValue(*o) : Value(); }
  static std::optional<T> fromValue(const Value& v) {
    if (v.isNilOrNull()) return std::nullopt;
    return ValueTraits<T>::fromValue(v);
  }
};
template <class T>
struct ValueTraits<std::vector<T>> {
  static Value toValue(const std::vector<T>& xs) {
    std::vector<Value> out;
    out.reserve(xs.size());
    for (const auto& x : xs) out.push_back(ValueTraits<T>::toValue(x));
    return Value(Array(std::move(out)));
  }
  static std::vector<T> fromValue(const Value& v) {
    const Array& items = v.asArray();
    std::vector<T> out;
    out.reserve(items.size());
    for (const auto& x : items) out.push_back(ValueTraits<T>::fromValue(x));
    return out;
  }
};
template <class T>
struct ValueTraits<std::shared_ptr<T>, std::enable_if_t<std::is_base_of_v<Object, T>>> {
  static Value toValue(const std::shared_ptr<T>& o) { return Value(o); }
  static std::shared_ptr<T> fromValue(const Value& v) { return v.template asObject<T>(); }
};
template <class T>
struct ValueTraits<std::map<std::string, std::shared_ptr<T>>, std::enable_if_t<std::is_base_of_v<Object, T>>> {
  static Value toValue(const std::map<std::string, std::shared_ptr<T>>& m) {
    Dictionary::Map out;
    for (const auto& [k, o] : m) out.emplace(k, Value(o));
    return Value(Dictionary(std::move(out)));
  }
  static std::map<std::string, std::shared_ptr<T>> fromValue(const Value& v) {
    std::map<std::string, std::shared_ptr<T>> out;
    for (const auto& [k, x] : v.asDictionary())
      if (auto o = x.template asObject<T>()) out.emplace(k, o);
    return out;
  }
};

template <class T>
Value toValue(const T& t) {
  return ValueTraits<T>::toValue(t);
}
template <class T>
T fromValue(const Value& v) {
  return ValueTraits<T>::fromValue(v);
}

}  // namespace fnd

template <>
struct std::hash<fnd::Value> {
  size_t operator()(const fnd::Value& v) const { return v.hash(); }
};
