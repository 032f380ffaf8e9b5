// What ends the run: a failure and its error page, closing the window, the exit,
// and a proxy script that the run gives up on.
#include "base/utf8.h"
#include "core/download_resume.h"
#include "net/proxy_resolution.h"
#include "platform/frontend_error.h"
#include "run/front_end_run.h"

namespace kelvra::frontend {

namespace {

// How often a run that waits to end looks for a proxy script it can't abort, and
// how long such a script may run before the run gives up on it.
constexpr unsigned kEndWatchIntervalMs = 1000;
constexpr std::uint64_t kStuckProxyScriptMs = 2000;

}  // namespace

// ---- Failures ----

void FrontEndRun::fail(const std::exception& error) {
  if (failed_) return;
  failed_ = true;
  const auto* frontEndError = dynamic_cast<const FrontEndError*>(&error);
  const core::FailureKind kind = frontEndError ? frontEndError->kind() : core::FailureKind::unexpected;
  const std::wstring message = frontEndError ? frontEndError->message() : base::fromUtf8(error.what());
  logger_.log(L"Error: " + message, base::LogLevel::error);
  const core::FailureOutcome outcome = core::describeFailure(kind, frontEndError ? frontEndError->windowsError() : 0,
                                                             state_.remoteConfigLocation, state_.downloadUrl, message);
  if (outcome.page.shown) {
    errorAddress_ = outcome.page.addressKey.empty() ? std::wstring() : strings_->get(outcome.page.addressKey);
    if (view_ != nullptr) view_->showFailure(outcome.page);
    reports_.sendProblemReport(
        core::withDownloadTries(outcome.reportMessage, frontEndError ? frontEndError->downloadTries() : 1));
  }
  if (kind != core::FailureKind::missingFile) showErrorPage();
}

void FrontEndRun::showErrorPage() {
  if (view_ == nullptr) return;
  view_->stopTimer(RunTimer::sizeLabel);
  cancelDownload();
  view_->showPage(Page::error);
}

void FrontEndRun::onExitChosen() {
  if (failed_) exit(-1);
}

void FrontEndRun::onLinkChosen() {
  // Once an exit waits for its reports, a second click opens nothing more.
  if (!failed_ || exitRequested_) return;
  if (core::isWebAddress(errorAddress_)) view_->openAddress(errorAddress_);
  exit(-1);
}

// ---- Closing the window ----

bool FrontEndRun::asksBeforeClosing() const {
  return !failed_ && !cancelRequested_ && ((step_ == Step::startingUp && awaitingStartup_) || awaitingDownload_);
}

bool FrontEndRun::onCloseAsked() {
  if (exited_) return true;
  // An exit that waits for its reports, or a confirmed close under way, closes the
  // window itself.
  if (exitRequested_ || cancelRequested_) return false;
  if (asksBeforeClosing()) {
    const bool confirmed = view_->askToQuit();
    logger_.log(
        std::wstring(L"Canceled window close event: UserClosing:[choice=") + (confirmed ? L"True" : L"False") + L"]",
        base::LogLevel::warning);
    if (!confirmed) return false;
    // While the question was open the run went on: the download may have started,
    // ended (the setup runs now) or failed. Only what still runs is cancelled;
    // otherwise the close goes on as one on the page shown now, so that a
    // confirmed close is never lost.
    if (asksBeforeClosing()) {
      cancelRun();
      return false;
    }
    if (exitRequested_ || exited_) return exited_;
  }
  if (step_ == Step::settingUp && !failed_) {
    logger_.log(L"Canceled window close event: ApplicationExitCall", base::LogLevel::warning);
    return false;
  }
  return true;
}

bool FrontEndRun::onEscapePressed() {
  if (!failed_) return onCloseAsked();
  onExitChosen();
  return false;
}

// What runs is aborted; the run ends once it has handed back (or has been given up
// on), the window answering meanwhile.
void FrontEndRun::cancelRun() {
  cancelRequested_ = true;
  view_->startTimer(RunTimer::endWatch, kEndWatchIntervalMs);
  if (awaitingStartup_) {
    startup_.cancel();
    return;
  }
  cancelDownload();
}

// Ends as a download cancelled by the user does, also when the start-up was
// cancelled before the download began: marked cancelled, so that the exit cleans
// up after it alike.
void FrontEndRun::endCancelledRun() {
  if (!download_.cancelled()) {
    download_.cancel();
    cancelDownload();
  }
  reports_.sendEvent(L"kelvra_download_cancelled");
  exit(2);
}

void FrontEndRun::onWindowDeactivated() {
  // The setup program shows its own window; this one steps aside.
  if (step_ == Step::settingUp && !failed_ && !exitRequested_) view_->stepAside();
}

// ---- The exit ----

// A report or event raised before goes out first; the window answers meanwhile.
void FrontEndRun::exit(int code) {
  if (exitRequested_) return;
  exitRequested_ = true;
  requestedExitCode_ = code;
  if (reports_.idle()) {
    finishExit(code);
    return;
  }
  view_->startTimer(RunTimer::endWatch, kEndWatchIntervalMs);
  reports_.afterPending([this, code] { handBack_.post([this, code] { finishExit(code); }); });
}

void FrontEndRun::finishExit(int code) {
  if (exited_) return;
  exited_ = true;
  logger_.log(L"Exiting application with return code " + std::to_wstring(code), base::LogLevel::info);
  logger_.log(L"Running cleanup.", base::LogLevel::info);
  view_->stopTimer(RunTimer::sizeLabel);
  view_->stopTimer(RunTimer::endWatch);
  if (download_.cancelled()) cancelDownload();
  exitCode_ = code;
  view_->close();
}

void FrontEndRun::onTimer(RunTimer timer) {
  if (timer == RunTimer::sizeLabel) {
    showSizes();
  } else if (timer == RunTimer::endWatch && proxyScriptRunningMs() >= kStuckProxyScriptMs) {
    giveUpStuckProxyScript();
  }
}

// What waits on the script (a worker, the report worker) can't be aborted: the run
// goes on as if it had ended, and the process ends without it.
void FrontEndRun::giveUpStuckProxyScript() {
  logGivingUp();
  if (awaitingStartup_) onStartupEnded(false);
  if (awaitingDownload_) onDownloadEnded();
  if (exitRequested_) finishExit(requestedExitCode_);
}

void FrontEndRun::logGivingUp() {
  if (abandoned_) return;
  abandoned_ = true;
  logger_.log(L"The proxy configuration script does not answer; the installer ends without waiting for it.",
              base::LogLevel::warning);
}

void FrontEndRun::onHandBack() {
  const bool handedBack = handBack_.runPending([this](const std::exception& error) { fail(error); });
  if (!handedBack && !forgedHandBackLogged_) {
    forgedHandBackLogged_ = true;
    logger_.log(L"A hand-back message came with nothing handed back; ignored.", base::LogLevel::warning);
  }
}

void FrontEndRun::onWindowGone() {
  handBack_.detach();
  view_ = nullptr;
}

bool FrontEndRun::endWorkers() {
  if (startup_.running()) startup_.cancel();
  if (download_.running()) download_.cancel();
  while (startup_.running() || download_.running() || setup_.running() || !reports_.idle()) {
    if (abandoned_ || proxyScriptRunningMs() >= kStuckProxyScriptMs) {
      logGivingUp();
      return true;
    }
    Sleep(50);
  }
  if (deleteWhenDownloadEnds_) removeSetupFile();
  return false;
}

}  // namespace kelvra::frontend
