// The installer front end built for the tests: the same program, except that the
// remote-configuration host comes from the environment variable
// KELVRA_TEST_CONFIG_HOST (such as "localhost:8443"), so that a test can play the
// service on a port of its own choosing. Scenario tests stage it as
// KelvraInstaller.exe.
#include <windows.h>

#include <string>

#include "program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  wchar_t host[256] = {};
  const DWORD length = GetEnvironmentVariableW(L"KELVRA_TEST_CONFIG_HOST", host, 256);
  return Program::Main(instance, showCommand, Program::CommandLineArguments(),
                       FrontEndSettings{length > 0 && length < 256 ? host : L"localhost:9"});
}
