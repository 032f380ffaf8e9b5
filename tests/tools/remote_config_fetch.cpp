// Runs the remote-configuration step against a given base URL:
//   remote_config_fetch.exe WORKING_FOLDER BASE_URL PARAMETERS LOG_FILE
// Logs into LOG_FILE as fileLogger and prints "result=0|1 version=...".
// KELVRA_TEST_CONFIG_DOWNLOAD_BOUND_MS shortens the bound on the download, so that a
// test of a silent or trickling server ends in seconds; KELVRA_TEST_LINGER_MS keeps
// the process alive that long after the step, so that a download the step gave up
// on may still finish meanwhile. Unset, the product's bound holds and it exits at once.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

#include "base/file_logger.h"
#include "base/utf8.h"
#include "remoteconfig/download_limit.h"
#include "remoteconfig/remote_config.h"
#include "remoteconfig/remote_config_internal.h"
#include "tool_support.h"

using namespace kelvra::base;
using namespace kelvra::remoteconfig;

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fputs("usage: remote_config_fetch.exe WORKING_FOLDER BASE_URL PARAMETERS LOG_FILE\n", stderr);
    return 2;
  }
  const LoggerHandle logger = createFileLogger(kFileLoggerName, argv[4], 1 << 20, 1);
  std::string allowedVersion = "0.0.0";
  // The bootstrapper creates the working folder before this step.
  if (!CreateDirectoryW(argv[1], nullptr)) {
    std::printf("result=1 version=%s\n", allowedVersion.c_str());
    return 0;
  }
  const auto bound = environmentMilliseconds(L"KELVRA_TEST_CONFIG_DOWNLOAD_BOUND_MS", kMaxRemoteConfigDownloadTime);
  const bool failed =
      kelvra::remoteconfig::internal::fetchRemoteConfigWithin(argv[2], argv[1], argv[3], bound, allowedVersion);
  std::printf("result=%d version=%s\n", failed ? 1 : 0, allowedVersion.c_str());
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(environmentMilliseconds(L"KELVRA_TEST_LINGER_MS", std::chrono::milliseconds(0)).count()));
  return 0;
}
