// What several helper programs of the tests share: the JSON strings of what they
// report to the scenarios, a window's class, and registry strings they write as the
// client's setup would. Header-only, since each helper is a single source file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "base/json_text.h"
#include "base/scoped_handle.h"
#include "base/utf8.h"

// The text as a quoted JSON string, in UTF-8.
inline std::string jsonString(const std::wstring& text) {
  return "\"" + kelvra::base::jsonStringContent(kelvra::base::toUtf8(text)) + "\"";
}

// The variable's value; nothing when it is not set.
inline std::optional<std::wstring> environment(const wchar_t* name) {
  const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), length));
  return value;
}

// Waits until the file exists, at most two minutes; false when it never came.
[[nodiscard]] inline bool waitForFile(const std::wstring& path) {
  constexpr ULONGLONG kLongestWait = 120000;
  const ULONGLONG deadline = GetTickCount64() + kLongestWait;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
  return true;
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
