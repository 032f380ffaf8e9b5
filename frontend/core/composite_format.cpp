#include "core/composite_format.h"

#include <vector>

namespace kelvra::frontend::core {

std::wstring formatComposite(std::wstring_view pattern, std::initializer_list<std::wstring_view> args) {
  const std::vector<std::wstring_view> values(args);
  std::wstring out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const wchar_t c = pattern[i];
    if ((c == L'{' || c == L'}') && i + 1 < pattern.size() && pattern[i + 1] == c) {
      out += c;
      ++i;
      continue;
    }
    if (c == L'{') {
      const std::size_t close = pattern.find(L'}', i);
      const std::wstring_view inside =
          close == std::wstring_view::npos ? std::wstring_view{} : pattern.substr(i + 1, close - i - 1);
      std::size_t index = 0;
      bool numeric = !inside.empty() && inside.size() <= 3;
      for (wchar_t digit : inside) {
        numeric = numeric && digit >= L'0' && digit <= L'9';
        index = index * 10 + static_cast<std::size_t>(digit - L'0');
      }
      if (numeric && index < values.size()) {
        out += values[index];
        i = close;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace kelvra::frontend::core
