#pragma once
// LCValue: what the layout language's relation and offset words take: a view,
// a view attribute, a boxed number, point, size or edge insets, an array of
// these, or nil. LCWrapTypedValue boxes one typed value; numbers remember
// their type, structures their type encoding, as the words that read them
// back expect ("d" for a double, "{CGSize=dd}" for a size, and so on).
//
// Plain values; main thread only when they hold views.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "layout/LCViewAttribute.h"
#include "platform/ui/Geometry.h"

namespace ui {
class View;
}

inline constexpr const char* LCPointEncoding = "{CGPoint=dd}";
inline constexpr const char* LCSizeEncoding = "{CGSize=dd}";
inline constexpr const char* LCEdgeInsetsEncoding = "{NSEdgeInsets=dddd}";

// A boxed number: its type encoding ('d', 'f', 'i', 'q', 's', 'c', 'B', 'C',
// 'I', 'Q', 'S') and its value.
struct LCNumber {
  char type = 'd';
  double real = 0;
  int64_t integer = 0;
  uint64_t unsignedInteger = 0;

  double doubleValue() const;
  bool boolValue() const { return doubleValue() != 0; }
};

class LCValue {
public:
  using Array = std::vector<LCValue>;

  LCValue() = default;
  LCValue(std::nullptr_t) {}  // NOLINT: nil
  template <class T>
    requires std::is_base_of_v<ui::View, T>
  LCValue(const std::shared_ptr<T>& view) {  // NOLINT: implicit by design
    if (view) value_ = std::static_pointer_cast<ui::View>(view);
  }
  LCValue(ui::View& view);                       // NOLINT
  LCValue(const LCViewAttribute& a) : value_(a) {}  // NOLINT
  LCValue(const LCNumber& n) : value_(n) {}         // NOLINT
  LCValue(ui::Point p) : value_(p) {}               // NOLINT
  LCValue(ui::Size s) : value_(s) {}                // NOLINT
  LCValue(ui::EdgeInsets i) : value_(i) {}          // NOLINT
  LCValue(Array a) : value_(std::move(a)) {}        // NOLINT
  template <class T>
    requires std::is_arithmetic_v<T>
  LCValue(T n);  // NOLINT: a boxed number

  bool isNil() const { return std::holds_alternative<std::monostate>(value_); }
  std::shared_ptr<ui::View> view() const;
  const LCViewAttribute* attribute() const { return std::get_if<LCViewAttribute>(&value_); }
  const LCNumber* number() const { return std::get_if<LCNumber>(&value_); }
  const ui::Point* point() const { return std::get_if<ui::Point>(&value_); }
  const ui::Size* size() const { return std::get_if<ui::Size>(&value_); }
  const ui::EdgeInsets* insets() const { return std::get_if<ui::EdgeInsets>(&value_); }
  const Array* array() const { return std::get_if<Array>(&value_); }
  // The type encoding of a boxed number or structure; empty for anything else.
  std::string objCType() const;

private:
  std::variant<std::monostate, std::shared_ptr<ui::View>, LCViewAttribute, LCNumber, ui::Point, ui::Size,
               ui::EdgeInsets, Array>
      value_;
};

// Boxes by the static type: a view passes through (null gives nil), numbers
// keep their type, structures get their encoding.
template <class T>
  requires std::is_arithmetic_v<T>
LCValue LCWrapTypedValue(T n) {
  LCNumber b;
  if constexpr (std::is_same_v<T, bool>) {
    b.type = 'B';
    b.integer = n ? 1 : 0;
  } else if constexpr (std::is_floating_point_v<T>) {
    b.type = sizeof(T) == sizeof(float) ? 'f' : 'd';
    b.real = double(n);
  } else if constexpr (std::is_signed_v<T>) {
    b.type = sizeof(T) == 1 ? 'c' : sizeof(T) == 2 ? 's' : sizeof(T) == 4 ? 'i' : 'q';
    b.integer = int64_t(n);
  } else {
    b.type = sizeof(T) == 1 ? 'C' : sizeof(T) == 2 ? 'S' : sizeof(T) == 4 ? 'I' : 'Q';
    b.unsignedInteger = uint64_t(n);
  }
  return LCValue(b);
}
LCValue LCWrapTypedValue(const std::shared_ptr<ui::View>& view);
LCValue LCWrapTypedValue(ui::Point p);
LCValue LCWrapTypedValue(ui::Size s);
LCValue LCWrapTypedValue(ui::EdgeInsets i);

// Boxes `n` as the type the encoding names ("d", "f", "i", "q", "s", "c", "B",
// "C", "I", "Q", "S"), converting as a call through that type would; any
// other encoding gives nil.
LCValue LCWrapTypedValue(std::string_view encoding, long double n);
LCValue LCWrapTypedValue(std::string_view encoding, unsigned long long n);
LCValue LCWrapTypedValue(std::string_view encoding, long long n);
LCValue LCWrapTypedValue(std::string_view encoding, double n);
LCValue LCWrapTypedValue(std::string_view encoding, int n);
// "@" with a view (null gives nil); the structures with their own encodings.
LCValue LCWrapTypedValue(std::string_view encoding, const std::shared_ptr<ui::View>& view);
LCValue LCWrapTypedValue(std::string_view encoding, ui::Point p);
LCValue LCWrapTypedValue(std::string_view encoding, ui::Size s);
LCValue LCWrapTypedValue(std::string_view encoding, ui::EdgeInsets i);

template <class T>
  requires std::is_arithmetic_v<T>
LCValue::LCValue(T n) : LCValue(LCWrapTypedValue(n)) {}
