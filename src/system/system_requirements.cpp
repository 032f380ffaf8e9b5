#include "system/system_requirements.h"

#include "notices/notices.h"

namespace kelvra::system {

bool SystemProbe::isWindows7Sp1OrGreater() const {
  // 6.1 SP 1.0 or later: the system compares the four fields in order of
  // significance, so 6.2 and 10.0 pass without a service pack and 6.1 SP0 fails.
  OSVERSIONINFOEXW required = {};
  required.dwOSVersionInfoSize = sizeof required;
  required.dwMajorVersion = 6;
  required.dwMinorVersion = 1;
  required.wServicePackMajor = 1;
  required.wServicePackMinor = 0;
  DWORDLONG conditions = 0;
  conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
  conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
  conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
  const DWORD fields = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR;
  return VerifyVersionInfoW(&required, fields, conditions) != FALSE;
}

bool SystemProbe::tryReadNumber(const wchar_t* subKey, const wchar_t* valueName, DWORD& number) const {
  // Whatever the value's type, its first 4 bytes are the number; a longer value
  // fails the read (more data).
  number = 0;
  DWORD type = 0;
  DWORD dataSize = sizeof number;
  return tryReadRegistryValue(HKEY_LOCAL_MACHINE, subKey, valueName, type, &number, dataSize);
}

bool SystemProbe::isNet35Installed() const {
  DWORD install = 0;
  return tryReadNumber(kNet35Key, kNet35Value, install) && install == 1;
}

bool SystemProbe::isNet45OrLaterInstalled() const {
  DWORD release = 0;
  return tryReadNumber(kNet4FullKey, kNet4ReleaseValue, release) && release >= kNet45MinimumRelease;
}

bool checkSystemRequirements(SystemProbe& probe) {
  if (!probe.isWindows7Sp1OrGreater()) {
    base::logWarning(base::findFileLogger(), "Windows 7 or later not found - system not suitable for Kelvra install.");
    notices::showUnsupportedWindowsNotice();
    return true;
  }
  if (probe.isNet35Installed()) return false;
  if (probe.isNet45OrLaterInstalled()) return false;
  base::logWarning(base::findFileLogger(), ".NET framework not found - system not suitable for Kelvra install.");
  notices::showNetMissingNotice();
  return true;
}

}  // namespace kelvra::system
