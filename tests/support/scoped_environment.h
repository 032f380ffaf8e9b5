// An environment variable (children started meanwhile inherit it) or the current
// directory, set for one scope of a test and put back afterwards.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
    const DWORD length = GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
    if (length > 0) {
      std::wstring old(length, L'\0');
      old.resize(GetEnvironmentVariableW(name_.c_str(), old.data(), length));
      old_ = old;
      hadValue_ = true;
    }
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
  }
  ~ScopedEnvironmentVariable() { SetEnvironmentVariableW(name_.c_str(), hadValue_ ? old_.c_str() : nullptr); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool hadValue_ = false;
};

class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::wstring& path) {
    wchar_t old[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, old);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no current directory");
    old_.assign(old, length);
    if (!SetCurrentDirectoryW(path.c_str())) throw std::runtime_error("cannot change the current directory");
  }
  ~ScopedCurrentDirectory() { SetCurrentDirectoryW(old_.c_str()); }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::wstring old_;
};
