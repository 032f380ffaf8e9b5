#include "platform/system_info.h"

#include <windows.h>

#include <optional>
#include <string_view>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "core/event_body.h"

namespace kelvra::frontend {

namespace {

constexpr DWORD kMaxValueBytes = 4096;

// A string value of HKEY_LOCAL_MACHINE\subKey; nothing when the key or the value is
// missing or is not text.
std::optional<std::wstring> readMachineString(const wchar_t* subKey, const wchar_t* name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::nullopt;
  const base::ScopedRegistryKey key(raw);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(raw, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxValueBytes) return std::nullopt;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  DWORD read = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(raw, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &read) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (read > text.size() * sizeof(wchar_t)) return std::nullopt;
  text.resize(read / sizeof(wchar_t));
  // Stored values may or may not end with their terminator.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::wstring trimmed(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t\r\n");
  return std::wstring(text.substr(first, last - first + 1));
}

}  // namespace

std::wstring systemFriendlyName() {
  constexpr const wchar_t* kKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  const std::wstring product = readMachineString(kKey, L"ProductName").value_or(L"");
  const std::wstring servicePack = readMachineString(kKey, L"CSDVersion").value_or(L"");
  return trimmed(core::friendlySystemName(product, servicePack));
}

std::string installedClientVersion() {
  const auto version = readMachineString(kInstalledClientKey, L"version");
  return version ? core::cleanClientVersion(base::toUtf8(*version)) : std::string();
}

}  // namespace kelvra::frontend
