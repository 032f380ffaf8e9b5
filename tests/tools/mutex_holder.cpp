// Holds the bootstrapper's single-instance mutex until its standard input closes.
// Prints "ready" once the mutex exists.
#include <windows.h>

#include "base/scoped_handle.h"
#include "tool_support.h"

using kelvra::base::ScopedKernelHandle;

int wmain() {
  // The name written out, not taken from the bootstrapper: a wrong name there must
  // let a second copy run and fail the test.
  const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, L"ZAV-WEBINSTALLERMUTEX"));
  if (!mutex) return 1;
  reportAndWaitForInputEnd("ready");
  return 0;
}
