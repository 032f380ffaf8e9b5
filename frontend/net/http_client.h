// HTTP(S) for the front end through WinHTTP: the system's certificate checks are
// always on, TLS 1.0 to 1.2 (and 1.3 where the system has it) are allowed, SSL 3.0
// never; each request takes the proxy of the user's own settings (proxy_resolution.h),
// answers a proxy's challenge with the user's logon where the scheme allows it, and
// follows redirects.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "base/scoped_internet_handle.h"
#include "core/download_resume.h"
#include "core/http_limits.h"
#include "core/proxy_route.h"

namespace kelvra::frontend {

namespace internal {
class GuardedRequest;
}  // namespace internal

struct HttpResult {
  bool failed = false;
  DWORD error = 0;          // Windows or WinHTTP error code when failed and there was one
  DWORD status = 0;         // HTTP status when a response arrived
  bool sent = false;        // the request went out whole (reading its answer may still have failed)
  bool fileFailed = false;  // a download failed at its file (disk full, access denied), not at the network
  std::string body;         // response body (not kept by downloads to a file)
  std::wstring message;     // a short English description of the failure, for logs and reports
  core::TransferEnd end = core::TransferEnd::completed;  // how it ended, for a download's next try
};

// What a download keeps between its tries: the bytes in its file and what the
// answer they came from said about them. A fresh one starts from zero.
struct DownloadResume {
  std::uint64_t bytesOnDisk = 0;
  std::uint64_t total = 0;    // the whole file's length as announced; 0 when unknown
  std::wstring validator;     // If-Range value for a resumed request; empty: the next try starts from zero
  bool bytesArrived = false;  // some body arrived in any try
  int restartsFromZero = 0;   // resumed requests that the server answered with the whole file
};

// Progress of a download: bytes so far, bytes in all (0 when the server did not say).
using DownloadProgress = std::function<void(std::uint64_t received, std::uint64_t total)>;

class HttpClient {
 public:
  explicit HttpClient(std::wstring userAgent, core::HttpLimits limits = {});
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // GET; fails on anything but status 200, on a body over 4 MiB and on a stall.
  [[nodiscard]] HttpResult get(const std::wstring& url);

  // POST of body with the content type; any status counts as sent.
  [[nodiscard]] HttpResult post(const std::wstring& url, const std::string& contentType, const std::string& body);

  // One try of a GET streamed to a file in fixed-size chunks. With bytes on disk and
  // a validator in resume it asks for the rest (Range, If-Range): a 206 with exactly
  // that range continues the file, a 200 writes it again from zero. Fails on any
  // other status or range, on a body shorter than announced, on one over the limits'
  // maxDownloadBytes (announced or not), on a stall, and when aborted; the file is
  // then left for the caller to delete or to resume. Bytes past an announced length
  // are never read: WinHTTP ends the body there. resume holds the file's state
  // afterwards, failed or not.
  [[nodiscard]] HttpResult download(const std::wstring& url, const std::wstring& path, const DownloadProgress& progress,
                                    DownloadResume& resume);

  // Waits milliseconds before a download's next try; true (at once) when aborted
  // meanwhile.
  [[nodiscard]] bool pauseUnlessAborted(std::uint64_t milliseconds);

  // Stops a download or request in progress from another thread within moments:
  // closing the request handle wakes a blocked read.
  void abort();

 private:
  struct Request;
  void openSession();
  // The exchange's calls on its request, made only while abort() has not closed it.
  [[nodiscard]] internal::GuardedRequest guarded(const Request& request);
  [[nodiscard]] HINTERNET sessionFor(const core::ProxyRoute& route);
  void finish(Request& request);
  [[nodiscard]] HttpResult send(Request& request, const std::wstring& url, const wchar_t* verb,
                                const std::string& contentType, const std::string& body);

  core::HttpLimits limits_;
  std::wstring userAgent_;
  // Opened with no proxy of its own: the direct route, and the one that runs the
  // proxy script.
  base::ScopedInternetHandle session_;
  HttpResult noSession_;       // why there is no session, when there is none
  DWORD secureProtocols_ = 0;  // the set the system accepted for session_
  // One session per proxy, named when it is opened: Wine's WinHTTP ignores the
  // proxy option on requests and sessions, so that only this way behaves the same
  // under Wine as on Windows.
  std::map<std::wstring, base::ScopedInternetHandle> proxySessions_;
  std::mutex requestMutex_;
  // The exchange's request handle. Owned here, not by the exchange, so that abort()
  // can close it from another thread under the mutex; the exchange only borrows it.
  base::ScopedInternetHandle activeRequest_;
  std::atomic<bool> aborted_{false};
  std::condition_variable abortSignal_;  // wakes a pause between tries; under requestMutex_
};

}  // namespace kelvra::frontend
