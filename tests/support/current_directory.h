// Makes a folder the process's current directory for one test and puts the old
// one back.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "base/scoped_handle.h"

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

// Holds a file open with no sharing, as another program might lock it.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::wstring& path)
      : file_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
    if (!file_) throw std::runtime_error("cannot lock the file");
  }

 private:
  kelvra::base::ScopedFileHandle file_;
};
