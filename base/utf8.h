// Conversion between UTF-16 wide strings and UTF-8. Platform-free so that it also
// builds natively; wchar_t is 16 bits on Windows and 32 bits elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::base {

// Converts wide text to UTF-8. Surrogate pairs become one four-byte sequence; a
// lone surrogate becomes U+FFFD, so the result is always valid UTF-8 and the
// conversion never fails.
[[nodiscard]] std::string toUtf8(std::wstring_view wide);

// Converts UTF-8 to wide text. Malformed sequences become U+FFFD.
[[nodiscard]] std::wstring fromUtf8(std::string_view utf8);

}  // namespace kelvra::base
