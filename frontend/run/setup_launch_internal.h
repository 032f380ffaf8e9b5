// The client setup started through the shell, which unlike CreateProcess can show
// the consent prompt that a setup needing administrator rights asks for. The shell
// call itself is a parameter, so that tests can give the answers only Windows gives
// (a declined prompt, error 740); the window always passes ShellExecuteExW.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

namespace kelvra::frontend {

namespace internal {

// The setup's exit code for an elevation the user refused; a declined consent
// prompt ends the same way.
inline constexpr int kSetupElevationDenied = 2;

using ShellExecuteFunction = std::function<BOOL(SHELLEXECUTEINFOW*)>;

struct SetupLaunchRequest {
  std::wstring program;    // full path of the setup
  std::wstring arguments;  // its command line without the program's name
  std::wstring directory;  // its current directory
  HWND owner = nullptr;    // the window the consent prompt belongs to
};

struct SetupRun {
  int exitCode = 0;
  bool promptDeclined = false;  // the user said no to the consent prompt: nothing ran
};

// Starts the setup through shellExecute, calls onStarted once it runs, waits for
// it and returns its exit code. A declined consent prompt (ERROR_CANCELLED)
// returns kSetupElevationDenied, after onStarted, as if the setup had refused
// itself. Any other failure to start or to wait throws FrontEndError
// (FailureKind::unexpected) with the Windows error code. The process handle the
// shell hands back is closed on every way out.
[[nodiscard]] SetupRun runSetupProgram(const SetupLaunchRequest& request, const ShellExecuteFunction& shellExecute,
                                       const std::function<void()>& onStarted);

}  // namespace internal

}  // namespace kelvra::frontend
