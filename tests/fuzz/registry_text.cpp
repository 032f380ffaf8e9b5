// Registry text in a fixed buffer with whatever byte count the registry reports:
// never read past the buffer, stop at the first null.
#include "system/registry_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"

using namespace kelvra::system;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t dataBytes = 0;
  std::memcpy(&dataBytes, data, sizeof dataBytes);
  const std::wstring units = utf16FromBytes(std::string_view(reinterpret_cast<const char*>(data) + 4, size - 4));

  // An exact-size buffer, so that a read past it is reported.
  std::vector<wchar_t> buffer(units.begin(), units.end());
  buffer.shrink_to_fit();
  const std::wstring text = registryTextFromBuffer(buffer.data(), buffer.size(), dataBytes);
  const std::size_t limit = std::min<std::size_t>(buffer.size(), dataBytes / sizeof(wchar_t));
  FUZZ_CHECK(text.size() <= limit && text.find(L'\0') == std::wstring::npos);
  FUZZ_CHECK(std::equal(text.begin(), text.end(), buffer.begin()));
  FUZZ_CHECK(text.size() == limit || buffer[text.size()] == L'\0');
  return 0;
}
