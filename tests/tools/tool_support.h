// What several helper programs of the tests share: the JSON strings of what they
// report to the scenarios, a window's class, registry strings they write as the
// client's setup would, and the waits a test sets for them. Header-only, since each
// helper is a single source file.
#pragma once

#include <windows.h>

#include <chrono>
#include <cwchar>
#include <string>

#include "base/json_text.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"

// The text as a quoted JSON string, in UTF-8.
inline std::string jsonString(const std::wstring& text) {
  return "\"" + kelvra::base::jsonStringContent(kelvra::base::toUtf8(text)) + "\"";
}

inline std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// Writes a REG_SZ (with its terminating null) under HKEY_LOCAL_MACHINE, creating
// the key; true when it was written.
[[nodiscard]] inline bool setMachineString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const kelvra::base::ScopedRegistryKey key(opened);
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

inline std::wstring environmentValue(const wchar_t* name, const wchar_t* fallback) {
  wchar_t value[256] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 256);
  return length > 0 && length < 256 ? std::wstring(value) : std::wstring(fallback);
}

// The variable's number from 1 to maximum, or fallback when it is unset or not one.
template <typename Number>
Number environmentNumber(const wchar_t* name, Number fallback, unsigned long long maximum) {
  const std::wstring text = environmentValue(name, L"");
  wchar_t* end = nullptr;
  const unsigned long long value = std::wcstoull(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0' || value == 0 || value > maximum) return fallback;
  return static_cast<Number>(value);
}

// The longest wait a test may set: an hour.
inline constexpr unsigned long long kLongestTestWaitMs = 3600000;

inline std::chrono::milliseconds environmentMilliseconds(const wchar_t* name, std::chrono::milliseconds fallback) {
  return std::chrono::milliseconds(environmentNumber(name, fallback.count(), kLongestTestWaitMs));
}
