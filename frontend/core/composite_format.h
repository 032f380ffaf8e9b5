// Fills "{0}", "{1}", ... in a translated text, the placeholder form the string
// tables use; "{{" and "}}" stand for single braces. Platform-free.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kelvra::frontend::core {

// A placeholder without an argument, or a malformed one, is kept as it stands: a
// bad translation must never stop the installer.
[[nodiscard]] std::wstring formatComposite(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

}  // namespace kelvra::frontend::core
