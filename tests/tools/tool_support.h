// What several helper programs of the tests share: the JSON strings of what they
// report to the scenarios, a window's class and the environment's settings.
// Header-only, since each helper is a single source file.
#pragma once

#include <windows.h>

#include <string>

#include "base/json_text.h"
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

// The variable's value; fallback when it is unset or empty.
inline std::wstring environment(const wchar_t* name, const std::wstring& fallback = L"") {
  wchar_t value[32768];
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  return length > 0 && length < 32768 ? std::wstring(value, length) : fallback;
}
