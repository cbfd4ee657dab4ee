#include "screens/models/CatalogueText.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Value.h"

namespace catalogue_text {

int64_t integerValue(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t out = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    out = out * 10 + (text[i] - '0');
    if (out >= kBound) {
      out = kBound;
      break;
    }
  }
  return negative ? -out : out;
}

int64_t integerValue(const std::optional<std::string>& text) { return text ? integerValue(*text) : 0; }

float floatValue(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double out = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    out = std::min(out * 10 + (text[i] - '0'), static_cast<double>(kBound));
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) out += (text[i] - '0') * scale;
  }
  return static_cast<float>(negative ? -out : out);
}

std::string integerText(int64_t value) { return std::to_string(value); }

int64_t truncated(float value) {
  if (std::isnan(value)) return 0;
  const double bound = static_cast<double>(kBound);
  return static_cast<int64_t>(std::clamp(static_cast<double>(value), -bound, bound));
}

Ratio parseRatio(const std::string& text) {
  Ratio r;
  const size_t slash = text.find('/');
  if (slash == std::string::npos) {
    r.a = floatValue(text);
    return r;
  }
  r.fraction = true;
  r.a = floatValue(text.substr(0, slash));
  r.b = floatValue(text.substr(slash + 1));
  return r;
}

std::optional<std::string> scalarText(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::string:
      return value.get<std::string>();
    case nlohmann::json::value_t::number_integer:
      return std::to_string(value.get<nlohmann::json::number_integer_t>());
    case nlohmann::json::value_t::number_unsigned:
      return std::to_string(value.get<nlohmann::json::number_unsigned_t>());
    case nlohmann::json::value_t::number_float:
      return fnd::Value(value.get<double>()).stringValue();
    case nlohmann::json::value_t::boolean:
      return value.get<bool>() ? "1" : "0";
    default:
      return std::nullopt;
  }
}

}  // namespace catalogue_text
