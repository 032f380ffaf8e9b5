// Keeps files open with share mode 0, as a program still using them would, until
// its standard input closes. Prints "ready" once every file is open.
//   file_holder <path>...
// Each file is created when missing. Exit code 1 when one can't be opened.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/scoped_handle.h"
#include "tool_support.h"

using namespace kelvra::base;

int wmain(int argc, wchar_t** argv) {
  std::vector<ScopedFileHandle> files;
  for (int i = 1; i < argc; ++i) {
    // No sharing at all: neither a delete nor another open gets through.
    ScopedFileHandle file(
        CreateFileW(argv[i], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      std::printf("cannot open argument %d: error %lu\n", i, GetLastError());
      return 1;
    }
    files.push_back(std::move(file));
  }
  reportAndWaitForInputEnd("ready");
  return 0;
}
