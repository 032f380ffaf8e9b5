#include "system/registry_text.h"

#include <algorithm>

namespace kelvra::system {

std::wstring registryTextFromBuffer(const wchar_t* buffer, std::size_t bufferLength, std::size_t dataBytes) {
  const std::size_t available = std::min(bufferLength, dataBytes / sizeof(wchar_t));
  const wchar_t* end = std::find(buffer, buffer + available, L'\0');
  return std::wstring(buffer, end);
}

}  // namespace kelvra::system
