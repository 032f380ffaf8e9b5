#include "remoteconfig/bounded_download.h"

#include <urlmon.h>

#include "base/scoped_handle.h"

namespace kelvra::remoteconfig {

namespace {

// What the step and the download thread share. Reference-counted, because the
// thread may outlive the step; whoever lets go last deletes the temporary file, so
// an abandoned download's late file goes with its thread.
class DownloadJob {
 public:
  DownloadJob(std::wstring url, std::wstring temporaryPath, DownloadLimit& limit)
      : url_(std::move(url)), temporaryPath_(std::move(temporaryPath)), limit_(limit) {
    limit_.AddRef();
  }
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  void addReference() { InterlockedIncrement(&references_); }
  void release() {
    if (InterlockedDecrement(&references_) == 0) delete this;
  }

  // Read only after the thread has ended.
  [[nodiscard]] HRESULT result() const { return result_; }
  [[nodiscard]] const std::wstring& temporaryPath() const { return temporaryPath_; }

  static DWORD WINAPI run(void* parameter) {
    auto* job = static_cast<DownloadJob*>(parameter);
    job->result_ = URLDownloadToFileW(nullptr, job->url_.c_str(), job->temporaryPath_.c_str(), 0, &job->limit_);
    job->release();
    return 0;
  }

 private:
  ~DownloadJob() {
    // Gone already when the step moved it into place.
    DeleteFileW(temporaryPath_.c_str());
    limit_.Release();
  }

  LONG references_ = 1;
  const std::wstring url_;
  const std::wstring temporaryPath_;
  DownloadLimit& limit_;
  HRESULT result_ = E_PENDING;
};

// The step's own reference to the job.
class JobReference {
 public:
  explicit JobReference(DownloadJob* job) : job_(job) {}
  ~JobReference() { job_->release(); }
  JobReference(const JobReference&) = delete;
  JobReference& operator=(const JobReference&) = delete;
  DownloadJob* operator->() const { return job_; }
  [[nodiscard]] DownloadJob* get() const { return job_; }

 private:
  DownloadJob* job_;
};

BoundedDownload setupFailed(const char* what) {
  BoundedDownload download;
  download.setupFailure = what;
  download.setupError = GetLastError();
  return download;
}

}  // namespace

DownloadFailure downloadFailureOf(const BoundedDownload& download) {
  if (download.setupFailure != nullptr || !download.result) return DownloadFailure::unknown;
  switch (*download.result) {
    case S_OK: return DownloadFailure::none;
    case E_OUTOFMEMORY: return DownloadFailure::outOfMemory;
    case INET_E_DOWNLOAD_FAILURE: return DownloadFailure::downloadFailure;
    default: return DownloadFailure::unknown;
  }
}

BoundedDownload downloadWithin(const std::wstring& url, const std::wstring& scratchFolder,
                               const std::wstring& destinationPath, DownloadLimit& limit,
                               std::chrono::milliseconds bound) {
  // A name no one else has. The empty file GetTempFileNameW makes goes at once:
  // Wine's urlmon can return S_OK without writing a file when the callback aborted,
  // and an empty file must not then pass for a download.
  wchar_t temporaryPath[MAX_PATH] = {};
  if (GetTempFileNameW(scratchFolder.c_str(), L"krc", 0, temporaryPath) == 0) {
    return setupFailed("no temporary file for the download");
  }
  DeleteFileW(temporaryPath);
  const JobReference job(new DownloadJob(url, temporaryPath, limit));
  job->addReference();  // the thread's
  const base::ScopedKernelHandle thread(CreateThread(nullptr, 0, DownloadJob::run, job.get(), 0, nullptr));
  if (!thread) {
    const BoundedDownload failed = setupFailed("no thread for the download");
    job->release();
    return failed;
  }
  BoundedDownload download;
  if (WaitForSingleObject(thread.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
    // Closing the thread's handle leaves it running; it lets go of the job when
    // urlmon returns, and a late file goes with it. Whatever urlmon wrote so far
    // goes now, in case the process ends first.
    limit.abandon();
    DeleteFileW(job->temporaryPath().c_str());
    return download;
  }
  download.result = job->result();
  if (*download.result == S_OK && !MoveFileExW(job->temporaryPath().c_str(), destinationPath.c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    // Nothing written is nothing to move: reading the destination then fails, as
    // it did when urlmon wrote there itself.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return download;
    return setupFailed("the downloaded file could not be moved into place");
  }
  return download;
}

}  // namespace kelvra::remoteconfig
