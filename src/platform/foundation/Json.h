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
// Never throws: bytes that are not UTF-8 are written as U+FFFD (keep them
// with encodeBytesForJson first).
std::string writeJson(const Value& v, int indent = 2);

// JSON text is UTF-8, but a string from outside (a file name, a name the
// unit sent, a folder's path) may be any bytes. encodeBytesForJson gives the
// value with every string that is not UTF-8, at any depth, replaced by
// {"$bytes": "<hex of its bytes>"}, every dictionary key that is not UTF-8
// by "$bytes:<hex>", and every key that begins with "$" given one more "$"
// in front, so that no dictionary of the value reads as such an object;
// decodeBytesFromJson undoes it (hex digits of either case). UTF-8 strings
// and keys not beginning with "$" pass as they are, so ordinary text stays
// readable and text written without the encoding reads the same (but for
// keys beginning with "$$" or "$bytes:"). A value that could not be read
// back as it is (parts nested deeper than parseJson reads, which are not
// null) gives nothing.
std::optional<Value> encodeBytesForJson(const Value& v);
Value decodeBytesFromJson(const Value& v);
// The same for the entries of a dictionary that is the whole text (the
// dictionary itself is never taken for a {"$bytes": hex} object).
Dictionary decodeBytesFromJsonEntries(const Dictionary& d);

}  // namespace fnd
