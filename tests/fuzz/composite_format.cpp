// Translated texts with "{n}" placeholders, as a damaged or hostile string table
// could hold them: filling never reads past the pattern, and a text without
// braces comes back unchanged.
#include "core/composite_format.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"

using namespace kelvra::frontend::core;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FieldReader fields(data, size);
  const std::wstring pattern = fields.nextWide();
  const std::wstring first = fields.nextWide();
  const std::wstring second = fields.nextWide();
  const std::wstring third = fields.nextWide();

  // An exact-size copy, so that a read past the pattern is reported.
  const std::size_t bytes = pattern.size() * sizeof(wchar_t);
  const ExactBytes exact(std::string_view(reinterpret_cast<const char*>(pattern.data()), bytes));
  const std::wstring_view view(reinterpret_cast<const wchar_t*>(exact.bytes()), pattern.size());

  const std::wstring none = formatComposite(view, {});
  const std::wstring filled = formatComposite(view, {first, second, third});
  if (pattern.find_first_of(L"{}") == std::wstring::npos) {
    FUZZ_CHECK(none == pattern && filled == pattern);
  }
  // Without arguments only doubled braces change: each pair becomes one brace.
  FUZZ_CHECK(none.size() <= pattern.size());
  return 0;
}
