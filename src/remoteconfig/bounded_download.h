// URLDownloadToFileW with a bound on the whole download. urlmon has no overall
// time-out, and a server that accepts the connection and then sends nothing gives
// the status callback no progress report to abort at, so the call runs on a thread
// of its own that the step stops waiting for.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "remoteconfig/download_limit.h"

namespace kelvra::remoteconfig {

struct BoundedDownload {
  // URLDownloadToFileW's result; none when the download did not end within the bound.
  std::optional<HRESULT> result;
  // Set when the download could not be arranged (no temporary file, no thread, or
  // the finished file could not be moved into place); then result says nothing.
  const char* setupFailure = nullptr;
  DWORD setupError = ERROR_SUCCESS;
};

// Which line of the download's failure table the outcome gives; none on success.
// A download that did not end within its bound, or could not be arranged, is an
// unknown error, whatever urlmon may still make of it later.
enum class DownloadFailure { none, outOfMemory, downloadFailure, unknown };
[[nodiscard]] DownloadFailure downloadFailureOf(const BoundedDownload& download);

// Downloads url to destinationPath and waits at most bound. The transfer goes to
// a temporary file of its own in scratchFolder (on destinationPath's volume), which
// is moved to destinationPath only when the download ended within the bound with
// S_OK (when urlmon wrote no file, there is nothing to move and no failure here).
// A download that outlasts the bound is abandoned: limit makes urlmon abort at its
// next call, the thread ends on its own (or with the process), and it deletes its
// late file itself; nothing of it ever reaches destinationPath. The thread holds
// its own references to limit and to its copies of the strings.
[[nodiscard]] BoundedDownload downloadWithin(const std::wstring& url, const std::wstring& scratchFolder,
                                             const std::wstring& destinationPath, DownloadLimit& limit,
                                             std::chrono::milliseconds bound);

}  // namespace kelvra::remoteconfig
