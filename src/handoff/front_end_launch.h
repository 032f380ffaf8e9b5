// Hands over to the installer front end: starts it, waits for it without limit
// and judges the outcome by its exit code.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace kelvra::handoff {

// The launch record: default verb, no owner window, no working directory (the
// front end inherits ours), shown normally, the process handle handed back. It
// points into frontEndPath and parameters, which must outlive it.
[[nodiscard]] SHELLEXECUTEINFOW makeLaunchRecord(const std::wstring& frontEndPath, const std::wstring& parameters);

// Blocks until process ends, then judges the start that ShellExecuteExW reported
// through instApp: true (failed, logged) when instApp says the start failed or
// the exit code can't be read; true when the exit code is not 0, false when it
// is 0. process stays open: it belongs to the caller.
[[nodiscard]] bool awaitFrontEnd(const std::wstring& frontEndPath, HINSTANCE instApp, HANDLE process);

// Starts the front end at frontEndPath with the parameters built from
// parameterText and extraArgument and waits for it to end. True when it was not
// started (logged) or exited with a code other than 0; false when it exited
// with 0. The process handle is closed on every way out.
[[nodiscard]] bool launchFrontEnd(const std::wstring& frontEndPath, std::wstring parameterText,
                                  std::wstring extraArgument);

}  // namespace kelvra::handoff
