// The window's side of the download and the setup: starting them, their ends,
// cancelling, the setup file, the size label and the rules for closing the window
// while they run.
#include "window/window.h"

#include <commctrl.h>

#include "core/composite_format.h"
#include "base/utf8.h"
#include "platform/frontend_error.h"
#include "run/setup_launch_internal.h"
#include "window/window_layout.h"

namespace kelvra::frontend {

namespace {

constexpr wchar_t kSetupFileName[] = L"\\KelvraSetup.exe";
// The setup's code for an elevation the user refused, and a declined consent prompt's.
constexpr int kElevationDenied = internal::kSetupElevationDenied;

}  // namespace

std::wstring Window::setupFilePath() const { return folder_ + kSetupFileName; }

void Window::startDownload() {
  state_.downloadUrl = base::fromUtf8(state_.remoteConfig.downloadLink);
  download_.start(state_.downloadUrl, setupFilePath());
}

void Window::onDownloadEnded() {
  download_.stop();
  if (download_.cancelled()) return;
  logger_.log(L"Downloading client setup finished.", base::LogLevel::info);
  KillTimer(window_, kSizeTimerId);
  updateSizeLabel();
  selectPage(Page::done);
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  setup_.start(setupFilePath(), window_);
}

void Window::cancelDownload() {
  logger_.log(L"Canceling download.", base::LogLevel::warning);
  download_.cancelIfBusy();
  // The worker holds the file open until it ends; the delete must come after.
  download_.stop();
  deleteSetupFile();
}

void Window::deleteSetupFile() {
  logger_.log(L"Deleting client setup file.", base::LogLevel::info);
  const std::wstring path = setupFilePath();
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    // Nothing downloaded yet is nothing to delete.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      onError(FrontEndError(core::FailureKind::setupFileDelete,
                            L"Could not delete the client setup file '" + path + L"'. Error code " +
                                std::to_wstring(error) + L".",
                            error));
    }
  }
}

// True keeps the window open.
bool Window::keepOpenOnClose() {
  if (exiting_) return false;
  // An exit that waits for its reports closes the window itself.
  if (exitRequested_) return true;
  if (download_.busy() || startupAwaited()) {
    const int answer = MessageBoxW(window_, strings_->get(L"exitMsgQuestion").c_str(),
                                   strings_->get(L"exitMsgTitle").c_str(), MB_YESNO | MB_ICONQUESTION);
    const bool confirmed = answer == IDYES;
    logger_.log(std::wstring(L"Canceled window close event: UserClosing:[choice=") + (confirmed ? L"True" : L"False") +
                    L"]",
                base::LogLevel::warning);
    if (!confirmed) return true;
    // While the question was open the start-up may have handed over to the
    // download or failed, and the download may have ended (the setup then runs
    // already): only what still runs is cancelled; otherwise the close goes on as
    // one of the page shown now, so that a confirmed close is never lost.
    if (startupAwaited()) {
      startup_.cancel();
      return true;
    }
    if (download_.busy()) {
      cancelDownload();
      reports_.sendEvent(L"kelvra_download_cancelled");
      exitApplication(2);
      return true;
    }
  }
  if (page_ == Page::done) {
    logger_.log(L"Canceled window close event: ApplicationExitCall", base::LogLevel::warning);
    return true;
  }
  return false;
}

// The setup program shows its own window; this one steps aside.
void Window::onDeactivate() {
  if (page_ != Page::done || exiting_) return;
  ShowWindow(window_, SW_MINIMIZE);
  ShowWindow(window_, SW_HIDE);
}

void Window::updateSizeLabel() {
  std::uint64_t received = 0;
  std::uint64_t total = 0;
  download_.sizes(received, total);
  const std::wstring text =
      core::formatComposite(strings_->get(L"labelDownloadSize"),
                            {std::to_wstring(core::DownloadStatistics::megabytes(received)),
                             std::to_wstring(core::DownloadStatistics::megabytes(total)), strings_->get(L"size")});
  setControlText(labelDownloadSize_, text);
}

void Window::onSetupFinished(int exitCode) {
  setup_.join();
  const std::wstring text = L"Client setup finished with return code: " + std::to_wstring(exitCode);
  if (exitCode == kElevationDenied) {
    deleteSetupFile();
    reports_.sendProblemReport(L"Admin elevation denied. Setup will not continue.");
    exitApplication(kElevationDenied);
    return;
  }
  if (exitCode != 0) {
    logger_.log(text, base::LogLevel::error);
    if (!failureHandled_) reports_.sendProblemReport(text);
  } else {
    logger_.log(text, base::LogLevel::info);
  }
  deleteSetupFile();
  exitApplication(exitCode);
}

}  // namespace kelvra::frontend
