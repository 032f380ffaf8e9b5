// The fixed order of a run. Every object of the run lives here; every step is
// called from here, and a step's failure flag decides whether the run goes on.
#include "run/run.h"

#include <chrono>
#include <optional>
#include <string>

#include "base/exit_guard.h"
#include "base/file_logger.h"
#include "base/log_folder.h"
#include "base/logging.h"
#include "base/scoped_handle.h"
#include "contract/handoff_files.h"
#include "handoff/front_end_launch.h"
#include "notices/notices.h"
#include "remoteconfig/download_limit.h"
#include "remoteconfig/remote_config.h"
#include "run/leftover_folders.h"
#include "run/log_setup.h"
#include "run/run_internal.h"
#include "run/single_instance.h"
#include "run/working_folder.h"
#include "staging/front_end_files.h"
#include "staging/resource_extractor.h"
#include "staging/staged_files.h"
#include "system/system_probe.h"
#include "system/system_requirements.h"
#include "token/token.h"

namespace kelvra::run {

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// The token, raw and decoded, beside the front end. Failures are
// logged and the run goes on.
void writeTokenFiles(const base::LoggerHandle& logger, const std::wstring& workingFolderPath,
                     const std::string& token) {
  std::wstring tokenFilePath = workingFolderPath + contract::kRawTokenFileName;
  if (token::writeTokenFile(token, tokenFilePath)) {
    base::logError(logger, "Failed to dump token to payload file. Continuing with installation.");
  }
  std::string decodedToken;
  if (token::decodeToken(token, decodedToken)) {
    base::logError(logger, "Failed to decode base64 token. Continuing with installation.");
    return;
  }
  tokenFilePath = workingFolderPath + contract::kDecodedTokenFileName;
  if (token::writeTokenFile(decodedToken, tokenFilePath)) {
    base::logError(logger, "Failed to dump decoded token to payload file. Continuing with installation.");
  }
}

// Everything that runs with the log in place, from reading the token to checking
// that the client got installed.
int runWithLogger(const base::LoggerHandle& logger, std::chrono::milliseconds remoteConfigBound) {
  base::logInfo(logger, "Initializing installer bootstrapper.");
  system::SystemProbe systemProbe(logger);
  const staging::ResourceExtractor resourceExtractor(logger);

  std::wstring workingFolderPath;
  std::wstring frontEndPath;
  // No command line reaches the front end: both stay empty for the whole run.
  const std::wstring frontEndParameterText;
  const std::wstring frontEndExtraArgument;
  std::string allowedVersion = "0.0.0";
  std::string personalizedToken;

  // Logged on every run, before anyone knows whether there is a token.
  base::logInfo(logger, "Has token. Try to read it");
  if (token::readPersonalizedToken(personalizedToken)) {
    base::logError(logger, "Failed at reading token.");
    personalizedToken.clear();
  }

  removeLeftoverWorkingFolders();
  // Only a folder this run made is staged into: a taken name gets another one.
  // When none could be made, nothing is staged and the guard below, which would
  // delete the folder, is never set up.
  if (createWorkingFolder(workingFolderPath)) {
    notices::showInstallationErrorNotice();
    return kExitFailure;
  }
  const base::ExitGuard workingFolderGuard([&workingFolderPath] { (void)removeWorkingFolder(workingFolderPath); });

  // The allowed version is not read again.
  if (remoteconfig::fetchRemoteConfig(workingFolderPath, frontEndParameterText, remoteConfigBound, allowedVersion)) {
    base::logInfo(
        logger,
        "Due to failure in getting allowed version from remote config, setting allowed Kelvra version to 0.0.0.");
  }
  writeTokenFiles(logger, workingFolderPath, personalizedToken);

  if (system::checkSystemRequirements(systemProbe)) return kExitFailure;
  base::logInfo(logger, "System fulfills Kelvra requirements.");

  // Staging: each step stops at its first failure, which it has logged.
  staging::LoadedResource frontEndResource;
  staging::LoadedResource imageResource;
  if (resourceExtractor.loadResource(frontEndResource, staging::kFrontEndResourceId, staging::kRawDataResourceType) ||
      resourceExtractor.loadResource(imageResource, staging::kImageResourceId, staging::kRawDataResourceType) ||
      staging::writeFrontEndFiles(frontEndResource, imageResource, workingFolderPath, frontEndPath) ||
      staging::writeTranslationFiles(resourceExtractor, workingFolderPath) ||
      resourceExtractor.writeIconFile(workingFolderPath + contract::kIconFileName)) {
    notices::showInstallationErrorNotice();
    return kExitFailure;
  }

  token::copyAuthenticationFile(workingFolderPath);

  if (handoff::launchFrontEnd(frontEndPath, frontEndParameterText, frontEndExtraArgument)) {
    // The front end shows its own failures; ours would be a second notice.
    base::logWarning(logger, "C# Installer returned nonzero error code.");
    return kExitFailure;
  }
  if (systemProbe.getClientExecutablePath().empty()) {
    base::logInfo(logger, "Kelvra does not exist. Shutting down");
    return kExitFailure;
  }
  base::logInfo(logger, "Looks like installation of ZAV Kelvra 2.0 succeeded.");
  return kExitSuccess;
}

}  // namespace

int runBootstrapper() { return internal::runBootstrapperWithin(remoteconfig::kMaxRemoteConfigDownloadTime); }

int internal::runBootstrapperWithin(std::chrono::milliseconds remoteConfigBound) {
  if (ensureLogFolder(contract::kLogFolderPath)) return kExitFailure;
  // Held, never waited on, until the process ends: its existence is the guard.
  const base::ScopedKernelHandle singleInstanceMutex = acquireSingleInstanceMutex();
  if (!singleInstanceMutex) return kExitFailure;

  // Holds the shared log's folders for the whole run.
  const LogPlace logPlace = chooseLogPlace(contract::kLogRoot, contract::kLogSubfolders, base::userLogFolder);
  publishRunLog(logPlace.filePath);
  const base::LoggerHandle logger =
      base::createFileLogger(base::kFileLoggerName, logPlace.filePath, kLogMaxFileSize, kLogRotatedFiles);
  if (!logPlace.refusal.empty()) {
    base::logWarning(logger, L"The shared log [{}] can't be used: {} Logging to this user's log instead.",
                     logPlace.sharedPath, logPlace.refusal);
  }
  return runWithLogger(logger, remoteConfigBound);
}

}  // namespace kelvra::run
