// Holds the bootstrapper's single-instance mutex until its standard input closes.
// Prints "ready" once the mutex exists.
#include <windows.h>

#include <cstdio>

#include "base/scoped_handle.h"
#include "run/single_instance.h"

using kelvra::base::ScopedKernelHandle;
using namespace kelvra::run;

int wmain() {
  const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
  if (!mutex) return 1;
  std::puts("ready");
  std::fflush(stdout);
  char buffer[64];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
  }
  return 0;
}
