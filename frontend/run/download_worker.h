// The client download: a worker that streams the setup program to its file, keeps
// the statistics the size label shows, and can be cancelled from the window's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/download_statistics.h"
#include "core/http_limits.h"
#include "net/http_client.h"
#include "platform/logger.h"

namespace kelvra::frontend {

class DownloadWorker {
 public:
  // Each is called on the worker and must only hand over (it must not wait).
  struct Calls {
    std::function<void(int percent)> progressed;        // once per change of the percentage
    std::function<void(const std::exception&)> failed;  // the download failed (not when cancelled)
    std::function<void()> ended;                        // its last act, failed or not
  };

  // folder is where the setup file goes (its free space is checked); both it and
  // logger must outlive the worker.
  DownloadWorker(const std::wstring& folder, core::HttpLimits limits, Logger& logger, Calls calls);
  // Aborts a download still running and waits for the worker.
  ~DownloadWorker();
  DownloadWorker(const DownloadWorker&) = delete;
  DownloadWorker& operator=(const DownloadWorker&) = delete;

  // Downloads url to path on the worker; once per worker.
  void start(const std::wstring& url, const std::wstring& path);
  // Until its last act.
  [[nodiscard]] bool running() const { return running_; }

  // Marks the download cancelled and aborts what it waits on (a pause, a read):
  // it ends within moments, without a failure, and hands back as usual.
  void cancel();
  [[nodiscard]] bool cancelled() const { return cancelled_; }

  // Bytes so far and in all, for the size label; from any thread.
  void sizes(std::uint64_t& received, std::uint64_t& total);

 private:
  void run(const std::wstring& url, const std::wstring& path);
  // The download with its tries; tries holds their number afterwards.
  [[nodiscard]] HttpResult downloadWithRetries(const std::wstring& url, const std::wstring& path, int& tries);
  void progress(std::uint64_t received, std::uint64_t total);

  const std::wstring& folder_;
  core::HttpLimits limits_;
  Logger& logger_;
  Calls calls_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> running_{false};
  std::mutex statisticsMutex_;
  core::DownloadStatistics statistics_;
  std::chrono::steady_clock::time_point started_;
  int progressPercent_ = -1;  // worker thread only: the bar is only told of changes
  std::unique_ptr<HttpClient> client_;
  std::thread thread_;
};

}  // namespace kelvra::frontend
