#include "handoff/front_end_launch.h"

#include "base/logging.h"
#include "base/scoped_handle.h"
#include "handoff/front_end_launch_internal.h"
#include "handoff/launch_parameters.h"

namespace kelvra::handoff {

static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60, "the launch record of a 32-bit process");

SHELLEXECUTEINFOW internal::makeLaunchRecord(const std::wstring& frontEndPath, const std::wstring& parameters) {
  SHELLEXECUTEINFOW record = {};
  record.cbSize = sizeof record;
  record.fMask = SEE_MASK_NOCLOSEPROCESS;
  record.hwnd = nullptr;
  record.lpVerb = nullptr;
  record.lpFile = frontEndPath.c_str();
  record.lpParameters = parameters.c_str();
  record.lpDirectory = nullptr;
  record.nShow = SW_SHOW;
  record.hInstApp = nullptr;
  return record;
}

bool internal::awaitFrontEnd(const std::wstring& frontEndPath, HINSTANCE instApp, HANDLE process) {
  // No time limit and nothing to pump: the bootstrapper has no window, and the
  // working folder must stay until the front end is gone.
  WaitForSingleObject(process, INFINITE);
  // Values above 32 mean success, as ShellExecute's result always has.
  const INT_PTR startResult = reinterpret_cast<INT_PTR>(instApp);
  if (startResult <= 32) {
    const DWORD lastError = GetLastError();
    base::logError(base::findFileLogger(), L"Executing installer at path [{}] failed. Error code 1) {} 2) {}.",
                   frontEndPath, startResult, lastError);
    return true;
  }
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process, &exitCode)) {
    // Without a code there is nothing that shows the front end succeeded.
    const DWORD lastError = GetLastError();
    base::logError(base::findFileLogger(), "Failed to read the installer's exit code. Error code {}.", lastError);
    return true;
  }
  return exitCode != 0;
}

bool launchFrontEnd(const std::wstring& frontEndPath, std::wstring parameterText, std::wstring extraArgument) {
  const std::wstring parameters = buildLaunchParameters(parameterText, extraArgument);
  SHELLEXECUTEINFOW record = internal::makeLaunchRecord(frontEndPath, parameters);
  base::logInfo(base::findFileLogger(), L"Executing installer. Path [{}], params [{}].", frontEndPath, parameters);
  if (!ShellExecuteExW(&record)) {
    const DWORD lastError = GetLastError();
    base::logError(base::findFileLogger(), "ShellExecuteEx failed. Error code {}.", lastError);
    return true;
  }
  const base::ScopedKernelHandle process(record.hProcess);
  return internal::awaitFrontEnd(frontEndPath, record.hInstApp, process.get());
}

}  // namespace kelvra::handoff
