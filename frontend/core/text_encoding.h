// Encodings the front end's reports use. Platform-free; all work on bytes.
#pragma once

#include <string>
#include <string_view>

// Standard base64 with "=" padding.
[[nodiscard]] std::string encodeBase64(std::string_view bytes);

// Form URL encoding: letters, digits and "-_.!*()" stay, a blank becomes "+",
// every other byte "%xx" in lower-case hexadecimal.
[[nodiscard]] std::string urlEncode(std::string_view bytes);

// The text as the content of a JSON string: quotes, backslashes and control
// characters escaped, everything else (UTF-8 included) unchanged.
[[nodiscard]] std::string jsonStringContent(std::string_view text);
