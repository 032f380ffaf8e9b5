// The run in its order: start-up, download, setup. What a failure, a close and the
// exit change in it is in front_end_run_end.cpp.
#include "run/front_end_run.h"

#include "base/utf8.h"
#include "contract/handoff_files.h"
#include "core/composite_format.h"
#include "platform/user_identity.h"
#include "run/setup_launch_internal.h"

namespace kelvra::frontend {

namespace {

constexpr unsigned kSizeTimerIntervalMs = 1000;
// The setup's code for an elevation the user refused, and a declined consent prompt's.
constexpr int kElevationDenied = internal::kSetupElevationDenied;

}  // namespace

FrontEndRun::FrontEndRun(HINSTANCE instance, std::wstring folder, std::vector<std::wstring> arguments,
                         FrontEndSettings settings)
    : instance_(instance),
      arguments_(std::move(arguments)),
      settings_(std::move(settings)),
      folder_(std::move(folder)),
      logger_(arguments_.size() == 2 ? arguments_[0] : std::wstring()),
      strings_(std::make_unique<LocalizedStrings>(instance, folder_, std::wstring_view())),
      setupFile_(folder_),
      reports_(settings_, state_, logger_),
      startup_(folder_, settings_, state_, logger_, reports_,
               {[this] { handBack_.post([this] { startSizeTimer(); }); }, failureHandBack(),
                [this](bool succeeded) { handBack_.post([this, succeeded] { onStartupEnded(succeeded); }); }}),
      download_(folder_, settings_.network, logger_,
                {[this](int percent) {
                   handBack_.post([this, percent] {
                     if (awaitingDownload_ && !download_.cancelled()) view_->showProgress(percent);
                   });
                 },
                 failureHandBack(), [this] { handBack_.post([this] { onDownloadEnded(); }); }}),
      setup_(folder_, state_, logger_, reports_,
             {[this](int code) { handBack_.post([this, code] { onSetupEnded(code); }); }, failureHandBack()}) {}

// A worker's failure, carried to the window's thread. Called in the worker's catch.
std::function<void(const std::exception&)> FrontEndRun::failureHandBack() {
  return [this](const std::exception&) {
    handBack_.post([this, failure = std::current_exception()] {
      // What the user gave up did not fail.
      if (cancelRequested_) return;
      try {
        std::rethrow_exception(failure);
      } catch (const std::exception& error) {
        fail(error);
      }
    });
  };
}

// ---- The start-up ----

void FrontEndRun::start(FrontEndView& view) {
  view_ = &view;
  handBack_.attach(view.handle());
  try {
    logger_.log(L"Setting up gui elements.", base::LogLevel::info);
    parseArguments();
    useUserInterfaceLanguage();
    loadIcon();
    // The window appears here, on its initialisation page, so that the user sees
    // the installer at once while the configuration is read.
    view_->appear();
    logUser();
    startStartup();
  } catch (const std::exception& error) {
    fail(error);
  }
}

void FrontEndRun::parseArguments() {
  std::wstring joined;
  for (const std::wstring& argument : arguments_) {
    if (!joined.empty()) joined += L", ";
    joined += argument;
  }
  logger_.log(L"Parsing arguments: " + joined, base::LogLevel::info);
  if (arguments_.size() != 2) return;
  state_.productId = arguments_[0];
  state_.gameName = arguments_[1];
}

void FrontEndRun::useUserInterfaceLanguage() {
  logger_.log(L"Setting up localized strings.", base::LogLevel::info);
  const std::wstring culture = userInterfaceCulture();
  logger_.log(L"Detected language is " + culture, base::LogLevel::info);
  strings_ = std::make_unique<LocalizedStrings>(instance_, folder_, culture);
  const std::wstring title = state_.gameName.empty()
                                 ? strings_->get(L"zavKelvra")
                                 : core::formatComposite(strings_->get(L"windowName"), {state_.gameName});
  view_->useTexts(*strings_, title);
}

void FrontEndRun::loadIcon() {
  const std::wstring path = folder_ + contract::kIconFileName;
  logger_.log(L"Loading icon file: " + path, base::LogLevel::info);
  DWORD error = 0;
  if (!view_->showIcon(path, error)) {
    logger_.log(L"Could not load the icon file '" + path + L"'. Error code " + std::to_wstring(error) + L".",
                base::LogLevel::warning);
  }
}

void FrontEndRun::logUser() {
  const UserIdentity identity = currentUserIdentity();
  logger_.log(L"Installer running as user " + identity.name + L" - elevation status " +
                  (identity.administrator ? L"True" : L"False") + L". ",
              base::LogLevel::info);
}

// The campaign, the configuration and the started event wait on files and servers:
// on the start-up worker, while the initialisation page shows that it is busy.
void FrontEndRun::startStartup() {
  view_->showBusy(true);
  awaitingStartup_ = true;
  startup_.start();
}

void FrontEndRun::onStartupEnded(bool succeeded) {
  if (!awaitingStartup_) return;  // given up on (a proxy script that never ended)
  awaitingStartup_ = false;
  view_->showBusy(false);
  if (startup_.cancelled()) {
    endCancelledRun();
    return;
  }
  // A failure raised meanwhile, here or on the worker, keeps its error page.
  if (!succeeded || failed_) return;
  try {
    startDownload();
  } catch (const std::exception& error) {
    fail(error);
  }
}

// ---- The download and the setup ----

// Once the configuration is read, so that the label is filled before the download
// page shows and never shows blank for its first second.
void FrontEndRun::startSizeTimer() {
  if (step_ != Step::startingUp || failed_ || cancelRequested_) return;
  view_->startTimer(RunTimer::sizeLabel, kSizeTimerIntervalMs);
  showSizes();
}

void FrontEndRun::showSizes() {
  std::uint64_t received = 0;
  std::uint64_t total = 0;
  download_.sizes(received, total);
  view_->showSizes(received, total);
}

void FrontEndRun::startDownload() {
  step_ = Step::downloading;
  state_.downloadUrl = base::fromUtf8(state_.remoteConfig.downloadLink);
  awaitingDownload_ = true;
  download_.start(state_.downloadUrl, setupFile_.path());
  view_->showPage(Page::download);
}

void FrontEndRun::onDownloadEnded() {
  if (!awaitingDownload_) return;  // given up on (a proxy script that never ended)
  awaitingDownload_ = false;
  if (deleteWhenDownloadEnds_) {
    deleteWhenDownloadEnds_ = false;
    removeSetupFile();
  }
  if (cancelRequested_) {
    endCancelledRun();
    return;
  }
  if (download_.cancelled() || failed_) return;
  logger_.log(L"Downloading client setup finished.", base::LogLevel::info);
  view_->stopTimer(RunTimer::sizeLabel);
  showSizes();
  view_->showPage(Page::done);
  step_ = Step::settingUp;
  setup_.start(setupFile_, view_->handle());
}

void FrontEndRun::onSetupEnded(int exitCode) {
  if (exitCode == kElevationDenied) {
    removeSetupFile();
    reports_.sendProblemReport(L"Admin elevation denied. Setup will not continue.");
    exit(kElevationDenied);
    return;
  }
  const std::wstring text = L"Client setup finished with return code: " + std::to_wstring(exitCode);
  if (exitCode != 0) {
    logger_.log(text, base::LogLevel::error);
    if (!failed_) reports_.sendProblemReport(text);
  } else {
    logger_.log(text, base::LogLevel::info);
  }
  removeSetupFile();
  exit(exitCode);
}

// The worker holds the file while it writes: a running download is aborted and
// its file deleted once it has ended.
void FrontEndRun::cancelDownload() {
  logger_.log(L"Canceling download.", base::LogLevel::warning);
  if (awaitingDownload_) {
    download_.cancel();
    deleteWhenDownloadEnds_ = true;
    return;
  }
  removeSetupFile();
}

void FrontEndRun::removeSetupFile() {
  logger_.log(L"Deleting client setup file.", base::LogLevel::info);
  try {
    setupFile_.remove();
  } catch (const std::exception& error) {
    fail(error);
  }
}

}  // namespace kelvra::frontend
