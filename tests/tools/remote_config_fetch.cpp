// Runs the remote-configuration step against a given base URL:
//   remote_config_fetch.exe WORKING_FOLDER BASE_URL PARAMETERS LOG_FILE
// Logs into LOG_FILE as fileLogger and prints "result=0|1 version=...".
#include <windows.h>

#include <cstdio>
#include <string>

#include "driver/file_logger.h"
#include "driver/utf8.h"
#include "remoteconfig/remote_config.h"

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
  const bool failed = fetchRemoteConfigFrom(argv[2], argv[1], argv[3], allowedVersion);
  std::printf("result=%d version=%s\n", failed ? 1 : 0, allowedVersion.c_str());
  return 0;
}
