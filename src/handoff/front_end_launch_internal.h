// The front end's launch in its two halves, which its tests drive on their own.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace kelvra::handoff::internal {

// The launch record: default verb, no owner window, no working directory (the
// front end inherits ours), shown normally, the process handle handed back. It
// points into frontEndPath and parameters, which must outlive it.
[[nodiscard]] SHELLEXECUTEINFOW makeLaunchRecord(const std::wstring& frontEndPath, const std::wstring& parameters);

// Blocks until process ends, then judges the start that ShellExecuteExW reported
// through instApp: true (failed, logged) when instApp says the start failed or
// the exit code can't be read; true when the exit code is not 0, false when it
// is 0. process stays open: it belongs to the caller.
[[nodiscard]] bool awaitFrontEnd(const std::wstring& frontEndPath, HINSTANCE instApp, HANDLE process);

}  // namespace kelvra::handoff::internal
