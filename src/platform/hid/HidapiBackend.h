// What the hidapi backend makes of hidapi's values, apart from hidapi itself.
#pragma once

#include <string>

namespace hid {

// A device string as hidapi gives it (wide characters: UTF-32 on Linux) in
// UTF-8. A surrogate, which UTF-32 text never holds, or a value past
// U+10FFFF becomes U+FFFD, so the result is always valid UTF-8. Empty for
// null.
std::string utf8FromDeviceString(const wchar_t* text);

}  // namespace hid
