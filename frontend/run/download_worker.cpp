// The download worker: free space, then the setup streamed to its file; a failure
// names the network or the file.
#include "run/download_worker.h"

#include <windows.h>

#include "platform/frontend_error.h"
#include "platform/product_version.h"

namespace kelvra::frontend {

namespace {

constexpr std::uint64_t kMinimumFreeMegabytes = 200;

void throwUnlessEnoughSpace(const std::wstring& folder) {
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    throw FrontEndError(
        core::FailureKind::freeSpaceUnknown,
        L"Could not read the free space of '" + folder + L"'. Error code " + std::to_wstring(error) + L".", error);
  }
  if (available.QuadPart / 1048576 < kMinimumFreeMegabytes) {
    throw FrontEndError(core::FailureKind::diskSpace, L"Not enough free disk space.");
  }
}

}  // namespace

DownloadWorker::DownloadWorker(const std::wstring& folder, core::HttpLimits limits, Logger& logger, Calls calls)
    : folder_(folder), limits_(limits), logger_(logger), calls_(std::move(calls)) {}

DownloadWorker::~DownloadWorker() {
  if (client_) client_->abort();
  if (thread_.joinable()) thread_.join();
}

void DownloadWorker::start(const std::wstring& url, const std::wstring& path) {
  client_ = std::make_unique<HttpClient>(L"ZAVWebinstaller/" KELVRA_FRONTEND_VERSION_TEXT, limits_);
  running_ = true;
  thread_ = std::thread([this, url, path] { run(url, path); });
}

void DownloadWorker::cancel() {
  cancelled_ = true;
  if (client_) client_->abort();
}

void DownloadWorker::run(const std::wstring& url, const std::wstring& path) {
  // Protocols (TLS 1.0 to 1.2, never SSL 3.0) are the HTTP client's own setting.
  logger_.log(L"Starting client download.", base::LogLevel::info);
  try {
    throwUnlessEnoughSpace(folder_);
    {
      std::lock_guard lock(statisticsMutex_);
      statistics_ = core::DownloadStatistics();
    }
    started_ = std::chrono::steady_clock::now();
    int tries = 0;
    const HttpResult result = downloadWithRetries(url, path, tries);
    if (result.failed && !cancelled_) {
      cancelled_ = true;
      // Any code but an invalid address's: a socket's own (as Wine reports a receive
      // time-out) is the network's too. describeFailure tells them apart.
      const core::FailureKind kind = result.fileFailed ? core::FailureKind::setupFileWrite : core::FailureKind::network;
      throw FrontEndError(kind, L"Downloading '" + url + L"' failed: " + result.message, result.error, tries);
    }
  } catch (const std::exception& error) {
    cancelled_ = true;
    calls_.failed(error);
  }
  calls_.ended();
  running_ = false;
}

// A try that fails at the network after some of the setup arrived is followed by
// another after a pause, from the bytes on disk where the server can continue them.
// Closing the window aborts the client, which ends a pause at once.
HttpResult DownloadWorker::downloadWithRetries(const std::wstring& url, const std::wstring& path, int& tries) {
  DownloadResume resume;
  const auto reportProgress = [this](std::uint64_t received, std::uint64_t total) { progress(received, total); };
  for (tries = 1;; ++tries) {
    const int restarts = resume.restartsFromZero;
    HttpResult result = client_->download(url, path, reportProgress, resume);
    if (resume.restartsFromZero != restarts) {
      logger_.log(L"The server sent the whole client setup again: the download started again from byte [0].",
                  base::LogLevel::warning);
    }
    if (!result.failed || cancelled_ || !core::shouldRetryDownload(result.end, resume.bytesArrived, tries)) {
      return result;
    }
    const int next = tries + 1;
    const std::uint64_t pauseMs = core::pauseBeforeTryMs(next, limits_.firstRetryPauseMs);
    logger_.log(L"The download was interrupted: " + result.message + L" Try " + std::to_wstring(next) + L" of " +
                    std::to_wstring(core::kDownloadTries) + L" in " + core::secondsText(pauseMs) + L" s, from byte [" +
                    std::to_wstring(core::resumeOffset(resume.bytesOnDisk, resume.validator)) + L"].",
                base::LogLevel::warning);
    if (client_->pauseUnlessAborted(pauseMs)) return result;
  }
}

void DownloadWorker::progress(std::uint64_t received, std::uint64_t total) {
  if (cancelled_) {
    client_->abort();
    return;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  {
    std::lock_guard lock(statisticsMutex_);
    statistics_.record(received, total, seconds);
  }
  // One message per change of the bar, not one per chunk.
  const int percent = total == 0 ? 0 : static_cast<int>(received * 100 / total);
  if (percent == progressPercent_) return;
  progressPercent_ = percent;
  calls_.progressed(percent);
}

void DownloadWorker::sizes(std::uint64_t& received, std::uint64_t& total) {
  std::lock_guard lock(statisticsMutex_);
  received = statistics_.received();
  total = statistics_.total();
}

}  // namespace kelvra::frontend
