// The installer front end built for the tests: the same program, except that the
// remote-configuration host comes from the environment variable
// KELVRA_TEST_CONFIG_HOST (such as "localhost:8443"), so that a test can play the
// service on a port of its own choosing. Scenario tests stage it as
// KelvraInstaller.exe. KELVRA_TEST_REPORT_HOST, KELVRA_TEST_TELEMETRY_HOST and
// KELVRA_TEST_CLIENT_NUMBER name the problem-report and telemetry services likewise.
#include <windows.h>

#include <string>

#include "program.h"

namespace {

std::wstring environmentValue(const wchar_t* name, const wchar_t* fallback) {
  wchar_t value[256] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 256);
  return length > 0 && length < 256 ? std::wstring(value) : std::wstring(fallback);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Reports and events go nowhere unless the test names their hosts.
  return Program::Main(instance, showCommand, Program::CommandLineArguments(),
                       FrontEndSettings{environmentValue(L"KELVRA_TEST_CONFIG_HOST", L"localhost:9"),
                                        environmentValue(L"KELVRA_TEST_REPORT_HOST", L""),
                                        environmentValue(L"KELVRA_TEST_TELEMETRY_HOST", L""),
                                        environmentValue(L"KELVRA_TEST_CLIENT_NUMBER", L"")});
}
