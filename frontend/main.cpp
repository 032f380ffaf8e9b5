// KelvraInstaller.exe: the installer front end that the bootstrapper stages and starts.
#include <windows.h>

#include "base/dll_search.h"
#include "base/quiet_terminate.h"
#include "frontend_settings.h"
#include "window/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  kelvra::base::restrictDllSearchToSystemFolder();
  return kelvra::frontend::Program::run(
      instance, showCommand, kelvra::frontend::Program::commandLineArguments(),
      kelvra::frontend::FrontEndSettings{KELVRA_FRONTEND_REMOTE_CONFIG_HOST, KELVRA_FRONTEND_PROBLEM_REPORT_HOST,
                                         KELVRA_FRONTEND_TELEMETRY_HOST, KELVRA_FRONTEND_TELEMETRY_CLIENT_NUMBER,
                                         kelvra::frontend::core::HttpLimits{}});
}
