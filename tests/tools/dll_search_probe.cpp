// Loads DLLs by name as a program's later code would, with or without the start-up
// call of base/dll_search.h, and prints where each one came from:
//   dll_search_probe.exe restricted|unrestricted|system NAME...
// restricted: restrictDllSearchToSystemFolder(), then LoadLibraryW(NAME) for each
// unrestricted: LoadLibraryW(NAME) for each, as without the call
// system: tryLoadSystemLibrary(NAME) for each
// One line per name: "NAME PATH" of the module loaded, or "NAME failed ERROR".
// Exit code 0; 2 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <string_view>

#include "base/dll_search.h"

using namespace kelvra::base;

namespace {

void printLoaded(const wchar_t* name, HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  if (module == nullptr || GetModuleFileNameW(module, path, MAX_PATH) == 0) {
    std::wprintf(L"%ls failed %lu\n", name, GetLastError());
    return;
  }
  std::wprintf(L"%ls %ls\n", name, path);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring_view mode = argv[1];
  if (mode != L"restricted" && mode != L"unrestricted" && mode != L"system") return 2;
  if (mode == L"restricted") restrictDllSearchToSystemFolder();
  for (int i = 2; i < argc; ++i) {
    if (mode == L"system") {
      printLoaded(argv[i], tryLoadSystemLibrary(argv[i]) ? GetModuleHandleW(argv[i]) : nullptr);
    } else {
      printLoaded(argv[i], LoadLibraryW(argv[i]));
    }
  }
  std::fflush(stdout);
  return 0;
}
