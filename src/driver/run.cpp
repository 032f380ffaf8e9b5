// The fixed order of a run. Every object of the run lives here; every step is
// called from here, and a step's failure flag decides whether the run goes on.
#include "driver/run.h"

#include <optional>
#include <string>

#include "driver/exit_guard.h"
#include "driver/file_logger.h"
#include "driver/log_setup.h"
#include "driver/logging.h"
#include "driver/scoped_handle.h"
#include "driver/single_instance.h"
#include "driver/working_folder.h"
#include "notices/notices.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Steps 5 onwards: everything that runs with the log in place.
int runWithLogger(const LoggerHandle& logger) {
  logInfo(logger, "Initializing installer bootstrapper.");

  std::wstring workingFolderPath;

  if (makeWorkingFolderPath(workingFolderPath)) {
    showInstallationErrorNotice();
    return kExitFailure;
  }
  if (removeWorkingFolder(workingFolderPath)) return kExitFailure;
  const ExitGuard workingFolderGuard([&workingFolderPath] {
    (void)removeWorkingFolder(workingFolderPath);
  });

  return kExitFailure;
}

}  // namespace

int runBootstrapper() {
  const std::wstring logFolderPath = kLogFolderPath;
  const std::wstring logFilePath = logFolderPath + kLogFileName;

  if (ensureLogFolder(logFolderPath)) return kExitFailure;
  // Held, never waited on, until the process ends: its existence is the guard.
  const ScopedKernelHandle singleInstanceMutex(acquireSingleInstanceMutex());
  if (!singleInstanceMutex) return kExitFailure;

  const LoggerHandle logger =
      createFileLogger(kFileLoggerName, logFilePath, kLogMaxFileSize, kLogRotatedFiles);
  return runWithLogger(logger);
}
