// What several helper programs of the tests share: the JSON strings of what they
// report to the scenarios, a window's class, the environment's settings and the
// waits a test sets through it, their own path, and holding on while the test needs
// them. Header-only, since each helper is a single source file.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

#include "base/json_text.h"
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

inline std::wstring ownPath() {
  wchar_t path[32768] = {};
  return std::wstring(path, GetModuleFileNameW(nullptr, path, 32768));
}

// Says report on standard output, then holds on until standard input ends.
inline void reportAndWaitForInputEnd(const char* report) {
  std::puts(report);
  std::fflush(stdout);
  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
  }
}

// The variable's number from 1 to maximum, or fallback when it is unset or not one.
template <typename Number>
Number environmentNumber(const wchar_t* name, Number fallback, unsigned long long maximum) {
  const std::wstring text = environment(name).value_or(L"");
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
