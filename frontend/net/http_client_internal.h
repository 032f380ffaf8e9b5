// What the client's exchanges and its download share: the failures they report,
// the handles of one exchange, the status and the body of an answer.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/scoped_internet_handle.h"
#include "core/download_resume.h"
#include "core/http_limits.h"
#include "net/guarded_request.h"
#include "net/http_client.h"

namespace kelvra::frontend {

// The handles of one exchange. The request handle is borrowed from activeRequest_,
// which abort() may close from another thread; finish() closes it otherwise. Calls
// on it go through a GuardedRequest (guarded()).
struct HttpClient::Request {
  base::ScopedInternetHandle connection;
  HINTERNET handle = nullptr;  // compared, never called on but through the guard
  std::wstring extraHeaders;   // whole lines, each ended by CRLF
};

namespace internal {

[[nodiscard]] HttpResult failure(DWORD error, std::wstring message);
[[nodiscard]] HttpResult endedBy(HttpResult failed, core::TransferEnd end);
// "<what> failed with error N." with the calling thread's last error.
[[nodiscard]] HttpResult lastErrorFailure(const wchar_t* what);

// A numeric header of the answer (WINHTTP_QUERY_STATUS_CODE...), 0 when it has none.
[[nodiscard]] DWORD queryNumber(const GuardedRequest& request, DWORD query);

// Takes each chunk of a body: its bytes and the count received so far; a failed
// result ends the read with it.
using BodySink = std::function<HttpResult(const char* data, DWORD size, std::uint64_t received)>;

// Reads the body chunk by chunk into sink; fails past maxBytes and on a stall.
[[nodiscard]] HttpResult readBody(const GuardedRequest& request, const core::HttpLimits& limits, std::uint64_t maxBytes,
                                  const BodySink& sink);

}  // namespace internal

}  // namespace kelvra::frontend
