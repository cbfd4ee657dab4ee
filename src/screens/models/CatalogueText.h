// Numbers written as text in the effect catalogue and in the slot values.
//
// Texts are read the way the catalogue's authors meant them: leading blanks,
// an optional sign, then digits up to the first other character ("12 dB" is
// 12, "x" is 0). Every result is held to +-2^40, far beyond any module word,
// so the arithmetic on it can never overflow. Floating-point reads accept a
// decimal point but no exponent, infinity or NaN: a result is always finite.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace catalogue_text {

inline constexpr int64_t kBound = int64_t{1} << 40;

int64_t integerValue(const std::string& text);
int64_t integerValue(const std::optional<std::string>& text);
float floatValue(const std::string& text);
// "%ld" of a value already bounded.
std::string integerText(int64_t value);
// A float truncated toward zero and held to +-kBound (NaN gives 0).
int64_t truncated(float value);

// A ratio: "a/b" or a plain number "a".
struct Ratio {
  float a = 1;
  float b = 1;
  bool fraction = false;
};
Ratio parseRatio(const std::string& text);

// A scalar of the catalogue as text: strings as they are, integers in
// decimal, other numbers in their shortest form, booleans as "1" / "0";
// nothing for null, arrays and objects.
std::optional<std::string> scalarText(const nlohmann::json& value);

}  // namespace catalogue_text
