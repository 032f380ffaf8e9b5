#include "base/dll_search.h"

#include <windows.h>

#include <string>

namespace kelvra::base {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Looked up, not imported: a program importing it would not start on a Windows 7
// without KB2533623.
SetDefaultDllDirectoriesFunction findSetDefaultDllDirectories() {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
}

}  // namespace

void restrictDllSearchToSystemFolder() {
  // The second line: without the call below, the legacy search order still
  // applies, and it is better without the current folder.
  SetDllDirectoryW(L"");
  if (const SetDefaultDllDirectoriesFunction setDefaultDllDirectories = findSetDefaultDllDirectories()) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

bool tryLoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0) return false;
  if (length >= MAX_PATH) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return false;
  }
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  // By full path, so the program's folder is never searched for the DLL itself.
  // Its own imports come from System32 as well: through the restricted search, or,
  // where that is missing, through the altered search that starts in the DLL's folder.
  const DWORD flags =
      findSetDefaultDllDirectories() != nullptr ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  // Never freed, like a DLL the program imports: the delay-load helper binds
  // functions of this copy for the rest of the run.
  return LoadLibraryExW(path.c_str(), nullptr, flags) != nullptr;
}

}  // namespace kelvra::base
