// Base64 for the personalized token. Platform-free. Decoding is deliberately lax,
// as the front end's token format expects: nothing is validated.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::base {

inline constexpr char kBase64LengthError[] = "Input data size is not a multiple of 4";

// Decodes input with the standard alphabet into output. True on failure: the only
// one is a length that is not a multiple of 4 (kBase64LengthError tells it; output
// is then untouched).
// "=" anywhere counts as zero bits; a trailing "=" or "==" shortens the output by
// one or two bytes. Any byte outside the alphabet counts as the value 64, which
// carries into the next-higher 6-bit position; it is not an error.
[[nodiscard]] bool decodeBase64(std::string_view input, std::string& output);

// Standard base64 with "=" padding, no line breaks.
[[nodiscard]] std::string encodeBase64(std::string_view bytes);

}  // namespace kelvra::base
