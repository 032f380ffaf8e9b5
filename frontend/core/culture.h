// Culture names: where the front end looks for its translated strings, and which
// language the client setup is told to use. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvra::frontend::core {

// The cultures to try for strings, most specific first, the way satellite
// resources are found: "es-AR" -> es-AR, es; "zh-TW" -> zh-TW, zh-Hant, zh.
// English, the neutral language, is not in the list: it is the last resort.
[[nodiscard]] std::vector<std::wstring> cultureFallbackChain(std::wstring_view culture);

// The setup's "/lang=" value for the UI culture. Without a product id most
// languages fall back to "en_US"; with one, each has its own.
[[nodiscard]] std::wstring languageArgument(std::wstring_view culture, bool hasProductId);

}  // namespace kelvra::frontend::core
