// Only one bootstrapper per Windows session: a named mutex whose existence marks a
// running copy.
#pragma once

#include <windows.h>

namespace kelvra::run {

inline constexpr wchar_t kSingleInstanceMutexName[] = L"ZAV-WEBINSTALLERMUTEX";

// Returns the mutex handle, which the caller holds until the process ends, or null
// when the run must stop; the fitting notice has then been shown. Logs nothing.
[[nodiscard]] HANDLE acquireSingleInstanceMutex();

}  // namespace kelvra::run
