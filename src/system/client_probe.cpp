// Whether the client got installed: its folder and executable name from the
// registry, then the executable on disk.
#include <shlwapi.h>

#include "system/registry_text.h"
#include "system/system_probe.h"

namespace kelvra::system {

bool SystemProbe::tryReadClientText(const wchar_t* subKey, const wchar_t* valueName, std::wstring& text) const {
  wchar_t buffer[kClientValueLength] = {};
  DWORD type = 0;
  DWORD dataSize = sizeof buffer;
  if (!tryReadRegistryValue(HKEY_LOCAL_MACHINE, subKey, valueName, type, buffer, dataSize)) return false;
  // The value may lack its terminator; the buffer has no room to add one.
  text = registryTextFromBuffer(buffer, kClientValueLength, dataSize);
  return true;
}

bool SystemProbe::isClientInstalled() {
  base::logInfo(logger_, "Checking kelvra existence.");
  std::wstring folder;
  std::wstring executableName;
  if (tryReadClientText(kClientPathsKey64, kClientFolderValue, folder)) {
    if (!tryReadClientText(kClientKey64, kClientExecutableValue, executableName)) {
      base::logInfo(logger_, L"Kelvra does not exist. Failed to get registry info at {}.", kClientKey64);
      return false;
    }
  } else {
    if (!tryReadClientText(kClientPathsKey32, kClientFolderValue, folder)) {
      base::logInfo(logger_, L"Kelvra does not exist. Failed to get registry info at [{}] and [{}].", kClientPathsKey64,
                    kClientPathsKey32);
      return false;
    }
    base::logInfo(logger_,
                  L"Failed to get registry info at [{}], but found info at [{}]. Assuming that system is 32 bit.",
                  kClientPathsKey64, kClientPathsKey32);
    if (!tryReadClientText(kClientKey32, kClientExecutableValue, executableName)) {
      base::logInfo(logger_, L"Kelvra does not exist. Failed to get registry info at {}.", kClientKey32);
      return false;
    }
  }

  clientExecutablePath_ = folder + L"\\" + executableName;
  if (PathFileExistsW(clientExecutablePath_.c_str())) {
    base::logInfo(logger_, L"Kelvra exists - KelvraClient.exe found at [{}].", clientExecutablePath_);
    return true;
  }
  base::logInfo(logger_, L"Kelvra does not exist - KelvraClient.exe not found despite registry information at [{}].",
                clientExecutablePath_);
  return false;
}

std::wstring SystemProbe::getClientExecutablePath() {
  if (!isClientInstalled()) return {};
  return clientExecutablePath_;
}

}  // namespace kelvra::system
