#include "layout/LCValue.h"

#include "platform/ui/View.h"

double LCNumber::doubleValue() const {
  switch (type) {
    case 'd':
    case 'f': return real;
    case 'C':
    case 'I':
    case 'Q':
    case 'S': return double(unsignedInteger);
    default: return double(integer);
  }
}

LCValue::LCValue(ui::View& view) : value_(view.sharedFromThis()) {}

std::shared_ptr<ui::View> LCValue::view() const {
  auto* v = std::get_if<std::shared_ptr<ui::View>>(&value_);
  return v ? *v : nullptr;
}

std::string LCValue::objCType() const {
  if (auto* n = number()) return std::string(1, n->type);
  if (point()) return LCPointEncoding;
  if (size()) return LCSizeEncoding;
  if (insets()) return LCEdgeInsetsEncoding;
  return {};
}

LCValue LCWrapTypedValue(const std::shared_ptr<ui::View>& view) { return view ? LCValue(view) : LCValue(); }
LCValue LCWrapTypedValue(ui::Point p) { return LCValue(p); }
LCValue LCWrapTypedValue(ui::Size s) { return LCValue(s); }
LCValue LCWrapTypedValue(ui::EdgeInsets i) { return LCValue(i); }

namespace {
// `wide` as the integer or real the encoding names.
template <class N>
LCValue boxAs(std::string_view e, N n) {
  if (e == "d") return LCWrapTypedValue(double(n));
  if (e == "f") return LCWrapTypedValue(float(n));
  if (e == "i") return LCWrapTypedValue(int32_t(n));
  if (e == "q") return LCWrapTypedValue(int64_t(n));
  if (e == "s") return LCWrapTypedValue(int16_t(n));
  if (e == "c") return LCWrapTypedValue(int8_t(n));
  if (e == "B") return LCWrapTypedValue(n != 0);
  if (e == "C") return LCWrapTypedValue(uint8_t(n));
  if (e == "I") return LCWrapTypedValue(uint32_t(n));
  if (e == "Q") return LCWrapTypedValue(uint64_t(n));
  if (e == "S") return LCWrapTypedValue(uint16_t(n));
  return LCValue();
}
// Integer encodings of a real number go through a 64-bit integer first, as a
// promoted argument read as that type would be truncated.
LCValue boxReal(std::string_view e, long double n) {
  if (e == "d" || e == "f") return boxAs(e, n);
  if (e == "B") return LCWrapTypedValue(n != 0);
  if (!(n == n) || n > 9.2e18L || n < -9.2e18L) return boxAs(e, int64_t(0));  // no integer holds it
  return boxAs(e, int64_t(n));
}
}  // namespace

LCValue LCWrapTypedValue(std::string_view e, long double n) { return boxReal(e, n); }
LCValue LCWrapTypedValue(std::string_view e, double n) { return boxReal(e, n); }
LCValue LCWrapTypedValue(std::string_view e, unsigned long long n) { return boxAs(e, n); }
LCValue LCWrapTypedValue(std::string_view e, long long n) { return boxAs(e, n); }
LCValue LCWrapTypedValue(std::string_view e, int n) { return boxAs(e, n); }
LCValue LCWrapTypedValue(std::string_view e, const std::shared_ptr<ui::View>& view) {
  return e == "@" ? LCWrapTypedValue(view) : LCValue();
}
LCValue LCWrapTypedValue(std::string_view e, ui::Point p) { return e == LCPointEncoding ? LCValue(p) : LCValue(); }
LCValue LCWrapTypedValue(std::string_view e, ui::Size s) { return e == LCSizeEncoding ? LCValue(s) : LCValue(); }
LCValue LCWrapTypedValue(std::string_view e, ui::EdgeInsets i) {
  return e == LCEdgeInsetsEncoding ? LCValue(i) : LCValue();
}
