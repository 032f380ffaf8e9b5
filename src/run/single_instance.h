// Only one bootstrapper per Windows session: a named mutex whose existence marks a
// running copy.
#pragma once

#include "base/scoped_handle.h"

namespace kelvra::run {

inline constexpr wchar_t kSingleInstanceMutexName[] = L"ZAV-WEBINSTALLERMUTEX";

// Returns the mutex, which the caller holds until the process ends, or an empty
// guard when the run must stop; the fitting notice has then been shown. Logs
// nothing.
[[nodiscard]] base::ScopedKernelHandle acquireSingleInstanceMutex();

}  // namespace kelvra::run
