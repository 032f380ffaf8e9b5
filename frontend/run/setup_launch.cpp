#include "base/scoped_handle.h"
#include "platform/frontend_error.h"
#include "run/setup_launch_internal.h"

namespace kelvra::frontend {

namespace internal {

namespace {

SHELLEXECUTEINFOW makeSetupLaunchRecord(const SetupLaunchRequest& request) {
  SHELLEXECUTEINFOW record = {};
  record.cbSize = sizeof record;
  // NOASYNC: the worker thread has no message loop, so the shell must be done
  // before the call returns. FLAG_NO_UI: failures go to the error page, not to a
  // message box of the shell's; the consent prompt is not affected.
  record.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  record.hwnd = request.owner;
  record.lpVerb = nullptr;
  record.lpFile = request.program.c_str();
  record.lpParameters = request.arguments.c_str();
  record.lpDirectory = request.directory.c_str();
  record.nShow = SW_SHOWNORMAL;
  return record;
}

[[noreturn]] void throwUnexpected(const std::wstring& what, DWORD error) {
  throw FrontEndError(core::FailureKind::unexpected, what + L" Error code " + std::to_wstring(error) + L".");
}

}  // namespace

SetupRun runSetupProgram(const SetupLaunchRequest& request, const ShellExecuteFunction& shellExecute,
                         const std::function<void()>& onStarted) {
  SHELLEXECUTEINFOW record = makeSetupLaunchRecord(request);
  const BOOL started = shellExecute(&record);
  const DWORD error = started ? ERROR_SUCCESS : GetLastError();
  const base::ScopedKernelHandle process(started ? record.hProcess : nullptr);
  if (!started && error == ERROR_CANCELLED) {
    onStarted();
    return SetupRun{kSetupElevationDenied, true};
  }
  if (!started) throwUnexpected(L"Could not start the client setup '" + request.program + L"'.", error);
  // Success without a process would be a document's handler, never an .exe.
  if (!process) throwUnexpected(L"The shell started no process for '" + request.program + L"'.", ERROR_INVALID_HANDLE);
  onStarted();
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) {
    throwUnexpected(L"Could not wait for the client setup.", GetLastError());
  }
  return SetupRun{static_cast<int>(code), false};
}

}  // namespace internal

}  // namespace kelvra::frontend
