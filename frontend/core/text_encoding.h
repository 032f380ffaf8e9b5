// The form encoding of the front end's problem reports. Platform-free; works on bytes.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::frontend::core {

// Form URL encoding: letters, digits and "-_.!*()" stay, a blank becomes "+",
// every other byte "%xx" in lower-case hexadecimal.
[[nodiscard]] std::string urlEncode(std::string_view bytes);

}  // namespace kelvra::frontend::core
