// The client download: the worker that streams the setup program beside the
// executable, its progress on the window, cancelling it, the setup file and the
// rules for closing the window while it runs.
#include "window.h"

#include <commctrl.h>

#include "core/composite_format.h"
#include "base/utf8.h"
#include "frontend_error.h"
#include "product_version.h"
#include "window_layout.h"

namespace kelvra::frontend {

namespace {

constexpr wchar_t kSetupFileName[] = L"\\KelvraSetup.exe";
constexpr std::uint64_t kMinimumFreeMegabytes = 200;

void throwUnlessEnoughSpace(const std::wstring& folder) {
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    throw FrontEndError(core::FailureKind::freeSpaceUnknown,
                        L"Could not read the free space of '" + folder + L"'. Error code " + std::to_wstring(error) +
                            L".",
                        error);
  }
  if (available.QuadPart / 1048576 < kMinimumFreeMegabytes) {
    throw FrontEndError(core::FailureKind::diskSpace, L"Not enough free disk space.");
  }
}

}  // namespace

std::wstring Window::SetupFilePath() const { return folder_ + kSetupFileName; }

void Window::StartDownloadWorker() {
  _cancelDownload = false;
  _remoteConfigDownloadURL = base::fromUtf8(_remoteConfigJson.downloadLink);
  downloadClient_ = std::make_unique<HttpClient>(L"ZAVWebinstaller/" KELVRA_FRONTEND_VERSION_TEXT, settings_.network);
  downloadBusy_ = true;
  downloadWorker_ = std::thread([this] { backgroundWorkerDownload(); });
}

void Window::backgroundWorkerDownload() {
  // Protocols (TLS 1.0 to 1.2, never SSL 3.0) are the HTTP client's own setting.
  logger_.log(L"Starting client download.", base::LogLevel::info);
  try {
    throwUnlessEnoughSpace(folder_);
    {
      std::lock_guard lock(statisticsMutex_);
      statistics_ = core::DownloadStatistics();
    }
    downloadStarted_ = std::chrono::steady_clock::now();
    const HttpResult result = downloadClient_->download(
        _remoteConfigDownloadURL, SetupFilePath(),
        [this](std::uint64_t received, std::uint64_t total) { ReportDownloadProgress(received, total); });
    if (result.failed && !_cancelDownload) {
      _cancelDownload = true;
      // Any code but an invalid address's: a socket's own (as Wine reports a receive
      // time-out) is the network's too. describeFailure tells them apart.
      const core::FailureKind kind = result.fileFailed ? core::FailureKind::setupFileWrite : core::FailureKind::network;
      throw FrontEndError(kind, L"Downloading '" + _remoteConfigDownloadURL + L"' failed: " + result.message,
                          result.error);
    }
  } catch (const std::exception& error) {
    _cancelDownload = true;
    OnError(error);
  }
  downloadBusy_ = false;
  RunOnWindowThread([this] { DownloadCompleted(); });
}

void Window::ReportDownloadProgress(std::uint64_t received, std::uint64_t total) {
  if (_cancelDownload) {
    downloadClient_->abort();
    return;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - downloadStarted_).count();
  {
    std::lock_guard lock(statisticsMutex_);
    statistics_.record(received, total, seconds);
  }
  // One message per change of the bar, not one per chunk.
  const int percent = total == 0 ? 0 : static_cast<int>(received * 100 / total);
  if (percent == progressPercent_) return;
  progressPercent_ = percent;
  RunOnWindowThread([this, percent] {
    if (!_cancelDownload) SendMessageW(progressBarDownload_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  });
}

void Window::DownloadCompleted() {
  StopDownloadWorker();
  if (_cancelDownload) return;
  logger_.log(L"Downloading client setup finished.", base::LogLevel::info);
  KillTimer(window_, kSizeTimerId);
  UpdateSizeLabel();
  SelectPage(Page::done);
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  StartSetupWorker();
}

// Window thread only. The worker never waits for the window's thread, so joining
// it here can't deadlock; after abort it ends within moments.
void Window::StopDownloadWorker() {
  if (downloadBusy_ && downloadClient_) downloadClient_->abort();
  if (downloadWorker_.joinable() && downloadWorker_.get_id() != std::this_thread::get_id()) downloadWorker_.join();
}

void Window::CancelDownload() {
  logger_.log(L"Canceling download.", base::LogLevel::warning);
  if (downloadBusy_) _cancelDownload = true;
  // The worker holds the file open until it ends; the delete must come after.
  StopDownloadWorker();
  DeleteSetupFile();
}

void Window::DeleteSetupFile() {
  logger_.log(L"Deleting client setup file.", base::LogLevel::info);
  const std::wstring path = SetupFilePath();
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    // Nothing downloaded yet is nothing to delete.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      OnError(FrontEndError(core::FailureKind::setupFileDelete,
                            L"Could not delete the client setup file '" + path + L"'. Error code " +
                                std::to_wstring(error) + L".",
                            error));
    }
  }
}

// True keeps the window open.
bool Window::Window_FormClosing() {
  if (exiting_) return false;
  // An exit that waits for its reports closes the window itself.
  if (exitRequested_) return true;
  if (downloadBusy_ || StartupAwaited()) {
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
    if (StartupAwaited()) {
      CancelStartup();
      return true;
    }
    if (downloadBusy_) {
      CancelDownload();
      webClient_KelvraReport(L"kelvra_download_cancelled");
      ExitApplication(2);
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
void Window::Window_Deactivate() {
  if (page_ != Page::done || exiting_) return;
  ShowWindow(window_, SW_MINIMIZE);
  ShowWindow(window_, SW_HIDE);
}

void Window::UpdateSizeLabel() {
  std::uint64_t received = 0;
  std::uint64_t total = 0;
  {
    std::lock_guard lock(statisticsMutex_);
    received = statistics_.received();
    total = statistics_.total();
  }
  const std::wstring text =
      core::formatComposite(strings_->get(L"labelDownloadSize"),
                            {std::to_wstring(core::DownloadStatistics::megabytes(received)),
                             std::to_wstring(core::DownloadStatistics::megabytes(total)), strings_->get(L"size")});
  SetControlText(labelDownloadSize_, text);
}

}  // namespace kelvra::frontend
