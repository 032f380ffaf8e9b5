// Whether this machine can run the installer front end: Windows 7 SP1 or later
// and .NET Framework 3.5 or 4.5 or later.
#pragma once

#include "system/system_probe.h"

namespace kelvra::system {

// True when the system is NOT suitable: the Windows or .NET warning is logged and
// the matching notice has been shown. False when the run may go on. The .NET
// tests run only on a suitable Windows; 3.5 is tried first and suffices.
[[nodiscard]] bool checkSystemRequirements(SystemProbe& probe);

}  // namespace kelvra::system
