// Runs the bootstrapper's system requirements check on its own, so that tests can
// set the Windows version Wine reports to this program alone and see the check's
// log lines and notice without the rest of a run.
//   requirements_check.exe LOG_FILE
// Exit code 0 when the system is suitable, 1 when the check refused it (after its
// notice), 2 on wrong usage.
#include <windows.h>

#include "base/file_logger.h"
#include "system/system_probe.h"
#include "system/system_requirements.h"

using namespace kelvra::base;
using namespace kelvra::system;

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const LoggerHandle logger = createFileLogger(kFileLoggerName, argv[1], 5242880, 3);
  SystemProbe probe(logger);
  return checkSystemRequirements(probe) ? 1 : 0;
}
