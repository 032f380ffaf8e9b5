// What start-up, the error handling and the exit need of the client download:
// starting it, cancelling it, the setup file and the size label. The download
// and setup workers themselves join here.
#include "window.h"

#include "core/composite_format.h"
#include "frontend_error.h"

namespace {

constexpr wchar_t kSetupFileName[] = L"\\KelvraSetup.exe";

}  // namespace

// The download worker starts here. Until it is wired in, start-up ends on the
// download page with the refresh timer running.
void Window::StartDownloadWorker() {
  logger_.log(L"Starting client download.", L"information");
}

void Window::CancelDownload() {
  logger_.log(L"Canceling download.", L"warning");
  DeleteSetupFile();
}

void Window::DeleteSetupFile() {
  logger_.log(L"Deleting client setup file.", L"information");
  const std::wstring path = folder_ + kSetupFileName;
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    // Nothing downloaded yet is nothing to delete.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      OnError(FrontEndError(FailureKind::ioError, L"Could not delete the client setup file '" + path +
                                                      L"'. Error code " + std::to_wstring(error) + L"."));
    }
  }
}

// True keeps the window open. The rules for a close during the download and on
// the done page join here with the download; until then every close is let through.
bool Window::Window_FormClosing() { return false; }

void Window::UpdateSizeLabel() {
  std::uint64_t received = 0;
  std::uint64_t total = 0;
  {
    std::lock_guard lock(statisticsMutex_);
    received = statistics_.received();
    total = statistics_.total();
  }
  const std::wstring text =
      formatComposite(strings_->get(L"labelDownloadSize"), {std::to_wstring(DownloadStatistics::megabytes(received)),
                                                            std::to_wstring(DownloadStatistics::megabytes(total)),
                                                            strings_->get(L"size")});
  SetControlText(labelDownloadSize_, text);
}
