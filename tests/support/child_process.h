// The test's own helper programs, built beside it, started as children.
#pragma once

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"

// The folder of this test program, without a trailing backslash.
inline std::wstring programFolder() {
  wchar_t path[MAX_PATH] = {};
  const std::wstring own(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return own.substr(0, own.rfind(L'\\'));
}

struct ChildProcess {
  kelvra::base::ScopedKernelHandle handle;  // invalid when it could not start
  DWORD id = 0;
};

// Starts commandLine (its first argument names the program) in folder, or in ours.
inline ChildProcess startProcess(std::wstring commandLine, const wchar_t* folder = nullptr) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &started)) {
    return {};
  }
  const kelvra::base::ScopedKernelHandle thread(started.hThread);
  return {kelvra::base::ScopedKernelHandle(started.hProcess), started.dwProcessId};
}
