// The benchmark's floor: a program that does nothing for a second, built with the
// product's toolchain and options. Its size is what the runtime costs on its own;
// its peak working set is what any process costs under the same Wine.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(1000);
  return 0;
}
