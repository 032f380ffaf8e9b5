// What an exception that nothing catches ends in, for a GUI program. libstdc++'s
// own version prints the exception's demangled type to stderr, which a GUI
// program does not have, and then aborts; linking it adds its 40 KB demangler to
// the exe. This one aborts the same way. It is a definition, not a declaration:
// each program's main.cpp includes it, and nothing else does, so that it is in an
// object the linker always takes and the library's version stays out.
#pragma once

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
