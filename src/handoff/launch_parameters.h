// The front end's command line text. Platform-free, so it also builds natively.
#pragma once

#include <string>

namespace kelvra::handoff {

// parameterText, then, when extraArgument is not empty, a blank and the extra
// argument in double quotes so that it arrives as one argument. The extra
// argument is not escaped: it must not hold a double quote.
[[nodiscard]] std::wstring buildLaunchParameters(const std::wstring& parameterText, const std::wstring& extraArgument);

}  // namespace kelvra::handoff
