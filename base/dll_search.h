// Where the programs take DLLs from. Both start from folders that others can write
// to (Downloads, the temporary folder), where a file named like a Windows DLL could
// wait to be loaded in place of the real one.
#pragma once

namespace kelvra::base {

// Makes every later DLL load search System32 only (SetDefaultDllDirectories).
// Windows 7 without KB2533623 lacks that call: there it only takes the current
// folder out of the search (SetDllDirectoryW), and tryLoadSystemLibrary still finds
// the system's copies. Called first in wWinMain, before anything can load a DLL;
// nothing in it can fail the run.
void restrictDllSearchToSystemFolder();

// Loads a Windows DLL, named without a folder ("winhttp.dll"), from System32 and
// keeps it loaded until the process ends, so that the delay-load helper takes this
// copy when one of its functions is first called. Call it before that first call:
// a delay-load that fails raises an exception instead of returning an error.
// False when the DLL could not be loaded; GetLastError then holds the cause.
[[nodiscard]] bool tryLoadSystemLibrary(const wchar_t* name);

}  // namespace kelvra::base
