// The bootstrapper's entry point in its test builds (tests/standin_builds): the
// product's run, except that KELVRA_TEST_CONFIG_DOWNLOAD_BOUND_MS shortens the bound
// on the remote-configuration download, so that a run against a silent server goes
// on after seconds rather than half a minute; unset, the product's bound holds.
#include <windows.h>

#include "base/dll_search.h"
#include "base/quiet_terminate.h"
#include "remoteconfig/download_limit.h"
#include "run/run_internal.h"
#include "tool_support.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kelvra::base::restrictDllSearchToSystemFolder();
  return kelvra::run::internal::runBootstrapperWithin(environmentMilliseconds(
      L"KELVRA_TEST_CONFIG_DOWNLOAD_BOUND_MS", kelvra::remoteconfig::kMaxRemoteConfigDownloadTime));
}
