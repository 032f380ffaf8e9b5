// The benchmark's floor: a program that does no work, built with the product's
// toolchain and options. Its size is what the runtime costs on its own, so it uses
// no C++ library. Started as
//   bench_idle.exe [DLL...]
// it loads the DLLs named (so that its peak working set is what a program that
// imports them costs under the same Wine before it does anything), waits a second
// and exits with the number of DLLs it could not load.
#include <windows.h>

namespace {

[[nodiscard]] wchar_t* skipSpaces(wchar_t* at) {
  while (*at == L' ' || *at == L'\t') ++at;
  return at;
}

// The arguments after the program's name, split at spaces: DLL names have none, and
// CommandLineToArgvW would load shell32 into every floor.
[[nodiscard]] int loadNamedLibraries(wchar_t* line) {
  wchar_t* at = line;
  if (*at == L'"') {
    do ++at;
    while (*at != L'\0' && *at != L'"');
    if (*at == L'"') ++at;
  } else {
    while (*at != L'\0' && *at != L' ' && *at != L'\t') ++at;
  }
  int failures = 0;
  for (at = skipSpaces(at); *at != L'\0'; at = skipSpaces(at)) {
    wchar_t* end = at;
    while (*end != L'\0' && *end != L' ' && *end != L'\t') ++end;
    const bool last = *end == L'\0';
    *end = L'\0';
    // Kept loaded until the process ends: the point is their memory.
    if (LoadLibraryW(at) == nullptr) ++failures;
    at = last ? end : end + 1;
  }
  return failures;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // A command line is at most 32767 characters.
  wchar_t line[32768];
  lstrcpynW(line, GetCommandLineW(), 32768);
  const int failures = loadNamedLibraries(line);
  Sleep(1000);
  return failures;
}
