// Holds the bootstrapper's single-instance mutex until its standard input closes.
// Prints "ready" once the mutex exists.
#include <windows.h>

#include <cstdio>

#include "run/single_instance.h"

using namespace kelvra::run;

int wmain() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
  if (mutex == nullptr) return 1;
  std::puts("ready");
  std::fflush(stdout);
  char buffer[64];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
  }
  CloseHandle(mutex);
  return 0;
}
