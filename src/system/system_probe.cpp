#include "system/system_probe.h"

#include <utility>

#include "base/scoped_handle.h"

namespace kelvra::system {

SystemProbe::SystemProbe(base::LoggerHandle logger) : logger_(std::move(logger)) {}

bool SystemProbe::tryReadRegistryValue(HKEY hive, const wchar_t* subKey, const wchar_t* valueName, DWORD& type,
                                       void* data, DWORD& dataSize) const {
  HKEY opened = nullptr;
  // No view flag: a 32-bit process on 64-bit Windows sees the WOW64 view, in
  // which the client's 64-bit layout names its keys itself. (A 64-bit test build
  // reads the 64-bit view, where the two layouts are distinct keys, as they are
  // on 32-bit Windows.)
  const LSTATUS openStatus = RegOpenKeyExW(hive, subKey, 0, KEY_READ, &opened);
  if (openStatus != ERROR_SUCCESS) {
    base::logWarning(logger_, L"Failed to open registry key [{}]. Error code {}.", subKey, openStatus);
    return false;
  }
  const base::ScopedRegistryKey key(opened);
  const LSTATUS queryStatus =
      RegQueryValueExW(key.get(), valueName, nullptr, &type, static_cast<BYTE*>(data), &dataSize);
  if (queryStatus != ERROR_SUCCESS) {
    base::logWarning(logger_, L"Failed to query registry key [{}]. Error code {}.", subKey, queryStatus);
    return false;
  }
  return true;
}

}  // namespace kelvra::system
