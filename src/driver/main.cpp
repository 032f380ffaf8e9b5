// The bootstrapper's entry point: no window, no command line, only the run.
#include <windows.h>

#include "driver/run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return runBootstrapper(); }
