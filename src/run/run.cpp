// The fixed order of a run. Every object of the run lives here; every step is
// called from here, and a step's failure flag decides whether the run goes on.
#include "run/run.h"

#include <optional>
#include <string>

#include "base/exit_guard.h"
#include "base/file_logger.h"
#include "run/log_setup.h"
#include "base/logging.h"
#include "base/scoped_handle.h"
#include "run/single_instance.h"
#include "run/working_folder.h"
#include "handoff/front_end_launch.h"
#include "notices/notices.h"
#include "remoteconfig/remote_config.h"
#include "staging/front_end_files.h"
#include "staging/payload.h"
#include "staging/resource_extractor.h"
#include "system/system_probe.h"
#include "system/system_requirements.h"
#include "token/token.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Steps 14 to 16: the token raw and decoded beside the front end. Failures are
// logged and the run goes on.
void writePayloadFiles(const LoggerHandle& logger, const std::wstring& workingFolderPath, const std::string& token) {
  std::wstring payloadFilePath = workingFolderPath + kRawTokenFileName;
  if (writeTokenFile(token, payloadFilePath)) {
    logError(logger, "Failed to dump token to payload file. Continuing with installation.");
  }
  std::string decodedToken;
  if (decodeToken(token, decodedToken)) {
    logError(logger, "Failed to decode base64 token. Continuing with installation.");
    return;
  }
  payloadFilePath = workingFolderPath + kDecodedTokenFileName;
  if (writeTokenFile(decodedToken, payloadFilePath)) {
    logError(logger, "Failed to dump decoded token to payload file. Continuing with installation.");
  }
}

// Steps 5 onwards: everything that runs with the log in place.
int runWithLogger(const LoggerHandle& logger) {
  logInfo(logger, "Initializing installer bootstrapper.");
  SystemProbe systemProbe(logger);
  const ResourceExtractor resourceExtractor(logger);

  std::wstring workingFolderPath;
  std::wstring frontEndPath;
  // No command line reaches the front end: both stay empty for the whole run.
  const std::wstring frontEndParameterText;
  const std::wstring frontEndExtraArgument;
  std::string allowedVersion = "0.0.0";
  std::string personalizedToken;

  // Logged on every run, before anyone knows whether there is a token.
  logInfo(logger, "Has token. Try to read it");
  if (readPersonalizedToken(personalizedToken) != 0) {
    logError(logger, "Failed at reading token.");
    personalizedToken.clear();
  }

  if (makeWorkingFolderPath(workingFolderPath)) {
    showInstallationErrorNotice();
    return kExitFailure;
  }
  if (removeWorkingFolder(workingFolderPath)) return kExitFailure;
  // A folder we could not create is not ours: nothing is staged into it and the
  // guard below, which would delete it, is never set up.
  if (createWorkingFolder(workingFolderPath)) {
    showInstallationErrorNotice();
    return kExitFailure;
  }
  const ExitGuard workingFolderGuard([&workingFolderPath] {
    (void)removeWorkingFolder(workingFolderPath);
  });

  // The allowed version is not read again.
  if (fetchRemoteConfig(workingFolderPath, frontEndParameterText, allowedVersion)) {
    logInfo(logger,
            "Due to failure in getting allowed version from remote config, setting allowed Kelvra version to 0.0.0.");
  }
  writePayloadFiles(logger, workingFolderPath, personalizedToken);

  if (checkSystemRequirements(systemProbe)) return kExitFailure;
  logInfo(logger, "System fulfills Kelvra requirements.");

  // Staging: each step stops at its first failure, which it has logged.
  LoadedResource frontEndResource;
  LoadedResource imageResource;
  if (resourceExtractor.loadResource(frontEndResource, kFrontEndResourceId, kRawDataResourceType) ||
      resourceExtractor.loadResource(imageResource, kImageResourceId, kRawDataResourceType) ||
      writeFrontEndFiles(frontEndResource, imageResource, workingFolderPath, frontEndPath) ||
      writeTranslationFiles(resourceExtractor, workingFolderPath) ||
      resourceExtractor.writeIconFile(workingFolderPath + kIconFileName)) {
    showInstallationErrorNotice();
    return kExitFailure;
  }

  copyAuthenticationFile(workingFolderPath);

  if (launchFrontEnd(frontEndPath, frontEndParameterText, frontEndExtraArgument)) {
    // The front end shows its own failures; ours would be a second notice.
    logWarning(logger, "C# Installer returned nonzero error code.");
    return kExitFailure;
  }
  if (systemProbe.getClientExecutablePath().empty()) {
    logInfo(logger, "Kelvra does not exist. Shutting down");
    return kExitFailure;
  }
  logInfo(logger, "Looks like installation of ZAV Kelvra 2.0 succeeded.");
  return kExitSuccess;
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
