// Sets an environment variable of the test process for one scope; child
// processes started meanwhile inherit it. The old value comes back afterwards.
#pragma once

#include <windows.h>

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
