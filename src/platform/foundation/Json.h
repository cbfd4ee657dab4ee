// Conversions between fnd::Value and JSON text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/Value.h"

namespace fnd {

// Objects, data and nil become JSON null.
nlohmann::json toJson(const Value& v);
// Integers stay integers; other numbers become doubles.
Value fromJson(const nlohmann::json& j);

// Parses JSON text; nullopt (and a message in *error) when it is not JSON.
std::optional<Value> parseJson(std::string_view text, std::string* error = nullptr);
// Pretty-printed with the given indent, or compact for a negative indent.
std::string writeJson(const Value& v, int indent = 2);

}  // namespace fnd
