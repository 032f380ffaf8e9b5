// The bootstrapper's entry point: no window, no command line, only the run.
#include <windows.h>

#include "base/dll_search.h"
#include "base/quiet_terminate.h"
#include "run/run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kelvra::base::restrictDllSearchToSystemFolder();
  return kelvra::run::runBootstrapper();
}
