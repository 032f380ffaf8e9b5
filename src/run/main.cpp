// The bootstrapper's entry point: no window, no command line, only the run.
#include <windows.h>

#include <cstdlib>

#include "base/dll_search.h"
#include "run/run.h"

// What an exception that nothing catches ends in. libstdc++'s own version prints
// the exception's demangled type to stderr, which a GUI program does not have,
// and then aborts; linking it would add its 50 KB demangler to the exe. This one
// aborts the same way, so defining it here keeps the library's version out.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kelvra::base::restrictDllSearchToSystemFolder();
  return kelvra::run::runBootstrapper();
}
