// The installer front end built for the tests: the same program, except that the
// remote-configuration host comes from the environment variable
// KELVRA_TEST_CONFIG_HOST (such as "localhost:8443"), so that a test can play the
// service on a port of its own choosing. Scenario tests stage it as
// KelvraInstaller.exe. KELVRA_TEST_REPORT_HOST, KELVRA_TEST_TELEMETRY_HOST and
// KELVRA_TEST_CLIENT_NUMBER name the problem-report and telemetry services likewise.
// KELVRA_TEST_RECEIVE_TIMEOUT_MS and KELVRA_TEST_STALL_WINDOW_MS shorten the network
// waits (HttpLimits), so that a test of a silent or trickling server ends in
// seconds rather than minutes, KELVRA_TEST_SETUP_CAP_BYTES lowers the setup
// download's cap, so that a body without end is cut off after megabytes rather
// than a gigabyte, and KELVRA_TEST_RETRY_PAUSE_MS sets the pause before the
// download's second try (the later ones double it); unset, the product's values hold.
#include <windows.h>

#include <string>

#include "base/dll_search.h"
#include "tool_support.h"
#include "window/program.h"

using namespace kelvra::base;
using namespace kelvra::frontend;
using namespace kelvra::frontend::core;

namespace {

HttpLimits testNetworkLimits() {
  HttpLimits limits;
  limits.receiveTimeoutMs =
      environmentNumber(L"KELVRA_TEST_RECEIVE_TIMEOUT_MS", limits.receiveTimeoutMs, kLongestTestWaitMs);
  limits.stallWindowMs = environmentNumber(L"KELVRA_TEST_STALL_WINDOW_MS", limits.stallWindowMs, kLongestTestWaitMs);
  // Only ever lower: a test has no business letting a download grow past the product's cap.
  limits.maxDownloadBytes =
      environmentNumber(L"KELVRA_TEST_SETUP_CAP_BYTES", limits.maxDownloadBytes, limits.maxDownloadBytes);
  limits.firstRetryPauseMs =
      environmentNumber(L"KELVRA_TEST_RETRY_PAUSE_MS", limits.firstRetryPauseMs, kLongestTestWaitMs);
  return limits;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  restrictDllSearchToSystemFolder();
  // Reports and events go nowhere unless the test names their hosts.
  return Program::run(instance, showCommand, Program::commandLineArguments(),
                      FrontEndSettings{environment(L"KELVRA_TEST_CONFIG_HOST").value_or(L"localhost:9"),
                                       environment(L"KELVRA_TEST_REPORT_HOST").value_or(L""),
                                       environment(L"KELVRA_TEST_TELEMETRY_HOST").value_or(L""),
                                       environment(L"KELVRA_TEST_CLIENT_NUMBER").value_or(L""), testNetworkLimits()});
}
