// What several helper programs of the tests share: the JSON strings of what they
// report to the scenarios, a window's class, and registry strings they write as the
// client's setup would. Header-only, since each helper is a single source file.
#pragma once

#include <windows.h>

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
