// Makes a folder the process's current directory for one test and puts the old
// one back.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

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
