// Telling UTF-8 text from other bytes. Text from outside the program (file
// names, names the unit sends, paths kept in the defaults) may be any bytes,
// while JSON text and the screens want UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fnd::utf8 {

// The length of the well-formed UTF-8 sequence that starts at text[at]: 1
// for an ASCII byte, 2 to 4 for a whole shortest-form sequence of a code
// point up to U+10FFFF that is not a surrogate; 0 when the bytes there are
// no such sequence (or `at` is past the end).
size_t sequenceLength(std::string_view text, size_t at);

// Whether the whole text is well-formed UTF-8.
bool isValid(std::string_view text);

// Appends the UTF-8 form of the code point. A surrogate gets the three bytes
// of its own (not well-formed alone: for text that keeps lone UTF-16 halves
// as they came); past U+10FFFF, U+FFFD.
void append(std::string& out, char32_t codePoint);

}  // namespace fnd::utf8
