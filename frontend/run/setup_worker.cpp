// The setup worker: the command line, both digests and the signer of the file it
// holds open, the launch and the wait.
#include "run/setup_worker.h"

#include <optional>

#include "base/scoped_handle.h"
#include "base/utf8.h"
#include "core/culture.h"
#include "core/setup_command_line.h"
#include "core/setup_digests.h"
#include "core/setup_publisher.h"
#include "frontend_settings.h"
#include "platform/file_digest.h"
#include "platform/frontend_error.h"
#include "platform/localized_strings.h"
#include "platform/setup_signature.h"
#include "run/setup_launch_internal.h"

namespace kelvra::frontend {

namespace {

constexpr std::int64_t kSilentSetupMinimumFreeBytes = 1073741824;
// Total free bytes of the drive that holds the program files folder; -1 when
// that drive can't be read.
[[nodiscard]] std::int64_t defaultTargetDriveFreeSpace() {
  wchar_t expanded[MAX_PATH] = {};
  const DWORD length = ExpandEnvironmentStringsW(L"%ProgramFiles%", expanded, MAX_PATH);
  if (length == 0 || length > MAX_PATH || expanded[0] == L'\0' || expanded[1] != L':') return -1;
  const std::wstring root = std::wstring(expanded, 2) + L"\\";
  if (GetDriveTypeW(root.c_str()) <= DRIVE_NO_ROOT_DIR) return -1;
  ULARGE_INTEGER totalFree = {};
  if (!GetDiskFreeSpaceExW(root.c_str(), nullptr, nullptr, &totalFree)) return -1;
  return static_cast<std::int64_t>(totalFree.QuadPart);
}

}  // namespace

// The digest-mismatch failure is the same whichever digest failed; the line before
// it in the log tells which.
void SetupWorker::checkSetupDigests(HANDLE setup, const SetupFile& file) {
  const core::ExpectedSetupDigests expected{state_.remoteConfig.installerMd5, state_.remoteConfig.installerSha256};
  // Without installerSha256 the file is read for MD5 alone, as it always was.
  const FileDigests digests = expected.sha256 ? fileDigests(setup, {DigestAlgorithm::md5, DigestAlgorithm::sha256})
                                              : fileDigests(setup, {DigestAlgorithm::md5});
  // A file that can't be read (an antivirus may block it) is no disk full.
  if (digests.fileFailed) file.throwUnreadable(digests.fileError);
  if (digests.failed) {
    throw FrontEndError(core::FailureKind::unexpected, L"Could not read the client setup file '" + file.path() + L"'.");
  }
  const core::ActualSetupDigests actual{digests.digests[0], expected.sha256 ? digests.digests[1] : std::string()};
  switch (core::judgeSetupDigests(expected, actual)) {
    case core::SetupDigestVerdict::accepted: return;
    case core::SetupDigestVerdict::md5Mismatch:
      logger_.log(L"MD5 do not match, expecting: " + base::fromUtf8(core::lowerCaseDigest(expected.md5)) + L", got: " +
                      base::fromUtf8(actual.md5),
                  base::LogLevel::error);
      break;
    case core::SetupDigestVerdict::sha256Mismatch:
      logger_.log(L"SHA-256 do not match, expecting: " + base::fromUtf8(core::lowerCaseDigest(*expected.sha256)) +
                      L", got: " + base::fromUtf8(actual.sha256),
                  base::LogLevel::error);
      break;
    case core::SetupDigestVerdict::sha256Malformed:
      // The value itself stays out of the log: it may be long or hold anything.
      logger_.log(L"installerSha256 is not 64 hexadecimal digits (" + std::to_wstring(expected.sha256->size()) +
                      L" characters); the setup is refused",
                  base::LogLevel::error);
      break;
  }
  throw FrontEndError(core::FailureKind::digestMismatch, L"Downloaded file MD5 do not match remote-config data.");
}

// After the digests: only a setup signed by the maker runs, whatever the
// configuration (a planted remoteconfig.json included) names.
void SetupWorker::checkSetupSigner(HANDLE setup, const std::wstring& path) {
  // Windows reads the whole file once more for its signed digest: the line shows
  // where the digests end and that read begins.
  logger_.log(L"Checking the client setup's signature.", base::LogLevel::info);
  const core::PublisherJudgement judgement =
      core::judgeSetupPublisher(checkFileSignature(setup, path), checkOwnSignature(), KELVRA_FRONTEND_SETUP_PUBLISHERS);
  if (judgement.verdict != core::PublisherVerdict::accepted) {
    throw FrontEndError(core::FailureKind::setupSigner, judgement.message);
  }
  logger_.log(judgement.message, base::LogLevel::info);
}

SetupWorker::SetupWorker(const std::wstring& folder, const RunState& state, Logger& logger, Reports& reports,
                         Calls calls)
    : folder_(folder), state_(state), logger_(logger), reports_(reports), calls_(std::move(calls)) {}

SetupWorker::~SetupWorker() {
  if (thread_.joinable()) thread_.join();
}

void SetupWorker::start(const SetupFile& file, HWND owner) {
  running_ = true;
  thread_ = std::thread([this, &file, owner] { run(file, owner); });
}

std::wstring SetupWorker::commandLine() const {
  core::SetupCommandInputs inputs;
  inputs.languageArgument = core::languageArgument(userInterfaceCulture(), !state_.productId.empty());
  if (!state_.productId.empty()) {
    inputs.productId = state_.productId;
    inputs.enoughSpaceForSilentSetup = defaultTargetDriveFreeSpace() > kSilentSetupMinimumFreeBytes;
    if (!state_.gameName.empty()) inputs.gameName = state_.gameName;
  }
  inputs.encodedCampaign = base::fromUtf8(state_.encodedCampaign);
  return core::buildSetupCommandLine(inputs);
}

void SetupWorker::run(const SetupFile& file, HWND owner) {
  int exitCode = 0;
  bool failed = false;
  try {
    logger_.log(L"Starting up client setup.", base::LogLevel::info);
    const std::wstring arguments = commandLine();
    const std::wstring& path = file.path();
    base::ScopedFileHandle setup = file.hold();
    checkSetupDigests(setup.get(), file);
    checkSetupSigner(setup.get(), path);

    logger_.log(L"launching: " + path + L" with args: " + core::redactCampaignArguments(arguments),
                base::LogLevel::info);
    // The shell starts the file by its path while it is held: starting a program
    // opens it for reading and executing, sharing reading, and maps it as an image,
    // which only a writer would prevent; the handle shares reading and has no writer
    // beside it. It is let go once the setup runs (or the prompt was declined).
    const internal::SetupRun setupRun =
        internal::runSetupProgram({path, arguments, folder_, owner}, ShellExecuteExW, [this, &setup] {
          setup.reset();
          reports_.sendEvent(L"kelvra_download_completed", Reports::InPlace{});
        });
    if (setupRun.promptDeclined) {
      logger_.log(L"The user declined the elevation prompt of the client setup.", base::LogLevel::warning);
    }
    exitCode = setupRun.exitCode;
  } catch (const std::exception& error) {
    failed = true;
    calls_.failed(error);
  }
  if (!failed) calls_.finished(exitCode);
  running_ = false;
}

}  // namespace kelvra::frontend
