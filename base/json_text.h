// Text placed inside a JSON string by hand, where a whole document would be too
// much (event bodies, problem texts). Platform-free.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::base {

// The text as the content of a JSON string: quotes, backslashes and control
// characters escaped, everything else (UTF-8 included) unchanged.
[[nodiscard]] std::string jsonStringContent(std::string_view text);

}  // namespace kelvra::base
