// Hands over to the installer front end: starts it, waits for it without limit
// and judges the outcome by its exit code.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace kelvra::handoff {

// Starts the front end at frontEndPath with the parameters built from
// parameterText and extraArgument and waits for it to end. True when it was not
// started (logged) or exited with a code other than 0; false when it exited
// with 0. The process handle is closed on every way out.
[[nodiscard]] bool launchFrontEnd(const std::wstring& frontEndPath, std::wstring parameterText,
                                  std::wstring extraArgument);

}  // namespace kelvra::handoff
