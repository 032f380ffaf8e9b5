#include "window/program.h"

#include <shellapi.h>

#include "base/dll_search.h"
#include "platform/file_reading.h"
#include "run/front_end_run.h"
#include "window/window.h"

namespace kelvra::frontend {

int Program::run(HINSTANCE instance, int showCommand, std::vector<std::wstring> arguments, FrontEndSettings settings) {
  // Taken from System32 now, so that every later load by name finds these copies,
  // the system's own included (WinHTTP's certificate checks load crypt32 and
  // bcrypt; wintrust, the setup's signature check, loads crypt32), also where the
  // restricted search is missing (Windows 7 without KB2533623) or not followed
  // (Wine's loader, for its own delay-loads). A DLL that fails here fails again,
  // logged, in the step that needs it.
  for (const wchar_t* name : {L"winhttp.dll", L"bcrypt.dll", L"crypt32.dll", L"wintrust.dll"}) {
    (void)base::tryLoadSystemLibrary(name);
  }
  FrontEndRun run(instance, executableFolder(), std::move(arguments), std::move(settings));
  bool abandoned = false;
  {
    Window window(instance, run, showCommand);
    if (!window.created()) return 1;
    run.start(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(window.handle(), &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    abandoned = run.endWorkers();
  }
  run.logger().log(L"Exit complete", base::LogLevel::info);
  // A thread that waits on a proxy script can't be stopped or waited for: the
  // process ends around it, without running anything that it might still use.
  // The log is written line by line, so nothing of it is lost.
  if (abandoned) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(run.exitCode()));
  return run.exitCode();
}

std::vector<std::wstring> Program::commandLineArguments() {
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
  LocalFree(split);
  return arguments;
}

}  // namespace kelvra::frontend
